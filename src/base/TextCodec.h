#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace gw {

/** Decodes Windows-1252 bytes to UTF-8. The five bytes the code page leaves undefined map to the C1 controls of
 *  the same value, as Windows itself does, so the mapping is one to one and exact comparisons survive it. */
std::string windows1252ToUtf8(std::string_view bytes);

/**
 * The code point of the UTF-8 sequence at pos, moving pos past it; nothing (pos unmoved) when the bytes there are
 * no valid sequence: truncated, overlong, a surrogate or beyond U+10FFFF.
 */
std::optional<char32_t> decodeUtf8(std::string_view text, std::size_t& pos);

/** Appends one code point to a UTF-8 string. */
void appendUtf8(std::string& out, char32_t cp);

/** The lower-case form of one code point as Windows' file names fold it: one letter to one letter, else unchanged. */
char32_t foldCase(char32_t cp);

/**
 * A name with its letter case removed, as Windows compares file names: every letter (Latin, Greek, Cyrillic …)
 * folded to one case, accents kept. Bytes that are not UTF-8 stay as they are.
 */
std::string foldCase(std::string_view utf8);

/** Whether two UTF-8 names are the same name to Windows, letter case ignored. */
bool equalsIgnoringCase(std::string_view a, std::string_view b);

/**
 * Sort key of the program's sorted lists, in the order a Windows list box shows: letters by their base letter
 * (accents and letter case only break ties, so "Écho" sorts with the E's), blanks and punctuation before digits,
 * digits before letters, hyphens and apostrophes ignored. Equal keys are ordered by the exact text.
 */
std::u32string collationKey(std::string_view utf8);

/** The order of the sorted lists, on UTF-8 texts: by collation key, then by exact text. */
bool listLess(std::string_view a, std::string_view b);

} // namespace gw
