// The measurement sequence: when each command is sent and how long each reply may take. The
// commands, time-outs and judgements are the link's; this file only orders them.
#include "core/measure/measurement_exchange.h"

#include <string_view>

#include "core/link/commands.h"
#include "core/link/exchange.h"
#include "core/measure/data_line.h"

namespace qv {

namespace {

constexpr std::string_view kDataLineStep = "data line";
constexpr std::string_view kCompanionLineStep = "companion line";
constexpr std::string_view kFinalLineStep = "final line";

class Sequence {
public:
    Sequence(SerialChannel& port, Clock& clock, MeasureVariant variant, bool type53,
             Activity* activity)
        : port_(port), clock_(clock), variant_(variant), type53_(type53), activity_(activity) {}

    MeasureOutcome run() {
        if (!type53_) tellStep(activity_, "Preparing the instrument");
        if (!type53_ && !preamble()) return out_;
        tellStep(activity_, "Measuring");
        if (!step(kMesCommand, kMeasureReplyTimeoutS, "MES")) return out_;
        for (int a = 0; a < kAngleCount; ++a) {
            std::string line;
            tellStep(activity_, angleStep(a));
            if (!dataLine(a, line)) return out_;
            out_.spectra[a] = parseDataLine(line);
            if (!step(kNextLineCommand, kDataReplyTimeoutS, kCompanionLineStep, a)) return out_;
        }
        if (type53_) step(kNextLineCommand, kDataReplyTimeoutS, kFinalLineStep);
        return out_;
    }

private:
    // The 45° line of a target measurement is read once after a fixed wait, which the operator
    // should see as a wait.
    std::string angleStep(int angle) const {
        const std::string degrees = std::to_string(kAngleDegrees[angle]) + "°";
        if (variant_ == MeasureVariant::ValidationTarget && angle == 1)
            return "Measuring: waiting for the " + degrees + " reading";
        return "Measuring: reading the " + degrees + " spectrum";
    }

    bool preamble() {
        if (variant_ == MeasureVariant::Average) {
            clock_.sleepMs(kType40PreambleWaitMs);
            const ExchangeResult str =
                exchange(port_, clock_, kStrCommand, kStatusReplyTimeoutS, judgeFirstField);
            if (!str.ok()) return fail(linkError(str, "STR"));
        }
        clock_.sleepMs(kType40PreambleWaitMs);
        const ExchangeResult cpr = exchange(port_, clock_, kCprCommand, kSettingsReplyTimeoutS);
        if (!cpr.ok()) return fail(linkError(cpr, "CPR"));
        clock_.sleepMs(kType40PreambleWaitMs);
        return true;
    }

    bool dataLine(int angle, std::string& line) {
        if (variant_ == MeasureVariant::ValidationTarget && angle == 1) {
            if (!port_.send(kNextLineCommand))
                return fail(linkError(LinkFailure::WriteFailed, port_, kDataLineStep, angle));
            line = rawRead();
            type40Wait();
            if (line.empty())
                return fail(linkError(LinkFailure::NoReply, port_, kDataLineStep, angle));
            return true;
        }
        const bool longWait = variant_ == MeasureVariant::Repeatability && angle == 0;
        const ExchangeResult data =
            exchange(port_, clock_, kNextLineCommand,
                     longWait ? kFirstDataReplyTimeoutS : kDataReplyTimeoutS);
        if (data.failure != LinkFailure::WriteFailed) type40Wait();
        if (!data.ok()) return fail(linkError(data, kDataLineStep, angle));
        line = data.reply;
        return true;
    }

    // One read of whatever has arrived after a fixed wait; a zero byte ends the text.
    std::string rawRead() {
        clock_.sleepMs(kRawReadWaitMs);
        std::string bytes = port_.readAvailable(kRawReadMaxBytes);
        const std::size_t zero = bytes.find('\0');
        if (zero != std::string::npos) bytes.resize(zero);
        return bytes;
    }

    // Sends `command` and requires a non-empty reply, whose content is not used.
    bool step(std::string_view command, int timeoutS, std::string_view name, int angle = -1) {
        const ExchangeResult r = exchange(port_, clock_, command, timeoutS);
        if (r.failure != LinkFailure::WriteFailed && name != kFinalLineStep) type40Wait();
        if (!r.ok()) return fail(linkError(r, name, angle));
        return true;
    }

    void type40Wait() {
        if (!type53_) clock_.sleepMs(kType40LineWaitMs);
    }

    bool fail(LinkError error) {
        out_.error = std::move(error);
        return false;
    }

    SerialChannel& port_;
    Clock& clock_;
    MeasureVariant variant_;
    bool type53_;
    Activity* activity_;
    MeasureOutcome out_;
};

}  // namespace

MeasureOutcome acquireMeasurement(SerialChannel& port, Clock& clock, MeasureVariant variant,
                                  bool type53, Activity* activity) {
    return Sequence(port, clock, variant, type53, activity).run();
}

bool Acquisition::identify() {
    tellStep(activity_, "Identifying the instrument");
    id_ = port_ != nullptr ? IdentifyInstrument(*port_, clock_) : IdentifyResult{};
    tellIdentified(activity_, id_);
    // A dialog may ask the operator before the measurement: no step shows while it waits.
    tellStep(activity_, {});
    return id_.ok();
}

bool Acquisition::measure() {
    outcome_ = acquireMeasurement(*port_, clock_, variant_, id_.type53(), activity_);
    tellStep(activity_, {});
    return outcome_.ok();
}

}  // namespace qv
