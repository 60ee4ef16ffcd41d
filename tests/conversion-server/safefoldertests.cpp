// The converted file's folder-relative writing on the platform at hand: POSIX here, and
// Windows when the core build runs these under Wine.

#include "contentfolder.h"
#include "conversionerror.h"
#include "request.h"
#include "safefolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using namespace ConversionServer;

namespace {

class Folder
{
public:
    Folder()
    {
        std::random_device random;
        m_path = fs::temp_directory_path() / ("garbwright-safefolder-" + std::to_string(random()));
        fs::create_directories(m_path / "Runtime");
    }
    ~Folder()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

void writeFile(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string readFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// A temporary file held as a writer, in this process or another, holds it while it writes.
class HeldFile
{
public:
    HeldFile(const fs::path& folder, const std::string& name)
        : m_handle(SafeFolder(fs::canonical(folder)).createTemporary(name))
    {
    }
    ~HeldFile() { SafeFolder::closeTemporary(m_handle); }

private:
    std::intptr_t m_handle;
};

} // namespace

// Every name the request check lets through is written, however long; the final-path check
// on Windows copes with paths longer than the classic limit.
TEST(SafeFolder, Write_NamesUpToTheLongestAccepted)
{
    Folder content;
    for (const std::size_t bytes : {std::size_t{1}, std::size_t{160}, std::size_t{214}, maxNameBytes}) {
        SCOPED_TRACE(bytes);
        const std::string garment(bytes, 'g');
        const fs::path relative = writeConvertedFile(content.path(), "Brackenmoor", garment, "converted");
        EXPECT_EQ(relative.filename().string(), garment + ".cr2");
        EXPECT_EQ(readFile(content.path() / relative), "converted");
    }
}

// Writing clears away the temporary files that no writer holds any more, and nothing else.
TEST(SafeFolder, Write_RemovesOnlyTheServersUnheldTemporaryFiles)
{
    Folder content;
    const fs::path relative = writeConvertedFile(content.path(), "Brackenmoor", "Dress", "one");
    const fs::path folder = (content.path() / relative).parent_path();
    struct Entry {
        const char* what;
        std::string name;
        bool held;
        bool kept;
    };
    const Entry entries[] = {
        {"a user's file shaped like an old temporary name", ".notes.2024.12.tmp", false, true},
        {"a user's file", "notes.tmp", false, true},
        {"a user's file shaped like a temporary name, with another tag",
         ".Dress.cr2.backupcopy-0123456789abcdef0123.tmp", false, true},
        {"left by a killed server", temporaryName("Dress.cr2"), false, false},
        {"another's, for another file", temporaryName("Coat.cr2"), false, false},
        {"being written by a live writer", temporaryName("Dress.cr2"), true, true},
    };
    std::vector<std::unique_ptr<HeldFile>> held;
    for (const Entry& entry : entries) {
        if (entry.held)
            held.push_back(std::make_unique<HeldFile>(folder, entry.name));
        else
            writeFile(folder / entry.name, entry.what);
    }

    writeConvertedFile(content.path(), "Brackenmoor", "Dress", "two");
    EXPECT_EQ(readFile(content.path() / relative), "two");
    // The writer lets go first: on Windows, a removal of an open file takes effect then.
    held.clear();
    for (const Entry& entry : entries)
        EXPECT_EQ(fs::exists(folder / entry.name), entry.kept) << entry.what;
}

// Two servers sharing one content folder, converting the same garment: each one's clean-up
// runs while the other creates, locks, writes and renames its temporary file, and each
// renames over the file the other has just renamed; neither loses a write.
TEST(SafeFolder, Write_TwoServersInOneFolder_NeitherFails)
{
    Folder content;
#ifdef _WIN32
    const int writes = 300; // Wine is slow to create and rename
#else
    const int writes = 1000;
#endif
    std::atomic<int> failures{0};
    std::string firstFailure;
    std::mutex firstFailureMutex;
    const auto server = [&](const std::string& garment) {
        for (int i = 0; i < writes; ++i) {
            try {
                writeConvertedFile(content.path(), "Brackenmoor", garment, "converted");
            } catch (const ConversionError& error) {
                if (failures++ == 0) {
                    const std::lock_guard<std::mutex> lock(firstFailureMutex);
                    firstFailure = error.what();
                }
            }
        }
    };
    std::thread other(server, "Dress");
    server("Dress");
    other.join();
    EXPECT_EQ(failures, 0) << firstFailure;
}
