// The model's song bundles: songs saved with their machines, and bundles received installed.
#include "model/ModelReport.h"

#include "base/FolderEntries.h"
#include "base/PathText.h"
#include "base/SafeWrite.h"
#include "base/TextCodec.h"
#include "bundle/SongBundle.h"
#include "catalogue/CatalogueFetch.h"
#include "host/ArchiveAddress.h"
#include "host/HostDiscovery.h"
#include "song/SongScan.h"
#include "transfer/HttpTransfer.h"
#include "transfer/MachineDownload.h"
#include "transfer/MachineInstall.h"
#include "unzip/Unzip.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QTimer>

#include <algorithm>

using Kind = gw::MachineKind;
using gw::model::decoded;
using gw::model::fromUtf8;
using gw::model::numberText;
using gw::model::toUtf8;

namespace {

/** Collects the machines a song uses, and its message, without touching the model's lists. */
class UsedMachines : public gw::ScanSink
{
public:
    void setStatus(const std::string&, bool) override {}
    void startLog(const std::string&) override {}
    void log(const std::string&) override {}
    void showMessage(const std::string& text) override { message = fromUtf8(text); }
    void addUsed(const gw::MachineRef& machine) override
    {
        (machine.isGenerator() ? generators : effects).insert(decoded(machine.dll));
    }

    SortedNames generators;
    SortedNames effects;
    QString message;
};

} // namespace

BundleOutcome AppModel::saveBundle(const QStringList& givenSongs, const QString& zipPath)
{
    BundleOutcome outcome;
    // The zip keeps a song by its file name, and the folder it is unpacked into ignores letter case.
    QStringList songs;
    QHash<QString, QString> byName;
    for (const QString& song : givenSongs) {
        const QFileInfo info(song);
        const QString name = fromUtf8(gw::foldCase(toUtf8(info.fileName())));
        const QString seen = byName.value(name);
        if (seen.isEmpty()) {
            byName.insert(name, info.absoluteFilePath());
            songs << song;
        } else if (seen != info.absoluteFilePath()) {
            setStatus(QStringLiteral("Did not save ") + zipPath + QStringLiteral(": two songs are named ") +
                      info.fileName());
            return outcome;
        }
    }
    UsedMachines used;
    for (const QString& song : songs) {
        used.message.clear();
        gw::scanSong(gw::pathBytesFromText(song), used);
        if (!used.message.isEmpty()) {
            outcome.unreadable = true;
            showMessage(used.message);
        }
    }
    if (outcome.unreadable) {
        setStatus(QStringLiteral("Did not save ") + zipPath + QStringLiteral(": a song could not be read"));
        return outcome;
    }
    BundlePlan plan;
    plan.songs = songs;
    plan.machines = bundleMachines(used.generators.names(), used.effects.names(), generatorsFolder(), effectsFolder());
    for (const BundleMachine& machine : plan.machines) {
        (machine.source.isEmpty() ? outcome.missing : outcome.inZip) += 1;
        appendLog((machine.kind == Kind::Generator ? QStringLiteral("generator ") : QStringLiteral("effect ")) +
                  machine.dll +
                  (machine.source.isEmpty() ? QStringLiteral(": missing") : QStringLiteral(": in the zip")));
    }
    QString error;
    outcome.songs = static_cast<int>(songs.size());
    outcome.written = writeBundle(plan, zipPath, error);
    if (!outcome.written) {
        logStatus(QStringLiteral("Unable to write ") + zipPath + QStringLiteral(": ") + error);
        return outcome;
    }
    logStatus(QStringLiteral("Saved") + numberText(outcome.songs) + QStringLiteral(" songs and") +
              numberText(outcome.inZip) + QStringLiteral(" machines to ") + zipPath +
              (outcome.missing ? QStringLiteral(";") + numberText(outcome.missing) +
                                     QStringLiteral(" machines are missing here and not in it")
                               : QString()));
    return outcome;
}

void AppModel::saveBundleFromDialog()
{
    const QStringList songs = m_songs.tickedOrCurrent();
    if (songs.isEmpty()) {
        setStatus(QStringLiteral("No bmx or bmw selected"));
        return;
    }
    // Offered beside the first song, under its name.
    const QFileInfo first(songs.first());
    QString zipPath = m_setup.dialogs->saveFile(
        QStringLiteral("Save songs with their machines"), QStringLiteral("Zip files (*.zip)|*.zip"),
        first.absolutePath() + QDir::separator() + first.completeBaseName() + QStringLiteral(".zip"));
    if (zipPath.isEmpty()) {
        return;
    }
    if (!zipPath.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive)) {
        zipPath += QStringLiteral(".zip");
    }
    resetLog({});
    saveBundle(songs, zipPath);
}

BundleInstall AppModel::installBundle(const QString& zipPath, const QString& songsFolder, bool overwrite)
{
    BundleInstall result;
    BundleContents contents;
    QString error;
    if (!readBundle(zipPath, contents, error)) {
        logStatus(QStringLiteral("Unable to read ") + zipPath + QStringLiteral(": ") + error);
        return result;
    }
    result.read = true;
    result.notTaken = contents.skipped;
    for (const QString& note : contents.unverified) {
        appendLog(note);
    }
    const struct
    {
        const QStringList& entries;
        QString folder;
        bool songs;
    } groups[] = {{contents.generators, generatorsFolder(), false},
                  {contents.effects, effectsFolder(), false},
                  {contents.songs, songsFolder, true}};
    for (const auto& group : groups) {
        if (group.entries.isEmpty()) {
            continue;
        }
        if (!QDir().mkpath(group.folder)) {
            result.notTaken << group.entries.join(QStringLiteral(", ")) + QStringLiteral(": cannot create ") +
                                   group.folder;
            continue;
        }
        // A machine replaced with --yes is backed up as a download's is; a song is replaced as it is.
        gw::UnzipOptions options = machineUnzipOptions(group.folder, overwrite);
        if (group.songs) {
            options.backupFolder.clear();
        }
        options.only = group.entries;
        options.limits = bundleLimits(group.songs);
        const gw::UnzipReport unzipped = gw::unzipFlat(zipPath, group.folder, options);
        if (unzipped.state != gw::ArchiveState::Read) {
            result.notTaken << group.entries.join(QStringLiteral(", ")) + QStringLiteral(": ") + unzipped.detail;
            appendLog(result.notTaken.last());
        }
        for (const gw::UnzippedEntry& entry : unzipped.entries) {
            QString notTaken;
            switch (entry.result) {
            case gw::EntryResult::Kept:
                notTaken = entry.name + QStringLiteral(": kept the existing ") + entry.path;
                result.kept << entry.path;
                if (group.songs) {
                    result.songs << entry.path;
                }
                break;
            case gw::EntryResult::Skipped:
                notTaken = entry.name + QStringLiteral(": ") + skipText(entry);
                break;
            case gw::EntryResult::BackedUp:
                appendLog(QStringLiteral("kept the previous ") + QFileInfo(entry.path).fileName() +
                          QStringLiteral(" as ") + entry.backup);
                [[fallthrough]];
            default:
                appendLog(QStringLiteral("  inflating: ") + entry.path);
                result.installed << entry.path;
                if (group.songs) {
                    result.songs << entry.path;
                } else {
                    reportArchitecture(entry.path);
                }
                continue;
            }
            appendLog(notTaken);
            result.notTaken << notTaken;
        }
    }
    for (const QString& skipped : contents.skipped) {
        appendLog(QStringLiteral("skipped ") + skipped);
    }
    setStatus(QStringLiteral("Installed") + numberText(result.installed.size()) + QStringLiteral(" files from ") +
              zipPath +
              (result.notTaken.isEmpty()
                   ? QString()
                   : QStringLiteral(";") + numberText(result.notTaken.size()) + QStringLiteral(" not taken")));
    return result;
}

void AppModel::installBundleFromDialog()
{
    UserDialogs::OpenRequest request;
    request.title = QStringLiteral("Install a bundle of songs and their machines");
    request.filter = QStringLiteral("Zip files (*.zip)|*.zip");
    request.defaultExtension = QStringLiteral("zip");
    request.initialFolder = songFolder();
    request.mustExist = true;
    const QString chosen = m_setup.dialogs->openFiles(request);
    if (!chosen.isEmpty()) {
        installReceivedBundle(chosen);
    }
}

void AppModel::installReceivedBundle(const QString& zipPath)
{
    const QString host = songFolder();
    const QString songs = host != m_programFolder ? host : QFileInfo(zipPath).absolutePath();
    resetLog({});
    BundleInstall done = installBundle(zipPath, songs, false);
    if (done.read && !done.kept.isEmpty()) {
        const QString question =
            numberText(done.kept.size()).trimmed() + QStringLiteral(" files of the bundle are here already:\n") +
            done.kept.join(QLatin1Char('\n')) +
            QStringLiteral("\n\nReplace them with the bundle's?  A machine that differs is kept in ") +
            m_gear.backupFolder() + QStringLiteral(" first.");
        if (m_setup.dialogs->message(question, kAppTitle, UserDialogs::Buttons::YesNo) == UserDialogs::Answer::Yes) {
            done = installBundle(zipPath, songs, true);
        }
    }
    for (const QString& song : done.songs) {
        addSong(song);
    }
    const QString status = m_status;
    refreshGearFolders();
    recheckMissing();
    setStatus(status);
}
