#pragma once

#include <QString>

#include <filesystem>
#include <string>
#include <string_view>

namespace gw {

/**
 * A file name's bytes as text that gives the same bytes back. Valid UTF-8 reads as itself; a byte that is not (an
 * old Windows zip unpacked here leaves Latin-1 names) is kept as one unpaired surrogate, U+DC80 to U+DCFF, so
 * the file can still be opened under its own name.
 */
QString textFromPathBytes(std::string_view bytes);
/** The bytes textFromPathBytes was given; other text as UTF-8. */
std::string pathBytesFromText(const QString& text);
/** The file system's own path for the text, bytes kept. */
std::filesystem::path fileSystemPath(const QString& text);
/** The text for people and for JSON: each kept byte shown as its Latin-1 letter. */
QString displayPath(const QString& text);

} // namespace gw
