#include "gui/kit/instrument_strip.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QLabel>

#include "gui/kit/gui_context.h"

namespace qv {

void GuiActivity::identified(const std::string& serial, const std::string& typeCode) {
    instrument_ = QString::fromStdString(serial) + QStringLiteral(", type ") +
                  QString::fromStdString(typeCode);
    emit instrumentChanged(instrument_);
}

void GuiActivity::step(const std::string& what) {
    step_ = QString::fromStdString(what);
    emit stepChanged(step_);
}

InstrumentStrip::InstrumentStrip(GuiContext& context, QWidget* parent)
    : QFrame(parent), instrument_(new QLabel(this)), step_(new QLabel(this)) {
    setObjectName(QStringLiteral("instrumentStrip"));
    setFrameShape(QFrame::StyledPanel);
    instrument_->setObjectName(QStringLiteral("instrumentLabel"));
    step_->setObjectName(QStringLiteral("exchangeStepLabel"));
    step_->setStyleSheet(QStringLiteral("color: #1f4e8c;"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 3, 6, 3);
    // The step takes the room that is left and never asks for more: a dialog must not widen
    // while an exchange names its steps.
    step_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    step_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row->addWidget(instrument_);
    row->addWidget(step_, 1);
    // Until this dialog's own exchange identifies the instrument, the cable may lead to another
    // one than the instrument named last: the strip says it is only the last one known. The
    // step line starts empty, since what another dialog finished is no news here.
    auto* activity = dynamic_cast<GuiActivity*>(context.activity);
    const QString last = activity && !activity->instrument().isEmpty()
                             ? activity->instrument()
                             : QString::fromStdString(context.state.instrumentId());
    instrument_->setText(last.isEmpty() || last == QStringLiteral("-----")
                             ? tr("Instrument: none identified yet")
                             : tr("Last identified: %1").arg(last));
    if (!activity) return;
    connect(activity, &GuiActivity::instrumentChanged, this, &InstrumentStrip::showInstrument);
    connect(activity, &GuiActivity::stepChanged, step_, &QLabel::setText);
}

QString InstrumentStrip::instrumentText() const {
    return instrument_->text();
}

QString InstrumentStrip::stepText() const {
    return step_->text();
}

void InstrumentStrip::showInstrument(const QString& instrument) {
    instrument_->setText(instrument.isEmpty() ? tr("Instrument: none identified yet")
                                              : tr("Instrument: %1").arg(instrument));
}

InstrumentStrip* addInstrumentStrip(GuiContext& context, QBoxLayout* layout, int index) {
    auto* strip = new InstrumentStrip(context, layout->parentWidget());
    layout->insertWidget(index, strip);
    return strip;
}

ExchangeGuard::ExchangeGuard(QWidget& dialog) {
    for (QAbstractButton* b : dialog.findChildren<QAbstractButton*>()) {
        if (!b->isEnabled()) continue;
        b->setEnabled(false);
        disabled_.emplace_back(b);
    }
}

ExchangeGuard::~ExchangeGuard() {
    for (const QPointer<QAbstractButton>& b : disabled_)
        if (b) b->setEnabled(true);
}

}  // namespace qv
