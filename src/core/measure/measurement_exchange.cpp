// The measurement sequence: when each command is sent and how long each reply may take.
#include "core/measure/measurement_exchange.h"

#include <string_view>

#include "core/measure/data_line.h"

namespace qv {

namespace {

constexpr std::string_view kStr = "STR\r\n";
constexpr std::string_view kCpr = "CPR\r\n";
constexpr std::string_view kMes = "MES\r\n";
constexpr std::string_view kNext = "&\r\n";
constexpr std::string_view kAccepted = "OK00";

// Field 1 of a reply compared as a whole: a reply without a comma keeps its carriage return
// and so never matches.
bool firstFieldAccepted(std::string_view reply) {
    return reply.substr(0, reply.find(',')) == kAccepted;
}

class Exchange {
public:
    Exchange(SerialChannel& port, Clock& clock, MeasureVariant variant, bool type53)
        : port_(port), clock_(clock), variant_(variant), type53_(type53) {}

    MeasureOutcome run() {
        if (!type53_ && !preamble()) return out_;
        if (!lineStep(kMes, kMeasureReplyTimeoutS, MeasureStep::Mes)) return out_;
        for (int a = 0; a < kAngleCount; ++a) {
            std::string line;
            if (!dataLine(a, line)) return out_;
            out_.spectra[a] = parseDataLine(line);
            if (!lineStep(kNext, kCompanionLineTimeoutS, MeasureStep::CompanionLine, a))
                return out_;
        }
        if (type53_) lineStep(kNext, kCompanionLineTimeoutS, MeasureStep::FinalLine);
        return out_;
    }

private:
    bool preamble() {
        if (variant_ == MeasureVariant::Average) {
            clock_.sleepMs(kType40PreambleWaitMs);
            if (!send(kStr, MeasureStep::Str)) return false;
            const std::string reply = port_.receiveLine(kStrReplyTimeoutS);
            if (!firstFieldAccepted(reply))
                return fail(reply.empty() ? MeasureFailure::NoReply : MeasureFailure::Refused,
                            MeasureStep::Str);
        }
        clock_.sleepMs(kType40PreambleWaitMs);
        if (!send(kCpr, MeasureStep::Cpr)) return false;
        if (port_.receiveLine(kCprReplyTimeoutS).empty())
            return fail(MeasureFailure::NoReply, MeasureStep::Cpr);
        clock_.sleepMs(kType40PreambleWaitMs);
        return true;
    }

    bool dataLine(int angle, std::string& line) {
        if (!send(kNext, MeasureStep::DataLine, angle)) return false;
        if (variant_ == MeasureVariant::ValidationTarget && angle == 1) {
            line = rawRead();
        } else {
            const bool longWait = variant_ == MeasureVariant::Repeatability && angle == 0;
            line = port_.receiveLine(longWait ? kRepeatFirstDataLineTimeoutS : kDataLineTimeoutS);
        }
        type40Wait();
        if (line.empty()) return fail(MeasureFailure::NoReply, MeasureStep::DataLine, angle);
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
    bool lineStep(std::string_view command, int timeoutS, MeasureStep step, int angle = -1) {
        if (!send(command, step, angle)) return false;
        const std::string reply = port_.receiveLine(timeoutS);
        if (step != MeasureStep::FinalLine) type40Wait();
        if (reply.empty()) return fail(MeasureFailure::NoReply, step, angle);
        return true;
    }

    bool send(std::string_view command, MeasureStep step, int angle = -1) {
        if (port_.send(command)) return true;
        return fail(MeasureFailure::WriteFailed, step, angle);
    }

    void type40Wait() {
        if (!type53_) clock_.sleepMs(kType40LineWaitMs);
    }

    bool fail(MeasureFailure failure, MeasureStep step, int angle = -1) {
        out_.failure = failure;
        out_.step = step;
        out_.angle = angle;
        return false;
    }

    SerialChannel& port_;
    Clock& clock_;
    MeasureVariant variant_;
    bool type53_;
    MeasureOutcome out_;
};

std::string_view stepName(MeasureStep step) {
    switch (step) {
        case MeasureStep::Str:
            return "STR";
        case MeasureStep::Cpr:
            return "CPR";
        case MeasureStep::Mes:
            return "MES";
        case MeasureStep::DataLine:
            return "data line";
        case MeasureStep::CompanionLine:
            return "companion line";
        case MeasureStep::FinalLine:
            return "final line";
    }
    return "";
}

}  // namespace

std::string MeasureOutcome::reason() const {
    if (ok()) return "ok";
    std::string what(stepName(step));
    if (angle >= 0) what += " at " + std::to_string(kAngleDegrees[angle]) + " deg";
    switch (failure) {
        case MeasureFailure::WriteFailed:
            return "could not send " + what;
        case MeasureFailure::NoReply:
            return "no reply to " + what;
        case MeasureFailure::Refused:
            return what + " refused";
        case MeasureFailure::None:
            break;
    }
    return "ok";
}

MeasureOutcome acquireMeasurement(SerialChannel& port, Clock& clock, MeasureVariant variant,
                                  bool type53) {
    return Exchange(port, clock, variant, type53).run();
}

}  // namespace qv
