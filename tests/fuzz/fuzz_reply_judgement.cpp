// Reply judgements look only at what the rules name, whatever the instrument sent.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/link/reply_judgement.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    const bool accepted = reply.substr(0, 4) == "OK00";

    FUZZ_CHECK(qv::judgeNonEmpty(reply) == (size > 0));
    FUZZ_CHECK(qv::judgeStatusPrefix(reply) == accepted);
    const bool firstField = qv::judgeFirstField(reply);
    // Field 1 is the whole reply when there is no comma; a final line feed does not count.
    FUZZ_CHECK(firstField ==
               (reply.substr(0, 5) == "OK00," || reply == "OK00" || reply == "OK00\n"));

    const qv::StatusCode code = qv::judgeStatusCode(reply);
    FUZZ_CHECK((code == qv::StatusCode::NoReply) == (size == 0));
    FUZZ_CHECK((code == qv::StatusCode::Accepted) == accepted);
    FUZZ_CHECK(qv::succeeded(code) == (size > 0 && code != qv::StatusCode::Refused));
    return 0;
}
