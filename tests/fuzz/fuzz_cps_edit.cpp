// The CPS command is built from whatever the instrument answered to CPR: it must fit its
// 50-byte command buffer and differ from the reply only where the edit says.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/link/commands.h"
#include "core/link/identify.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    const std::optional<std::string> command = qv::buildCpsCommand(reply);
    if (!command) return 0;

    FUZZ_CHECK(qv::fitsBuffer(*command, qv::kSettingsCommandBufferBytes));
    FUZZ_CHECK(command->size() >= 14);
    FUZZ_CHECK(command->substr(12, 2) == " 0" && (*command)[5] == '0');
    // The carriage return is the command's only terminator: it must survive the edit, and no
    // line break or zero byte inside may make the instrument read a second command.
    FUZZ_CHECK(command->back() == '\r' && command->size() > 14);
    FUZZ_CHECK(command->find_first_of(std::string_view("\r\n\0", 3)) == command->size() - 1);
    // Each "OK00" became "CPS": one character shorter per replacement, nothing else moved
    // before the first edited offset unless a status code stood there.
    if (reply.find("OK00") == std::string_view::npos) {
        FUZZ_CHECK(command->size() == size);
        for (std::size_t i = 0; i < size; ++i) {
            if (i != 5 && i != 12 && i != 13) FUZZ_CHECK((*command)[i] == reply[i]);
        }
    } else {
        FUZZ_CHECK(command->size() < size);
    }
    return 0;
}
