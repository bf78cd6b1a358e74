// Identification replies: classification and the identification text never read past the
// reply, and every accepted reply obeys the rule that accepted it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/app/string_division.h"
#include "core/link/identify.h"
#include "fuzz_check.h"

using qv::IdentifyOutcome;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);

    const std::string text = qv::identificationText(reply);
    FUZZ_CHECK(text.find(',') == std::string::npos);
    FUZZ_CHECK(size > 12 ? reply.substr(12, text.size()) == text : text.empty());

    const qv::IdentifyResult result = qv::classifyIdentification(reply);
    FUZZ_CHECK(result.reply == reply);
    qv::StringDivision fields(reply);
    switch (result.outcome) {
        case IdentifyOutcome::Type40:
        case IdentifyOutcome::Type53:
            FUZZ_CHECK(fields.GetField(2) == (result.type53() ? "53" : "40"));
            FUZZ_CHECK(result.idText == text);
            FUZZ_CHECK(result.error.ok());
            break;
        case IdentifyOutcome::ThreeField:
            FUZZ_CHECK(size == 14 && fields.GetField(2) == " 0" && fields.GetField(3) == " 0");
            FUZZ_CHECK(result.idText.empty() && result.modelCode() == "40");
            break;
        case IdentifyOutcome::Failed:
            FUZZ_CHECK(!result.ok());
            FUZZ_CHECK(result.error.kind ==
                       (size == 0 ? qv::LinkFailure::NoReply : qv::LinkFailure::Unrecognised));
            break;
    }
    return 0;
}
