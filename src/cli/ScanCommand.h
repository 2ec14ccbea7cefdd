#pragma once

#include "app/HostSettings.h"

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

/**
 * The scan command: reads every song with the window's reader and scan trace, checks the used machines against the
 * host's gear folders and prints the report. Returns the exit status.
 */
int runScan(const ScanOptions& options, const HostSettings& settings, std::ostream& out, std::ostream& err);

/** The song files named by paths: files as given, folders searched for *.bmx and *.bmw in path order. */
std::vector<std::string> collectSongs(const std::vector<std::string>& paths, std::vector<std::string>& notFound);

} // namespace gw::cli
