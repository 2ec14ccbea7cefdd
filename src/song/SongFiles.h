#pragma once

#include <string>
#include <vector>

namespace gw {

/**
 * The song files named by paths (UTF-8): files as given, folders searched recursively for *.bmx and *.bmw in any
 * letter case, each folder's songs in byte order, in path order. Paths that name nothing go to notFound.
 */
std::vector<std::string> collectSongs(const std::vector<std::string>& paths, std::vector<std::string>& notFound);

} // namespace gw
