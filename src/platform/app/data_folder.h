#pragma once

#include <string>

namespace qv {

// The folder for result and record files: the user's documents folder + VARNHOLT/QV-L70s/Data.
// The first two levels are created here; "Data" is created when the main window opens.
// Empty when the documents folder cannot be determined.
std::string setUpDataFolder();

// Creates the folder if it does not exist; true when it exists afterwards.
bool ensureFolder(const std::string& path);

// Folder of the running program (where the resource file and pictures lie).
std::string programFolder();

}  // namespace qv
