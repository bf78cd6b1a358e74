#pragma once

// How a reply line (as received, carriage return kept) is judged. Each command uses exactly
// one of these; an empty reply always means the instrument did not answer.

#include <string_view>

namespace qv {

inline constexpr std::string_view kAcceptedStatus = "OK00";

// The reply has at least one character; its content is not examined.
bool judgeNonEmpty(std::string_view reply);

// Field 1 is exactly "OK00". A reply without a comma fails: its only field keeps the CR.
bool judgeFirstField(std::string_view reply);

// The first four characters are "OK00", whatever follows.
bool judgeStatusPrefix(std::string_view reply);

// The calibration commands' rule over the first four characters.
enum class StatusCode {
    Accepted,      // "OK00"
    Refused,       // "OK01" to "OK04" or "ER11": a failure the user is told about
    NoReply,       // nothing arrived: a failure the user is told about
    Unrecognised,  // anything else: not reported and not a failure
};
StatusCode judgeStatusCode(std::string_view reply);

// Whether the step succeeded under the status code rule (Accepted or Unrecognised).
constexpr bool succeeded(StatusCode code) {
    return code == StatusCode::Accepted || code == StatusCode::Unrecognised;
}

}  // namespace qv
