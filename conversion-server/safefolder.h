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

// A file is written under a temporary name, ".<name>.garbwright-<token>.tmp" with a fresh
// random token of 20 hexadecimal digits, and then renamed. The tag and the token make the
// name the server's own beyond doubt: no user file and no other writer has it.
constexpr char temporaryTag[] = ".garbwright-";
constexpr std::size_t temporaryTokenDigits = 20;
constexpr char temporarySuffix[] = ".tmp";
constexpr std::size_t temporaryNameExtraBytes =
    1 + (sizeof(temporaryTag) - 1) + temporaryTokenDigits + (sizeof(temporarySuffix) - 1);

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
    // followed). On failure the temporary file is removed.
    // The writer holds its temporary file exclusively while it works (an exclusive lock on
    // POSIX, no sharing on Windows), and the system lets go of it when the writer ends,
    // however it ends. Before writing, the temporary files in this folder that no writer
    // holds, those of a server that was killed, are removed; a writer's open file is left
    // alone, whichever process, or process namespace, it runs in, even between creating
    // its file and locking it.
    void replaceFile(const std::string& name, std::string_view text) const;

    // Creates the file `temporary` (a temporaryName()) in this folder and holds it as
    // replaceFile() holds the file it writes: until the returned handle is closed with
    // closeTemporary(), no clean-up removes it. Throws ConversionError when it cannot.
    std::intptr_t createTemporary(const std::string& temporary) const;
    static void closeTemporary(std::intptr_t handle);

    // The path the folder was reached by, for messages.
    const std::filesystem::path& path() const { return m_path; }

private:
    SafeFolder(std::intptr_t handle, std::filesystem::path path);
    void removeStaleTemporaries() const;

    std::intptr_t m_handle;
    std::filesystem::path m_path;
};

// A fresh temporary name for writing `name`, and whether a folder entry is such a name.
std::string temporaryName(const std::string& name);
bool isTemporaryName(std::string_view entry);

} // namespace ConversionServer

#endif
