#pragma once

#include "core/app/file_store.h"

namespace qv {

// Files through QSaveFile: written to a temporary file, then renamed into place. A new file is
// written the same way but put in place by a rename that never replaces.
class AtomicFileStore : public FileStore {
public:
    bool saveAtomically(const std::string& path, const std::string& contents) override;
    NewFileResult saveNew(const std::string& path, const std::string& contents) override;
    bool readAll(const std::string& path, std::size_t maxBytes, std::string& contents) override;
};

}  // namespace qv
