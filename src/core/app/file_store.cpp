#include "core/app/file_store.h"

#include "core/app/message_box.h"

namespace qv {

std::string newFileProblem(const std::string& path, const NewFileResult& saved) {
    switch (saved.kind) {
        case NewFileResult::Kind::Saved:
            return {};
        case NewFileResult::Kind::Exists:
            return path + " exists already; it is left alone";
        case NewFileResult::Kind::Failed:
            break;
    }
    return path + " could not be written: " + saved.error;
}

namespace {
// Far more results than one second can produce; beyond it something else is wrong.
constexpr int kMaxNameAttempts = 100;
}  // namespace

SavedFile saveResultFile(FileStore& files, const std::string& folder, const std::string& stem,
                         const std::string& contents) {
    SavedFile saved;
    saved.name = stem + ".csv";
    // Without a data folder the path would point at the file-system root.
    if (folder.empty()) {
        saved.error = "there is no data folder";
        return saved;
    }
    for (int n = 1; n <= kMaxNameAttempts; ++n) {
        const std::string name = n == 1 ? saved.name : stem + "_" + std::to_string(n) + ".csv";
        const std::string path = folder + "/" + name;
        const NewFileResult result = files.saveNew(path, contents);
        if (result.kind == NewFileResult::Kind::Saved) {
            saved.path = path;
            saved.name = name;
            return saved;
        }
        if (result.kind == NewFileResult::Kind::Failed) {
            saved.error = result.error.empty() ? "it could not be written" : result.error;
            saved.name = name;
            return saved;
        }
    }
    saved.error = "every name from " + saved.name + " on is taken";
    return saved;
}

void reportUnsavedFile(Prompter& prompter, const SavedFile& file) {
    Message m = messageBox(kStrResultFileNotWritten, Icon::Exclamation);
    m.suffix = " " + file.name;
    m.detail = file.error;
    prompter.ask(m);
}

}  // namespace qv
