// Folder-relative file handling with the POSIX *at() calls: every step names one entry of
// a folder already open, and O_NOFOLLOW / AT_SYMLINK_NOFOLLOW keep links from being followed.

#include "safefolder.h"

#include "conversionerror.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
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

// Removes the temporary file `name` of `folder` when no writer holds its lock: the lock
// goes with the writer's process, whatever namespace that runs in. Links, folders and
// anything else that is not a plain file are left alone; so is a file that took the name
// while this ran.
void removeWhenUnheld(int folder, const char* name)
{
    const int fd = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat held {};
    struct stat named {};
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0
        && ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == held.st_dev
        && named.st_ino == held.st_ino)
        ::unlinkat(folder, name, 0);
    ::close(fd);
}

// A writer creates its temporary file and then locks it: two steps. While it is between
// them it holds the folder's own lock shared, and a clean-up runs only with that lock held
// exclusively, so it never meets a file that is new but not locked yet. The clean-up never
// waits for the lock (it skips its turn); a writer waits only while a clean-up lists the
// folder, and at most this long.
constexpr std::chrono::milliseconds maxCreationWait{2000};

bool lockFolderForCreating(int folder)
{
    const auto deadline = std::chrono::steady_clock::now() + maxCreationWait;
    while (::flock(folder, LOCK_SH | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
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
    // The lock belongs to this descriptor's open folder, and ends when it is closed.
    if (::flock(copy, LOCK_EX | LOCK_NB) != 0) {
        ::close(copy);
        return;
    }
    const std::unique_ptr<DIR, DirCloser> dir(::fdopendir(copy));
    if (!dir) {
        ::close(copy);
        return;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        if (isTemporaryName(entry->d_name))
            removeWhenUnheld(static_cast<int>(m_handle), entry->d_name);
    }
}

std::intptr_t SafeFolder::createTemporary(const std::string& temporary) const
{
    const int folder = static_cast<int>(m_handle);
    if (!lockFolderForCreating(folder))
        throw ConversionError("cannot create a file in " + m_path.string() + ": the folder stays busy");
    // O_EXCL with O_NOFOLLOW: fails when anything, a link included, already has the name.
    const int fd = ::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    const int createError = errno;
    // Marks the file as being written until it has its final name. The lock belongs to the
    // open file, which a second descriptor keeps open after the first is closed (closing
    // is where a write error may show). Nobody else has the new file open yet.
    const bool locked = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    const int lockError = errno;
    ::flock(folder, LOCK_UN);
    if (fd < 0)
        throw ConversionError(systemError("cannot create " + (m_path / temporary).string(), createError));
    if (!locked) {
        ::unlinkat(folder, temporary.c_str(), 0);
        ::close(fd);
        throw ConversionError(systemError("cannot lock " + (m_path / temporary).string(), lockError));
    }
    return fd;
}

void SafeFolder::closeTemporary(std::intptr_t handle)
{
    ::close(static_cast<int>(handle));
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

    const std::string temporary = temporaryName(name);
    const int fd = static_cast<int>(createTemporary(temporary));
    const int lockHolder = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);

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
    if (error != 0)
        ::unlinkat(folder, temporary.c_str(), 0);
    if (lockHolder >= 0)
        ::close(lockHolder);
    if (error != 0)
        throw ConversionError(systemError("cannot write " + target.string(), error));
}

} // namespace ConversionServer
