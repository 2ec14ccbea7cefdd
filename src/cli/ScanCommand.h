#pragma once

#include "base/HostSettings.h"
#include "cli/ScanRun.h"

#include <iosfwd>

namespace gw::cli {

/** The scan command: scanSongs, then the text report or one JSON object. Returns the exit status. */
int runScan(const ScanOptions& options, const HostSettings& settings, std::ostream& out, std::ostream& err);

} // namespace gw::cli
