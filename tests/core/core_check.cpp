// Checks of the core library that need no Qt, so they also run where only the core is built: the Windows build,
// run under Wine, where the registry, backslash paths and the ANSI code page are the real ones.
//
// core_check SONGS_FOLDER SCRATCH_FOLDER [EXPECTED_BUZZ_PATH]
#include "base/FolderEntries.h"
#include "base/HostSettings.h"
#include "base/Platform.h"
#include "check/MissingCheck.h"
#include "host/HostDiscovery.h"
#include "song/SongScan.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

int failed = 0;

void check(bool ok, const char* what)
{
    failed += ok ? 0 : 1;
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what);
}

class Collect : public gw::ScanSink
{
public:
    void setStatus(const std::string&, bool) override {}
    void startLog(const std::string& line) override { lines.assign(1, line); }
    void log(const std::string& line) override { lines.push_back(line); }
    void showMessage(const std::string& text) override { message = text; }
    void addUsed(const gw::MachineRef& machine) override
    {
        dlls.push_back(machine.dll + (machine.isGenerator() ? "/g" : ""));
    }

    std::vector<std::string> lines, dlls;
    std::string message;
};

} // namespace

int main(int argc, char* argv[])
{
    // In UTF-8, as the program takes them: a folder named outside the ANSI code page must arrive whole.
    const std::vector<std::string> args = gw::platform::commandLineArguments(argc, argv);
    if (args.size() < 2) {
        std::printf("usage: core_check SONGS_FOLDER SCRATCH_FOLDER [EXPECTED_BUZZ_PATH]\n");
        return 2;
    }
    const std::string sep(1, gw::platform::pathSeparator());
    const std::string songs = gw::withTrailingSeparator(args[0]), scratch = gw::withTrailingSeparator(args[1]);

    // Real songs, opened through the platform and cut at its separator in the log.
    Collect song, old, absent;
    check(gw::scanSong(songs + "buzz1.bmx", song).ok() && song.lines.size() > 1 && song.lines[1] == sep + "buzz1.bmx" &&
              song.dlls == std::vector<std::string>{"Arguelles GoaKick/g"},
          "buzz1.bmx names its one generator");
    check(gw::scanSong(songs + "FSM_Kick_Demo.bmx", old).result.recovered &&
              old.dlls == std::vector<std::string>{"FSM Kick/g"},
          "a song without PARA gives its machine from MACH");
    gw::scanSong(songs + "no such song.bmx", absent);
    check(absent.message.find("cannot be opened") != std::string::npos, "a missing song gives a message");

    // Gear folders with the platform's separators; DLLs listed in any letter case, looked up ignoring case.
    check(gw::generatorsFolder("C:" + sep + "Buzz" + sep) == "C:" + sep + "Buzz" + sep + "gear" + sep + "generators",
          "the generators folder");
    const std::string gear = scratch + "gear-listing";
    std::filesystem::create_directories(gw::pathFromUtf8(gear));
    for (const char* name : {"Upper.DLL", "lower.dll", "notes.txt"}) {
        std::ofstream(gw::pathFromUtf8(gear + sep + name)).put('x');
    }
    check(gw::listDlls(gear) == std::vector<std::string>{"lower.dll", "Upper.DLL"}, "listDlls in list order");
    check(gw::findMissing(gw::MachineKind::Generator, {"LOWER", "Upper", "Gone"}, gw::listDlls(gear), {}) ==
              std::vector<std::string>{"Gone.dll"},
          "the folder lookup ignores letter case");

    // The host's settings, from the real registry on Windows.
    if (args.size() > 2) {
        const std::unique_ptr<gw::HostSettings> settings = gw::makePlatformHostSettings();
        const gw::HostSettings::Value buzzPath = settings->read("BuzzPath");
        check(buzzPath.status == gw::HostSettings::Status::Ok && buzzPath.text == args[2], "BuzzPath is read");
        check(gw::findHostFolder(*settings, scratch).folder == gw::withTrailingSeparator(args[2]),
              "the host folder comes from the settings");
        check(settings->read("TooLong").status == gw::HostSettings::Status::ValueMissing,
              "a value of 260 characters is refused");
        check(settings->read("NoSuchValue").status == gw::HostSettings::Status::ValueMissing, "an absent value");
    }
    std::printf("%d failed\n", failed);
    return failed == 0 ? 0 : 1;
}
