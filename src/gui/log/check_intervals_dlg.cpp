#include "gui/log/check_intervals_dlg.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/log/performance_settings.h"
#include "gui/kit/gui_context.h"
#include "gui/kit/palette.h"
#include "platform/log/logbook_reader.h"

namespace qv {

namespace {

QString q(std::string_view s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

QString suggestion(CheckKind kind) {
    const CheckInterval s = suggestedInterval(kind);
    const QString every =
        *s.days == 1 ? QCoreApplication::translate("CCheckIntervalsDlg", "suggested: every day")
                     : QCoreApplication::translate("CCheckIntervalsDlg", "suggested: every %1 days")
                           .arg(*s.days);
    return s.leadDays == 0 ? every
                           : every + QCoreApplication::translate("CCheckIntervalsDlg",
                                                                 ", due soon %1 days before")
                                         .arg(s.leadDays);
}

}  // namespace

CCheckIntervalsDlg::CCheckIntervalsDlg(GuiContext& context, LogbookStore& logbook, QWidget* parent)
    : QDialog(parent), context_(context) {
    setObjectName(QStringLiteral("CCheckIntervalsDlg"));
    setWindowTitle(tr("Check intervals"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        tr("How often every instrument of the lab is to be checked. A kind without an interval "
           "holds nothing back; an instrument past an interval in force is overdue."),
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("Check"), this), 0, 0);
    grid->addWidget(new QLabel(tr("Every (days)"), this), 0, 1);
    grid->addWidget(new QLabel(tr("Due soon (days before)"), this), 0, 2);
    for (CheckKind kind : kCheckKinds) {
        const int r = 1 + int(kind);
        Row& row = rows_[std::size_t(kind)];
        row.inForce = new QCheckBox(q(checkKindName(kind)), this);
        row.inForce->setObjectName(q(checkKindName(kind)) + QStringLiteral("InForce"));
        row.days = new QSpinBox(this);
        row.days->setObjectName(q(checkKindName(kind)) + QStringLiteral("Days"));
        row.days->setRange(1, kMaxLongTermDays);
        row.lead = new QSpinBox(this);
        row.lead->setObjectName(q(checkKindName(kind)) + QStringLiteral("Lead"));
        row.lead->setRange(0, kMaxLongTermDays - 1);
        const CheckInterval s = suggestedInterval(kind);
        row.days->setValue(*s.days);
        row.lead->setValue(s.leadDays);
        connect(row.inForce, &QCheckBox::toggled, row.days, &QWidget::setEnabled);
        connect(row.inForce, &QCheckBox::toggled, row.lead, &QWidget::setEnabled);
        row.days->setEnabled(false);
        row.lead->setEnabled(false);
        grid->addWidget(row.inForce, r, 0);
        grid->addWidget(row.days, r, 1);
        grid->addWidget(row.lead, r, 2);
        grid->addWidget(new QLabel(suggestion(kind), this), r, 3);
    }
    layout->addLayout(grid);
    problem_ = new QLabel(tr("Reading the logbook..."), this);
    problem_->setObjectName(QStringLiteral("problemLabel"));
    problem_->setWordWrap(true);
    layout->addWidget(problem_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CCheckIntervalsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    busy_ = true;
    reader_ = std::make_unique<LogbookReader>(sameLogbook(logbook));
    reader_->post([this](LogbookStore* store) {
        const std::optional<CheckIntervals> read = store ? store->checkIntervals() : std::nullopt;
        QMetaObject::invokeMethod(
            this, [this, read] { show(read); }, Qt::QueuedConnection);
    });
}

CCheckIntervalsDlg::~CCheckIntervalsDlg() = default;

QString CCheckIntervalsDlg::problem() const {
    return problem_->text();
}

void CCheckIntervalsDlg::show(const std::optional<CheckIntervals>& intervals) {
    busy_ = false;
    read_ = intervals;
    if (!intervals) {
        problem_->setText(tr("The logbook's check intervals cannot be read; nothing can be set."));
        return;
    }
    problem_->clear();
    for (CheckKind kind : kCheckKinds) {
        const CheckInterval& c = intervalOf(*intervals, kind);
        const Row& row = rows_[std::size_t(kind)];
        row.inForce->setChecked(c.days.has_value());
        if (c.days) {
            row.days->setValue(*c.days);
            row.lead->setValue(c.leadDays);
        }
    }
}

CheckInterval CCheckIntervalsDlg::shown(CheckKind kind) const {
    const Row& row = rows_[std::size_t(kind)];
    if (!row.inForce->isChecked()) return {};
    return {row.days->value(), row.lead->value()};
}

// Every change is checked before the first is sent, and sent on the reader's thread.
void CCheckIntervalsDlg::accept() {
    if (busy_ || !read_) return;
    std::vector<IntervalSetting> changes;
    for (CheckKind kind : kCheckKinds) {
        const CheckInterval c = shown(kind);
        if (const std::string why = whyNotInterval(c); !why.empty()) {
            problem_->setText(q(checkKindName(kind)) + QStringLiteral(": ") + q(why));
            return;
        }
        if (!(c == intervalOf(*read_, kind))) changes.push_back({kind, c});
    }
    if (changes.empty()) return QDialog::accept();
    busy_ = true;
    problem_->setText(tr("Writing to the logbook..."));
    reader_->post([this, changes](LogbookStore* store) {
        std::string why = store ? std::string() : "the logbook cannot be opened";
        for (const IntervalSetting& s : changes)
            if (why.empty()) store->setCheckInterval(s.kind, s.interval, why);
        QMetaObject::invokeMethod(
            this, [this, why] { written(QString::fromStdString(why)); }, Qt::QueuedConnection);
    });
}

void CCheckIntervalsDlg::written(const QString& why) {
    busy_ = false;
    if (why.isEmpty()) return QDialog::accept();
    problem_->setText(tr("Not every interval was kept: %1").arg(why));
}

}  // namespace qv
