#ifndef GARBWRIGHT_GARMENT_H
#define GARBWRIGHT_GARMENT_H

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ConversionServer {

// A garment as the library describes it. The library file is UTF-8 text of "key: value"
// lines; blank lines and lines starting with '#' are ignored:
//   name: Summer Dress            (required, once: the name the loaded garment shows)
//   description: ...              (optional, once)
//   piece: Bodice                 (any number, in order)
struct Garment
{
    std::string displayName;
    std::string description;
    std::vector<std::string> pieces;
};

// Largest garment file read; a garment description is a handful of lines.
constexpr std::size_t maxGarmentFileBytes = 64u * 1024u;

// Throws ConversionError naming the line at fault.
Garment parseGarment(std::string_view text);

// The folder <root>/<vendor>/<clothing>. Lookups never leave the root: vendor and clothing
// must be single names (see nameProblem), and the file found, once every symbolic link is
// resolved, must be a regular file inside the root's resolved path.
class GarmentLibrary
{
public:
    explicit GarmentLibrary(std::filesystem::path root);

    const std::filesystem::path& root() const { return m_root; }

    // The garment's file, resolved; throws ConversionError when there is none.
    std::filesystem::path garmentFile(const std::string& vendor, const std::string& clothing) const;

    Garment load(const std::string& vendor, const std::string& clothing) const;

private:
    std::filesystem::path m_root;
};

} // namespace ConversionServer

#endif
