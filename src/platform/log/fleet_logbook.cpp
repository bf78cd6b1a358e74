#include "platform/log/fleet_logbook.h"

#include <QCryptographicHash>
#include <QUuid>
#include <algorithm>
#include <unordered_set>

#include "core/app/message_box.h"
#include "core/app/profile_store.h"
#include "core/app/string_ids.h"
#include "core/log/workstations.h"

namespace qv {

namespace {

// How long a workstation leaves an unreachable server alone before reading from it again.
constexpr std::chrono::seconds kRetryAfter{30};

// A record kept on this workstation goes by the negative of its id there, so that it is never
// taken for one of the server's.
CheckRecord localised(CheckRecord r) {
    r.id = -r.id;
    return r;
}

}  // namespace

FleetLogbook::FleetLogbook(LogbookLocation server, std::unique_ptr<SqlLogbook> local,
                           std::function<void(const std::string&)> notify)
    : FleetLogbook(std::move(server), std::move(local), std::move(notify), Sending::Itself) {}

FleetLogbook::FleetLogbook(LogbookLocation server, std::unique_ptr<SqlLogbook> local,
                           std::function<void(const std::string&)> notify, Sending sending)
    : location_(std::move(server)),
      local_(std::move(local)),
      tell_(std::move(notify)),
      sending_(sending) {
    // At start: what waits from an earlier run goes now, if it can.
    if (reach(true) && sending_ == Sending::Itself) sync();
}

bool FleetLogbook::isOpen() const {
    return serverOpen() || (local_ && local_->isOpen());
}

void FleetLogbook::lost(const std::string& why) {
    server_.reset();
    failedAt_ = std::chrono::steady_clock::now();
    why_ = why;
}

bool FleetLogbook::reach(bool now) {
    if (serverOpen()) return true;
    // A server that did not answer in time costs seconds to try again: even a check waiting to
    // be recorded does not try it again for a while. A refusal costs nothing and is tried anew.
    const bool timedOut = problem_ == ServerProblem::Unreachable;
    if ((!now || timedOut) && failedAt_ &&
        std::chrono::steady_clock::now() - *failedAt_ < kRetryAfter)
        return false;
    server_ = std::make_unique<SqlLogbook>(location_);
    if (server_->isOpen()) {
        failedAt_.reset();
        problem_ = ServerProblem::None;
        return true;
    }
    problem_ = server_->problem();
    lost(server_->why());
    return false;
}

bool FleetLogbook::readable() {
    if (reach(false)) return true;
    readHere();
    return false;
}

void FleetLogbook::readHere() {
    readLocally_ = true;
    if (toldReading_ || !tell_) return;
    toldReading_ = true;
    tell_("The logbook server " + location_.name() + " cannot be used (" + describe(problem_) +
          ": " + why_ + "): what is shown is this workstation's records only.");
}

// A read the server did not answer (gone, a lock or statement time-out): the server is taken as
// away, and the read is answered here.
bool FleetLogbook::readFailed() {
    if (!server_ || !server_->readFailed()) return false;
    if (problem_ == ServerProblem::None) problem_ = ServerProblem::Unreachable;
    lost(server_->why());
    readHere();
    return true;
}

void FleetLogbook::tellAway() {
    if (told_ || !tell_) return;
    told_ = true;
    tell_("The logbook server " + location_.name() + " cannot be used (" + describe(problem_) +
          ": " + why_ + "). Checks are recorded on this workstation and sent when it is back.");
}

std::int64_t FleetLogbook::keepRefused(const CheckRecord& r, const std::string& why) {
    const std::int64_t kept = local_->recordWaiting(r, location_.name(), why);
    if (kept == 0) ++notRecorded_;
    // Told every time: each refused record needs someone to look at it.
    if (tell_)
        tell_("The logbook server " + location_.name() + " refused the record of this check (" +
              why + "). " +
              (kept != 0 ? "It is kept on this workstation and listed by \"logbook where\"."
                         : "It could not be kept on this workstation either: the check is not "
                           "recorded."));
    return -kept;
}

std::int64_t FleetLogbook::record(const CheckRecord& check) {
    const CheckRecord r = completed(check);
    // What the server would refuse is not sent at all; the next check goes as usual.
    if (const std::string why = whyRefused(r); !why.empty()) return keepRefused(r, why);
    if (reach(true)) {
        if (sending_ == Sending::Itself) sync();
        const SqlLogbook::Inserted added =
            serverOpen() ? server_->send(r, firstFileDigest(r.files)) : SqlLogbook::Inserted{};
        const SqlLogbook::Sent sent = added.outcome;
        if (sent == SqlLogbook::Sent::Added) {
            // The server is back: what waits from before goes too.
            if (poke_) poke_();
            return added.id;
        }
        if (sent == SqlLogbook::Sent::Refused) return keepRefused(r, server_->why());
        // The server holds this check already (its file imported elsewhere first): nothing is
        // kept here, and no other record stands in for it.
        if (sent == SqlLogbook::Sent::AlreadyThere) return 0;
        if (serverOpen()) lost(server_->why());
        if (problem_ == ServerProblem::None) problem_ = ServerProblem::Unreachable;
    }
    const std::int64_t kept = local_->recordWaiting(r, location_.name());
    if (kept != 0)
        tellAway();
    else
        notKept(local_->why());
    if (poke_) poke_();
    return -kept;
}

void FleetLogbook::notKept(const std::string& why) {
    ++notRecorded_;
    if (!tell_) return;
    const std::string server =
        serverOpen() ? std::string("took it not") : "cannot be used (" + describe(problem_) + ")";
    tell_("This check is not recorded: the logbook server " + location_.name() + " " + server +
          ", and this workstation's logbook " + local_->path() + " could not keep it (" + why +
          "). Its result files were written.");
}

FleetLogbook::Synced FleetLogbook::sync() {
    Synced& done = synced_;
    const std::vector<std::int64_t> waiting = local_->waiting();
    done.left = static_cast<int>(waiting.size());
    if (waiting.empty() || !reach(true)) return done;
    for (const std::int64_t id : waiting) {
        const std::optional<CheckRecord> r = local_->recordById(id);
        if (!r) break;
        // Marked here only once the server holds it: a send cut short is sent again, and the
        // server knows it by its identity.
        const SqlLogbook::Sent sent = server_->send(*r, local_->digestOf(id)).outcome;
        if (sent == SqlLogbook::Sent::Failed) {
            lost(server_->why());
            break;
        }
        // Refused for what it holds: kept here, marked, and the queue goes on with the next.
        if (sent == SqlLogbook::Sent::Refused) {
            if (!local_->markRefused(id, server_->why())) break;
            ++done.refused;
            --done.left;
            continue;
        }
        if (!local_->markSent(id)) break;
        ++(sent == SqlLogbook::Sent::Added ? done.sent : done.already);
        --done.left;
    }
    return done;
}

SqlLogbook* FleetLogbook::server() {
    return reach(true) ? server_.get() : nullptr;
}

namespace {
// The server's records of an instrument with this workstation's waiting ones, newest first.
void withWaiting(std::vector<CheckRecord>& out, std::vector<CheckRecord> waiting) {
    // Numbers at or below zero are this workstation's own: a server row carrying one (written
    // past the program by someone with more rights) must never be taken for a local record.
    std::erase_if(out, [](const CheckRecord& r) { return r.id <= 0; });
    // A record being sent at this moment may be on both sides for a while: it is shown once.
    std::unordered_set<std::string> onServer;
    for (const CheckRecord& r : out) onServer.insert(r.uuid);
    for (CheckRecord& r : waiting)
        if (!onServer.count(r.uuid)) out.push_back(localised(std::move(r)));
    // By the instant: workstations in other time zones keep their own clocks' times.
    std::stable_sort(out.begin(), out.end(), [](const CheckRecord& a, const CheckRecord& b) {
        return logbookInstant(a.time, a.utcOffsetMinutes) >
               logbookInstant(b.time, b.utcOffsetMinutes);
    });
}
}  // namespace

std::vector<CheckRecord> FleetLogbook::records(const std::string& serial, const std::string& since,
                                               int limit) {
    std::vector<CheckRecord> out;
    if (readable()) out = server_->records(serial, since, limit);
    if (!serverOpen() || readFailed()) {
        out.clear();
        for (CheckRecord& r : local_->records(serial, since, limit))
            out.push_back(localised(std::move(r)));
        return out;
    }
    withWaiting(out, local_->waitingRecords(serial, since, limit));
    if (limit >= 0 && out.size() > static_cast<std::size_t>(limit))
        out.resize(static_cast<std::size_t>(limit));
    return out;
}

std::optional<std::vector<LogbookStore::InstrumentRecords>> FleetLogbook::overviewRecords(
    const std::string& since) {
    if (!readable()) return std::nullopt;
    auto out = server_->overviewRecords(since);
    if (!out || readFailed()) return std::nullopt;
    // Few records wait, if any (refused ones stay too): their instruments take all of them.
    if (local_->waiting().empty() && local_->refused().empty()) return out;
    for (InstrumentRecords& i : *out) {
        std::vector<CheckRecord> waiting = local_->waitingRecords(i.instrument.serial, {}, -1);
        for (const std::string& w : workstationsOf(waiting)) i.workstations.push_back(w);
        std::sort(i.workstations.begin(), i.workstations.end());
        i.workstations.erase(std::unique(i.workstations.begin(), i.workstations.end()),
                             i.workstations.end());
        withWaiting(i.records, std::move(waiting));
    }
    return out;
}

std::vector<LogbookStore::Instrument> FleetLogbook::instruments() {
    if (readable()) {
        std::vector<Instrument> out = server_->instruments();
        if (!readFailed()) return out;
    }
    return local_->instruments();
}

std::optional<CheckRecord> FleetLogbook::recordById(std::int64_t id) {
    if (id < 0) {
        auto r = local_->recordById(-id);
        return r ? std::optional<CheckRecord>(localised(*r)) : std::nullopt;
    }
    if (id == 0 || !readable()) return std::nullopt;
    std::optional<CheckRecord> r = server_->recordById(id);
    return readFailed() ? std::nullopt : r;
}

bool FleetLogbook::recordImported(const CheckRecord& record, const std::string& digest) {
    return reach(true) && server_->recordImported(record, digest);
}

bool FleetLogbook::knowsDigest(const std::string& digest) {
    return reach(false) ? server_->knowsDigest(digest) : local_->knowsDigest(digest);
}

bool FleetLogbook::knowsFile(const std::string& path) {
    return reach(false) ? server_->knowsFile(path) : local_->knowsFile(path);
}

std::optional<CheckIntervals> FleetLogbook::checkIntervals() {
    if (readable()) {
        std::optional<CheckIntervals> out = server_->checkIntervals();
        if (!readFailed()) return out;
    }
    return local_->checkIntervals();
}

bool FleetLogbook::setCheckInterval(CheckKind kind, const CheckInterval& interval,
                                    std::string& why) {
    if (!reach(true)) {
        why = "the logbook server " + location_.name() + " cannot be used (" + describe(problem_) +
              ": " + why_ + ")";
        return false;
    }
    return server_->setCheckInterval(kind, interval, why);
}

std::optional<TileCertificates> FleetLogbook::tileCertificates(const std::string& tile) {
    if (readable()) {
        std::optional<TileCertificates> out = server_->tileCertificates(tile);
        if (!readFailed()) {
            if (out) keepCertificatesHere(*out);
            return out;
        }
    }
    return local_->tileCertificates(tile);
}

void FleetLogbook::keepCertificatesHere(const TileCertificates& read) {
    // One read of what is here; only what is new is added, oldest first so that the newest
    // stays in force. Adding never changes certified values this workstation holds already.
    const auto here = local_->tileCertificates({});
    if (!here) return;
    std::unordered_set<std::string> held;
    for (const StoredTileCertificate& s : here->rows)
        held.insert(certifiedValuesText(s.certificate) + "\n" + labValuesText(s.certificate));
    for (auto row = read.rows.rbegin(); row != read.rows.rend(); ++row) {
        const TileCertificate& c = row->certificate;
        if (held.count(certifiedValuesText(c) + "\n" + labValuesText(c))) continue;
        std::string why;
        local_->addTileCertificate(c, why);
    }
}

CertificateAdded FleetLogbook::addTileCertificate(const TileCertificate& certificate,
                                                  std::string& why) {
    // A certificate is the lab's, as its intervals are: kept on the server only.
    if (!reach(true)) {
        why = "the logbook server " + location_.name() + " cannot be used (" + describe(problem_) +
              ": " + why_ + ")";
        return CertificateAdded::Refused;
    }
    return server_->addTileCertificate(certificate, why);
}

std::string readSource(const LogbookStore& logbook) {
    const auto* fleet = dynamic_cast<const FleetLogbook*>(&logbook);
    return fleet && !fleet->readLocally() ? "server" : "this workstation";
}

namespace {

// A record's identity made from what it says, the same on every import of the same file.
std::string contentIdentity(const CheckRecord& r) {
    QCryptographicHash h(QCryptographicHash::Sha256);
    const auto add = [&h](const std::string& s) {
        h.addData(QByteArray::fromStdString(s));
        h.addData(QByteArrayView("\x1f", 1));
    };
    for (const std::string& s :
         {std::string(kindName(r.kind)), r.serial, r.referenceSerial, logbookTime(r.time),
          r.operatorName, r.comment, std::to_string(r.entry)})
        add(s);
    for (const std::string& f : r.files) add(f);
    for (const AngleRecord& a : r.angles)
        for (double v : {a.lab[0], a.lab[1], a.lab[2], a.deltaE, a.beforeDeltaE})
            add(std::to_string(v));
    static const QUuid kSpace =
        QUuid::fromString(QStringLiteral("6d1c7a52-6f53-4c8e-9d0b-5a1c2e6f4b10"));
    return QUuid::createUuidV5(kSpace, h.result()).toString(QUuid::WithoutBraces).toStdString();
}

}  // namespace

LogbookImport importLogbook(SqlLogbook& from, SqlLogbook& to) {
    LogbookImport done;
    for (const LogbookStore::Instrument& i : from.instruments()) {
        std::vector<CheckRecord> all = from.records(i.serial);
        // Oldest first, as they were recorded.
        for (auto r = all.rbegin(); r != all.rend(); ++r) {
            CheckRecord sent = *r;
            if (sent.uuid.empty()) sent.uuid = contentIdentity(sent);
            switch (to.send(sent, from.digestOf(r->id)).outcome) {
                case SqlLogbook::Sent::Added:
                    ++done.sent;
                    break;
                case SqlLogbook::Sent::AlreadyThere:
                    ++done.already;
                    break;
                case SqlLogbook::Sent::Failed:
                case SqlLogbook::Sent::Refused:
                    ++done.failed;
                    break;
            }
        }
    }
    return done;
}

WaitingSender::WaitingSender(LogbookLocation server, std::string localPath)
    : server_(std::move(server)), localPath_(std::move(localPath)), thread_([this] { run(); }) {}

WaitingSender::~WaitingSender() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void WaitingSender::poke() {
    {
        const std::lock_guard lock(mutex_);
        poked_ = true;
    }
    wake_.notify_all();
}

void WaitingSender::run() {
    // While records wait, the server is asked again now and then even if no check pokes.
    constexpr std::chrono::minutes kRetryEvery{2};
    std::unique_ptr<FleetLogbook> logbook;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, kRetryEvery, [this] { return poked_ || stop_; });
            if (stop_) return;
            poked_ = false;
        }
        // Made here: a database connection belongs to the thread that opened it.
        if (!logbook)
            logbook =
                std::make_unique<FleetLogbook>(server_, std::make_unique<SqlLogbook>(localPath_),
                                               nullptr, FleetLogbook::Sending::ByOthers);
        logbook->sync();
    }
}

std::unique_ptr<LogbookStore> openLogbookAt(const LogbookLocation& location,
                                            const std::string& path,
                                            const std::function<void(const std::string&)>& tell,
                                            FleetLogbook::Sending sending) {
    auto local = std::make_unique<SqlLogbook>(path, tell);
    if (!location.isServer()) return local;
    return std::make_unique<FleetLogbook>(location, std::move(local), tell, sending);
}

std::unique_ptr<LogbookStore> openLogbook(Prompter& prompter, ProfileStore& profile,
                                          LogbookChoice choice, FleetLogbook::Sending sending) {
    const std::string path = logbookPath();
    if (path.empty()) return nullptr;
    const auto tell = [&prompter](const std::string& what) {
        Message m = messageBox(kStrLogbookProblem, Icon::Exclamation);
        m.suffix = "\n" + what;
        prompter.ask(m);
    };
    std::string why;
    const std::optional<LogbookLocation> location = chosenLogbookLocation(profile, choice, &why);
    if (!location) tell(why + "; checks are recorded on this workstation.");
    return openLogbookAt(location.value_or(LogbookLocation{}), path, tell, sending);
}

}  // namespace qv
