// The scan command alone, without Qt: what a build of the core by itself (the Windows cross-build) can offer.
// The full program's "gearwarden scan" runs the same code; this one has no --json.
#include "host/HostDiscovery.h"
#include "base/HostSettings.h"
#include "cli/ScanRun.h"

#include <filesystem>
#include <iostream>
#include <string>

namespace {

const char* const kUsage =
    "Usage: gearwarden-scan [--host-folder DIR] [--program-folder DIR] [--log] PATH...\n"
    "Read the songs and report the machines they use and which of them are missing from the host's gear\n"
    "folders. PATH is a .bmx or .bmw song, or a folder searched recursively for them.\n"
    "Exit status: 0 nothing missing, 1 machines missing, 2 usage error or a song that could not be read.\n";

int usage(const std::string& message)
{
    std::cerr << "gearwarden-scan: " << message << '\n' << kUsage;
    return gw::cli::ExitError;
}

} // namespace

int main(int argc, char* argv[])
{
    gw::cli::ScanOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::cout << kUsage;
            return gw::cli::ExitOk;
        }
        if (argument == "--version") {
            std::cout << "gearwarden-scan 1.0\n";
            return gw::cli::ExitOk;
        }
        if (argument == "--host-folder" || argument == "--program-folder") {
            if (i + 1 >= argc) {
                return usage(argument + " needs a value");
            }
            (argument == "--host-folder" ? options.hostFolder : options.programFolder) = argv[++i];
        } else if (argument == "--log") {
            options.log = true;
        } else if (argument.rfind("--", 0) == 0) {
            return usage("unknown option '" + argument + "'");
        } else {
            options.paths.push_back(argument);
        }
    }
    if (options.paths.empty()) {
        return usage("give at least one song file or folder");
    }
    if (options.programFolder.empty()) {
        const std::u8string own = std::filesystem::absolute(argv[0]).parent_path().u8string();
        options.programFolder.assign(reinterpret_cast<const char*>(own.data()), own.size());
    }
    options.programFolder = gw::withTrailingSeparator(options.programFolder);
    gw::cli::ScanResult result;
    const int status = gw::cli::scanSongs(options, *gw::makePlatformHostSettings(), result, std::cerr);
    if (result.scanned) {
        gw::cli::printTextReport(result, options.log, std::cout);
    }
    return status;
}
