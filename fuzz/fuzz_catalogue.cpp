// The catalogue list reader, the table-row walk and the page conversion on arbitrary text.
#include "catalogue/CatalogueRows.h"
#include "catalogue/CatalogueText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    gw::CatalogueLines lines(text);
    std::string_view line;
    std::size_t count = 0;
    while (lines.next(line)) {
        ++count;
        if (const auto entry = gw::catalogueEntry(line)) {
            // An entry is a piece of its own line.
            if (entry->data() < line.data() || entry->data() + entry->size() > line.data() + line.size()) {
                std::abort();
            }
        }
    }
    if (count > size + 1) {
        std::abort();
    }

    std::size_t rows = 0;
    gw::forEachCatalogueRow(text, [&](const gw::CatalogueRow& row) {
        if (row.fields[gw::CatalogueRow::Filename].empty()) {
            std::abort();
        }
        ++rows;
    });
    if (rows > size) {
        std::abort();
    }

    // Converting twice only adds carriage returns; the line feeds stay as they were.
    const std::string dos = gw::toDosLines(text);
    std::size_t feeds = 0;
    for (const char c : text) {
        feeds += c == '\n' ? 1 : 0;
    }
    std::size_t dosFeeds = 0;
    for (const char c : dos) {
        dosFeeds += c == '\n' ? 1 : 0;
    }
    if (dosFeeds != feeds + (text.empty() || text.back() == '\n' ? 0 : 1)) {
        std::abort();
    }
    return 0;
}
