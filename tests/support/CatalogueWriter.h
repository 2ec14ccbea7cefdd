#pragma once

#include <string>
#include <vector>

namespace gw::test {

/** A machine as the archive's catalogue page shows it. */
struct CatalogueMachine
{
    std::string filename; // the download identifier
    std::string date;
    std::string developer;
    std::string name;
    std::string description;
    std::string type;
    std::string version;
    std::string status;
};

/** The lines of one machine's table rows as the archive lays them out, without line ends; id follows "&newid=". */
std::vector<std::string> catalogueRecord(const CatalogueMachine& machine, int id);

/**
 * Writes a catalogue page the way the archive lays it out, one HTML table row per machine spread over several
 * lines, with CR LF line ends (as the program keeps its catalogue files) or LF (as the site serves it).
 */
std::string catalogueText(const std::vector<CatalogueMachine>& machines, bool crlf = true);

/**
 * count machines of one kind with made-up developers and names that read like a real archive's (some with blanks
 * or percent escapes in their download names), the same every time.
 */
std::vector<CatalogueMachine> fictionalMachines(int count, bool generators);

/** count made-up machines of one kind, for load and speed tests. */
std::vector<CatalogueMachine> manyMachines(int count, const std::string& kind);

} // namespace gw::test
