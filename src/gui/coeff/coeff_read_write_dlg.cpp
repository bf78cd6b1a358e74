#include "gui/coeff/coeff_read_write_dlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/coeff/corr_coeff_write_dlg.h"
#include "gui/kit/gui_clock.h"
#include "gui/kit/gui_context.h"

namespace qv {

namespace {

// Heading, path with its browse button, the nine coordinate fields named `<prefix>L25Field`
// and so on, then the dialog's buttons.
QLineEdit* fileLayout(QDialog& d, const QString& heading, const char* prefix, QPushButton* browse,
                      QPushButton* ok, QPushButton* cancel) {
    auto* title = new QLabel(heading, &d);
    title->setStyleSheet(QStringLiteral("font-size: 13pt; font-weight: bold;"));
    auto* path = new QLineEdit(&d);
    path->setObjectName(QStringLiteral("pathEdit"));
    path->setReadOnly(true);
    path->setMinimumWidth(420);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(path, 1);
    pathRow->addWidget(browse);
    auto* grid = new QGridLayout;
    const char* names[3] = {"L", "A", "B"};
    const char* labels[3] = {"L*", "a*", "b*"};
    for (int a = 0; a < 3; ++a)
        grid->addWidget(new QLabel(QStringLiteral("%1°").arg(kAngleDegrees[a]), &d), 0, a + 1,
                        Qt::AlignCenter);
    for (int c = 0; c < 3; ++c) {
        grid->addWidget(new QLabel(QLatin1String(labels[c]), &d), c + 1, 0);
        for (int a = 0; a < 3; ++a)
            grid->addWidget(
                valueField(&d, QLatin1String(prefix) + QLatin1String(names[c]) +
                                   QString::number(kAngleDegrees[a]) + QStringLiteral("Field")),
                c + 1, a + 1);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(&d);
    layout->addWidget(title);
    layout->addLayout(pathRow);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    return path;
}

QPushButton* button(QDialog& d, const QString& text, const char* name) {
    auto* b = new QPushButton(text, &d);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

std::array<AngleFields, 3> coordinateFields(QWidget& d, const char* prefix) {
    std::array<AngleFields, 3> rows{};
    const char* names[3] = {"L", "A", "B"};
    for (int c = 0; c < 3; ++c) rows[c] = angleFields(d, (std::string(prefix) + names[c]).c_str());
    return rows;
}

}  // namespace

CCoeffReadWriteDlg::CCoeffReadWriteDlg(GuiContext& context, QWidget* parent)
    : QDialog(parent), context_(context), workflow_(context) {
    setObjectName(QStringLiteral("CCoeffReadWriteDlg"));
    setWindowTitle(tr("Coefficient file"));
    auto* browse = button(*this, tr("&Browse..."), "browseButton");
    auto* ok = button(*this, tr("&Write into the instrument..."), "okButton");
    ok->setDefault(true);  // Enter goes on, as OK does
    auto* cancel = button(*this, tr("Cancel"), "cancelButton");
    path_ = fileLayout(*this, tr("Write an entry from a coefficient file"), "sample", browse, ok,
                       cancel);
    sampleFields_ = coordinateFields(*this, "sample");
    connect(browse, &QPushButton::clicked, this, &CCoeffReadWriteDlg::onBrowse);
    connect(ok, &QPushButton::clicked, this, &CCoeffReadWriteDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CCoeffReadWriteDlg::reject);
    render();
}

void CCoeffReadWriteDlg::onBrowse() {
    workflow_.browse();
    render();
}

void CCoeffReadWriteDlg::accept() {
    bool go = false;
    {
        BusyCursor busy;
        go = workflow_.ok();
    }
    if (!go) return;
    {
        CCorrCoeffWriteDlg write(context_, this);
        write.exec();
    }
    QDialog::accept();
}

void CCoeffReadWriteDlg::reject() {
    workflow_.cancel();
    QDialog::reject();
}

void CCoeffReadWriteDlg::render() {
    path_->setText(QString::fromStdString(workflow_.path()));
    for (int c = 0; c < 3; ++c) showRow(sampleFields_[c], workflow_.sample()[c]);
}

CDataRegUsingFileDlg::CDataRegUsingFileDlg(GuiContext& context, EvaluateHueControl& colour,
                                           QWidget* parent)
    : QDialog(parent), workflow_(context, colour) {
    setObjectName(QStringLiteral("CDataRegUsingFileDlg"));
    setWindowTitle(tr("Register the target from a file"));
    auto* browse = button(*this, tr("&Browse..."), "browseButton");
    auto* ok = button(*this, tr("&Register"), "registerButton");
    auto* cancel = button(*this, tr("Cancel"), "cancelButton");
    path_ = fileLayout(*this, tr("Target from a file of the reference instrument"), "target",
                       browse, ok, cancel);
    targetFields_ = coordinateFields(*this, "target");
    connect(browse, &QPushButton::clicked, this, &CDataRegUsingFileDlg::onBrowse);
    connect(ok, &QPushButton::clicked, this, &CDataRegUsingFileDlg::onRegister);
    connect(cancel, &QPushButton::clicked, this, &CDataRegUsingFileDlg::reject);
    render();
}

void CDataRegUsingFileDlg::onBrowse() {
    workflow_.browse();
    render();
}

void CDataRegUsingFileDlg::onRegister() {
    if (workflow_.registerTarget()) QDialog::accept();
}

void CDataRegUsingFileDlg::reject() {
    workflow_.cancel();
    QDialog::reject();
}

void CDataRegUsingFileDlg::render() {
    path_->setText(QString::fromStdString(workflow_.path()));
    for (int c = 0; c < 3; ++c) showRow(targetFields_[c], workflow_.target()[c]);
}

}  // namespace qv
