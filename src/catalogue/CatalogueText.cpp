#include "catalogue/CatalogueText.h"

namespace gw {

const CatalogueFiles& catalogueFiles(bool generators)
{
    static constexpr CatalogueFiles generatorFiles = {"allgenerators.php", "allgenerators.txt"};
    static constexpr CatalogueFiles effectFiles = {"alleffects.php", "alleffects.txt"};
    return generators ? generatorFiles : effectFiles;
}

namespace {
constexpr char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}
} // namespace

std::size_t findIgnoringCase(std::string_view text, std::string_view needle, std::size_t from)
{
    if (needle.empty()) {
        return from <= text.size() ? from : std::string_view::npos;
    }
    const char first = lower(needle.front());
    for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
        if (lower(text[i]) != first) {
            continue;
        }
        std::size_t k = 1;
        while (k < needle.size() && lower(text[i + k]) == lower(needle[k])) {
            ++k;
        }
        if (k == needle.size()) {
            return i;
        }
    }
    return std::string_view::npos;
}

bool CatalogueLines::next(std::string_view& line)
{
    if (m_position >= m_text.size()) {
        return false;
    }
    const std::size_t end = m_text.find('\r', m_position);
    if (end == std::string_view::npos) {
        line = m_text.substr(m_position);
        m_position = m_text.size();
        return true;
    }
    line = m_text.substr(m_position, end - m_position);
    m_position = end + 1;
    if (m_position < m_text.size() && m_text[m_position] == '\n') {
        ++m_position;
    }
    return true;
}

std::optional<std::string_view> catalogueEntry(std::string_view line)
{
    const std::size_t get = findIgnoringCase(line, kGetMarker);
    if (get == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t start = get + kGetMarker.size();
    const std::size_t newId = line.find(kNewIdMarker, start);
    if (newId == std::string_view::npos) {
        return std::nullopt;
    }
    return line.substr(start, newId - start);
}

std::string toDosLines(std::string_view page)
{
    std::string out;
    out.reserve(page.size() + page.size() / 16);
    std::size_t position = 0;
    while (position < page.size()) {
        const std::size_t feed = page.find('\n', position);
        const std::size_t end = feed == std::string_view::npos ? page.size() : feed;
        out.append(page.substr(position, end - position));
        out += "\r\n";
        position = end + 1;
    }
    return out;
}

} // namespace gw
