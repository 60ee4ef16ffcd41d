// The conversion server's path handling in a private folder tree: a content folder whose
// folders on the way to the converted file may be missing, real, plain files or links
// (into the content folder, out to a sibling "outside" folder, dangling, looping), a
// script path found through links, and arbitrary vendor and file names. Whatever happens,
// nothing may be created or changed outside the content folder that was named.

#include "contentfolder.h"
#include "conversionerror.h"
#include "request.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <system_error>

namespace fs = std::filesystem;
using namespace ConversionServer;

namespace {

fs::path s_base; // this process's private tree

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "%s\n", what.c_str());
    std::abort();
}

void removeBase()
{
    std::error_code ignored;
    if (!s_base.empty())
        fs::remove_all(s_base, ignored);
}

// True when `path` is `folder` or lies below it; both resolved.
bool below(const fs::path& path, const fs::path& folder)
{
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
        if (f->empty() && std::next(f) == folder.end())
            return true;
        if (p == path.end() || *p != *f)
            return false;
    }
    return true;
}

std::string readFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Everything in the tree except what lies inside `skip`, without following links: kind,
// and the link target or file contents.
std::map<std::string, std::string> snapshot(const fs::path& skip)
{
    std::map<std::string, std::string> entries;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(s_base, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        const fs::path path = it->path();
        const fs::file_status status = fs::symlink_status(path, error);
        if (error)
            break;
        if (path == skip) {
            it.disable_recursion_pending();
            entries[path.string()] = "content folder";
            continue;
        }
        if (fs::is_symlink(status))
            entries[path.string()] = "link " + fs::read_symlink(path, error).string();
        else if (fs::is_regular_file(status))
            entries[path.string()] = "file " + readFile(path);
        else
            entries[path.string()] = "kind " + std::to_string(static_cast<int>(status.type()));
    }
    if (error)
        fail("cannot list the fuzzing tree: " + error.message());
    return entries;
}

// What stands at one step of the way to the converted file.
enum class Slot {
    Missing,
    Folder,
    PlainFile,
    LinkToOutside,          // absolute link to the sibling folder
    RelativeLinkToOutside,  // "../..": climbs out of the content folder
    DanglingLinkOutside,    // to a name in the sibling folder that does not exist yet
    LinkToContentRoot,      // stays inside
    LinkToItself,           // a loop
    LinkToOutsideLink,      // a link to a link that leads out
    Count
};

void makeSlot(const fs::path& path, Slot slot, int depth)
{
    const fs::path outside = s_base / "outside";
    std::string climb;
    for (int i = 0; i < depth; ++i)
        climb += "../";
    switch (slot) {
    case Slot::Missing:
    case Slot::Count:
        break;
    case Slot::Folder:
        fs::create_directory(path);
        break;
    case Slot::PlainFile:
        std::ofstream(path) << "plain file";
        break;
    case Slot::LinkToOutside:
        fs::create_symlink(outside, path);
        break;
    case Slot::RelativeLinkToOutside:
        fs::create_symlink(climb + "outside", path);
        break;
    case Slot::DanglingLinkOutside:
        fs::create_symlink(outside / "made", path);
        break;
    case Slot::LinkToContentRoot:
        fs::create_symlink(s_base / "content", path);
        break;
    case Slot::LinkToItself:
        fs::create_symlink(path.filename(), path);
        break;
    case Slot::LinkToOutsideLink:
        fs::create_symlink(s_base / "outsidelink", path);
        break;
    }
}

std::string pickName(FuzzedDataProvider& input, const char* usual)
{
    return input.ConsumeBool() ? std::string(usual) : input.ConsumeRandomLengthString(64);
}

// The files in the content folder that look like this process's temporary files for the
// file name. A vendor folder may be named like one; only files count.
std::set<std::string> temporaryFiles(const fs::path& root, const std::string& fileName)
{
    const std::string prefix = "." + fileName + "." + std::to_string(::getpid()) + ".";
    const std::string suffix = ".tmp";
    std::set<std::string> files;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root, error); !error && it != fs::recursive_directory_iterator();
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() >= prefix.size() + suffix.size() && name.compare(0, prefix.size(), prefix) == 0
            && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0
            && fs::is_regular_file(it->symlink_status(error)))
            files.insert(it->path().string());
    }
    return files;
}

// The content folder that holds the script, checked against its description; empty when
// there is none.
fs::path checkedContentFolder(const std::string& scriptPath)
{
    fs::path found;
    try {
        found = findContentFolder(scriptPath);
    } catch (const ConversionError&) {
        return {};
    }
    if (!fs::path(scriptPath).is_absolute())
        fail("content folder found for a relative script path: " + scriptPath);
    std::error_code error;
    if (!fs::is_directory(found / runtimeFolderName, error))
        fail("content folder without a Runtime folder: " + found.string());
    const fs::path resolved = fs::weakly_canonical(scriptPath, error);
    if (error || !below(resolved, found) || resolved == found)
        fail("content folder " + found.string() + " does not hold the script " + scriptPath);
    return found;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::string pattern = (fs::temp_directory_path() / "garbwright-fuzz-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        fail("cannot make a private folder");
    s_base = fs::canonical(pattern);
    std::atexit(removeBase);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);

    // A fresh tree: base/{content/Runtime, content/Scripts, outside/keep.txt} and links
    // contentlink -> content, outsidelink -> outside.
    for (const fs::directory_entry& entry : fs::directory_iterator(s_base))
        fs::remove_all(entry.path());
    const fs::path content = s_base / "content";
    const fs::path outside = s_base / "outside";
    fs::create_directories(content / "Scripts");
    fs::create_directory(outside);
    std::ofstream(outside / "keep.txt") << "outside";
    fs::create_symlink(content, s_base / "contentlink");
    fs::create_symlink(outside, s_base / "outsidelink");

    // The way to the converted file: Runtime, the three garment folders, the vendor, the
    // file. Each is laid out until the first that is not a real folder.
    const std::string vendor = pickName(input, "Brackenmoor");
    const std::string clothing = pickName(input, "Summer Dress");
    const std::string fileName = clothing + convertedExtension;
    const std::array<std::string, 6> names = {runtimeFolderName, convertedGarmentFolders[0], convertedGarmentFolders[1],
                                        convertedGarmentFolders[2], vendor, fileName};
    fs::path folder = content;
    for (std::size_t depth = 0; depth < names.size(); ++depth) {
        const auto slot = static_cast<Slot>(input.ConsumeIntegralInRange<int>(0, static_cast<int>(Slot::Count) - 1));
        if (!nameProblem(names[depth]).empty())
            break;
        makeSlot(folder / names[depth], slot, static_cast<int>(depth) + 1);
        if (slot != Slot::Folder)
            break;
        folder /= names[depth];
    }

    // The script path: inside the tree, through its links, or taken as it comes.
    const bool rawScriptPath = input.ConsumeIntegralInRange<int>(0, 7) == 0;
    const bool throughLink = input.ConsumeBool();
    const std::string scriptTail = input.ConsumeRandomLengthString(128);
    const std::string scriptPath = rawScriptPath ? scriptTail : (s_base / scriptTail).string();
    const std::string text = input.ConsumeRemainingBytesAsString();

    const fs::path found = checkedContentFolder(scriptPath);

    // Write into the content folder the script names when that lies in the private tree,
    // otherwise into the tree's own content folder, named directly or through its link.
    fs::path named = throughLink ? s_base / "contentlink" : content;
    std::error_code error;
    if (!found.empty()) {
        const fs::path resolved = fs::canonical(found, error);
        if (!error && below(resolved, s_base) && resolved != s_base)
            named = found;
    }
    const fs::path root = fs::canonical(named, error);
    if (error)
        return 0;

    const auto before = snapshot(root);
    const auto temporariesBefore = temporaryFiles(root, fileName);
    bool written = false;
    fs::path relative;
    try {
        relative = writeConvertedFile(named, vendor, clothing, text);
        written = true;
    } catch (const ConversionError&) {
    }
    const auto after = snapshot(root);
    if (before != after) {
        std::string report = "the tree outside " + root.string() + " changed:";
        for (const auto& [path, what] : after)
            if (before.count(path) == 0 || before.at(path) != what)
                report += "\n  new or changed: " + path + " (" + what.substr(0, 40) + ")";
        for (const auto& [path, what] : before)
            if (after.count(path) == 0)
                report += "\n  gone: " + path;
        fail(report);
    }

    // Nothing half-written stays behind, whatever the outcome.
    for (const std::string& path : temporaryFiles(root, fileName))
        if (temporariesBefore.count(path) == 0)
            fail("temporary file left behind: " + path);

    if (written) {
        const fs::path target = fs::canonical(root / relative, error);
        if (error || !below(target, root))
            fail("written file " + relative.string() + " does not resolve inside " + root.string());
        if (!fs::is_regular_file(fs::symlink_status(root / relative)) || readFile(target) != text)
            fail("written file " + relative.string() + " does not hold the text");
    }
    return 0;
}
