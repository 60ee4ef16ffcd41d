// Folder-relative file handling with the Win32 calls. A folder is opened without following a
// reparse point and held open without delete sharing, so that while it is held it cannot
// be renamed, removed or replaced. The content folder is reached by its final path, each
// folder below it by the path of the one before, once it is checked to lie directly in
// it; the file created there is checked the same way before it is renamed.

#include "safefolder.h"

#include "conversionerror.h"

#include <algorithm>
#include <chrono>
#include <utility>
#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace fs = std::filesystem;

namespace ConversionServer {
namespace {

constexpr DWORD folderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
// No FILE_SHARE_DELETE: nobody may rename or remove the folder while it is held.
constexpr DWORD folderSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD folderFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;
// Longest wait for a file at the final name that another writer still holds.
constexpr std::chrono::milliseconds maxRenameWait{2000};

std::string utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(),
                              size, nullptr, nullptr);
    return result;
}

std::wstring wide(const std::string& text)
{
    if (text.empty())
        return {};
    const int size = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0)
        throw ConversionError("name is not UTF-8 text");
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                          result.data(), size);
    return result;
}

std::string systemError(const std::string& what, DWORD error)
{
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring message = length > 0 && buffer ? std::wstring(buffer, length) : L"";
    if (buffer)
        ::LocalFree(buffer);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L'.'))
        message.pop_back();
    return what + ": " + (message.empty() ? "error " + std::to_string(error) : utf8(message));
}

std::string shown(const fs::path& path)
{
    return utf8(path.native());
}

// The path the system resolves an open handle to ("\\?\C:\..."), or empty.
std::wstring finalPath(HANDLE handle)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return {};
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(length + 1);
    }
}

// Where an open handle lies: its volume and its path from the volume's root. Unlike the
// final path there is no length limit on this one (Wine cannot give a final path beyond
// MAX_PATH at all, whatever buffer it is handed), and the buffer grows as the system asks.
struct Location
{
    DWORD volume = 0;
    std::wstring path; // "\Users\...", empty when unknown
};

Location locationOf(HANDLE handle)
{
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(handle, &information))
        return {};
    // Room for MAX_PATH characters first; a path holds at most 32767.
    for (std::size_t characters = MAX_PATH; characters <= 32768; characters *= 2) {
        std::vector<char> buffer(sizeof(FILE_NAME_INFO) + characters * sizeof(wchar_t));
        auto* name = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
        if (::GetFileInformationByHandleEx(handle, FileNameInfo, name, static_cast<DWORD>(buffer.size())))
            return {information.dwVolumeSerialNumber,
                    std::wstring(name->FileName, name->FileNameLength / sizeof(wchar_t))};
        if (::GetLastError() != ERROR_MORE_DATA)
            return {};
    }
    return {};
}

// True when `path` names an entry directly inside `folder` (both final paths, or both
// paths from the same volume's root).
bool isDirectlyIn(const std::wstring& path, const std::wstring& folder)
{
    if (path.size() <= folder.size() + 1 || path[folder.size()] != L'\\')
        return false;
    if (path.find(L'\\', folder.size() + 1) != std::wstring::npos)
        return false;
    return ::CompareStringOrdinal(path.data(), static_cast<int>(folder.size()), folder.data(),
                                  static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
}

// True when the open `entry` lies directly inside the open `folder`.
bool isDirectlyIn(HANDLE entry, HANDLE folder)
{
    const Location where = locationOf(entry);
    const Location folderWhere = locationOf(folder);
    return !where.path.empty() && !folderWhere.path.empty() && where.volume == folderWhere.volume
           && isDirectlyIn(where.path, folderWhere.path);
}

// Opens a folder itself, never what a reparse point standing there leads to.
HANDLE openFolder(const fs::path& path)
{
    const HANDLE handle = ::CreateFileW(path.c_str(), folderAccess, folderSharing, nullptr, OPEN_EXISTING,
                                        folderFlags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        throw ConversionError(systemError("cannot open folder " + shown(path), error));
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(handle, &information)
        || !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        || (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        ::CloseHandle(handle);
        throw ConversionError(shown(path) + " is a link or not a folder");
    }
    return handle;
}

// Removes the file behind the handle once the handle is closed, then closes it.
void discard(HANDLE file)
{
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
    ::CloseHandle(file);
}

} // namespace

SafeFolder::SafeFolder(const fs::path& folder) : m_handle(0)
{
    const HANDLE handle = openFolder(folder);
    const std::wstring resolved = finalPath(handle);
    if (resolved.empty()) {
        const DWORD error = ::GetLastError();
        ::CloseHandle(handle);
        throw ConversionError(systemError("cannot resolve folder " + shown(folder), error));
    }
    m_handle = reinterpret_cast<std::intptr_t>(handle);
    m_path = resolved;
}

SafeFolder::SafeFolder(std::intptr_t handle, fs::path path) : m_handle(handle), m_path(std::move(path)) {}

SafeFolder::~SafeFolder()
{
    if (m_handle)
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

SafeFolder::SafeFolder(SafeFolder&& other) noexcept
    : m_handle(std::exchange(other.m_handle, 0)), m_path(std::move(other.m_path))
{
}

SafeFolder& SafeFolder::operator=(SafeFolder&& other) noexcept
{
    if (this != &other) {
        if (m_handle)
            ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
        m_handle = std::exchange(other.m_handle, 0);
        m_path = std::move(other.m_path);
    }
    return *this;
}

SafeFolder SafeFolder::enter(const std::string& name) const
{
    // This folder is held, so its final path keeps naming it while the name is used.
    const fs::path path = m_path / wide(name);
    if (!::CreateDirectoryW(path.c_str(), nullptr)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_ALREADY_EXISTS)
            throw ConversionError(systemError("cannot create folder " + shown(path), error));
    }
    const HANDLE handle = openFolder(path);
    if (!isDirectlyIn(handle, reinterpret_cast<HANDLE>(m_handle))) {
        ::CloseHandle(handle);
        throw ConversionError("folder " + shown(path) + " is not where it was looked for");
    }
    return SafeFolder(reinterpret_cast<std::intptr_t>(handle), path);
}

void SafeFolder::removeStaleTemporaries() const
{
    WIN32_FIND_DATAW entry{};
    const fs::path pattern = m_path / L".*.tmp";
    const HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                             nullptr, 0);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        // A writer holds its file without delete sharing, so the removal fails while any
        // process writes it; folders and links are never the server's.
        if (isTemporaryName(utf8(entry.cFileName))
            && !(entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
            ::DeleteFileW((m_path / entry.cFileName).c_str());
    } while (::FindNextFileW(search, &entry));
    ::FindClose(search);
}

std::intptr_t SafeFolder::createTemporary(const std::string& name) const
{
    const fs::path temporary = m_path / wide(name);
    // CREATE_NEW: fails when anything, a link included, already has the name. No sharing:
    // nobody may remove the file while it is written.
    const HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        throw ConversionError(systemError("cannot create " + shown(temporary), error));
    }
    if (!isDirectlyIn(file, reinterpret_cast<HANDLE>(m_handle))) {
        discard(file);
        throw ConversionError(shown(temporary) + " is not where it was created");
    }
    return reinterpret_cast<std::intptr_t>(file);
}

void SafeFolder::closeTemporary(std::intptr_t handle)
{
    ::CloseHandle(reinterpret_cast<HANDLE>(handle));
}

void SafeFolder::replaceFile(const std::string& name, std::string_view text) const
{
    const fs::path target = m_path / wide(name);
    if (name.size() > maxReplacedNameBytes)
        throw ConversionError("file name " + shown(target) + " is too long");
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw ConversionError(shown(target) + " is a folder");

    removeStaleTemporaries();

    const HANDLE file = reinterpret_cast<HANDLE>(createTemporary(temporaryName(name)));
    DWORD error = 0;
    for (std::size_t done = 0; done < text.size() && error == 0;) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1u << 20));
        DWORD count = 0;
        if (!::WriteFile(file, text.data() + done, chunk, &count, nullptr))
            error = ::GetLastError();
        else if (count == 0)
            error = ERROR_WRITE_FAULT;
        done += count;
    }
    if (error == 0) {
        // Renamed by handle over whatever has the name; the folder is held, so its path
        // still names it.
        const std::wstring destination = target.native();
        std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + (destination.size() + 1) * sizeof(wchar_t));
        auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        rename->ReplaceIfExists = TRUE;
        rename->RootDirectory = nullptr;
        rename->FileNameLength = static_cast<DWORD>(destination.size() * sizeof(wchar_t));
        std::copy(destination.begin(), destination.end(), rename->FileName);
        rename->FileName[destination.size()] = L'\0';
        // Another server that has just renamed its own file to the name holds it until it
        // closes it, a moment later; the system refuses the rename meanwhile.
        const auto deadline = std::chrono::steady_clock::now() + maxRenameWait;
        while (!::SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size()))) {
            error = ::GetLastError();
            if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)
                || std::chrono::steady_clock::now() >= deadline)
                break;
            error = 0;
            ::Sleep(1);
        }
    }
    if (error != 0) {
        discard(file);
        throw ConversionError(systemError("cannot write " + shown(target), error));
    }
    ::CloseHandle(file);
}

} // namespace ConversionServer
