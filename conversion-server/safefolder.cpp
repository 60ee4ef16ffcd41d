#include "safefolder.h"

#include <chrono>
#include <mutex>
#include <random>

namespace ConversionServer {
namespace {

constexpr char hexDigits[] = "0123456789abcdef";

// Random digits for a temporary name. The generator is seeded once from the system's
// random source and the clock, so that two servers (or two runs) never draw alike.
std::string randomToken()
{
    static std::mutex mutex;
    static std::mt19937_64 generator = [] {
        std::random_device device;
        const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
        std::seed_seq seed{device(), device(), device(), device(), static_cast<unsigned>(now)};
        return std::mt19937_64(seed);
    }();
    std::string token;
    const std::lock_guard<std::mutex> lock(mutex);
    while (token.size() < temporaryTokenDigits) {
        std::uint64_t bits = generator();
        for (int i = 0; i < 16 && token.size() < temporaryTokenDigits; ++i, bits >>= 4)
            token += hexDigits[bits & 0xf];
    }
    return token;
}

} // namespace

std::string temporaryName(const std::string& name)
{
    return "." + name + temporaryTag + randomToken() + temporarySuffix;
}

bool isTemporaryName(std::string_view entry)
{
    const std::string_view tag(temporaryTag);
    const std::string_view suffix(temporarySuffix);
    const std::size_t extra = temporaryNameExtraBytes;
    if (entry.size() <= extra || entry.front() != '.' || entry.substr(entry.size() - suffix.size()) != suffix)
        return false;
    const std::string_view token =
        entry.substr(entry.size() - suffix.size() - temporaryTokenDigits, temporaryTokenDigits);
    return token.find_first_not_of(hexDigits) == std::string_view::npos
           && entry.substr(entry.size() - extra + 1, tag.size()) == tag;
}

} // namespace ConversionServer
