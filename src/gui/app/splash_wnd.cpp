#include "gui/app/splash_wnd.h"

#include <QGuiApplication>
#include <QScreen>

#include "core/app/clock.h"
#include "core/app/shared_state.h"
#include "core/app/string_table.h"
#include "gui/kit/gui_context.h"
#include "ui_splash_wnd.h"

namespace qv {

namespace {
CSplashWnd* g_pSplashWnd = nullptr;
constexpr int kProductStringId = 184;
constexpr int kCopyrightStringId = 185;
}  // namespace

CSplashWnd::CSplashWnd(QWidget* owner, GuiContext& context)
    : QDialog(owner),
      ui_(std::make_unique<Ui::CSplashWnd>()),
      context_(context),
      aboutMode_(context.state.bAboutMode) {
    ui_->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    connect(ui_->closeButton, &QPushButton::clicked, this, &QDialog::accept);
    OnInitDialog();
}

CSplashWnd::~CSplashWnd() {
    if (g_pSplashWnd == this) g_pSplashWnd = nullptr;
}

int CSplashWnd::layoutHeight() {
    return 300;
}

void CSplashWnd::OnInitDialog() {
    const QSize layout = size();
    if (aboutMode_) {
        ui_->closeButton->show();
        setFixedSize(layout);
    } else {
        ui_->closeButton->hide();
        setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        setFixedSize(layout.width(), layout.height() - kSplashCutPx);
    }
    // Centred on the owner, or on the screen at start-up.
    const QRect area = parentWidget() ? parentWidget()->frameGeometry()
                                      : QGuiApplication::primaryScreen()->availableGeometry();
    move(area.center() - rect().center());
    ui_->versionLabel->setText(QStringLiteral("Ver.") +
                               QString::fromStdString(context_.state.version));
    ui_->productLabel->setText(QString::fromStdString(context_.strings.text(kProductStringId)));
    ui_->copyrightLabel->setText(QString::fromStdString(context_.strings.text(kCopyrightStringId)));
}

CSplashWnd* CSplashWnd::ShowSplashWnd(QWidget* owner, GuiContext& context) {
    if (g_pSplashWnd) return g_pSplashWnd;
    g_pSplashWnd = new CSplashWnd(owner, context);
    // The picture is read before the window shows: the start-up splash stays above every
    // other window, so a message about a refused file asked while it shows would open
    // underneath it, out of the operator's reach, and start-up would wait for it unseen.
    g_pSplashWnd->ui_->pictureView->load(context.programFolder + "/Splash", context.prompter);
    g_pSplashWnd->show();
    g_pSplashWnd->repaint();
    return g_pSplashWnd;
}

CSplashWnd* CSplashWnd::current() {
    return g_pSplashWnd;
}

void showStartupSplash(GuiContext& context) {
    context.state.bAboutMode = false;
    CSplashWnd* splash = CSplashWnd::ShowSplashWnd(nullptr, context);
    context.clock.sleepMs(kSplashMs);
    delete splash;
}

}  // namespace qv
