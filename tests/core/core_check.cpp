// Checks of the core library that need no Qt, so they also run where only the core is built: the Windows build,
// run under Wine, where the registry, backslash paths and the ANSI code page are the real ones.
//
// core_check SONGS_FOLDER SCRATCH_FOLDER [EXPECTED_BUZZ_PATH]
#include "host/HostDiscovery.h"
#include "base/HostSettings.h"
#include "base/Platform.h"
#include "check/MissingCheck.h"
#include "song/SongScan.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const std::string& what)
{
    if (ok) {
        ++passed;
    } else {
        ++failed;
        std::printf("FAIL: %s\n", what.c_str());
    }
}

template <typename T> void same(const T& got, const T& expected, const std::string& what)
{
    check(got == expected, what);
}

class Collect : public gw::ScanSink
{
public:
    void setStatus(const std::string&, bool) override {}
    void startLog(const std::string& line) override { lines.assign(1, line); }
    void log(const std::string& line) override { lines.push_back(line); }
    void showMessage(const std::string& text) override { message = text; }
    void addUsed(const gw::MachineRef& machine) override { machines.push_back(machine); }

    std::vector<std::string> lines;
    std::string message;
    std::vector<gw::MachineRef> machines;
};

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::printf("usage: core_check SONGS_FOLDER SCRATCH_FOLDER [EXPECTED_BUZZ_PATH]\n");
        return 2;
    }
    const std::string sep(1, gw::platform::pathSeparator());
    const std::string songs = gw::withTrailingSeparator(argv[1]);
    const std::string scratch = gw::withTrailingSeparator(argv[2]);

    // A real song, read through the platform's file opening and cut at the platform's separator.
    Collect scan;
    const gw::ScanOutcome outcome = gw::scanSong(songs + "buzz1.bmx", scan);
    check(outcome.ok(), "buzz1.bmx reads: " + scan.message);
    same(scan.lines.size() > 1 ? scan.lines[1] : std::string(), sep + "buzz1.bmx", "the log's second line is the file name");
    same(scan.machines.size(), std::size_t{1}, "buzz1.bmx names one machine after the master");
    if (!scan.machines.empty()) {
        same(scan.machines[0].dll, std::string("Arguelles GoaKick"), "its DLL name");
        check(scan.machines[0].isGenerator(), "it is a generator");
    }
    Collect old;
    gw::scanSong(songs + "FSM_Kick_Demo.bmx", old);
    check(old.message.find("does not contain PARA section") != std::string::npos, "a song without PARA is refused");
    Collect absent;
    gw::scanSong(songs + "no such song.bmx", absent);
    check(!absent.message.empty(), "a missing song gives a message");

    // Paths keep the platform's separators.
    same(gw::withTrailingSeparator("C:" + sep + "Buzz"), "C:" + sep + "Buzz" + sep, "a separator is added");
    same(gw::generatorsFolder("C:" + sep + "Buzz" + sep), "C:" + sep + "Buzz" + sep + "gear" + sep + "generators",
         "the generators folder");

    // Gear listings find DLLs in any letter case and nothing else.
    const std::string gear = scratch + "gear-listing";
    std::filesystem::create_directories(
        std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(gear.data()), gear.size())));
    std::vector<std::string> files = {"Upper.DLL", "lower.dll", "notes.txt"};
    for (const std::string& name : files) {
        std::ofstream(gear + sep + name).put('x');
    }
    same(gw::listDlls(gear), std::vector<std::string>{"lower.dll", "Upper.DLL"}, "listDlls in list order");
    same(gw::findMissing(gw::MachineKind::Generator, {"LOWER", "Upper", "Gone"}, gw::listDlls(gear), {}),
         std::vector<std::string>{"Gone.dll"}, "the folder lookup ignores letter case");

    // The host's settings, from the real registry on Windows.
    const std::unique_ptr<gw::HostSettings> settings = gw::makePlatformHostSettings();
    const gw::HostSettings::Value buzzPath = settings->read("BuzzPath");
    if (argc > 3) {
        same(static_cast<int>(buzzPath.status), static_cast<int>(gw::HostSettings::Status::Ok), "BuzzPath is read");
        same(buzzPath.text, std::string(argv[3]), "BuzzPath's value");
        const gw::HostFolder host = gw::findHostFolder(*settings, scratch);
        same(host.folder, gw::withTrailingSeparator(argv[3]), "the host folder comes from the settings");
        same(static_cast<int>(settings->read("TooLong").status),
             static_cast<int>(gw::HostSettings::Status::ValueMissing), "a value of 260 characters is refused");
        same(static_cast<int>(settings->read("NoSuchValue").status),
             static_cast<int>(gw::HostSettings::Status::ValueMissing), "an absent value");
    }

    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
