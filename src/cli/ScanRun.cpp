#include "cli/ScanRun.h"

#include "host/HostDiscovery.h"
#include "base/Platform.h"
#include "base/TextCodec.h"
#include "check/MissingCheck.h"
#include "song/SongScan.h"

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <set>
#include <system_error>

namespace gw::cli {

namespace fs = std::filesystem;

namespace {

struct ListOrder
{
    bool operator()(const std::string& a, const std::string& b) const { return listLess(a, b); }
};
// Equal under ListOrder means exactly equal, so a set keeps each name once as the window's lists do.
using SortedNames = std::set<std::string, ListOrder>;

/** Collects what the scan of one song reports; the used names go into the run's shared lists. */
class CollectingSink : public ScanSink
{
public:
    CollectingSink(SongReport& report, SortedNames& generators, SortedNames& effects)
        : m_report(report)
        , m_generators(generators)
        , m_effects(effects)
    {
    }

    void setStatus(const std::string&, bool) override {}
    void startLog(const std::string& line) override { m_report.log.assign(1, line); }
    void log(const std::string& line) override { m_report.log.push_back(line); }
    void showMessage(const std::string& text) override { m_report.error = text; }
    void addUsed(const MachineRef& machine) override
    {
        m_report.machines.push_back(machine);
        (machine.isGenerator() ? m_generators : m_effects).insert(platform::ansiToUtf8(machine.dll));
    }

private:
    SongReport& m_report;
    SortedNames& m_generators;
    SortedNames& m_effects;
};

fs::path toPath(const std::string& utf8)
{
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string fromPath(const fs::path& path)
{
    const std::u8string u8 = path.u8string();
    return std::string(reinterpret_cast<const char*>(u8.data()), u8.size());
}

bool isSongName(const fs::path& path)
{
    const std::string extension = foldCase(fromPath(path.extension()));
    return extension == ".bmx" || extension == ".bmw";
}

void printBlock(std::ostream& out, const char* heading, const std::vector<std::string>& names)
{
    out << heading << '\n';
    for (const std::string& name : names) {
        out << "  " << name << '\n';
    }
}

std::vector<std::string> sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end(), ListOrder());
    return names;
}

} // namespace

std::vector<std::string> collectSongs(const std::vector<std::string>& paths, std::vector<std::string>& notFound)
{
    std::vector<std::string> songs;
    for (const std::string& path : paths) {
        std::error_code error;
        const fs::path root = toPath(path);
        if (fs::is_directory(root, error)) {
            std::vector<std::string> found;
            const auto options = fs::directory_options::skip_permission_denied;
            for (fs::recursive_directory_iterator it(root, options, error), end; !error && it != end;
                 it.increment(error)) {
                std::error_code typeError;
                if (it->is_regular_file(typeError) && isSongName(it->path())) {
                    found.push_back(fromPath(it->path()));
                }
            }
            std::sort(found.begin(), found.end());
            songs.insert(songs.end(), found.begin(), found.end());
        } else if (fs::exists(root, error)) {
            songs.push_back(path);
        } else {
            notFound.push_back(path);
        }
    }
    return songs;
}

int scanSongs(const ScanOptions& options, const HostSettings& settings, ScanResult& result, std::ostream& err)
{
    std::vector<std::string> notFound;
    const std::vector<std::string> songs = collectSongs(options.paths, notFound);
    for (const std::string& path : notFound) {
        err << "gearwarden scan: " << path << ": no such file or folder\n";
    }
    if (!notFound.empty()) {
        return ExitError;
    }

    std::string& hostFolder = result.hostFolder;
    if (!options.hostFolder.empty()) {
        hostFolder = withTrailingSeparator(options.hostFolder);
        if (!folderExists(hostFolder)) {
            err << "gearwarden scan: host folder " << hostFolder << " does not exist\n";
            return ExitError;
        }
    } else {
        const HostFolder found = findHostFolder(settings, options.programFolder);
        hostFolder = found.folder;
        for (const Notice& notice : found.notices) {
            if (notice.kind == Notice::Kind::Message) {
                err << notice.text << '\n';
            }
        }
    }

    SortedNames generatorsUsed;
    SortedNames effectsUsed;
    std::vector<SongReport>& reports = result.reports;
    bool anyUnreadable = false;
    for (const std::string& path : songs) {
        SongReport& report = reports.emplace_back();
        report.path = path;
        CollectingSink sink(report, generatorsUsed, effectsUsed);
        scanSong(path, sink);
        if (!report.error.empty()) {
            anyUnreadable = true;
            err << report.error << '\n';
        }
    }

    result.scanned = true;
    const std::vector<std::string> generatorFiles = listDlls(generatorsFolder(hostFolder));
    const std::vector<std::string> effectFiles = listDlls(effectsFolder(hostFolder));
    result.generatorsUsed.assign(generatorsUsed.begin(), generatorsUsed.end());
    result.effectsUsed.assign(effectsUsed.begin(), effectsUsed.end());
    result.missingGenerators =
        sorted(findMissing(MachineKind::Generator, result.generatorsUsed, generatorFiles, effectFiles));
    result.missingEffects = sorted(findMissing(MachineKind::Effect, result.effectsUsed, effectFiles, generatorFiles));
    if (anyUnreadable) {
        return ExitError;
    }
    return result.missingGenerators.empty() && result.missingEffects.empty() ? ExitOk : ExitMissing;
}


void printTextReport(const ScanResult& result, bool withLog, std::ostream& out)
{
    if (withLog) {
        for (const SongReport& report : result.reports) {
            for (const std::string& line : report.log) {
                out << line << '\n';
            }
            out << '\n';
        }
    }
    printBlock(out, "Generators used", result.generatorsUsed);
    printBlock(out, "Effects used", result.effectsUsed);
    printBlock(out, "Missing Generators", result.missingGenerators);
    printBlock(out, "Missing Effects", result.missingEffects);
    out.flush();
}

} // namespace gw::cli
