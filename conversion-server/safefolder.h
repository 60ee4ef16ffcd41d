#ifndef GARBWRIGHT_SAFEFOLDER_H
#define GARBWRIGHT_SAFEFOLDER_H

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace ConversionServer {

// Longest name of one directory entry the server writes (bytes of UTF-8; Windows counts
// UTF-16 units, never more than the bytes).
constexpr std::size_t maxEntryBytes = 255;

// A file is written as ".<name>.<process id>.<sequence>.tmp" and then renamed: the longest
// process id has 10 digits, the longest sequence number 20.
constexpr std::size_t temporaryNameExtraBytes = 1 + 1 + 10 + 1 + 20 + 4;

// Longest file name that replaceFile() accepts.
constexpr std::size_t maxReplacedNameBytes = maxEntryBytes - temporaryNameExtraBytes;

// A folder held open while the server works in it. Everything below it is reached relative
// to the open folder, never by a path looked up again, and no symbolic link (or reparse
// point) is followed on the way, so a folder swapped for a link after it was checked
// cannot redirect a write. Throws ConversionError when a step fails.
class SafeFolder
{
public:
    // Opens a folder by its absolute, already resolved path.
    explicit SafeFolder(const std::filesystem::path& folder);
    ~SafeFolder();
    SafeFolder(SafeFolder&& other) noexcept;
    SafeFolder& operator=(SafeFolder&& other) noexcept;
    SafeFolder(const SafeFolder&) = delete;
    SafeFolder& operator=(const SafeFolder&) = delete;

    // The folder `name` (one UTF-8 path component) inside this one, made when absent.
    // A link, or anything but a folder, standing at the name is refused.
    SafeFolder enter(const std::string& name) const;

    // Writes text to the file `name` in this folder: under a fresh temporary name first,
    // then renamed over whatever stands at the name (a link there is replaced, never
    // followed). Temporary files that writers which no longer run left in this folder are
    // removed first; on failure the temporary file is removed too.
    void replaceFile(const std::string& name, std::string_view text) const;

    // The path the folder was reached by, for messages.
    const std::filesystem::path& path() const { return m_path; }

private:
    SafeFolder(std::intptr_t handle, std::filesystem::path path);
    void removeStaleTemporaries() const;

    std::intptr_t m_handle;
    std::filesystem::path m_path;
};

// The temporary name under which a process writes `name`, and the process id that a
// temporary name holds (0 when the entry is not one of these temporary names).
std::string temporaryName(const std::string& name, std::uint64_t processId, std::uint64_t sequence);
std::uint64_t temporaryNameOwner(std::string_view entry);

} // namespace ConversionServer

#endif
