#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace gw {

/** A UTF-8 path as a filesystem path, and back. */
std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string utf8FromPath(const std::filesystem::path& path);

/**
 * The entry of folder that Windows would open for name, which ignores letter case: name itself when it exists,
 * else the entry equal to it ignoring case (the first in byte order when there are several), else empty.
 */
std::string findEntryIgnoringCase(const std::string& folder, const std::string& name);

/** folder's entry for name found as findEntryIgnoringCase does, or name itself when there is none. */
std::string entryNameIgnoringCase(const std::string& folder, const std::string& name);

} // namespace gw
