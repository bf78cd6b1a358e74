#include "support/project_strings.h"

#include <fstream>
#include <sstream>

namespace qv::test {

const TextStringTable& projectStrings() {
    static const TextStringTable table = [] {
        std::ifstream in(QV_SOURCE_DIR "/resources/strings.tsv", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return TextStringTable(parseStringTable(text.str()));
    }();
    return table;
}

}  // namespace qv::test
