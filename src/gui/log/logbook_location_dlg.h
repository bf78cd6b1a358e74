#pragma once

#include <QDialog>
#include <memory>

#include "platform/log/logbook_location.h"

namespace Ui {
class CLogbookLocationDlg;
}

namespace qv {

struct GuiContext;

// Where the logbook lives: on this workstation, or on a PostgreSQL server the lab shares. Try
// connects to the server as entered and says what it found; OK saves the choice (never a
// password) for the next start of the program; Cancel saves nothing. When QV_LOGBOOK is set it
// goes before the settings, and the dialog says so.
class CLogbookLocationDlg : public QDialog {
    Q_OBJECT
public:
    CLogbookLocationDlg(GuiContext& context, QWidget* parent = nullptr);
    ~CLogbookLocationDlg() override;

    // The location as the fields describe it.
    LogbookLocation location() const;
    // Tries the server as entered and shows what was found (the Try button).
    void tryLocation();

private:
    void showEnvironment();
    void showLocation(const LogbookLocation& location);
    void onChanged();
    void showTried(const QString& found);
    void onOk();

    std::unique_ptr<Ui::CLogbookLocationDlg> ui_;
    GuiContext& context_;
    LogbookLocation saved_;
};

}  // namespace qv
