#pragma once

#include <cstddef>
#include <string>

namespace qv {

// How saving a new file ended.
struct NewFileResult {
    enum class Kind { Saved, Exists, Failed };
    Kind kind = Kind::Failed;
    std::string error;  // why it failed, in the system's words
};

// Empty when `path` was saved as a new file; otherwise why not, naming it.
std::string newFileProblem(const std::string& path, const NewFileResult& saved);

// Files the workflows write and read. Saving is atomic: a file is complete or absent.
class FileStore {
public:
    virtual ~FileStore() = default;
    virtual bool saveAtomically(const std::string& path, const std::string& contents) = 0;
    // Saves a file that must not exist yet: an existing file is left alone (Kind::Exists),
    // even when another program creates it meanwhile.
    virtual NewFileResult saveNew(const std::string& path, const std::string& contents) = 0;
    // Reads at most `maxBytes`; false when the file cannot be read or is larger.
    virtual bool readAll(const std::string& path, std::size_t maxBytes, std::string& contents) = 0;
};

// A result file as it was saved: its path, or why it could not be.
struct SavedFile {
    std::string path;   // empty when nothing was written
    std::string name;   // the name the file was meant to have
    std::string error;  // empty when written
    bool ok() const { return !path.empty(); }
};

// Saves a result file `stem` + ".csv" in `folder`. Results are never overwritten: when that
// name is taken (two results within one second), "_2", "_3", ... is added to the stem.
SavedFile saveResultFile(FileStore& files, const std::string& folder, const std::string& stem,
                         const std::string& contents);

class Prompter;
// Tells the operator that a result file could not be written, naming it and saying why.
void reportUnsavedFile(Prompter& prompter, const SavedFile& file);

}  // namespace qv
