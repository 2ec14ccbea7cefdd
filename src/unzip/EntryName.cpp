#include "unzip/EntryName.h"


namespace gw {

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

std::size_t lastSeparator(std::string_view name)
{
    const std::size_t slash = name.find_last_of("/\\");
    return slash;
}

bool hasUnsafeCharacter(std::string_view name)
{
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string entryFileName(std::string_view entryName)
{
    const std::size_t cut = lastSeparator(entryName);
    return std::string(cut == std::string_view::npos ? entryName : entryName.substr(cut + 1));
}

std::string entryFolder(std::string_view entryName)
{
    const std::size_t cut = lastSeparator(entryName);
    return cut == std::string_view::npos ? std::string() : std::string(entryName.substr(0, cut));
}

std::optional<std::string> safeEntryTarget(std::string_view entryName, bool useFolderNames)
{
    if (hasUnsafeCharacter(entryName)) {
        return std::nullopt;
    }
    if (!useFolderNames) {
        // Written flat: only the last component counts, and it must be a plain file name.
        const std::string name = entryFileName(entryName);
        if (name.empty() || name == "." || name == ".." || name.find(':') != std::string::npos) {
            return std::nullopt;
        }
        return name;
    }
    // A drive ("C:") or an absolute path would name a place outside the folder whatever follows.
    if (entryName.empty() || entryName.find(':') != std::string_view::npos || isSeparator(entryName.front())) {
        return std::nullopt;
    }
    std::string target;
    std::size_t start = 0;
    while (start <= entryName.size()) {
        std::size_t end = start;
        while (end < entryName.size() && !isSeparator(entryName[end])) {
            ++end;
        }
        const std::string_view part = entryName.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") {
            return std::nullopt;
        }
        if (!target.empty()) {
            target += '/';
        }
        target += part;
        start = end + 1;
    }
    return target;
}

} // namespace gw
