#include "gui/log/logbook_location_dlg.h"

#include <algorithm>

#include <QApplication>
#include <QPushButton>

#include "core/app/message_box.h"
#include "gui/kit/dialog_size.h"
#include "gui/kit/gui_context.h"
#include "platform/log/logbook_server_tasks.h"
#include "platform/log/sql_logbook.h"
#include "ui_logbook_location_dlg.h"

namespace qv {

namespace {

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string text(const QLineEdit* edit) {
    return edit->text().trimmed().toStdString();
}

bool sameLocation(const LogbookLocation& a, const LogbookLocation& b) {
    if (a.isServer() != b.isServer()) return false;
    return !a.isServer() || (a.host == b.host && a.port == b.port && a.database == b.database &&
                             a.user == b.user && a.tlsMode == b.tlsMode && a.service == b.service &&
                             a.rootCertificate == b.rootCertificate);
}

}  // namespace

CLogbookLocationDlg::CLogbookLocationDlg(GuiContext& context, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::CLogbookLocationDlg>()),
      context_(context),
      saved_(savedLogbookLocation(context.profile)) {
    ui_->setupUi(this);
    // Nothing chosen leaves the mode to PGSSLMODE or a service file, as psql does.
    ui_->tlsCombo->addItem(tr("default"), QString());
    for (const std::string& mode : tlsModes()) ui_->tlsCombo->addItem(q(mode), q(mode));
    showEnvironment();
    showLocation(saved_);
    for (QLineEdit* edit :
         {ui_->hostEdit, ui_->databaseEdit, ui_->userEdit, ui_->serviceEdit, ui_->rootCertEdit})
        connect(edit, &QLineEdit::textEdited, this, &CLogbookLocationDlg::onChanged);
    connect(ui_->portSpin, &QSpinBox::valueChanged, this, &CLogbookLocationDlg::onChanged);
    connect(ui_->tlsCombo, &QComboBox::activated, this, &CLogbookLocationDlg::onChanged);
    connect(ui_->serverRadio, &QRadioButton::toggled, this, &CLogbookLocationDlg::onChanged);
    connect(ui_->tryButton, &QPushButton::clicked, this, &CLogbookLocationDlg::tryLocation);
    connect(ui_->buttonBox, &QDialogButtonBox::accepted, this, &CLogbookLocationDlg::onOk);
    connect(ui_->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    onChanged();
    fitHeightToContents(this);
}

CLogbookLocationDlg::~CLogbookLocationDlg() = default;

// QV_LOGBOOK decides this run's logbook whatever the settings say: an operator who changes
// them without knowing would wonder why nothing changes.
void CLogbookLocationDlg::showEnvironment() {
    const QByteArray env = qgetenv("QV_LOGBOOK");
    ui_->environmentLabel->setVisible(!env.isEmpty());
    if (env.isEmpty()) return;
    QString now;
    std::string why;
    if (env == "local")
        now = tr("this run keeps the logbook on this workstation.");
    else if (const auto l = locationFromUri(env.toStdString(), &why))
        now = tr("this run's logbook is %1.").arg(q(l->name()));
    else
        now = tr("but it is no connection URI (%1).").arg(q(why));
    ui_->environmentLabel->setText(
        tr("QV_LOGBOOK is set in the environment and goes before these settings: %1 What is "
           "chosen here takes effect once QV_LOGBOOK is no longer set.")
            .arg(now));
}

void CLogbookLocationDlg::showLocation(const LogbookLocation& l) {
    ui_->serverRadio->setChecked(l.isServer());
    ui_->localRadio->setChecked(!l.isServer());
    ui_->hostEdit->setText(q(l.host));
    ui_->portSpin->setValue(l.port);
    ui_->databaseEdit->setText(q(l.database));
    ui_->userEdit->setText(q(l.user));
    ui_->tlsCombo->setCurrentIndex(std::max(0, ui_->tlsCombo->findData(q(l.tlsMode))));
    ui_->serviceEdit->setText(q(l.service));
    ui_->rootCertEdit->setText(q(l.rootCertificate));
}

LogbookLocation CLogbookLocationDlg::location() const {
    LogbookLocation l;
    if (!ui_->serverRadio->isChecked()) return l;
    l.kind = LogbookLocation::Kind::Server;
    l.host = text(ui_->hostEdit);
    l.port = ui_->portSpin->value();
    l.database = text(ui_->databaseEdit);
    l.user = text(ui_->userEdit);
    l.tlsMode = ui_->tlsCombo->currentData().toString().toStdString();
    l.service = text(ui_->serviceEdit);
    l.rootCertificate = text(ui_->rootCertEdit);
    return l;
}

void CLogbookLocationDlg::onChanged() {
    const bool server = ui_->serverRadio->isChecked();
    ui_->serverFields->setEnabled(server);
    // A server needs a host, or a service that names one.
    const bool complete = !server || !ui_->hostEdit->text().trimmed().isEmpty() ||
                          !ui_->serviceEdit->text().trimmed().isEmpty();
    ui_->tryButton->setEnabled(server && complete);
    ui_->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(complete);
    // What a try found holds for what was tried, not for what is entered now.
    showTried({});
}

void CLogbookLocationDlg::showTried(const QString& found) {
    if (found == ui_->tryResultLabel->text()) return;
    ui_->tryResultLabel->setText(found);
    // Its lines are read whole: the dialog grows to them, and shrinks back once they go.
    fitHeightToContents(this);
}

void CLogbookLocationDlg::tryLocation() {
    const LogbookLocation l = location();
    if (!l.isServer()) return;
    // libpq gives up after its connect time-out (5 s), so a busy cursor is all the wait needs.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const SqlLogbook::ServerTry tried = SqlLogbook::tryServer(l);
    QApplication::restoreOverrideCursor();
    showTried(q(tryText(tried, l)));
}

void CLogbookLocationDlg::onOk() {
    const LogbookLocation l = location();
    saveLogbookLocation(context_.profile, l);
    if (!sameLocation(l, saved_)) {
        Message m = messageBox(kStrLogbookLocationSaved, Icon::Information);
        m.suffix = "\n" + (l.isServer() ? l.name() : std::string("this workstation"));
        context_.prompter.ask(m);
    }
    accept();
}

}  // namespace qv
