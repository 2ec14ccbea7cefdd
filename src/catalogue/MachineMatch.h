#pragma once

#include "catalogue/CatalogueRows.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace gw {

/** How a missing machine was matched to a catalogue row, best first. */
enum class MatchWay { Name, Close, FileName, None };

/** The words a match is reported with: "name", "close", "file name", or empty for none. */
const char* matchWayText(MatchWay way);

/**
 * A name reduced for a close comparison: letter case folded, a trailing version token ("v1.1", "2") dropped,
 * then every blank and punctuation mark dropped. "Acme Kick v1.1" and "acme_kick" both become "acmekick".
 */
std::string closeKey(std::string_view utf8);

/**
 * One catalogue's rows (UTF-8 fields), indexed to find the row that is a given machine: its DLL name equal to the
 * row's Name ignoring case ("name"); else equal to it as close keys ("close"); else equal to the entry's file name
 * without ".zip", "%20" and "_" read as blanks, as close keys ("file name"). Among several rows the newest Date
 * wins, then the first. Building and each lookup take time linear in the text involved.
 */
class CatalogueMatcher
{
public:
    explicit CatalogueMatcher(std::vector<CatalogueRow> rows);

    struct Result
    {
        MatchWay way = MatchWay::None;
        const CatalogueRow* row = nullptr;
    };
    /** The best row for a DLL name (without ".dll"). */
    Result match(std::string_view dll) const;

    const std::vector<CatalogueRow>& rows() const { return m_rows; }

private:
    using Index = std::unordered_map<std::string, std::size_t>;
    void add(Index& index, std::string key, std::size_t row);

    std::vector<CatalogueRow> m_rows;
    Index m_byName;
    Index m_byCloseName;
    Index m_byFileName;
};

} // namespace gw
