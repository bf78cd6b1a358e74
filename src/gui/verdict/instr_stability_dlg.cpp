#include "gui/verdict/instr_stability_dlg.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include "gui/kit/dialog_size.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/pictures.h"
#include "report/log/certificate.h"
#include "ui_instr_stability_dlg.h"

namespace qv {

CInstrStabilityDlg::CInstrStabilityDlg(GuiContext& context, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::CInstrStabilityDlg>()), context_(context) {
    ui_->setupUi(this);
    connect(ui_->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    ui_->buttonBox->button(QDialogButtonBox::Ok)->setDefault(true);
    ui_->buttonBox->button(QDialogButtonBox::Ok)->setFocus();
    certificateButton_ =
        ui_->buttonBox->addButton(tr("Save &certificate..."), QDialogButtonBox::ActionRole);
    certificateButton_->setObjectName(QStringLiteral("certificateButton"));
    instrumentLabel_ = new QLabel(this);
    instrumentLabel_->setObjectName(QStringLiteral("instrumentLabel"));
    instrumentLabel_->setWordWrap(true);
    ui_->textColumn->insertWidget(2, instrumentLabel_);
    savedLabel_ = new QLabel(this);
    savedLabel_->setObjectName(QStringLiteral("savedLabel"));
    savedLabel_->setWordWrap(true);
    savedLabel_->setTextFormat(Qt::RichText);
    savedLabel_->setOpenExternalLinks(true);
    savedLabel_->hide();
    ui_->textColumn->addWidget(savedLabel_);
    certificateButton_->setAutoDefault(false);
    connect(certificateButton_, &QPushButton::clicked, this,
            &CInstrStabilityDlg::onSaveCertificate);
}

CInstrStabilityDlg::~CInstrStabilityDlg() = default;

void CInstrStabilityDlg::prepare(bool repeatMode, CheckVerdict verdict,
                                 const std::string& formulaLabel) {
    repeatMode_ = repeatMode;
    verdict_ = std::move(verdict);
    formulaLabel_ = formulaLabel;
    view_ = openVerdict(repeatMode ? VerdictMode::Repeatability : VerdictMode::InterInstrument,
                        verdict_, context_, formulaLabel);
    render();
}

int CInstrStabilityDlg::exec() {
    // The threshold is read when the window opens: a change made since preparing counts.
    prepare(repeatMode_, verdict_, formulaLabel_);
    return QDialog::exec();
}

// Where the certificate went, with a link that opens its folder: a file saved without a word
// is a file the operator has to look for.
void CInstrStabilityDlg::onSaveCertificate() {
    std::string path;
    if (!view_.record || !saveCertificateAs(*view_.record, context_, &path)) return;
    const QFileInfo saved(QString::fromStdString(path));
    savedLabel_->setText(tr("Certificate saved: %1 <a href=\"%2\">Open its folder</a>")
                             .arg(saved.absoluteFilePath().toHtmlEscaped(),
                                  QUrl::fromLocalFile(saved.absolutePath()).toString()));
    savedLabel_->show();
    fitHeightToContents(this);
}

void CInstrStabilityDlg::render() {
    setWindowTitle(repeatMode_ ? tr("Repeatability verdict") : tr("Inter-instrument verdict"));
    ui_->iconLabel->setPixmap(
        standardPicture(*this, view_.passed ? StandardPicture::Information : StandardPicture::Error,
                        kVerdictPictureSize));
    ui_->line1Label->setText(QString::fromStdString(view_.line1));
    ui_->line2Label->setText(QString::fromStdString(view_.line2));
    instrumentLabel_->setText(QString::fromStdString(view_.instrumentLine));
    const QString unit = QString::fromStdString(view_.formulaLabel);
    ui_->measuredCaption->setText(tr("Largest colour difference (%1):").arg(unit));
    ui_->thresholdCaption->setText(tr("Threshold (%1):").arg(unit));
    ui_->measuredEdit->setText(QString::fromStdString(view_.measuredText));
    ui_->thresholdEdit->setText(QString::fromStdString(view_.thresholdText));
    certificateButton_->setVisible(view_.record.has_value());
    fitHeightToContents(this);
}

}  // namespace qv
