#pragma once

#include <memory>
#include <string>

#include "core/app/string_table_text.h"

namespace qv {

inline constexpr const char* kResourceFileName = "VNBRMRes.rcc";

// The folder that holds the resource file and the pictures: the program's own folder when the
// file is there (a build folder, a copied program), else the installed data folder relative to
// it (../share/qvl70s), else again the program's folder, so a message names the file there.
std::string resourceFolder(const std::string& programFolder);
std::string resourceFolder();

// The resource file in resourceFolder().
std::string resourceFilePath();

// The string table of a registered resource file. The file stays registered (the icon and
// the texts are read from it) for the life of the object.
class ResourceStringTable : public TextStringTable {
public:
    ResourceStringTable(std::map<int, std::string> texts, std::string path)
        : TextStringTable(std::move(texts)), path_(std::move(path)) {}
    ~ResourceStringTable() override;
    ResourceStringTable(const ResourceStringTable&) = delete;
    ResourceStringTable& operator=(const ResourceStringTable&) = delete;

private:
    std::string path_;
};

// Registers the resource file and loads its string table. Nothing when the file is missing,
// is no resource file or holds no string table. Works without a window system.
std::unique_ptr<ResourceStringTable> loadResourceStrings(
    const std::string& path = resourceFilePath());

// The resource path of the application icon (valid once the resource file is registered).
inline constexpr const char* kApplicationIconResource = ":/qv/icon128.png";

// The program's version as the build knows it, such as "0.1.0".
std::string programVersion();

}  // namespace qv
