#include "safefolder.h"

namespace ConversionServer {
namespace {

constexpr char temporaryPrefix[] = ".";
constexpr char temporarySuffix[] = ".tmp";
constexpr char temporarySeparator = '.';

// The all-digit number after the last separator in text, which is cut there; 0 when there
// is none.
std::uint64_t takeNumber(std::string_view& text)
{
    const std::size_t separator = text.rfind(temporarySeparator);
    if (separator == std::string_view::npos)
        return 0;
    const std::string_view digits = text.substr(separator + 1);
    if (digits.empty() || digits.size() > 20 || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return 0;
    std::uint64_t value = 0;
    for (const char digit : digits)
        value = value * 10 + static_cast<std::uint64_t>(digit - '0');
    text = text.substr(0, separator);
    return value;
}

} // namespace

std::string temporaryName(const std::string& name, std::uint64_t processId, std::uint64_t sequence)
{
    return temporaryPrefix + name + temporarySeparator + std::to_string(processId) + temporarySeparator
           + std::to_string(sequence) + temporarySuffix;
}

std::uint64_t temporaryNameOwner(std::string_view entry)
{
    const std::string_view prefix(temporaryPrefix);
    const std::string_view suffix(temporarySuffix);
    if (entry.size() <= prefix.size() + suffix.size() || entry.substr(0, prefix.size()) != prefix
        || entry.substr(entry.size() - suffix.size()) != suffix)
        return 0;
    std::string_view rest = entry.substr(prefix.size(), entry.size() - prefix.size() - suffix.size());
    if (takeNumber(rest) == 0)
        return 0;
    const std::uint64_t owner = takeNumber(rest);
    return rest.empty() ? 0 : owner;
}

} // namespace ConversionServer
