#pragma once

// The logbook of a lab's fleet: the records go to a PostgreSQL server that every workstation
// shares; while the server cannot be reached they wait in this workstation's own logbook, and
// are sent on, oldest first and each once, when it can again (at the next check, at start, and
// when the operator asks).

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/app/prompter.h"
#include "platform/log/logbook_location.h"
#include "platform/log/sql_logbook.h"

namespace qv {

class ProfileStore;

class FleetLogbook : public LogbookStore {
public:
    // `local` keeps what waits for the server; `notify` learns, once, that the server cannot be
    // had and why. The logbook sends what waits itself, at start and before each record, unless
    // a sender of its own (a thread, so that the window never waits for it) is handed the task
    // with sendWaitingWith().
    FleetLogbook(LogbookLocation server, std::unique_ptr<SqlLogbook> local,
                 std::function<void(const std::string&)> notify = {});
    // A program whose sender does the sending: this logbook then only pokes it after each check.
    enum class Sending { Itself, ByOthers };
    FleetLogbook(LogbookLocation server, std::unique_ptr<SqlLogbook> local,
                 std::function<void(const std::string&)> notify, Sending sending);
    void sendWaitingWith(std::function<void()> poke) { poke_ = std::move(poke); }

    bool isOpen() const override;
    std::string where() const override { return location_.name(); }
    const LogbookLocation& location() const { return location_; }
    // Whether the server is connected now; what was wrong the last time it could not be.
    bool serverOpen() const { return server_ && server_->isOpen(); }
    ServerProblem problem() const { return problem_; }
    const std::string& why() const { return why_; }
    // Whether a read in this run was answered from this workstation's logbook alone (the server
    // away): what was shown is not the lab's whole logbook, and the operator was told so.
    bool readLocally() const { return readLocally_; }

    std::int64_t record(const CheckRecord& record) override;
    // The server's records with this workstation's waiting ones, newest first; this
    // workstation's own logbook while the server is away. A record kept here has a negative id.
    std::vector<CheckRecord> records(const std::string& serial, const std::string& since = {},
                                     int limit = -1) override;
    std::vector<Instrument> instruments() override;
    // The server's, with this workstation's waiting records; nothing while the server is away.
    std::optional<std::vector<InstrumentRecords>> overviewRecords(
        const std::string& since) override;
    std::optional<CheckRecord> recordById(std::int64_t id) override;
    // As records(), a page at a time; a server that fails before the first page leaves the
    // history to this workstation's logbook, one that fails later marks it failed.
    std::unique_ptr<HistoryPages> history(const std::string& serial,
                                          const std::string& since) override;
    // Imports go to the server only: false when it cannot be reached.
    bool recordImported(const CheckRecord& record, const std::string& digest) override;
    bool knowsDigest(const std::string& digest) override;
    bool knowsFile(const std::string& path) override;
    // The server's intervals; this workstation's copy of the logbook's while the server is
    // away (the operator told, as for records). They are set on the server only.
    std::optional<CheckIntervals> checkIntervals() override;
    bool setCheckInterval(CheckKind kind, const CheckInterval& interval, std::string& why) override;
    std::optional<TileCertificates> tileCertificates(const std::string& tile) override;
    CertificateAdded addTileCertificate(const TileCertificate& certificate,
                                        std::string& why) override;

    struct Synced {
        int sent = 0;     // added on the server
        int already = 0;  // the server had them (a send cut short before it was marked here)
        int left = 0;     // still waiting
        int refused = 0;  // refused by the server for what they hold: kept here, not sent again
    };
    // Sends the waiting records, oldest first; stops when the server is away, goes on past one
    // it refuses for what the record holds.
    // What this logbook sent since it was opened (at start too), and what still waits.
    Synced sync();
    // The server, connected now or never; nothing when it cannot be reached.
    SqlLogbook* server();
    SqlLogbook& local() { return *local_; }
    const SqlLogbook& local() const { return *local_; }

private:
    friend class FleetHistoryPages;
    // Connects when not connected; tries again no sooner than a little while after a failure,
    // unless `now` (a check waits to be recorded).
    bool reach(bool now);
    void lost(const std::string& why);
    void tellAway();
    // The server for reading: false, and the operator told once, when it is away.
    bool readable();
    void readHere();
    bool readFailed();
    std::int64_t keepRefused(const CheckRecord& record, const std::string& why);
    // Neither the server nor this workstation's logbook took the check: said every time.
    void notKept(const std::string& why);
    // Certificates read from the server that this workstation does not hold yet, copied here so
    // that the check tile goes on while the server is away.
    void keepCertificatesHere(const TileCertificates& read);

    LogbookLocation location_;
    std::unique_ptr<SqlLogbook> local_;
    std::unique_ptr<SqlLogbook> server_;
    std::function<void(const std::string&)> tell_;
    bool told_ = false;
    bool toldReading_ = false;
    bool readLocally_ = false;
    ServerProblem problem_ = ServerProblem::None;
    std::string why_;
    std::optional<std::chrono::steady_clock::time_point> failedAt_;
    Synced synced_;
    Sending sending_ = Sending::Itself;
    std::function<void()> poke_;
};

// Where what a logbook gave in this run came from: "server" when it is a server's logbook and
// every read reached it, else "this workstation" (a local logbook, or a server away).
std::string readSource(const LogbookStore& logbook);

// Sends the records waiting on this workstation from a thread of its own, with connections of
// its own: at start, whenever poked, and every few minutes while any wait.
class WaitingSender {
public:
    WaitingSender(LogbookLocation server, std::string localPath);
    // Lets a send under way finish its record (a connection attempt ends within its time-out).
    ~WaitingSender();
    WaitingSender(const WaitingSender&) = delete;
    WaitingSender& operator=(const WaitingSender&) = delete;
    void poke();

private:
    void run();

    LogbookLocation server_;
    std::string localPath_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool poked_ = true;
    bool stop_ = false;
    std::thread thread_;
};

// The records of `from` (another workstation's logbook file, say) sent to `to`, each once: a
// record without an identity of its own gets one made from its contents, so that a second
// import finds it there.
struct LogbookImport {
    int sent = 0;
    int already = 0;
    int failed = 0;
};
LogbookImport importLogbook(SqlLogbook& from, SqlLogbook& to);

// The logbook at `location`: the file at `path`, or the server with that file keeping what waits.
std::unique_ptr<LogbookStore> openLogbookAt(
    const LogbookLocation& location, const std::string& path,
    const std::function<void(const std::string&)>& tell,
    FleetLogbook::Sending sending = FleetLogbook::Sending::Itself);

// The logbook in force (QV_LOGBOOK, then the settings, unless `choice` says otherwise), telling
// its problems through message 232 of `prompter`; nothing when there is no documents folder.
std::unique_ptr<LogbookStore> openLogbook(
    Prompter& prompter, ProfileStore& profile, LogbookChoice choice = LogbookChoice::InForce,
    FleetLogbook::Sending sending = FleetLogbook::Sending::Itself);

}  // namespace qv
