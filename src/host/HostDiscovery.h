#pragma once

#include "base/HostSettings.h"

#include <string>
#include <vector>

namespace gw {

/** A status text or a message box, in the order the user meets them. */
struct Notice
{
    enum class Kind { Status, Message };
    Kind kind;
    std::string text;
};

struct HostFolder
{
    std::string folder; // always ends in a separator
    bool fromSettings = false;
    std::vector<Notice> notices;
};

/**
 * Finds the host installation folder from the host's settings, falling back to programFolder (which ends in a
 * separator) with the messages the user is shown.
 */
HostFolder findHostFolder(const HostSettings& settings, const std::string& programFolder);

/**
 * The folder the song open dialog starts in: OpenSongDir when it names an existing folder, else programFolder.
 * notices gets the status text when the value could be read.
 */
std::string findSongFolder(const HostSettings& settings, const std::string& programFolder,
                           std::vector<Notice>& notices);

/**
 * The host's gear folder and its generators and effects folders under hostFolder, without a trailing separator.
 * Each level is found ignoring letter case, as the host on Windows finds it ("Gear/Generators" under Wine); a level
 * that does not exist yet is named in lower case.
 */
std::string gearFolder(const std::string& hostFolder);
std::string generatorsFolder(const std::string& hostFolder);
std::string effectsFolder(const std::string& hostFolder);

/** The names of the *.dll files (any letter case) in folder, sorted as the lists are; empty when it is missing. */
std::vector<std::string> listDlls(const std::string& folder);

/** Whether a UTF-8 path names an existing folder. */
bool folderExists(const std::string& path);

/** path with a separator appended unless it already ends in one. */
std::string withTrailingSeparator(std::string path);

} // namespace gw
