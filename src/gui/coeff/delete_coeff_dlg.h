#pragma once

#include <QDialog>
#include <string>

#include "core/coeff/delete_entry_workflow.h"

namespace qv {

struct GuiContext;

// Asks before an entry of the instrument is emptied, showing its number and comment.
class CDeleteCoeffDlg : public QDialog {
    Q_OBJECT
public:
    CDeleteCoeffDlg(GuiContext& context, int entry, const std::string& comment,
                    QWidget* parent = nullptr);
    void reject() override;

private:
    void onDelete();

    DeleteEntryWorkflow workflow_;
};

}  // namespace qv
