#include "gui/help/operator_guide.h"

#include <QScreen>
#include <algorithm>

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWindow>

#include "gui/help/help_topics.h"
#include "gui/help/help_wnd.h"

namespace qv {

namespace {
// The window a key event went to: events reach a top-level window before its focus widget.
QWidget* windowOf(QObject* receiver) {
    if (auto* w = qobject_cast<QWidget*>(receiver)) return w->window();
    if (auto* window = qobject_cast<QWindow*>(receiver))
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->windowHandle() == window) return w;
    return QApplication::activeWindow();
}
}  // namespace

std::string guideFolder(const std::string& programFolder) {
    return programFolder + "/guide";
}

OperatorGuide::OperatorGuide(std::string folder) : folder_(std::move(folder)) {
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &OperatorGuide::followModal);
}

OperatorGuide::~OperatorGuide() {
    qApp->removeEventFilter(this);
}

void OperatorGuide::installF1() {
    qApp->installEventFilter(this);
}

bool OperatorGuide::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier) return false;
    if (!key->isAutoRepeat()) showPageOf(windowOf(watched));
    return true;
}

void OperatorGuide::showContents(QWidget* from) {
    present(from).showContents();
}

void OperatorGuide::showPageOf(QWidget* window) {
    const HelpTopic* topic = helpTopicFor(window);
    CHelpWnd& help = present(window);
    if (!topic) return help.showContents();
    help.showPage(QLatin1String(topic->page), QLatin1String(topic->anchor));
}

CHelpWnd& OperatorGuide::present(QWidget* from) {
    if (!window_) window_ = std::make_unique<CHelpWnd>(folder_);
    QWidget* owner = from ? from->window() : QApplication::activeModalWidget();
    window_->winId();  // the native window the transient link needs
    attach(owner && owner != window_.get() ? owner->windowHandle() : nullptr);
    window_->show();
    keepWithinScreen(*window_);
    window_->raise();
    window_->activateWindow();
    return *window_;
}

// Placed over a tall window low on the screen (the tile set), the guide would run below the
// screen's foot: it moves up (and left) until its frame fits.
void OperatorGuide::keepWithinScreen(QWidget& window) {
    const QScreen* screen = window.screen();
    if (!screen) return;
    const QRect available = screen->availableGeometry();
    const QRect frame = window.frameGeometry();
    const int x = std::clamp(frame.left(), available.left(),
                             std::max(available.left(), available.right() + 1 - frame.width()));
    const int y = std::clamp(frame.top(), available.top(),
                             std::max(available.top(), available.bottom() + 1 - frame.height()));
    if (x != frame.left() || y != frame.top()) window.move(x, y);
}

// A modal dialog blocks every window that does not descend from it: the help window becomes a
// descendant of `owner` (and so of the windows `owner` descends from); once `owner` is gone,
// of the modal window then in front.
void OperatorGuide::attach(QWindow* owner) {
    QObject::disconnect(ownerGone_);
    window_->windowHandle()->setTransientParent(owner);
    if (!owner) return;
    // Later: the dialog being destroyed may still count as the one in front.
    ownerGone_ = connect(owner, &QObject::destroyed, this,
                         [this] { QTimer::singleShot(0, this, &OperatorGuide::attachToModal); });
}

void OperatorGuide::attachToModal() {
    if (!window_) return;
    QWidget* modal = QApplication::activeModalWidget();
    attach(modal && modal != window_.get() ? modal->windowHandle() : nullptr);
}

// The dialog the operator turns to is the one the guide is read beside.
void OperatorGuide::followModal(QWindow* focused) {
    if (!window_ || !window_->isVisible() || !focused) return;
    if (focused == window_->windowHandle() || focused->modality() == Qt::NonModal) return;
    attach(focused);
}

}  // namespace qv
