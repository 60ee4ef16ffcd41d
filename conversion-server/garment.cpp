#include "garment.h"

#include "contentfolder.h"
#include "conversionerror.h"
#include "request.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace ConversionServer {
namespace {

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

} // namespace

Garment parseGarment(std::string_view text)
{
    if (!isValidUtf8(text))
        throw ConversionError("garment file is not UTF-8 text");
    Garment garment;
    bool sawName = false;
    bool sawDescription = false;
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view raw = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!raw.empty() && raw.back() == '\r')
            raw.remove_suffix(1);
        const std::string_view line = trimmed(raw);
        if (line.empty() || line.front() == '#')
            continue;

        const std::string where = "garment file line " + std::to_string(lineNumber);
        const auto colon = line.find(':');
        if (colon == std::string_view::npos)
            throw ConversionError(where + " is not \"key: value\"");
        const std::string_view key = trimmed(line.substr(0, colon));
        const std::string value(trimmed(line.substr(colon + 1)));
        if (value.empty())
            throw ConversionError(where + " has no value");
        // Values become lines of the converted file, whose blocks are braces and lines.
        if (hasControlCharacter(value) || value.find_first_of("{}") != std::string::npos)
            throw ConversionError(where + " holds a brace or a control character");

        if (key == "name") {
            if (sawName)
                throw ConversionError(where + " repeats the name");
            garment.displayName = value;
            sawName = true;
        } else if (key == "description") {
            if (sawDescription)
                throw ConversionError(where + " repeats the description");
            garment.description = value;
            sawDescription = true;
        } else if (key == "piece") {
            garment.pieces.push_back(value);
        } else {
            throw ConversionError(where + " has an unknown key");
        }
    }
    if (!sawName)
        throw ConversionError("garment file has no name");
    return garment;
}

GarmentLibrary::GarmentLibrary(fs::path root) : m_root(std::move(root)) {}

fs::path GarmentLibrary::garmentFile(const std::string& vendor, const std::string& clothing) const
{
    // Callers pass checked names; checking again keeps this safe on its own.
    if (!nameProblem(vendor).empty() || !nameProblem(clothing).empty())
        throw ConversionError("garment names are not plain names");

    std::error_code error;
    const fs::path root = fs::canonical(m_root, error);
    if (error)
        throw ConversionError("garment library " + m_root.string() + " is missing");
    const fs::path file = fs::canonical(root / fs::u8path(vendor) / fs::u8path(clothing), error);
    if (error)
        throw ConversionError("unknown garment");
    if (!isWithin(file, root))
        throw ConversionError("garment file leads outside the garment library");
    if (!fs::is_regular_file(file, error))
        throw ConversionError("garment is not a regular file");
    return file;
}

Garment GarmentLibrary::load(const std::string& vendor, const std::string& clothing) const
{
    const fs::path file = garmentFile(vendor, clothing);
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw ConversionError("cannot read the garment file");
    std::string text;
    text.resize(maxGarmentFileBytes + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad())
        throw ConversionError("cannot read the garment file");
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > maxGarmentFileBytes)
        throw ConversionError("garment file is larger than "
                              + std::to_string(maxGarmentFileBytes) + " bytes");
    return parseGarment(text);
}

} // namespace ConversionServer
