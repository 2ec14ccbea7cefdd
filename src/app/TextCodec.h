#pragma once

#include <string>
#include <string_view>

namespace gw {

/** Decodes Windows-1252 bytes to UTF-8. The five bytes the code page leaves undefined map to the C1 controls of
 *  the same value, as Windows itself does, so the mapping is one to one and exact comparisons survive it. */
std::string windows1252ToUtf8(std::string_view bytes);

/** Appends one code point to a UTF-8 string. */
void appendUtf8(std::string& out, char32_t cp);

/**
 * Sort key of the program's sorted lists. The lists order as the Windows list box does for a user: ignoring letter
 * case (ASCII and Latin-1 letters), so "alpha" comes before "Beta". Two entries with equal keys are ordered by their
 * exact text, which makes the order total and stable.
 */
std::string listSortKey(std::string_view utf8);

/** The order of the sorted lists, on UTF-8 texts. */
bool listLess(std::string_view a, std::string_view b);

} // namespace gw
