#include "contentfolder.h"

#include "conversionerror.h"
#include "request.h"
#include "safefolder.h"

#include <algorithm>
#include <iterator>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace ConversionServer {

bool isWithin(const fs::path& path, const fs::path& folder)
{
    const auto mismatch = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    // A trailing separator shows up as an empty last component; it does not count.
    return mismatch.first == folder.end()
           || (std::next(mismatch.first) == folder.end() && mismatch.first->empty());
}

fs::path findContentFolder(std::string_view scriptPath)
{
    // Names travel as UTF-8 inside the server, whatever the system's narrow encoding.
    fs::path script = fs::u8path(scriptPath);
#ifdef _WIN32
    // A path from the root without a drive ("/Users/...", as a client on another system
    // sends it) lies on the drive of the working folder.
    if (script.has_root_directory() && !script.has_root_name()) {
        std::error_code error;
        const fs::path onDrive = fs::absolute(script, error);
        if (!error)
            script = onDrive;
    }
#endif
    if (!script.is_absolute())
        throw ConversionError("script path is not absolute");
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(script, error);
    if (error)
        throw ConversionError("cannot resolve the script path: " + error.message());

    for (fs::path folder = resolved.parent_path();; folder = folder.parent_path()) {
        if (fs::is_directory(folder / runtimeFolderName, error))
            return folder;
        if (!folder.has_relative_path())
            break; // the root folder has no parent
    }
    throw ConversionError("no folder above the script path holds a Runtime folder");
}

fs::path writeConvertedFile(const fs::path& contentFolder, const std::string& vendor,
                            const std::string& clothing, std::string_view text)
{
    if (!nameProblem(vendor).empty() || !nameProblem(clothing).empty())
        throw ConversionError("converted file names are not plain names");

    std::error_code error;
    const fs::path root = fs::canonical(contentFolder, error);
    if (error)
        throw ConversionError("cannot resolve the content folder: " + error.message());

    // Each folder is opened inside the one before, so what was checked is what is written.
    // All stay open until the file is in place: where the system pins open folders, none of
    // them can be renamed meanwhile.
    std::vector<SafeFolder> folders;
    folders.reserve(std::size(convertedGarmentFolders) + 3);
    folders.emplace_back(root);
    folders.push_back(folders.back().enter(runtimeFolderName));
    fs::path relative = runtimeFolderName;
    for (const char* name : convertedGarmentFolders) {
        folders.push_back(folders.back().enter(name));
        relative /= name;
    }
    folders.push_back(folders.back().enter(vendor));
    const std::string fileName = clothing + convertedExtension;
    folders.back().replaceFile(fileName, text);
    // Names arrive as UTF-8, whatever the system's narrow encoding.
    return relative / fs::u8path(vendor) / fs::u8path(fileName);
}

} // namespace ConversionServer
