#include "contentfolder.h"

#include "conversionerror.h"
#include "request.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iterator>
#include <memory>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace ConversionServer {
namespace {

// Opens `path` for writing only if nothing, a link included, has the name yet; null if not.
std::FILE* createExclusive(const fs::path& path)
{
#ifdef _WIN32
    // The C runtime there knows no "x" mode; the exclusive create is _O_EXCL.
    const int descriptor = _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (descriptor < 0)
        return nullptr;
    std::FILE* const file = _fdopen(descriptor, "wb");
    if (!file)
        _close(descriptor);
    return file;
#else
    return std::fopen(path.c_str(), "wbx");
#endif
}

// Makes, or checks, the folder `name` inside `parent` (resolved and known to lie inside
// root) and returns it resolved, still inside root.
fs::path enterFolder(const fs::path& parent, const fs::path& name, const fs::path& root)
{
    const fs::path folder = parent / name;
    std::error_code error;
    const fs::file_status status = fs::symlink_status(folder, error);
    if (!fs::exists(status)) {
        if (!fs::create_directory(folder, error) && error)
            throw ConversionError("cannot create folder " + folder.string() + ": " + error.message());
    }
    const fs::path resolved = fs::canonical(folder, error);
    if (error)
        throw ConversionError("cannot resolve folder " + folder.string() + ": " + error.message());
    if (!isWithin(resolved, root))
        throw ConversionError("folder " + folder.string() + " leads outside the content folder");
    if (!fs::is_directory(resolved, error))
        throw ConversionError(folder.string() + " is not a folder");
    return resolved;
}

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

bool isWithin(const fs::path& path, const fs::path& folder)
{
    const auto mismatch = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    // A trailing separator shows up as an empty last component; it does not count.
    return mismatch.first == folder.end()
           || (std::next(mismatch.first) == folder.end() && mismatch.first->empty());
}

fs::path findContentFolder(std::string_view scriptPath)
{
    fs::path script(scriptPath);
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
                            const std::string& fileName, std::string_view text)
{
    if (!nameProblem(vendor).empty() || !nameProblem(fileName).empty())
        throw ConversionError("converted file names are not plain names");

    std::error_code error;
    const fs::path root = fs::canonical(contentFolder, error);
    if (error)
        throw ConversionError("cannot resolve the content folder: " + error.message());

    fs::path relative = runtimeFolderName;
    fs::path folder = enterFolder(root, runtimeFolderName, root);
    for (const char* name : convertedGarmentFolders) {
        folder = enterFolder(folder, name, root);
        relative /= name;
    }
    folder = enterFolder(folder, vendor, root);
    relative /= vendor;
    relative /= fileName;

    const fs::path target = folder / fileName;
    if (fs::is_directory(fs::symlink_status(target, error)))
        throw ConversionError(target.string() + " is a folder");

    static std::atomic<unsigned long> sequence{0};
    const fs::path temporary = folder / ("." + fileName + "." + std::to_string(::getpid()) + "."
                                         + std::to_string(++sequence) + ".tmp");
    {
        // "x": fails when anything, a link included, already has the name.
        std::unique_ptr<std::FILE, FileCloser> file(createExclusive(temporary));
        if (!file)
            throw ConversionError("cannot create " + temporary.string());
        const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
        const bool closed = std::fclose(file.release()) == 0;
        if (!written || !closed) {
            fs::remove(temporary, error);
            throw ConversionError("cannot write " + temporary.string());
        }
    }
    fs::rename(temporary, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw ConversionError("cannot write " + target.string() + ": " + error.message());
    }
    return relative;
}

} // namespace ConversionServer
