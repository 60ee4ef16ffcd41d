#include "orvstrings.h"

namespace Orv {

namespace Detail {

void replaceAllInPlace(std::string& text, std::string_view from, std::string_view to)
{
    if (from.empty())
        return;
    std::string::size_type position = text.find(from);
    while (position != std::string::npos) {
        text.replace(position, from.size(), to);
        position = text.find(from, position + to.size());
    }
}

} // namespace Detail

std::string replaceAll(std::string text, std::string from, std::string to)
{
    Detail::replaceAllInPlace(text, from, to);
    return text;
}

std::string trimChars(std::string text, std::string set)
{
    text.erase(text.find_last_not_of(set) + 1);
    text.erase(0, text.find_first_not_of(set));
    return text;
}

} // namespace Orv
