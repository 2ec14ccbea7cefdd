#include "catalogue/MachineMatch.h"

#include "base/TextCodec.h"

#include <cctype>

namespace gw {

namespace {

bool isAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

/** "2", "v1.1", "V2.0.3": a token that only says which version. */
bool isVersionToken(std::string_view token)
{
    if (!token.empty() && (token.front() == 'v' || token.front() == 'V')) {
        token.remove_prefix(1);
    }
    if (token.empty() || !isAsciiDigit(token.front()) || !isAsciiDigit(token.back())) {
        return false;
    }
    for (const char c : token) {
        if (!isAsciiDigit(c) && c != '.') {
            return false;
        }
    }
    return token.find("..") == std::string_view::npos;
}

bool isSeparator(char c)
{
    return c == ' ' || c == '\t' || c == '_' || c == '-';
}

/** A Date that sorts by text when it is a date at all ("2004-05-06"); anything else is older than every date. */
std::string dateKey(const std::string& date)
{
    if (date.size() >= 10 && isAsciiDigit(date[0]) && isAsciiDigit(date[3]) && date[4] == '-' && date[7] == '-') {
        return date.substr(0, 10);
    }
    return {};
}

} // namespace

const char* matchWayText(MatchWay way)
{
    switch (way) {
    case MatchWay::Name:
        return "name";
    case MatchWay::Close:
        return "close";
    case MatchWay::FileName:
        return "file name";
    case MatchWay::None:
        break;
    }
    return "";
}

std::string closeKey(std::string_view utf8)
{
    // Drop a trailing version token first, while the blanks still tell where it starts.
    std::size_t end = utf8.size();
    while (end > 0 && isSeparator(utf8[end - 1])) {
        --end;
    }
    std::size_t start = end;
    while (start > 0 && !isSeparator(utf8[start - 1])) {
        --start;
    }
    if (start > 0 && isVersionToken(utf8.substr(start, end - start))) {
        utf8 = utf8.substr(0, start);
    }
    const std::string folded = foldCase(utf8);
    std::string key;
    key.reserve(folded.size());
    for (std::size_t i = 0; i < folded.size(); ++i) {
        const auto byte = static_cast<unsigned char>(folded[i]);
        if (byte < 0x80) {
            if (std::isalnum(byte)) {
                key += static_cast<char>(byte);
            }
        } else {
            key += static_cast<char>(byte); // letters beyond ASCII stay; their punctuation is rare in names
        }
    }
    return key;
}

CatalogueMatcher::CatalogueMatcher(std::vector<CatalogueRow> rows)
    : m_rows(std::move(rows))
{
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        const CatalogueRow& fields = m_rows[row];
        const std::string& name = fields.fields[CatalogueRow::Name];
        if (!name.empty()) {
            add(m_byName, foldCase(name), row);
            add(m_byCloseName, closeKey(name), row);
        }
        std::string file = fields.fields[CatalogueRow::Filename];
        if (file.size() >= 4 && foldCase(file.substr(file.size() - 4)) == ".zip") {
            file.resize(file.size() - 4);
        }
        std::string blanks;
        for (std::size_t i = 0; i < file.size(); ++i) {
            if (file.compare(i, 3, "%20") == 0) {
                blanks += ' ';
                i += 2;
            } else {
                blanks += file[i] == '_' ? ' ' : file[i];
            }
        }
        add(m_byFileName, closeKey(blanks), row);
    }
}

void CatalogueMatcher::add(Index& index, std::string key, std::size_t row)
{
    if (key.empty()) {
        return;
    }
    const auto [at, added] = index.emplace(std::move(key), row);
    if (!added &&
        dateKey(m_rows[row].fields[CatalogueRow::Date]) > dateKey(m_rows[at->second].fields[CatalogueRow::Date])) {
        at->second = row; // a newer row of the same machine; on equal dates the first stays
    }
}

CatalogueMatcher::Result CatalogueMatcher::match(std::string_view dll) const
{
    const auto find = [](const Index& index, const std::string& key) -> std::size_t {
        const auto at = key.empty() ? index.end() : index.find(key);
        return at == index.end() ? std::string::npos : at->second;
    };
    const std::string close = closeKey(dll);
    const struct
    {
        const Index& index;
        std::string key;
        MatchWay way;
    } ways[] = {
        {m_byName, foldCase(dll), MatchWay::Name},
        {m_byCloseName, close, MatchWay::Close},
        {m_byFileName, close, MatchWay::FileName},
    };
    for (const auto& way : ways) {
        if (const std::size_t row = find(way.index, way.key); row != std::string::npos) {
            return {way.way, &m_rows[row]};
        }
    }
    return {};
}

} // namespace gw
