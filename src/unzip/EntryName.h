#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace gw {

/**
 * The file name a zip entry is written under when unzipped flat: the part after its last separator ('/' and '\'
 * both count). Returns nothing for an entry that must not be written: no file name (a folder entry, an empty name,
 * "." or ".."), a ".." anywhere in its path, an absolute path, a drive (any ':'), or a control character. Such names
 * are made to reach outside a folder, so the entry is refused rather than trimmed.
 */
std::optional<std::string> safeEntryTarget(std::string_view entryName);

} // namespace gw
