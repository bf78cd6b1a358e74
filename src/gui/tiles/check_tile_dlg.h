#pragma once

// The daily check tile and the tiles' certificates: thin windows over the core's check tile
// and the logbook's certificates.

#include <QDialog>
#include <optional>

#include "core/tiles/check_tile_workflow.h"

QT_BEGIN_NAMESPACE
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
QT_END_NAMESPACE

namespace qv {

struct GuiContext;
class LogbookStore;

// Checks → Check tile...: the tile chosen among those with a certificate on record, the room's
// temperature when known, one reading and its verdict per angle.
class CCheckTileDlg : public QDialog {
    Q_OBJECT
public:
    CCheckTileDlg(GuiContext& context, LogbookStore* logbook, QWidget* parent = nullptr);
    const std::optional<CheckTileRun>& lastRun() const { return run_; }

private:
    void onRead();
    void showRun(const CheckTileRun& run);

    GuiContext& context_;
    LogbookStore* logbook_;
    QComboBox* tile_ = nullptr;
    QCheckBox* known_ = nullptr;
    QDoubleSpinBox* temperature_ = nullptr;
    QPushButton* read_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* verdict_ = nullptr;
    std::optional<CheckTileRun> run_;
};

// Logbook → Tile certificates...: every certificate on record, newest first, and one imported
// from a laboratory's file with its coefficients.
class CTileCertificatesDlg : public QDialog {
    Q_OBJECT
public:
    CTileCertificatesDlg(GuiContext& context, LogbookStore* logbook, QWidget* parent = nullptr);

private:
    void fill();
    void onImport();
    QLineEdit* chosenFile(const QString& label, QWidget* form, QFormLayout* layout);

    GuiContext& context_;
    LogbookStore* logbook_;
    QTableWidget* table_ = nullptr;
    QLineEdit* tile_ = nullptr;
    QLineEdit* file_ = nullptr;
    QLineEdit* coefficients_ = nullptr;
    QLabel* outcome_ = nullptr;
};

}  // namespace qv
