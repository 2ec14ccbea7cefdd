#include "catalogue/CatalogueRows.h"

#include "catalogue/CatalogueText.h"

namespace gw {

namespace {

constexpr std::string_view kDeveloperMarker = "developer.php?naamauthor=";
constexpr std::string_view kCellMarker = "<TD><CENTER>";

/** The text from start up to the first end marker at or after from; empty when there is none. */
std::string_view cut(std::string_view line, std::size_t start, std::string_view endMarker, std::size_t from)
{
    const std::size_t end = line.find(endMarker, from);
    if (end == std::string_view::npos || start > end) {
        return {};
    }
    return line.substr(start, end - start);
}

class RowWalker
{
public:
    explicit RowWalker(std::string_view text)
        : m_lines(text)
    {
    }

    bool atEnd() const { return m_lines.atEnd(); }

    /** Reads the next line; false at the end of the text. */
    bool readLine() { return m_lines.next(m_line); }

    /** Searches the following lines for a start marker: its position in line(), or npos at the end of the text. */
    std::size_t search(std::string_view marker, bool keepPrevious)
    {
        while (!atEnd()) {
            if (keepPrevious) {
                m_previous = m_line;
            }
            readLine();
            const std::size_t found = findIgnoringCase(m_line, marker);
            if (found != std::string_view::npos) {
                return found;
            }
        }
        return std::string_view::npos;
    }

    std::string_view line() const { return m_line; }
    std::string_view previous() const { return m_previous; }

private:
    CatalogueLines m_lines;
    std::string_view m_line;
    std::string_view m_previous;
};

constexpr std::size_t npos = std::string_view::npos;

} // namespace

void forEachCatalogueRow(std::string_view text, const std::function<void(const CatalogueRow&)>& add)
{
    RowWalker walker(text);
    while (!walker.atEnd()) {
        CatalogueRow row;
        auto& f = row.fields;

        std::size_t p = walker.search(kDeveloperMarker, true);
        if (p != npos) {
            f[CatalogueRow::Developer] = cut(walker.line(), p + kDeveloperMarker.size(), "'>", p);
            const std::string_view previous = walker.previous();
            const std::size_t gt = previous.find('>');
            if (gt != npos) {
                f[CatalogueRow::Date] = cut(previous, gt + 1, "</TD>", gt + 1);
            }
        }

        p = walker.search(kGetMarker, false);
        if (p != npos) {
            const std::string_view line = walker.line();
            const std::size_t q = line.find(kNewIdMarker, p);
            if (q != npos) {
                f[CatalogueRow::Filename] = line.substr(p + kGetMarker.size(), q - p - kGetMarker.size());
                const std::size_t r = line.find("'>", q);
                if (r != npos) {
                    f[CatalogueRow::Name] = cut(line, r + 2, "</A>", r);
                }
            }
        }

        bool statusFound = false;
        for (const CatalogueRow::Field field : {CatalogueRow::Type, CatalogueRow::Version, CatalogueRow::Status}) {
            p = walker.search(kCellMarker, false);
            if (p != npos) {
                f[field] = cut(walker.line(), p + kCellMarker.size(), "</CENTER>", p);
                statusFound = field == CatalogueRow::Status;
            }
        }

        // The description cell stands six lines below the status cell: cut its "<TD>" and "</TD>".
        if (statusFound) {
            int read = 0;
            while (read < 6 && walker.readLine()) {
                ++read;
            }
            const std::string_view line = walker.line();
            if (read == 6 && line.size() >= 9) {
                f[CatalogueRow::Description] = line.substr(4, line.size() - 9);
            }
        }

        if (!f[CatalogueRow::Filename].empty()) {
            add(row);
        }
    }
}

} // namespace gw
