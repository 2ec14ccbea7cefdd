#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace gw {

/**
 * Where a zip entry may be written below the extraction folder, as a relative path with '/' between components.
 * Both '/' and '\' count as separators. Without folder names only the last component is kept. Returns nothing for
 * an entry that must not be written: a folder entry, an empty name, a component that is "." or "..", a drive
 * prefix, an absolute path, or a NUL or control character in the name; so no entry can leave the folder.
 */
std::optional<std::string> safeEntryTarget(std::string_view entryName, bool useFolderNames);

/** The part of an entry name after its last separator, and the part before it (empty when there is none). */
std::string entryFileName(std::string_view entryName);
std::string entryFolder(std::string_view entryName);

} // namespace gw
