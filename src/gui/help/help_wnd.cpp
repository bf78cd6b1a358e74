#include "gui/help/help_wnd.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

#include "gui/help/help_topics.h"
#include "gui/kit/dialog_size.h"

namespace qv {

namespace {
// Wide enough for a picture of 800 pixels beside the list of pages, and within a 1366 x 768
// laptop's screen.
constexpr int kWidthPx = 1100;
constexpr int kHeightPx = 690;
constexpr int kPageListPx = 200;
constexpr qint64 kMaxPageBytes = 1 << 20;

QPushButton* navigationButton(QWidget* parent, const QString& text, const char* name) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

// A page's <title>, as the list of pages names it.
QString titleOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPageBytes) return {};
    QTextDocument page;
    page.setHtml(QString::fromUtf8(file.readAll()));
    return page.metaInformation(QTextDocument::DocumentTitle);
}
}  // namespace

CHelpWnd::CHelpWnd(std::string guideFolder, QWidget* parent)
    : QWidget(parent, Qt::Window), folder_(std::move(guideFolder)) {
    setObjectName(QStringLiteral("CHelpWnd"));
    setWindowTitle(tr("Operator's guide"));
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("guideBrowser"));
    browser_->setOpenExternalLinks(false);
    pages_ = new QListWidget(this);
    pages_->setObjectName(QStringLiteral("pageList"));
    pages_->setFixedWidth(kPageListPx);
    pages_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    backButton_ = navigationButton(this, tr("< &Back"), "backButton");
    forwardButton_ = navigationButton(this, tr("&Forward >"), "forwardButton");
    contentsButton_ = navigationButton(this, tr("&Contents"), "contentsButton");
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {backButton_, forwardButton_, contentsButton_}) buttons->addWidget(b);
    buttons->addStretch(1);
    auto* columns = new QHBoxLayout;
    columns->addWidget(pages_);
    columns->addWidget(browser_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addLayout(columns, 1);
    resizeWithinScreen(this, QSize(kWidthPx, kHeightPx));
    backButton_->setEnabled(false);
    forwardButton_->setEnabled(false);
    connect(backButton_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forwardButton_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(contentsButton_, &QPushButton::clicked, this, &CHelpWnd::showContents);
    connect(browser_, &QTextBrowser::backwardAvailable, backButton_, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forwardButton_, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this, &CHelpWnd::onSourceChanged);
    // A click may also count as an activation (a style's choice): the page opens once.
    connect(pages_, &QListWidget::itemClicked, this, &CHelpWnd::openListed);
    connect(pages_, &QListWidget::itemActivated, this, &CHelpWnd::openListed);
    listPages();
}

CHelpWnd::~CHelpWnd() = default;

QString CHelpWnd::pathOf(const QString& page) const {
    return QString::fromStdString(folder_) + QLatin1Char('/') + page;
}

void CHelpWnd::listPages() {
    for (const char* page : kGuidePages) {
        const QString title = titleOf(pathOf(QLatin1String(page)));
        if (title.isEmpty()) continue;
        auto* item = new QListWidgetItem(title, pages_);
        item->setData(Qt::UserRole, QLatin1String(page));
    }
    pages_->setVisible(pages_->count() > 0);
}

void CHelpWnd::openListed(QListWidgetItem* item) {
    const QString page = item->data(Qt::UserRole).toString();
    if (QFileInfo(source().toLocalFile()).fileName() != page) showPage(page);
}

void CHelpWnd::showPage(const QString& page, const QString& anchor) {
    QString path = pathOf(page);
    if (!QFileInfo::exists(path)) path = pathOf(QLatin1String(kGuideIndexPage));
    if (!QFileInfo::exists(path)) return showMissingGuide();
    QUrl url = QUrl::fromLocalFile(path);
    if (!anchor.isEmpty()) url.setFragment(anchor);
    browser_->setSource(url);
}

void CHelpWnd::showContents() {
    showPage(QLatin1String(kGuideIndexPage));
}

QUrl CHelpWnd::source() const {
    return browser_->source();
}

void CHelpWnd::showMissingGuide() {
    const QString index = pathOf(QLatin1String(kGuideIndexPage)).toHtmlEscaped();
    browser_->setHtml(
        tr("<h2>The operator's guide is not installed</h2>"
           "<p>It was looked for in <b>%1</b>, and that file does not exist.</p>"
           "<p>Install the program again, or ask whoever installed it; the checks themselves "
           "work without the guide.</p>")
            .arg(index));
    contentsButton_->setEnabled(false);
    setWindowTitle(tr("Operator's guide"));
}

void CHelpWnd::onSourceChanged(const QUrl& url) {
    const QString title = browser_->documentTitle();
    setWindowTitle(title.isEmpty() ? tr("Operator's guide")
                                   : tr("Operator's guide - %1").arg(title));
    const QString page = QFileInfo(url.toLocalFile()).fileName();
    for (int i = 0; i < pages_->count(); ++i)
        if (pages_->item(i)->data(Qt::UserRole).toString() == page) pages_->setCurrentRow(i);
}

}  // namespace qv
