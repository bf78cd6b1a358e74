#pragma once

#include <QDialog>
#include <array>

#include "core/coeff/coefficient_file_workflow.h"
#include "core/coeff/registration_workflow.h"
#include "gui/kit/result_fields.h"

class QLineEdit;

namespace qv {

struct GuiContext;

// Writing an entry from a coefficient file instead of a measured pair: choose and load the
// file, then go on to the write dialog.
class CCoeffReadWriteDlg : public QDialog {
    Q_OBJECT
public:
    CCoeffReadWriteDlg(GuiContext& context, QWidget* parent = nullptr);
    void accept() override;
    void reject() override;

private:
    void onBrowse();
    void render();

    GuiContext& context_;
    CoefficientFileWorkflow workflow_;
    QLineEdit* path_ = nullptr;
    std::array<AngleFields, 3> sampleFields_{};
};

// Taking the target from a file of the reference instrument (a target result file is one).
class CDataRegUsingFileDlg : public QDialog {
    Q_OBJECT
public:
    CDataRegUsingFileDlg(GuiContext& context, EvaluateHueControl& colour,
                         QWidget* parent = nullptr);
    void reject() override;

private:
    void onBrowse();
    void onRegister();
    void render();

    RegistrationWorkflow workflow_;
    QLineEdit* path_ = nullptr;
    std::array<AngleFields, 3> targetFields_{};
};

}  // namespace qv
