#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "core/checks/verdict_workflow.h"

class QLabel;
class QPushButton;

namespace Ui {
class CInstrStabilityDlg;
}

namespace qv {

struct GuiContext;

// The verdict window at the end of a check: the decisive colour difference beside its
// threshold, a picture and two lines chosen by the outcome, and the certificate of the check
// when the logbook recorded it. It only displays what the check's workflow judged.
class CInstrStabilityDlg : public QDialog {
    Q_OBJECT
public:
    CInstrStabilityDlg(GuiContext& context, QWidget* parent = nullptr);
    ~CInstrStabilityDlg() override;

    // true after a repeatability series, false after an inter-instrument judgement.
    // `formulaLabel` names the formula the check was judged in; empty: the saved formula.
    void prepare(bool repeatMode, CheckVerdict verdict, const std::string& formulaLabel = {});
    int exec() override;
    const VerdictView& view() const { return view_; }

private:
    void render();
    void onSaveCertificate();

    std::unique_ptr<Ui::CInstrStabilityDlg> ui_;
    GuiContext& context_;
    bool repeatMode_ = true;
    CheckVerdict verdict_;
    std::string formulaLabel_;
    VerdictView view_;
    QPushButton* certificateButton_ = nullptr;
    QLabel* instrumentLabel_ = nullptr;
    QLabel* savedLabel_ = nullptr;
};

}  // namespace qv
