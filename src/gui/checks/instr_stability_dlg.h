#pragma once

#include <QDialog>
#include <memory>

#include "core/checks/verdict_workflow.h"

namespace Ui {
class CInstrStabilityDlg;
}

namespace qv {

struct GuiContext;

// The verdict window at the end of a check: the decisive colour difference beside its
// threshold, a picture and two lines chosen by the outcome. It only displays; the caller has
// judged and stored the result in the shared state.
class CInstrStabilityDlg : public QDialog {
    Q_OBJECT
public:
    CInstrStabilityDlg(GuiContext& context, QWidget* parent = nullptr);
    ~CInstrStabilityDlg() override;

    // true after a repeatability series, false after an inter-instrument judgement.
    void prepare(bool repeatMode);
    int exec() override;
    const VerdictView& view() const { return view_; }

private:
    void render();

    std::unique_ptr<Ui::CInstrStabilityDlg> ui_;
    GuiContext& context_;
    bool repeatMode_ = true;
    VerdictView view_;
};

}  // namespace qv
