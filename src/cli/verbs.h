#pragma once

#include <QStringList>

namespace qv::cli {

// A verb takes its own arguments (the program name and the verb first) and returns the
// process exit code.
using VerbFunction = int (*)(const QStringList& arguments);

struct Verb {
    const char* name;
    const char* summary;
    VerbFunction run;
    // Painting (a PDF) needs a GUI application; every other verb runs without one.
    bool paints = false;
};

// Each verb group registers itself here (see verbs.cmake).
void registerVerb(const Verb& verb);

}  // namespace qv::cli
