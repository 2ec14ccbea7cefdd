#pragma once

#include "song/SongReader.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace gw {

/** A machine record found by searching a MACH section, and where its name was taken to start in the file. */
struct FoundMachine
{
    MachineRef machine;
    std::int64_t offset = 0;
};

/**
 * Finds the machine records of a MACH section without the parameter layouts of PARA, which songs of hosts older
 * than 1.2 lack: a printable zero-terminated name, a kind byte 1 (generator) or 2 (effect), a printable
 * zero-terminated DLL name, two floats within -1…1 (the machine's position) and a data size that fits in what is
 * left of the section. Each record found is passed over whole before the search goes on; a record's name is the
 * printable run before its kind byte, which may begin in the previous record's bytes. section holds the section's
 * bytes (its machine count first) and sectionOffset its place in the file. Returns the records only when there are
 * exactly as many as the section's count minus the master; otherwise nothing. Linear in time and memory.
 */
std::optional<std::vector<FoundMachine>> searchMachineRecords(std::span<const std::uint8_t> section,
                                                              std::int64_t sectionOffset);

} // namespace gw
