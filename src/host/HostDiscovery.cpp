#include "host/HostDiscovery.h"

#include "base/FolderEntries.h"
#include "base/Platform.h"
#include "base/TextCodec.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace gw {

namespace fs = std::filesystem;

namespace {

const std::string kSettingsKey = "HKEY_CURRENT_USER\\" + std::string(kHostSettingsKey);

void fallBack(HostFolder& result, const std::string& programFolder, const std::string& message)
{
    result.notices.push_back({Notice::Kind::Message, message});
    result.folder = programFolder;
    result.fromSettings = false;
    result.notices.push_back({Notice::Kind::Status, "Temporarily using " + result.folder + " as buzz path"});
}

} // namespace

bool folderExists(const std::string& path)
{
    std::error_code error;
    return !path.empty() && fs::is_directory(pathFromUtf8(path), error);
}

std::string withTrailingSeparator(std::string path)
{
    const char separator = platform::pathSeparator();
    if (path.empty() || path.back() != separator) {
        path += separator;
    }
    return path;
}

HostFolder findHostFolder(const HostSettings& settings, const std::string& programFolder)
{
    HostFolder result;
    const HostSettings::Value value = settings.read("BuzzPath");
    if (value.status == HostSettings::Status::KeyMissing) {
        fallBack(result, programFolder,
                 std::string("Unable to open the key Settings.  ") + kSettingsKey +
                     " not found in Windows Registry.  Using current directory of " + programFolder +
                     " as temporary Buzz path.  Try running Buzz usually corrects Buzz Registry settings.");
        return result;
    }
    if (value.status == HostSettings::Status::ValueMissing) {
        fallBack(result, programFolder,
                 std::string("Buzz Settings subkey BuzzPath not found.  ") + kSettingsKey +
                     "\\BuzzPath not found in Windows Registry.  Using current directory of " + programFolder +
                     " as temporary Buzz path.  Try running Buzz usually corrects Buzzpath Registry setting.");
    } else {
        result.folder = withTrailingSeparator(value.text);
        result.fromSettings = true;
        result.notices.push_back({Notice::Kind::Status, "Buzz path from Buzz registry settings is " + result.folder});
    }
    if (!folderExists(result.folder)) {
        fallBack(result, programFolder,
                 "Buzz path " + result.folder + " does not exists. Using current directory of " + programFolder +
                     " as temporary Buzz path.  Try running Buzz usually corrects Buzz Registry settings "
                     "automatically.");
    }
    return result;
}

std::string findSongFolder(const HostSettings& settings, const std::string& programFolder, std::vector<Notice>& notices)
{
    std::string folder;
    const HostSettings::Value value = settings.read("OpenSongDir");
    if (value.status == HostSettings::Status::KeyMissing) {
        folder = programFolder;
    } else if (value.status == HostSettings::Status::Ok) {
        folder = value.text;
        notices.push_back({Notice::Kind::Status, "Open song dir from Buzz settings is " + folder});
    }
    return folderExists(folder) ? folder : programFolder;
}

std::string gearFolder(const std::string& hostFolder)
{
    return hostFolder + entryNameIgnoringCase(hostFolder, "gear");
}

std::string generatorsFolder(const std::string& hostFolder)
{
    const std::string gear = gearFolder(hostFolder);
    return gear + platform::pathSeparator() + entryNameIgnoringCase(gear, "generators");
}

std::string effectsFolder(const std::string& hostFolder)
{
    const std::string gear = gearFolder(hostFolder);
    return gear + platform::pathSeparator() + entryNameIgnoringCase(gear, "effects");
}

std::vector<std::string> listDlls(const std::string& folder)
{
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(pathFromUtf8(folder), error), end; !error && it != end; it.increment(error)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) {
            continue;
        }
        const std::string name = utf8FromPath(it->path().filename());
        if (name.size() > 4 && foldCase(name.substr(name.size() - 4)) == ".dll") {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return listLess(a, b); });
    return names;
}

} // namespace gw
