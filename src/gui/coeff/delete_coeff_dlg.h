#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "core/coeff/delete_entry_workflow.h"

namespace Ui {
class CDeleteCoeffDlg;
}

namespace qv {

struct GuiContext;

// Asks before an entry of the instrument is emptied, showing its number and comment.
class CDeleteCoeffDlg : public QDialog {
    Q_OBJECT
public:
    CDeleteCoeffDlg(GuiContext& context, int entry, const std::string& comment,
                    QWidget* parent = nullptr);
    ~CDeleteCoeffDlg() override;
    void reject() override;

private:
    void onDelete();

    std::unique_ptr<Ui::CDeleteCoeffDlg> ui_;
    DeleteEntryWorkflow workflow_;
};

}  // namespace qv
