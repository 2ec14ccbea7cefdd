#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

namespace gw {

/** One machine of a catalogue page, in the table's column order. */
struct CatalogueRow
{
    enum Field { Filename, Date, Developer, Name, Description, Type, Version, Status, FieldCount };
    std::array<std::string, FieldCount> fields;
};

/**
 * Walks catalogue text (in its CR LF line form) record by record and hands over every row that has a Filename, in
 * file order. A record is found by searching, each search starting on the line after the one where the previous
 * search stopped: the developer link (its Date taken from the line just above it), then the download link (Filename
 * and Name), then three centred cells (Type, Version, Status), and the Description six lines after the Status.
 * Start markers match in any letter case, end markers only as written. A field whose end marker is missing is
 * left empty, and so is every field a search could not reach before the end of the text.
 */
void forEachCatalogueRow(std::string_view text, const std::function<void(const CatalogueRow&)>& add);

} // namespace gw
