#include "unzip/EntryName.h"

namespace gw {

std::optional<std::string> safeEntryTarget(std::string_view entryName)
{
    if (entryName.empty() || entryName.front() == '/' || entryName.front() == '\\' ||
        entryName.find(':') != std::string_view::npos) {
        return std::nullopt;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = entryName.find_first_of("/\\", start);
        const std::string_view part = entryName.substr(start, end == std::string_view::npos ? end : end - start);
        for (const char c : part) {
            if (static_cast<unsigned char>(c) < 0x20) {
                return std::nullopt;
            }
        }
        if (part == "..") {
            return std::nullopt;
        }
        if (end == std::string_view::npos) {
            if (part.empty() || part == ".") {
                return std::nullopt;
            }
            return std::string(part);
        }
        start = end + 1;
    }
}

} // namespace gw
