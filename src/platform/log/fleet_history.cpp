// One instrument's history of a fleet's logbook, page after page: the server's records and
// this workstation's waiting ones merged by the instant, each shown once.
#include <deque>
#include <unordered_set>
#include <utility>

#include "platform/log/fleet_logbook.h"

namespace qv {

namespace {

using Key = SqlLogbook::HistoryKey;

// The pages of one logbook's records of the instrument, taken one at a time.
struct Stream {
    Stream() = default;
    Stream(SqlLogbook* b, SqlLogbook::Rows r) : book(b), rows(r) {}

    SqlLogbook* book = nullptr;
    SqlLogbook::Rows rows = SqlLogbook::Rows::All;
    std::deque<std::pair<CheckRecord, Key>> buffered;
    std::optional<Key> after;
    bool done = false;

    // False when the read failed.
    bool fill(const std::string& serial, const std::string& since, int count) {
        if (!book || done || !buffered.empty()) return true;
        std::vector<Key> keys;
        std::vector<CheckRecord> page = book->historyPage(serial, since, rows, count, after, keys);
        if (book->readFailed()) return false;
        done = page.size() < static_cast<std::size_t>(count);
        for (std::size_t i = 0; i < page.size(); ++i)
            buffered.emplace_back(std::move(page[i]), keys[i]);
        if (!keys.empty()) after = keys.back();
        return true;
    }
    const Key* head() const { return buffered.empty() ? nullptr : &buffered.front().second; }
};

}  // namespace

class FleetHistoryPages : public HistoryPages {
public:
    FleetHistoryPages(FleetLogbook& fleet, std::string serial, std::string since)
        : fleet_(fleet), serial_(std::move(serial)), since_(std::move(since)) {
        if (fleet_.readable()) {
            server_ = {fleet_.server_.get(), SqlLogbook::Rows::Numbered};
            waiting_ = {fleet_.local_.get(), SqlLogbook::Rows::Waiting};
        } else {
            onlyHere();
        }
    }

    std::vector<CheckRecord> next(int count) override {
        std::vector<CheckRecord> out;
        while (static_cast<int>(out.size()) < count && !failed_) {
            if (!fill(count)) break;
            // The newer first; at one instant the server's, so that a record being sent at
            // this moment, on both sides for a while, is known by then and shown once.
            const Key* s = server_.head();
            const Key* w = waiting_.head();
            if (!s && !w) break;
            const bool fromServer = s && (!w || s->instant >= w->instant);
            Stream& from = fromServer ? server_ : waiting_;
            auto [record, key] = std::move(from.buffered.front());
            from.buffered.pop_front();
            if (key.instant != instant_) {
                instant_ = key.instant;
                onServer_.clear();
            }
            if (fromServer && !local_) {
                onServer_.insert(record.uuid);
            } else if (!onServer_.count(record.uuid) || local_) {
                record.id = -record.id;
            } else {
                continue;
            }
            out.push_back(std::move(record));
            given_ = true;
        }
        return out;
    }
    bool failed() const override { return failed_; }

private:
    bool fill(int count) {
        // The connection the pages began on was dropped since (another read found the server
        // away): what was shown is not whole, and that connection is gone.
        if (!local_ && fleet_.server_.get() != server_.book) {
            failed_ = true;
            return false;
        }
        if (server_.fill(serial_, since_, count) && waiting_.fill(serial_, since_, count))
            return true;
        // A server that fails before anything was shown leaves the history to this
        // workstation's logbook, as a whole read would; later, what was shown is not whole.
        if (!local_ && !given_ && fleet_.readFailed()) {
            onlyHere();
            if (server_.fill(serial_, since_, count)) return true;
        }
        failed_ = true;
        return false;
    }
    void onlyHere() {
        local_ = true;
        server_ = {fleet_.local_.get(), SqlLogbook::Rows::All};
        waiting_ = {};
    }

    FleetLogbook& fleet_;
    std::string serial_;
    std::string since_;
    Stream server_;
    Stream waiting_;
    bool local_ = false;  // the server away: this workstation's records alone
    bool given_ = false;
    bool failed_ = false;
    std::string instant_;
    std::unordered_set<std::string> onServer_;
};

std::unique_ptr<HistoryPages> FleetLogbook::history(const std::string& serial,
                                                    const std::string& since) {
    return std::make_unique<FleetHistoryPages>(*this, serial, since);
}

}  // namespace qv
