#pragma once

#include <QDialog>
#include <string>

#include "core/tiles/tile_set.h"

class QLayout;
class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace qv {

struct GuiContext;

// The tile set and its limits as the settings keep them: the set's name, the tiles in the
// order they are read, the mean and largest thresholds and an optional product tolerance.
// OK keeps them only when they may be kept; otherwise it tells why and stays.
class CTileSetSettingsDlg : public QDialog {
    Q_OBJECT
public:
    CTileSetSettingsDlg(GuiContext& context, QWidget* parent = nullptr);
    ~CTileSetSettingsDlg() override;

    void accept() override;

private:
    void build();
    QLayout* buildTileList();
    void fill(const TileSet& set, const SetLimits& limits);
    QListWidgetItem* addTile(const QString& name);
    void onAdd();
    void onRemove();
    void onMove(int step);
    TileSet editedSet() const;
    QLineEdit* fieldOf(LimitField field) const;
    // Tells why the limits cannot be kept, marks the field at fault and puts the cursor there.
    void refuse(const LimitsProblem& problem);
    void tell(int stringId, const std::string& suffix);

    GuiContext& context_;
    QLineEdit* nameEdit_ = nullptr;
    QListWidget* tileList_ = nullptr;
    QLineEdit* meanEdit_ = nullptr;
    QLineEdit* largestEdit_ = nullptr;
    QLineEdit* toleranceEdit_ = nullptr;
};

}  // namespace qv
