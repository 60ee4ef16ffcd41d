// Folder-relative file handling with the POSIX *at() calls: every step names one entry of
// a folder already open, and O_NOFOLLOW / AT_SYMLINK_NOFOLLOW keep links from being followed.

#include "safefolder.h"

#include "conversionerror.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace ConversionServer {
namespace {

constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::string systemError(const std::string& what, int error)
{
    return what + ": " + std::strerror(error);
}

bool processRuns(std::uint64_t id)
{
    if (id == 0 || id > static_cast<std::uint64_t>(std::numeric_limits<pid_t>::max()))
        return false;
    return ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}

struct DirCloser
{
    void operator()(DIR* dir) const { ::closedir(dir); }
};

} // namespace

SafeFolder::SafeFolder(const fs::path& folder) : m_handle(-1), m_path(folder)
{
    const int fd = ::open(folder.c_str(), folderFlags);
    if (fd < 0)
        throw ConversionError(systemError("cannot open folder " + folder.string(), errno));
    m_handle = fd;
}

SafeFolder::SafeFolder(std::intptr_t handle, fs::path path) : m_handle(handle), m_path(std::move(path)) {}

SafeFolder::~SafeFolder()
{
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
}

SafeFolder::SafeFolder(SafeFolder&& other) noexcept
    : m_handle(std::exchange(other.m_handle, -1)), m_path(std::move(other.m_path))
{
}

SafeFolder& SafeFolder::operator=(SafeFolder&& other) noexcept
{
    if (this != &other) {
        if (m_handle >= 0)
            ::close(static_cast<int>(m_handle));
        m_handle = std::exchange(other.m_handle, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

SafeFolder SafeFolder::enter(const std::string& name) const
{
    const int parent = static_cast<int>(m_handle);
    const fs::path path = m_path / name;
    if (::mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST)
        throw ConversionError(systemError("cannot create folder " + path.string(), errno));
    const int fd = ::openat(parent, name.c_str(), folderFlags);
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP || error == ENOTDIR)
            throw ConversionError(path.string() + " is a link or not a folder");
        throw ConversionError(systemError("cannot open folder " + path.string(), error));
    }
    return SafeFolder(fd, path);
}

void SafeFolder::removeStaleTemporaries() const
{
    const int copy = ::openat(static_cast<int>(m_handle), ".", folderFlags);
    if (copy < 0)
        return;
    const std::unique_ptr<DIR, DirCloser> dir(::fdopendir(copy));
    if (!dir) {
        ::close(copy);
        return;
    }
    const std::uint64_t self = static_cast<std::uint64_t>(::getpid());
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::uint64_t owner = temporaryNameOwner(entry->d_name);
        // This process writes one file at a time, so its own leftovers are stale too (a
        // process that had this id before it).
        if (owner != 0 && (owner == self || !processRuns(owner)))
            ::unlinkat(static_cast<int>(m_handle), entry->d_name, 0);
    }
}

void SafeFolder::replaceFile(const std::string& name, std::string_view text) const
{
    const int folder = static_cast<int>(m_handle);
    const fs::path target = m_path / name;
    if (name.size() > maxReplacedNameBytes)
        throw ConversionError("file name " + target.string() + " is too long");
    struct stat status {};
    if (::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode))
        throw ConversionError(target.string() + " is a folder");

    removeStaleTemporaries();

    static std::atomic<std::uint64_t> sequence{0};
    const std::string temporary = temporaryName(name, static_cast<std::uint64_t>(::getpid()), ++sequence);
    // O_EXCL with O_NOFOLLOW: fails when anything, a link included, already has the name.
    const int fd = ::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        throw ConversionError(systemError("cannot create " + (m_path / temporary).string(), errno));

    int error = 0;
    for (std::size_t done = 0; done < text.size() && error == 0;) {
        const ssize_t count = ::write(fd, text.data() + done, text.size() - done);
        if (count > 0)
            done += static_cast<std::size_t>(count);
        else if (count == 0)
            error = EIO;
        else if (errno != EINTR)
            error = errno;
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::renameat(folder, temporary.c_str(), folder, name.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlinkat(folder, temporary.c_str(), 0);
        throw ConversionError(systemError("cannot write " + target.string(), error));
    }
}

} // namespace ConversionServer
