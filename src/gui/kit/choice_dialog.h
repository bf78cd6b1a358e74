#pragma once

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "core/app/prompter.h"

class QListWidget;
class QPushButton;

namespace qv {

class StringTable;

// A question of fact with its possible answers as a list. Nothing is chosen beforehand: OK
// stays off until the operator picks an answer, so that none is given by pressing Enter.
class ChoiceDialog : public QDialog {
    Q_OBJECT
public:
    ChoiceDialog(const Message& question, const std::vector<std::string>& choices,
                 const StringTable& strings, QWidget* parent = nullptr);
    // The row picked when the dialog was accepted; nothing otherwise.
    std::optional<std::size_t> chosen() const;
    // Enter without a choice answers nothing.
    void accept() override;

private:
    QListWidget* list_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace qv
