#include "cli/GearCommands.h"

#include "base/HostSettings.h"
#include "base/PathText.h"
#include "cli/TerminalSession.h"
#include "gear/GearInventory.h"
#include "host/HostDiscovery.h"
#include "song/SongFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <ostream>

namespace gw::cli {

namespace {

QString text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}
QString path(const std::string& bytes)
{
    return displayPath(textFromPathBytes(bytes));
}

/**
 * The host folder as every command settles it: the one given, made absolute once (it must exist), or the one the
 * host's settings name, whose warnings go to err. Empty after a message when the given one does not exist.
 */
std::string settleHostFolder(const char* command, const QString& given, const QString& programFolder, std::ostream& err)
{
    if (given.isEmpty()) {
        const HostFolder found = findHostFolder(*makePlatformHostSettings(), programFolder.toStdString());
        for (const Notice& notice : found.notices) {
            if (notice.kind == Notice::Kind::Message) {
                err << notice.text << '\n';
            }
        }
        return found.folder;
    }
    const std::string folder =
        withTrailingSeparator(QDir::toNativeSeparators(QFileInfo(given).absoluteFilePath()).toStdString());
    if (!folderExists(folder)) {
        err << "gearwarden " << command << ": host folder " << folder << " does not exist\n";
        return {};
    }
    return folder;
}

/** The songs the paths name, each read; false, after a message for each path that names nothing, reading none. */
bool readSongs(const char* command, const QStringList& paths, std::vector<SongUse>& songs, std::ostream& err)
{
    std::vector<std::string> wanted;
    for (const QString& given : paths) {
        wanted.push_back(pathBytesFromText(QDir::toNativeSeparators(given)));
    }
    std::vector<std::string> notFound;
    const std::vector<std::string> found = collectSongs(wanted, notFound);
    for (const std::string& missing : notFound) {
        err << "gearwarden " << command << ": " << missing << ": no such file or folder\n";
    }
    if (!notFound.empty()) {
        return false;
    }
    for (const std::string& song : found) {
        songs.push_back(readSongUse(song));
        if (!songs.back().error.empty()) {
            err << songs.back().error << '\n';
        }
    }
    return true;
}

/** Rows of cells, each column as wide as its widest cell and two blanks apart; the last column is not padded. */
void printTable(const QList<QStringList>& rows, std::ostream& out)
{
    QList<qsizetype> widths(rows.value(0).size(), 0);
    for (const QStringList& row : rows) {
        for (qsizetype c = 0; c + 1 < row.size(); ++c) {
            widths[c] = std::max(widths[c], row.at(c).size());
        }
    }
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype c = 0; c + 1 < row.size(); ++c) {
            line += row.at(c).leftJustified(widths[c] + 2);
        }
        out << (line + row.constLast()).trimmed().toStdString() << '\n';
    }
}

QString modifiedText(std::chrono::system_clock::time_point modified)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(modified.time_since_epoch()).count();
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(Qt::ISODate);
}

QString hostArchitectureText(Architecture architecture)
{
    return architecture == Architecture::NotWindows ? QStringLiteral("unknown") : text(architectureText(architecture));
}

QStringList flagList(unsigned flags)
{
    QStringList list;
    for (const std::string& flag : flagTexts(flags)) {
        list << text(flag);
    }
    return list;
}

void printJson(const GearInventory& inventory, std::ostream& out)
{
    QJsonArray machines;
    for (const InstalledMachine& machine : inventory.machines) {
        machines.append(QJsonObject{
            {QStringLiteral("kind"), text(kindText(machine.kind))},
            {QStringLiteral("file"), path(machine.file)},
            {QStringLiteral("size"), static_cast<qint64>(machine.size)},
            {QStringLiteral("modified"), modifiedText(machine.modified)},
            {QStringLiteral("sha256"), text(machine.sha256)},
            {QStringLiteral("architecture"), text(architectureText(machine.architecture))},
            {QStringLiteral("flags"), QJsonArray::fromStringList(flagList(machine.flags))},
            {QStringLiteral("used_by"), machine.usedBy < 0 ? QJsonValue() : QJsonValue(machine.usedBy)},
        });
    }
    const QJsonObject host{{QStringLiteral("folder"), path(inventory.hostFolder)},
                           {QStringLiteral("architecture"), hostArchitectureText(inventory.hostArchitecture)}};
    const QJsonObject root{{QStringLiteral("host"), host}, {QStringLiteral("machines"), machines}};
    out << QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

void printText(const GearInventory& inventory, bool withSongs, std::ostream& out)
{
    out << "Host folder: " << path(inventory.hostFolder).toStdString() << '\n'
        << "Host architecture: " << hostArchitectureText(inventory.hostArchitecture).toStdString() << "\n\n";
    QStringList heading{QStringLiteral("Kind"),     QStringLiteral("File"),    QStringLiteral("Size"),
                        QStringLiteral("Modified"), QStringLiteral("SHA-256"), QStringLiteral("Architecture")};
    if (withSongs) {
        heading << QStringLiteral("Used by");
    }
    QList<QStringList> rows{heading << QStringLiteral("Flags")};
    qsizetype flagged = 0;
    for (const InstalledMachine& machine : inventory.machines) {
        QStringList row{text(kindText(machine.kind)),  path(machine.file),
                        QString::number(machine.size), modifiedText(machine.modified),
                        text(machine.sha256),          text(architectureText(machine.architecture))};
        if (withSongs) {
            row << QString::number(machine.usedBy);
        }
        rows << (row << flagList(machine.flags).join(QStringLiteral(", ")));
        flagged += machine.flags != 0 ? 1 : 0;
    }
    printTable(rows, out);
    out << inventory.machines.size() << " machines in the gear folders, " << flagged << " flagged\n";
}

} // namespace

int runGear(const GearOptions& options, std::ostream& out, std::ostream& err)
{
    std::vector<SongUse> songs;
    if (!readSongs("gear", options.songs, songs, err)) {
        return ExitError;
    }
    const std::string hostFolder = settleHostFolder("gear", options.hostFolder, options.programFolder, err);
    if (hostFolder.empty()) {
        return ExitError;
    }
    const GearInventory inventory = takeInventory(hostFolder, options.songs.isEmpty() ? nullptr : &songs,
                                                  options.programFolder.toStdString() + kGearCacheName);
    if (options.json) {
        printJson(inventory, out);
    } else {
        printText(inventory, !options.songs.isEmpty(), out);
    }
    out.flush();
    // A song read only in part, or a DLL not read at all, leaves the answer in doubt.
    const bool failed =
        std::any_of(songs.begin(), songs.end(), [](const SongUse& song) { return !song.error.empty(); }) ||
        std::any_of(inventory.machines.begin(), inventory.machines.end(),
                    [](const InstalledMachine& machine) { return machine.has(Unreadable); });
    return failed ? ExitError : inventory.anyFlagged() ? ExitMissing : ExitOk;
}

int runWhereUsed(const QString& machine, const QStringList& paths, std::ostream& out, std::ostream& err)
{
    std::vector<SongUse> songs;
    if (!readSongs("where-used", paths, songs, err)) {
        return ExitError;
    }
    const std::string key = machineKey(machine.toStdString());
    QList<QStringList> rows{{QStringLiteral("Song"), QStringLiteral("Used as")}};
    for (const SongUse& song : songs) {
        bool generator = false, effect = false;
        for (const MachineRef& used : song.machines) {
            if (machineKey(used) == key) {
                (used.isGenerator() ? generator : effect) = true;
            }
        }
        if (generator || effect) {
            const QString kinds = generator && effect ? QStringLiteral("generator, effect")
                                  : generator         ? QStringLiteral("generator")
                                                      : QStringLiteral("effect");
            rows << QStringList{path(song.path), kinds};
        }
    }
    if (rows.size() > 1) {
        printTable(rows, out);
    }
    out << rows.size() - 1 << " of " << songs.size() << " songs use " << machine.toStdString() << '\n';
    out.flush();
    return rows.size() > 1 ? ExitOk : ExitMissing;
}

} // namespace gw::cli
