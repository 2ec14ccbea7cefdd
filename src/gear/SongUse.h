#pragma once

#include "song/SongReader.h"

#include <string>
#include <string_view>
#include <vector>

namespace gw {

/** The machines one song names, in song order; error holds the scan's message when it could not be read whole. */
struct SongUse
{
    std::string path;
    std::vector<MachineRef> machines; // those read before a break count too
    std::string error;
};

/** Reads the machines of the song at path (UTF-8) as a scan does, without its log. */
SongUse readSongUse(const std::string& path);

/**
 * The key under which a machine's DLL is compared: its name without ".dll" (when it ends so), letter case folded
 * as Windows folds file names. Takes a file name or a name the user typed, with or without ".dll".
 */
std::string machineKey(std::string_view name);

/** The key of a song's machine reference, whose DLL name is stored without ".dll". */
std::string machineKey(const MachineRef& machine);

} // namespace gw
