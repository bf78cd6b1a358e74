#pragma once

#include <QUrl>
#include <QWidget>
#include <string>

class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTextBrowser;

namespace qv {

// The operator's guide in a window of its own: the pages as rich text with their pictures,
// Back, Forward and Contents, and the list of pages beside them. A guide that is not where it
// should be is said so, with the folder it was looked for in.
class CHelpWnd : public QWidget {
    Q_OBJECT
public:
    explicit CHelpWnd(std::string guideFolder, QWidget* parent = nullptr);
    ~CHelpWnd() override;

    // Shows `page` (a file of the guide, such as "repeatability.html") at `anchor`; the index
    // when the page is missing.
    void showPage(const QString& page, const QString& anchor = {});
    void showContents();

    // The page shown, with its anchor; empty while the guide is missing.
    QUrl source() const;
    QTextBrowser* browser() const { return browser_; }

private:
    QString pathOf(const QString& page) const;
    void listPages();
    void openListed(QListWidgetItem* item);
    void showMissingGuide();
    void onSourceChanged(const QUrl& url);

    std::string folder_;
    QTextBrowser* browser_ = nullptr;
    QListWidget* pages_ = nullptr;
    QPushButton* backButton_ = nullptr;
    QPushButton* forwardButton_ = nullptr;
    QPushButton* contentsButton_ = nullptr;
};

}  // namespace qv
