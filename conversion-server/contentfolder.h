#ifndef GARBWRIGHT_CONTENTFOLDER_H
#define GARBWRIGHT_CONTENTFOLDER_H

#include <filesystem>
#include <string>
#include <string_view>

namespace ConversionServer {

// The folder that marks a content folder: the content folder is the one that holds it.
constexpr char runtimeFolderName[] = "Runtime";

// The converted file of a garment is its clothing name with this extension.
constexpr char convertedExtension[] = ".cr2";

// Where converted garments go, below the runtime folder: <vendor>/<file> follows.
constexpr const char* convertedGarmentFolders[] = {"Libraries", "Character", "Pliant Clothing"};

// True when the path equals the folder or lies below it, component by component. Both
// paths must already be resolved (std::filesystem::canonical).
bool isWithin(const std::filesystem::path& path, const std::filesystem::path& folder);

// The content folder that holds a script: with every symbolic link in the script path
// resolved, the nearest folder above the script that has a "Runtime" folder in it. Throws
// ConversionError for a relative script path or when no such folder exists.
std::filesystem::path findContentFolder(std::string_view scriptPath);

// Writes text to Runtime/Libraries/Character/Pliant Clothing/<vendor>/<clothing>.cr2 inside
// the content folder and returns that path relative to the content folder. Nothing is
// created or written outside the content folder: the content folder is held open and each
// folder on the way is opened inside the one before without following links, and the
// file is written under a fresh temporary name and renamed into place within the open
// folder, so a link standing at any of the names is refused (folders) or replaced (the
// file), never followed. Vendor and clothing must be plain names. Throws ConversionError
// when any step fails.
std::filesystem::path writeConvertedFile(const std::filesystem::path& contentFolder,
                                         const std::string& vendor,
                                         const std::string& clothing,
                                         std::string_view text);

} // namespace ConversionServer

#endif
