#include "gui/kit/profile_finder.h"

#include <QCoreApplication>

#include "core/tiles/standardise.h"
#include "platform/app/atomic_file_store.h"

namespace qv {

std::unique_ptr<ProfileFinder> ProfileFinder::of(const LogbookStore* logbook,
                                                 const StringTable& texts) {
    if (!logbook || !logbook->isOpen()) return nullptr;
    return std::make_unique<ProfileFinder>(*logbook, texts);
}

ProfileFinder::ProfileFinder(const LogbookStore& logbook, const StringTable& texts)
    : reader_(sameLogbook(logbook)), texts_(texts) {}

void ProfileFinder::find(const std::string& serial, QObject* owner,
                         std::function<void(const std::optional<StoredProfile>&)> done) {
    reader_.post([this, serial, owner, done = std::move(done)](LogbookStore* store) {
        std::optional<StoredProfile> found;
        if (store && !serial.empty()) {
            AtomicFileStore files;
            std::string why;
            found = storedProfile(*store, files, texts_, 0, serial, why);
            if (found && !found->file) found.reset();
        }
        QMetaObject::invokeMethod(
            owner, [done, found] { done(found); }, Qt::QueuedConnection);
    });
}

QString profileInUseText(const StoredProfile& profile, const LocalTime& now) {
    QString text = QCoreApplication::translate("ProfileFinder", "through %1")
                       .arg(QString::fromStdString(profileLabel(profile.record.id, *profile.file)));
    if (profileDue(*profile.file, now))
        return text + QCoreApplication::translate("ProfileFinder",
                                                  " (due: it stood until %1; make it again)")
                          .arg(QString::fromStdString(calendarDate(profile.file->validUntil)));
    if (!profile.dueByCheck.empty())
        return text + QCoreApplication::translate("ProfileFinder", " (due: %1)")
                          .arg(QString::fromStdString(profile.dueByCheck));
    return text;
}

}  // namespace qv
