#pragma once

#include "base/HostSettings.h"
#include "song/SongReader.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace gw::cli {

struct ScanOptions
{
    std::vector<std::string> paths;
    std::string hostFolder;    // empty: found as the window finds it
    std::string programFolder; // ends in a separator
    bool log = false;
    bool json = false;
};

/** Exit statuses of the command line. */
enum ExitStatus { ExitOk = 0, ExitMissing = 1, ExitError = 2 };

/** What the scan of one song gave. */
struct SongReport
{
    std::string path;
    std::string error; // the message the window shows, or empty
    std::vector<MachineRef> machines;
    std::vector<std::string> log;
};

/** A scan of several songs checked against the host's gear folders; the lists sorted as the window's are. */
struct ScanResult
{
    bool scanned = false; // false when the run stopped before reading any song
    std::string hostFolder;
    std::vector<SongReport> reports;
    std::vector<std::string> generatorsUsed;
    std::vector<std::string> effectsUsed;
    std::vector<std::string> missingGenerators;
    std::vector<std::string> missingEffects;
};

/** The song files named by paths: files as given, folders searched for *.bmx and *.bmw in path order. */
std::vector<std::string> collectSongs(const std::vector<std::string>& paths, std::vector<std::string>& notFound);

/**
 * Reads every song with the window's reader and scan trace and checks the used machines against the host's gear
 * folders. Messages (unreadable songs, the host settings' warnings) go to err. Returns the exit status.
 */
int scanSongs(const ScanOptions& options, const HostSettings& settings, ScanResult& result, std::ostream& err);

/** The text report: each song's log (when asked), then the four lists under the window's label names. */
void printTextReport(const ScanResult& result, bool withLog, std::ostream& out);

} // namespace gw::cli
