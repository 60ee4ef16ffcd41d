#include "contentfolder.h"
#include "conversionerror.h"
#include "cr2file.h"
#include "garment.h"
#include "request.h"
#include "safefolder.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>


namespace fs = std::filesystem;
using namespace ConversionServer;
using TestSupport::TemporaryFolder;
using TestSupport::entriesBelow;
using TestSupport::readFile;
using TestSupport::writeFile;

TEST(GarmentFile, Parse_ReadsNameDescriptionAndPiecesInOrder)
{
    const Garment garment = parseGarment("# comment\r\n\n  name :  Summer Dress \r\n"
                                         "description: Light: cotton\npiece: Bodice\npiece: Skirt");
    EXPECT_EQ(garment.displayName, "Summer Dress");
    EXPECT_EQ(garment.description, "Light: cotton");
    EXPECT_EQ(garment.pieces, (std::vector<std::string>{"Bodice", "Skirt"}));
}

TEST(GarmentFile, Parse_RefusesFilesThatWouldBreakTheConvertedFile)
{
    for (const char* text : {"", "description: no name", "name: A\nname: B", "name A",
                             "name:", "name: A\ncolour: red", "name: A { }", "name: }",
                             "name: A\x01", "name: \xff"})
        EXPECT_THROW(parseGarment(text), ConversionError) << text;
}

TEST(GarmentLibrary, Lookup_NeverLeavesTheLibrary)
{
    TemporaryFolder temp;
    const fs::path library = temp.path() / "Garments";
    writeFile(library / "Brackenmoor" / "Summer Dress", "name: Summer Dress\n");
    writeFile(temp.path() / "secret", "name: Secret\n");
    fs::create_directories(temp.path() / "elsewhere");
    writeFile(temp.path() / "elsewhere" / "Coat", "name: Coat\n");
    fs::create_directories(library / "Other");
    fs::create_symlink(temp.path() / "secret", library / "Other" / "Secret");
    fs::create_directory_symlink(temp.path() / "elsewhere", library / "Linked");
    fs::create_symlink(library / "Brackenmoor" / "Summer Dress", library / "Other" / "Alias");

    const GarmentLibrary garments(library);
    EXPECT_EQ(garments.load("Brackenmoor", "Summer Dress").displayName, "Summer Dress");
    EXPECT_EQ(garments.load("Other", "Alias").displayName, "Summer Dress"); // link inside is fine
    EXPECT_THROW(garments.load("Other", "Secret"), ConversionError);
    EXPECT_THROW(garments.load("Linked", "Coat"), ConversionError);
    EXPECT_THROW(garments.load("Brackenmoor", "Missing"), ConversionError);
    fs::create_directories(library / "Brackenmoor" / "Folder");
    EXPECT_THROW(garments.load("Brackenmoor", "Folder"), ConversionError);
    EXPECT_THROW(garments.load("..", "secret"), ConversionError);

    writeFile(library / "Brackenmoor" / "Huge", "name: Huge\n" + std::string(maxGarmentFileBytes, '#'));
    EXPECT_THROW(garments.load("Brackenmoor", "Huge"), ConversionError);
}

TEST(ContentFolder, Find_TakesTheNearestFolderHoldingRuntime)
{
    TemporaryFolder temp;
    const fs::path outer = fs::canonical(temp.path()) / "content";
    const fs::path inner = outer / "Scripts" / "Nested";
    fs::create_directories(outer / "Runtime");
    fs::create_directories(inner / "Runtime");
    fs::create_directories(outer / "Scripts" / "Demo");

    EXPECT_EQ(findContentFolder((inner / "demo.dsa").string()), inner);
    EXPECT_EQ(findContentFolder((outer / "Scripts" / "Demo" / "demo.dsa").string()), outer);
    // A file named Runtime does not mark a content folder; ".." is resolved first.
    writeFile(outer / "Scripts" / "Demo" / "Runtime", "");
    EXPECT_EQ(findContentFolder((outer / "Scripts" / "Demo" / "demo.dsa").string()), outer);
    EXPECT_EQ(findContentFolder((inner / ".." / "demo.dsa").string()), outer);
    // A linked script folder counts where it really is.
    fs::create_directory_symlink(inner, temp.path() / "link");
    EXPECT_EQ(findContentFolder((temp.path() / "link" / "demo.dsa").string()), inner);

    EXPECT_THROW(findContentFolder("Scripts/demo.dsa"), ConversionError);
    EXPECT_THROW(findContentFolder((temp.path() / "demo.dsa").string()), ConversionError);
}

TEST(ConvertedFile, Write_CreatesTheFoldersAndReturnsTheRelativePath)
{
    TemporaryFolder temp;
    const fs::path content = temp.path() / "content";
    fs::create_directories(content / "Runtime");

    const fs::path relative = writeConvertedFile(content, "Brackenmoor", "Summer Dress", "one");
    EXPECT_EQ(relative, fs::path("Runtime/Libraries/Character/Pliant Clothing/Brackenmoor/Summer Dress.cr2"));
    EXPECT_EQ(readFile(content / relative), "one");
    // Writing again replaces the file and leaves no temporary file behind (the temporary
    // files of others: safefoldertests.cpp).
    writeConvertedFile(content, "Brackenmoor", "Summer Dress", "two");
    EXPECT_EQ(readFile(content / relative), "two");
    EXPECT_EQ(entriesBelow(content).size(), 1u);
    // Every name the request check lets through can be written.
    const std::string longest(maxNameBytes, 'n');
    EXPECT_EQ(writeConvertedFile(content, longest, longest, "three").filename(), longest + ".cr2");
}

TEST(ConvertedFile, Write_NeverFollowsLinksOutOfTheContentFolder)
{
    TemporaryFolder temp;
    const fs::path outside = temp.path() / "outside";
    fs::create_directories(outside);

    // The runtime folder itself, or a folder deeper down, leads out.
    const fs::path linkedRuntime = temp.path() / "a";
    fs::create_directories(linkedRuntime);
    fs::create_directory_symlink(outside, linkedRuntime / "Runtime");
    EXPECT_THROW(writeConvertedFile(linkedRuntime, "Brackenmoor", "Dress", "x"), ConversionError);

    const fs::path linkedVendor = temp.path() / "b";
    const fs::path clothingFolder = linkedVendor / "Runtime/Libraries/Character/Pliant Clothing";
    fs::create_directories(clothingFolder);
    fs::create_directory_symlink(outside, clothingFolder / "Brackenmoor");
    EXPECT_THROW(writeConvertedFile(linkedVendor, "Brackenmoor", "Dress", "x"), ConversionError);
    EXPECT_TRUE(entriesBelow(outside).empty());

    // A link standing where the file goes is replaced, not written through.
    const fs::path linkedFile = temp.path() / "c";
    const fs::path vendorFolder = linkedFile / "Runtime/Libraries/Character/Pliant Clothing/Brackenmoor";
    fs::create_directories(vendorFolder);
    writeFile(outside / "victim", "untouched");
    fs::create_symlink(outside / "victim", vendorFolder / "Dress.cr2");
    writeConvertedFile(linkedFile, "Brackenmoor", "Dress", "converted");
    EXPECT_EQ(readFile(outside / "victim"), "untouched");
    EXPECT_FALSE(fs::is_symlink(vendorFolder / "Dress.cr2"));
    EXPECT_EQ(readFile(vendorFolder / "Dress.cr2"), "converted");
}

TEST(ConvertedFile, Write_VendorFolderSwappedForALinkMeanwhile_NothingLandsOutside)
{
    TemporaryFolder temp;
    const fs::path content = temp.path() / "content";
    const fs::path clothingFolder = content / "Runtime/Libraries/Character/Pliant Clothing";
    const fs::path vendor = clothingFolder / "Brackenmoor";
    const fs::path outside = temp.path() / "outside";
    fs::create_directories(vendor);
    fs::create_directories(outside);

    // Another process keeps putting a link to the outside folder where the vendor folder is.
    const char* seconds = std::getenv("GARBWRIGHT_RACE_SECONDS");
    const auto duration = std::chrono::seconds(seconds ? std::atoi(seconds) : 2);
    std::atomic<bool> done{false};
    std::thread swapper([&] {
        std::error_code ignored;
        while (!done) {
            fs::rename(vendor, clothingFolder / "held", ignored);
            fs::create_directory_symlink(outside, vendor, ignored);
            fs::remove(vendor, ignored);
            fs::rename(clothingFolder / "held", vendor, ignored);
        }
    });
    int written = 0;
    for (const auto end = std::chrono::steady_clock::now() + duration; std::chrono::steady_clock::now() < end;) {
        try {
            writeConvertedFile(content, "Brackenmoor", "Dress", "converted");
            ++written;
        } catch (const ConversionError&) {
        }
    }
    done = true;
    swapper.join();

    EXPECT_GT(written, 0);
    EXPECT_TRUE(entriesBelow(outside).empty());
    for (const fs::path& entry : entriesBelow(temp.path()))
        EXPECT_FALSE(isTemporaryName(entry.filename().string())) << entry;
}

TEST(Cr2File, Render_PutsTheDisplayNameFirstInTheFigureBlock)
{
    const Garment garment{"Summer Dress", "Light cotton", {"Bodice", "Skirt"}};
    const ConversionRequest request{"Base Female", "Brackenmoor", "Summer Dress", "/c/s.dsa"};
    const std::string text = renderCr2(garment, request);
    EXPECT_EQ(text.rfind("{\nversion\n\t{\n\tnumber 4.01\n\t}\nfigure\n\t{\n\tname Summer Dress\n", 0), 0u)
        << text;
    for (const char* line : {"\tconformTarget Base Female\n", "\tdescription Light cotton\n",
                             "\t\tpiece Bodice\n\t\tpiece Skirt\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    EXPECT_EQ(std::count(text.begin(), text.end(), '{'), std::count(text.begin(), text.end(), '}'));
    EXPECT_EQ(text.substr(text.size() - 2), "}\n");
}
