#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace gw {

/** The marker in front of a machine's download identifier on a catalogue line; found in any letter case. */
inline constexpr std::string_view kGetMarker = "machines/download.php?get=";
/** The marker after the identifier; found only as written. */
inline constexpr std::string_view kNewIdMarker = "&newid=";

/** Position of the first occurrence of needle in text ignoring ASCII letter case, or npos. */
/** A catalogue page on the archive and the list the program keeps of it in its folder. */
struct CatalogueFiles
{
    const char* page;
    const char* list;
};
const CatalogueFiles& catalogueFiles(bool generators);

std::size_t findIgnoringCase(std::string_view text, std::string_view needle, std::size_t from = 0);

/**
 * Walks catalogue text line by line as the catalogue files are written: a line ends at a carriage return, and a
 * line feed right after it belongs to that line end; a line feed anywhere else is an ordinary character.
 */
class CatalogueLines
{
public:
    explicit CatalogueLines(std::string_view text)
        : m_text(text)
    {
    }

    /** The next line without its line end; false at the end of the text. */
    bool next(std::string_view& line);
    /** Whether every line has been read. */
    bool atEnd() const { return m_position >= m_text.size(); }

private:
    std::string_view m_text;
    std::size_t m_position = 0;
};

/**
 * The download identifier of a catalogue line: the text between the first get marker and the first "&newid=" after
 * it, verbatim (it may be empty). A line with no get marker has none; neither has a line whose get marker is not
 * followed by "&newid=", since what follows it then is no identifier the archive would understand.
 */
std::optional<std::string_view> catalogueEntry(std::string_view line);

/**
 * A fetched catalogue page in the line form the readers expect: the text split at line feeds, each piece written
 * followed by a carriage return and a line feed; a carriage return before a line feed stays in its line, and text
 * after the last line feed becomes a last line.
 */
std::string toDosLines(std::string_view page);

} // namespace gw
