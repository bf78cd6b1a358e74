#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class CSplashWnd;
}

namespace qv {

struct GuiContext;

// How long the start-up splash stays.
inline constexpr std::uint32_t kSplashMs = 1000;
// The start-up splash drops the close button's strip at the bottom of the layout.
inline constexpr int kSplashCutPx = 25;

// One window in two roles: the start-up splash (no close button, above other windows) and
// the about window (closed by the operator). At most one exists at a time.
class CSplashWnd : public QDialog {
    Q_OBJECT
public:
    ~CSplashWnd() override;

    // Opens the window in the role `context.state.bAboutMode` names, unless one is open
    // already; returns the one window (null when none could be made).
    static CSplashWnd* ShowSplashWnd(QWidget* owner, GuiContext& context);
    static CSplashWnd* current();
    // The layout's own height, before the splash shortens it.
    static int layoutHeight();

    bool aboutMode() const { return aboutMode_; }

private:
    CSplashWnd(QWidget* owner, GuiContext& context);
    void OnInitDialog();

    std::unique_ptr<Ui::CSplashWnd> ui_;
    GuiContext& context_;
    bool aboutMode_;
};

// The start-up splash: shown without an owner for one second on `context.clock`, then closed.
void showStartupSplash(GuiContext& context);

}  // namespace qv
