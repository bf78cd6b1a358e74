#pragma once

// The daily check tile and the tiles' certificates: thin windows over the core's check tile
// and the logbook's certificates.

#include <QDialog>
#include <optional>

#include "core/tiles/certificate_files.h"
#include "core/tiles/check_tile_workflow.h"

QT_BEGIN_NAMESPACE
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFormLayout;
class QGridLayout;
class QLabel;
class QLayout;
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
// from a laboratory's file with its coefficients and the fields typed beside it (a CxF file
// carries spectra only), as certificate-import takes them.
class CTileCertificatesDlg : public QDialog {
    Q_OBJECT
public:
    CTileCertificatesDlg(GuiContext& context, LogbookStore* logbook, QWidget* parent = nullptr);

private:
    void fill();
    void onImport();
    // A label in the grid's first column and its field across the other three.
    void addWideRow(QGridLayout* grid, int row, const QString& label, QWidget* buddy,
                    QLayout* field);
    QLineEdit* chosenFile(const QString& label, QGridLayout* grid, int row);
    void addFields(QGridLayout* grid, int firstRow);
    TypedCertificateFields typedFields() const;
    QLineEdit* numberEdit(CertificateNumber field) const;

    GuiContext& context_;
    LogbookStore* logbook_;
    QTableWidget* table_ = nullptr;
    QLineEdit* tile_ = nullptr;
    QLineEdit* file_ = nullptr;
    QLineEdit* coefficients_ = nullptr;
    // What the operator gives beside the file, before the file's own.
    QLineEdit* number_ = nullptr;
    QLineEdit* laboratory_ = nullptr;
    QLineEdit* date_ = nullptr;
    QLineEdit* due_ = nullptr;
    QLineEdit* uncertainty_ = nullptr;
    QLineEdit* temperatureC_ = nullptr;
    QLineEdit* limit_ = nullptr;
    QLabel* outcome_ = nullptr;
};

}  // namespace qv
