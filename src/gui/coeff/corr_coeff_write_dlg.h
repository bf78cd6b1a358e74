#pragma once

#include <QDialog>
#include <array>

#include "core/coeff/coefficient_write_workflow.h"
#include "gui/kit/result_fields.h"

class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace qv {

struct GuiContext;
class SpectraChart;

// Writing the correction factors into one of the instrument's entries: the entry list (read
// while a small window waits), the comment, the factors on screen with a warning where they
// rest on dark readings, delete and write.
class CCorrCoeffWriteDlg : public QDialog {
    Q_OBJECT
public:
    CCorrCoeffWriteDlg(GuiContext& context, QWidget* parent = nullptr);
    ~CCorrCoeffWriteDlg() override;

    // Identifies, reads the list, then runs modally; ends at once when the list cannot be read.
    int exec() override;
    const CoefficientWriteWorkflow& workflow() const { return workflow_; }
    bool written() const { return written_; }
    // What the write changes in the readings, when an entry was written.
    std::optional<WrittenCorrection> writtenCorrection() const {
        if (!written_) return std::nullopt;
        return workflow_.written().value_or(WrittenCorrection{});
    }
    // What the pair on screen stands for when it is not one measured specimen (a correction
    // fitted over a tile set); empty hides the line.
    void setPairDescription(const QString& text);

private:
    void build();
    void buildList();
    QGridLayout* buildSampleGrid();
    bool loadEntries();
    void onWrite();
    void onDelete();
    void onSelection();
    void render();

    GuiContext& context_;
    CoefficientWriteWorkflow workflow_;
    bool written_ = false;
    QTableWidget* list_ = nullptr;
    QLineEdit* comment_ = nullptr;
    QPushButton* deleteButton_ = nullptr;
    QPushButton* writeButton_ = nullptr;
    QLabel* darkWarning_ = nullptr;
    QLabel* pairLabel_ = nullptr;
    QLabel* basisLabel_ = nullptr;
    SpectraChart* chart_ = nullptr;
    std::array<AngleFields, 3> sampleFields_{};
};

}  // namespace qv
