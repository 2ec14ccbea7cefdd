#include "gear/GearInventory.h"

#include "base/FolderEntries.h"
#include "base/Platform.h"
#include "base/SafeWrite.h"
#include "host/HostDiscovery.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>
#include <array>
#include <atomic>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <system_error>
#include <thread>

namespace gw {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kChunk = 256 * 1024;

struct FileCloser
{
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool readAt(std::FILE* file, std::uint64_t offset, std::size_t count, std::uint8_t* out)
{
    return std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0 && std::fread(out, 1, count, file) == count;
}

Architecture architectureOf(std::FILE* file, std::uint64_t size)
{
    return readArchitecture(
        [file](std::uint64_t offset, std::size_t count, std::uint8_t* out) { return readAt(file, offset, count, out); },
        size);
}

/** The file's size and time, without reading it; false when it cannot be looked at. */
bool lookAt(InstalledMachine& machine)
{
    const fs::path path = pathFromUtf8(machine.path);
    std::error_code error;
    const auto modified = fs::last_write_time(path, error);
    const std::uintmax_t size = error ? 0 : fs::file_size(path, error);
    if (error) {
        return false;
    }
    machine.modified =
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(std::chrono::file_clock::to_sys(modified));
    machine.size = size;
    return true;
}

/** Fills in what reading the file tells: size, hash and architecture. */
void readMachine(InstalledMachine& machine, std::vector<char>& buffer)
{
    const File file(platform::openForReading(machine.path));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) {
        machine.flags |= Unreadable;
        return;
    }
    const long size = std::ftell(file.get());
    if (size < 0) {
        machine.flags |= Unreadable;
        return;
    }
    machine.size = static_cast<std::uint64_t>(size);
    machine.architecture = architectureOf(file.get(), machine.size);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::rewind(file.get());
    std::size_t read = 0;
    while ((read = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0) {
        hash.addData(QByteArrayView(buffer.data(), static_cast<qsizetype>(read)));
    }
    if (std::ferror(file.get())) {
        machine.flags |= Unreadable;
        return;
    }
    machine.sha256 = hash.result().toHex().toStdString();
}

/** What the cache keeps of one DLL: enough to know it has not changed, and what reading it told. */
struct Remembered
{
    std::uint64_t size = 0;
    std::int64_t modified = 0; // ticks of the system clock since its epoch
    std::string sha256;
    Architecture architecture = Architecture::NotWindows;
};

std::int64_t ticks(const InstalledMachine& machine)
{
    return machine.modified.time_since_epoch().count();
}

/** One line a DLL: sha256, architecture, size, time, path, tab-separated; lines that do not parse are dropped. */
std::map<std::string, Remembered> readCache(const std::string& cacheFile)
{
    std::map<std::string, Remembered> cache;
    QFile file(QString::fromStdString(cacheFile));
    if (cacheFile.empty() || !file.open(QIODevice::ReadOnly)) {
        return cache;
    }
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().trimmed().split('\t');
        bool sizeOk = false, timeOk = false, archOk = false;
        Remembered remembered;
        if (fields.size() != 5 || fields[0].size() != 64) {
            continue;
        }
        remembered.sha256 = fields[0].toStdString();
        const int architecture = fields[1].toInt(&archOk);
        remembered.size = fields[2].toULongLong(&sizeOk);
        remembered.modified = fields[3].toLongLong(&timeOk);
        if (archOk && sizeOk && timeOk && architecture >= 0 && architecture <= int(Architecture::DotNetX64)) {
            remembered.architecture = static_cast<Architecture>(architecture);
            cache[fields[4].toStdString()] = remembered;
        }
    }
    return cache;
}

void writeCache(const std::string& cacheFile, const std::vector<InstalledMachine>& machines)
{
    QByteArray text;
    for (const InstalledMachine& machine : machines) {
        if (!machine.sha256.empty()) {
            text += QByteArray::fromStdString(machine.sha256) + '\t' + QByteArray::number(int(machine.architecture)) +
                    '\t' + QByteArray::number(qulonglong(machine.size)) + '\t' +
                    QByteArray::number(qlonglong(ticks(machine))) + '\t' + QByteArray::fromStdString(machine.path) +
                    '\n';
        }
    }
    // A cache that cannot be written costs time at the next run, nothing else.
    writeFileSafely(QString::fromStdString(cacheFile), text);
}

/** How many of the songs name each machine, by machine key: each song counted once per machine. */
std::map<std::string, int> songsPerMachine(const std::vector<SongUse>& songs)
{
    std::map<std::string, int> counts;
    for (const SongUse& song : songs) {
        std::set<std::string> keys;
        for (const MachineRef& machine : song.machines) {
            keys.insert(machineKey(machine));
        }
        for (const std::string& key : keys) {
            ++counts[key];
        }
    }
    return counts;
}

int usedBy(const std::map<std::string, int>& counts, const std::string& file)
{
    std::string key = machineKey(file);
    auto found = counts.find(key);
    if (found == counts.end() && key.rfind('.') != std::string::npos) {
        found = counts.find(key.substr(0, key.rfind('.'))); // a companion: NAME.GUI.dll goes with NAME.dll
    }
    return found == counts.end() ? 0 : found->second;
}

} // namespace

bool GearInventory::anyFlagged() const
{
    return std::any_of(machines.begin(), machines.end(), [](const InstalledMachine& m) { return m.flags != 0; });
}

Architecture hostArchitecture(const std::string& hostFolder)
{
    const std::string name = findEntryIgnoringCase(hostFolder, "buzz.exe");
    return name.empty() ? Architecture::NotWindows : fileArchitecture(hostFolder + name);
}

Architecture fileArchitecture(const std::string& path)
{
    const File file(platform::openForReading(path));
    if (!file || std::fseek(file.get(), 0, SEEK_END) != 0 || std::ftell(file.get()) < 0) {
        return Architecture::NotWindows;
    }
    return architectureOf(file.get(), static_cast<std::uint64_t>(std::ftell(file.get())));
}

GearInventory takeInventory(const std::string& hostFolder, const std::vector<SongUse>* songs,
                            const std::string& cacheFile)
{
    GearInventory inventory{hostFolder, hostArchitecture(hostFolder), {}};
    const std::array<std::pair<GearKind, std::string>, 2> folders = {
        std::pair{GearKind::Generator, generatorsFolder(hostFolder)},
        std::pair{GearKind::Effect, effectsFolder(hostFolder)}};
    for (const auto& [kind, folder] : folders) {
        for (const std::string& file : listDlls(folder)) {
            InstalledMachine machine;
            machine.kind = kind;
            machine.file = file;
            machine.path = folder + platform::pathSeparator() + file;
            inventory.machines.push_back(std::move(machine));
        }
    }
    // Hashing is the cost, bound by the processor rather than the disk: what the cache knows unchanged is not read
    // again, the rest has one reader per core.
    const std::map<std::string, Remembered> cache = readCache(cacheFile);
    std::vector<InstalledMachine*> toRead;
    for (InstalledMachine& machine : inventory.machines) {
        const auto known = cache.find(machine.path);
        if (lookAt(machine) && known != cache.end() && known->second.size == machine.size &&
            known->second.modified == ticks(machine)) {
            machine.sha256 = known->second.sha256;
            machine.architecture = known->second.architecture;
        } else {
            toRead.push_back(&machine);
        }
    }
    std::atomic<std::size_t> next = 0;
    const auto readSome = [&toRead, &next] {
        std::vector<char> buffer(kChunk);
        for (std::size_t i = next++; i < toRead.size(); i = next++) {
            readMachine(*toRead[i], buffer);
        }
    };
    std::vector<std::jthread> readers(
        std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), toRead.size()));
    for (std::jthread& reader : readers) {
        reader = std::jthread(readSome);
    }
    readers.clear(); // joins
    if (!cacheFile.empty() && (!toRead.empty() || cache.size() != inventory.machines.size())) {
        writeCache(cacheFile, inventory.machines);
    }

    std::map<std::string, InstalledMachine*> generators;
    for (InstalledMachine& machine : inventory.machines) {
        if (machine.kind == GearKind::Generator) {
            generators.emplace(machineKey(machine.file), &machine);
        }
    }
    const std::map<std::string, int> counts = songs ? songsPerMachine(*songs) : std::map<std::string, int>();
    for (InstalledMachine& machine : inventory.machines) {
        if (machine.architecture == Architecture::NotWindows && !machine.has(Unreadable)) {
            machine.flags |= NotWindowsDll;
        }
        if (otherArchitecture(machine.architecture, inventory.hostArchitecture)) {
            machine.flags |= OtherArchitecture;
        }
        if (machine.kind == GearKind::Effect) {
            const auto twin = generators.find(machineKey(machine.file));
            if (twin != generators.end()) {
                const bool same = !machine.sha256.empty() && machine.sha256 == twin->second->sha256;
                machine.flags |= same ? InBothFoldersSame : InBothFoldersDiffer;
                twin->second->flags |= same ? InBothFoldersSame : InBothFoldersDiffer;
            }
        }
        if (songs) {
            machine.usedBy = usedBy(counts, machine.file);
            if (machine.usedBy == 0) {
                machine.flags |= Unused;
            }
        }
    }
    return inventory;
}

std::vector<std::string> flagTexts(unsigned flags)
{
    static const char* const texts[] = {"not a Windows DLL",
                                        "other architecture than the host",
                                        "in both folders, same content",
                                        "in both folders, different content",
                                        "unused",
                                        "cannot be read"};
    std::vector<std::string> result;
    for (unsigned bit = 0; bit < std::size(texts); ++bit) {
        if ((flags & (1u << bit)) != 0) {
            result.emplace_back(texts[bit]);
        }
    }
    return result;
}

std::string kindText(GearKind kind)
{
    return kind == GearKind::Generator ? "generator" : "effect";
}

} // namespace gw
