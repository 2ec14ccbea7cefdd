// The host's settings read from the real registry, run under Wine by .ci/windows after it stored them; the rest of
// the core is checked by the test suite, which runs under Wine too.
//
// core_check SCRATCH_FOLDER EXPECTED_BUZZ_PATH
#include "base/FolderEntries.h"
#include "base/HostSettings.h"
#include "base/Platform.h"
#include "host/HostDiscovery.h"

#include <cstdio>

namespace {

int failed = 0;

void check(bool ok, const char* what)
{
    failed += ok ? 0 : 1;
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what);
}

} // namespace

int main(int argc, char* argv[])
{
    // In UTF-8, as the program takes them: a folder named outside the ANSI code page must arrive whole.
    const std::vector<std::string> args = gw::platform::commandLineArguments(argc, argv);
    if (args.size() < 2) {
        std::printf("usage: core_check SCRATCH_FOLDER EXPECTED_BUZZ_PATH\n");
        return 2;
    }
    const std::unique_ptr<gw::HostSettings> settings = gw::makePlatformHostSettings();
    const gw::HostSettings::Value buzzPath = settings->read("BuzzPath");
    check(buzzPath.status == gw::HostSettings::Status::Ok && buzzPath.text == args[1], "BuzzPath is read");
    const std::string scratch = gw::withTrailingSeparator(args[0]);
    check(gw::findHostFolder(*settings, scratch).folder == gw::withTrailingSeparator(args[1]),
          "the host folder comes from the settings");
    check(settings->read("TooLong").status == gw::HostSettings::Status::ValueMissing,
          "a value of 260 characters is refused");
    check(settings->read("NoSuchValue").status == gw::HostSettings::Status::ValueMissing, "an absent value");
    std::printf("%d failed\n", failed);
    return failed == 0 ? 0 : 1;
}
