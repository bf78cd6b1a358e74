#pragma once

#include <QDialog>
#include <memory>

#include "core/link/connection_workflow.h"

namespace Ui {
class CConnInstDlg;
}

namespace qv {

struct GuiContext;

// Identifies the instrument and marks it connected, opening the saved port first when the port
// is not open (closed after a hang-up). The dialog ends itself after one attempt; the caller
// reads the connected flag and identification from the shared state.
class CConnInstDlg : public QDialog {
    Q_OBJECT
public:
    CConnInstDlg(GuiContext& context, QWidget* parent = nullptr);
    ~CConnInstDlg() override;

    const std::string& modelCode() const { return workflow_.modelCode(); }

private:
    void onConnect();
    QString portText(const PortStatus& status) const;

    std::unique_ptr<Ui::CConnInstDlg> ui_;
    ConnectionWorkflow workflow_;
};

}  // namespace qv
