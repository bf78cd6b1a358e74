#include "platform/app/qt_profile_store.h"

#include <QSettings>
#include <QStandardPaths>
#include <QString>

namespace qv {

namespace {
QString qs(std::string_view s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }
QString settingName(std::string_view section, std::string_view key) {
    return qs(section) + QLatin1Char('/') + qs(key);
}
}  // namespace

namespace {
std::unique_ptr<QSettings> openSettings() {
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(QSettings::UserScope, QStringLiteral("VARNHOLT"),
                                       QStringLiteral("QV-L70s"));
#else
    // Where Qt would put it, but looked up afresh each time: Qt caches its default
    // settings path for the whole process, and tests and the demo move the home around.
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return std::make_unique<QSettings>(dir + QStringLiteral("/VARNHOLT/QV-L70s.conf"),
                                       QSettings::IniFormat);
#endif
}
}  // namespace

QtProfileStore::QtProfileStore() : settings_(openSettings()) {}

QtProfileStore::~QtProfileStore() = default;

std::string QtProfileStore::read(std::string_view section, std::string_view key,
                                 std::string_view fallback) {
    const QVariant v = settings_->value(settingName(section, key));
    if (!v.isValid()) return std::string(fallback);
    return v.toString().toLatin1().toStdString();
}

void QtProfileStore::write(std::string_view section, std::string_view key,
                           std::string_view value) {
    settings_->setValue(settingName(section, key), qs(value));
    settings_->sync();
}

}  // namespace qv
