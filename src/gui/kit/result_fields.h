#pragma once

#include <QLineEdit>
#include <QWidget>
#include <array>
#include <string>

namespace qv {

// One row of three read-only fields, 25°, 45° and 75°, named "<prefix>25Field" and so on.
using AngleFields = std::array<QLineEdit*, 3>;

inline AngleFields angleFields(QWidget& dialog, const char* prefix) {
    AngleFields row{};
    const char* angles[3] = {"25", "45", "75"};
    for (int a = 0; a < 3; ++a)
        row[a] = dialog.findChild<QLineEdit*>(QString::fromLatin1(prefix) +
                                              QLatin1String(angles[a]) + QLatin1String("Field"));
    return row;
}

// A read-only value field as the layouts have them, for dialogs built in code.
inline QLineEdit* valueField(QWidget* parent, const QString& name) {
    auto* field = new QLineEdit(QStringLiteral("---"), parent);
    field->setObjectName(name);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    field->setMaximumWidth(80);
    return field;
}

inline void showRow(const AngleFields& row, const std::array<std::string, 3>& texts) {
    for (int a = 0; a < 3; ++a)
        if (row[a]) row[a]->setText(QString::fromStdString(texts[a]));
}

}  // namespace qv
