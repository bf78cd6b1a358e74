#pragma once

#include <QObject>
#include <memory>
#include <string>

class QWidget;
class QWindow;

namespace qv {

class CHelpWnd;

// The guide's folder beside the program's pictures (the build folder, or the installed data
// folder the program found its resource file in).
std::string guideFolder(const std::string& programFolder);

// The operator's guide for one run of the desktop program: one help window, opened at the
// contents from the Help menu and, by F1 in any window, at the page of that window. The help
// window stays usable beside whichever modal dialog is in front.
class OperatorGuide : public QObject {
    Q_OBJECT
public:
    explicit OperatorGuide(std::string folder);
    ~OperatorGuide() override;

    // From now on F1 anywhere in the program opens the page of the window it is pressed in.
    void installF1();
    void showContents(QWidget* from);
    // The page of `window` (helpTopicFor), the index when it has none.
    void showPageOf(QWidget* window);

    // Null until the guide was first shown.
    CHelpWnd* window() const { return window_.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CHelpWnd& present(QWidget* from);
    static void keepWithinScreen(QWidget& window);
    void attach(QWindow* owner);
    void attachToModal();
    void followModal(QWindow* focused);

    std::string folder_;
    std::unique_ptr<CHelpWnd> window_;
    QMetaObject::Connection ownerGone_;
};

}  // namespace qv
