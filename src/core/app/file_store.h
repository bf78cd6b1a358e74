#pragma once

#include <cstddef>
#include <string>

namespace qv {

// Files the workflows write and read. Saving is atomic: a file is complete or absent.
class FileStore {
public:
    virtual ~FileStore() = default;
    virtual bool saveAtomically(const std::string& path, const std::string& contents) = 0;
    // Reads at most `maxBytes`; false when the file cannot be read or is larger.
    virtual bool readAll(const std::string& path, std::size_t maxBytes, std::string& contents) = 0;
};

}  // namespace qv
