#include "base/FolderEntries.h"

#include "base/TextCodec.h"

#include <system_error>

namespace gw {

namespace fs = std::filesystem;

fs::path pathFromUtf8(std::string_view utf8)
{
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string utf8FromPath(const fs::path& path)
{
    const std::u8string u8 = path.u8string();
    return std::string(reinterpret_cast<const char*>(u8.data()), u8.size());
}

std::string findEntryIgnoringCase(const std::string& folder, const std::string& name)
{
    if (name.empty()) {
        return {};
    }
    const fs::path dir = pathFromUtf8(folder);
    std::error_code error;
    // The entry's own name, even where the name as given exists too: a disk that ignores letter case (Windows)
    // opens any case of it.
    const std::string wanted = foldCase(name);
    std::string found;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        const std::string entry = utf8FromPath(it->path().filename());
        if (entry == name) {
            return name;
        }
        if (foldCase(entry) == wanted && (found.empty() || entry < found)) {
            found = entry;
        }
    }
    return found;
}

std::string entryNameIgnoringCase(const std::string& folder, const std::string& name)
{
    std::string found = findEntryIgnoringCase(folder, name);
    return found.empty() ? name : found;
}

} // namespace gw
