#pragma once

#include <string>
#include <vector>

namespace gw::test {

/** A machine as the archive's catalogue page shows it; filename is the download identifier. */
struct CatalogueMachine
{
    std::string filename, date, developer, name, description, type, version, status;
};

/** The lines of one machine's table rows as the archive lays them out, without line ends; id follows "&newid=". */
std::vector<std::string> catalogueRecord(const CatalogueMachine& machine, int id);

/** A catalogue page as the archive lays it out, with CR LF line ends (as the program keeps it) or LF. */
std::string catalogueText(const std::vector<CatalogueMachine>& machines, bool crlf = true);

/** count made-up machines of one kind that read like a real archive's, the same every time. */
std::vector<CatalogueMachine> fictionalMachines(int count, bool generators);

} // namespace gw::test
