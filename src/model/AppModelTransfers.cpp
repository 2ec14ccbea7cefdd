// The model's transfers: the catalogue, one machine, and every missing machine, one at a time.
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

bool AppModel::fetchCatalogues()
{
    if (!beginTransfer()) {
        return false;
    }
    if (!haveArchiveUrl()) {
        m_transfers.inProgress = false;
        return false;
    }
    CatalogueFetchJob job{m_programFolder, m_archiveBaseUrl, m_setup.transferLimits};
    fetchCatalogue(*m_transfers.transfer, *m_transfers.report, job, [this](const CatalogueOutcome& fetched) {
        TransferOutcome outcome;
        outcome.job = TransferOutcome::Job::Catalogue;
        outcome.catalogue = fetched;
        // New lists are shown at once, as "Refresh" would show them (and with its texts).
        if (fetched.ok()) {
            readCatalogues();
        }
        endTransfer(outcome);
    });
    return true;
}

void AppModel::downloadSelected()
{
    // While a transfer runs, download() refuses with the one guard's message.
    if (!m_transfers.inProgress && !m_selection.isValid()) {
        const QString text =
            QStringLiteral("No file selected from 'Download Generators' or 'Download Effects' machine lists");
        showMessage(text);
        setStatus(text);
        return;
    }
    download(m_selection.kind, m_selection.entry);
}

bool AppModel::beginTransfer()
{
    if (m_transfers.inProgress) {
        showMessage(QStringLiteral("There is already a download in progress"));
        return false;
    }
    m_transfers.inProgress = true;
    m_transfers.cancelled = false;
    return true;
}

void AppModel::endTransfer(const TransferOutcome& outcome)
{
    m_transfers.inProgress = false;
    emit transferFinished(outcome);
}

bool AppModel::download(Kind kind, const QString& entry)
{
    if (!beginTransfer()) {
        return false;
    }
    if (!haveArchiveUrl()) {
        m_transfers.inProgress = false;
        return false;
    }
    startDownload(kind, entry, [this](const DownloadOutcome& downloaded) {
        TransferOutcome outcome;
        outcome.job = TransferOutcome::Job::Download;
        outcome.download = downloaded;
        endTransfer(outcome);
    });
    return true;
}

void AppModel::startDownload(Kind kind, const QString& entry, const std::function<void(const DownloadOutcome&)>& done)
{
    MachineDownloadJob job;
    job.entry = entry;
    job.generators = kind == Kind::Generator;
    job.programFolder = m_programFolder;
    job.machinesBaseUrl = m_archiveBaseUrl + QStringLiteral("machines/");
    job.maxBytes = m_setup.transferLimits.maxZipBytes;
    job.idleMs = m_setup.transferLimits.idleMs;
    job.totalMs = m_setup.transferLimits.zipTotalMs;
    downloadMachine(
        *m_transfers.transfer, *m_transfers.report, job,
        [this, kind](const QString& zipPath) { return installDownloadedZip(zipPath, kind); }, done);
}

InstallResult AppModel::installDownloadedZip(const QString& zipPath, Kind kind)
{
    const QString destination = kind == Kind::Generator ? generatorsFolder() : effectsFolder();
    InstallResult result;
    if (!QDir().mkpath(destination)) {
        result.reason = QStringLiteral("Unable to create ") + destination;
        m_transfers.report->logStatus(result.reason);
        return result;
    }
    const MachineInstall install = installZip(zipPath, destination, *m_transfers.report);
    for (const gw::UnzippedEntry& entry : install.unzip.entries) {
        if (entry.result != gw::EntryResult::Skipped && entry.result != gw::EntryResult::Kept &&
            entry.path.endsWith(QLatin1String(".dll"), Qt::CaseInsensitive)) {
            reportArchitecture(entry.path);
        }
    }
    refreshGearFolders();
    recheckMissing();
    if (!install.installed) {
        // Said last, so the status line (and a batch's result) holds why; a batch is not stopped by a box.
        if (!m_transfers.fetchingAll) {
            showMessage(install.problem);
        }
        setStatus(install.problem);
    }
    result.ok = install.installed;
    result.reason = install.problem;
    return result;
}

bool AppModel::askArchiveUrl()
{
    QString url = m_setup.dialogs
                      ->askText(QStringLiteral("Machine archive"),
                                QStringLiteral("The machine archive's address (its base URL, such as "
                                               "http://archive.example/):"),
                                m_archiveBaseUrl)
                      .trimmed();
    if (url.isEmpty()) {
        return false;
    }
    QString why;
    url = gw::checkedArchiveUrl(url, &why);
    if (url.isEmpty()) {
        showMessage(why);
        setStatus(why);
        return false;
    }
    m_archiveBaseUrl = url;
    emit archiveUrlChanged(url);
    return true;
}

bool AppModel::haveArchiveUrl()
{
    // The address is the user's to give: asked for once, then remembered; nothing is tried without it.
    if (!m_archiveBaseUrl.isEmpty() || askArchiveUrl()) {
        return true;
    }
    logStatus(QStringLiteral("No machine archive address is set, so nothing was fetched.  Give it when asked, with "
                             "\"Archive address\" in the About box, or with --archive-url."));
    return false;
}

bool AppModel::fetchAllMissing(const QStringList& localFolders)
{
    if (!beginTransfer()) {
        return false;
    }
    m_transfers.fetchAll = Transfers::FetchAllRun();
    m_transfers.fetchingAll = true;
    resetLog({});
    m_transfers.fetchAll.matches = matchMissing();
    if (!localFolders.isEmpty()) {
        m_transfers.fetchAll.local.emplace(localFolders);
    }
    // Asked for once, not once per machine, and only when some machine is not on the user's disk; without it the
    // moves still happen.
    const bool anyDownload = std::any_of(
        m_transfers.fetchAll.matches.begin(), m_transfers.fetchAll.matches.end(), [this](const MissingMatch& match) {
            return !match.entry.isEmpty() && !match.move &&
                   (!m_transfers.fetchAll.local || m_transfers.fetchAll.local->find(match.dll).isEmpty());
        });
    if (anyDownload) {
        fetchAllCanDownload();
    }
    QTimer::singleShot(0, this, &AppModel::fetchNextMissing);
    return true;
}

void AppModel::fetchAllMissingFromFolder()
{
    const QString folder =
        m_setup.dialogs->chooseFolder(QStringLiteral("Look in a folder for the missing machines"), songFolder());
    if (!folder.isEmpty()) {
        fetchAllMissing({folder});
    }
}

void AppModel::fetchNextMissing()
{
    Transfers::FetchAllRun& run = m_transfers.fetchAll;
    if (run.results.size() == run.matches.size()) {
        m_transfers.fetchingAll = false;
        emit fetchAllStepChanged({});
        checkMissing();
        TransferOutcome outcome;
        outcome.job = TransferOutcome::Job::FetchAll;
        outcome.fetched = run.results;
        return endTransfer(outcome);
    }
    const MissingMatch match = run.matches.at(run.results.size());
    emit fetchAllStepChanged(numberText(run.results.size() + 1).trimmed() + QStringLiteral(" of ") +
                             numberText(run.matches.size()).trimmed() + QStringLiteral(", ") + match.dll);
    setStatus(QStringLiteral("Fetching missing machines: ") + numberText(run.results.size() + 1) +
                  QStringLiteral(" of ") + numberText(run.matches.size()) + QStringLiteral(", ") + match.dll,
              true);
    FetchResult done;
    done.match = match;
    const QString key = QString::number(int(match.kind)) + match.entry;
    if (m_transfers.cancelled) {
        done.reason = QStringLiteral("cancelled");
    } else if (match.move) {
        done.reason = moveMisplaced(match);
        done.result = done.reason.isEmpty() ? FetchResult::Kind::Moved : FetchResult::Kind::Failed;
    } else if (installFound(match, done)) {
        // found on the user's disk: the archive is not asked
    } else if (match.entry.isEmpty()) {
        done.result = FetchResult::Kind::NoMatch;
        logStatus(QStringLiteral("The catalogue has no match for ") + match.dll);
    } else if (!fetchAllCanDownload()) {
        done.reason = QStringLiteral("no machine archive address is set");
    } else if (run.byEntry.contains(key)) {
        done.result = run.byEntry.value(key).result;
        done.reason = run.byEntry.value(key).reason;
    } else {
        startDownload(match.kind, match.entry, [this, done, key](const DownloadOutcome& downloaded) mutable {
            done.result = downloaded.installed() ? FetchResult::Kind::Installed : FetchResult::Kind::Failed;
            done.reason = downloaded.reason;
            if (downloaded.installed()) {
                const QString folder = done.match.kind == Kind::Generator ? generatorsFolder() : effectsFolder();
                const std::string file = gw::findEntryIgnoringCase(toUtf8(folder), toUtf8(done.match.dll));
                done.architecture = gw::fileArchitecture(toUtf8(folder + QDir::separator() + fromUtf8(file)));
                done.hostArchitecture = gw::hostArchitecture(toUtf8(hostFolder()));
            }
            m_transfers.fetchAll.byEntry.insert(key, done);
            m_transfers.fetchAll.results << done;
            QTimer::singleShot(0, this, &AppModel::fetchNextMissing);
        });
        return;
    }
    run.results << done;
    // One machine a turn of the event loop, so the window stays live and Cancel is seen.
    QTimer::singleShot(0, this, &AppModel::fetchNextMissing);
}

bool AppModel::fetchAllCanDownload()
{
    if (!m_transfers.fetchAll.canDownload) {
        m_transfers.fetchAll.canDownload = haveArchiveUrl();
    }
    return *m_transfers.fetchAll.canDownload;
}

bool AppModel::installFound(const MissingMatch& match, FetchResult& done)
{
    if (!m_transfers.fetchAll.local) {
        return false;
    }
    const QString folder = match.kind == Kind::Generator ? generatorsFolder() : effectsFolder();
    for (const gw::LocalFind& found : m_transfers.fetchAll.local->find(match.dll)) {
        if (!QDir().mkpath(folder)) {
            logStatus(QStringLiteral("Unable to create ") + folder);
            return false;
        }
        const gw::LocalInstall installed = gw::installLocal(found, folder);
        switch (installed.result) {
        case gw::LocalInstall::Result::NotADll:
            logStatus(QStringLiteral("Skipped ") + found.source() + QStringLiteral(": it is not a Windows DLL"));
            continue;
        case gw::LocalInstall::Result::Failed:
            logStatus(QStringLiteral("Unable to install ") + found.source() + QStringLiteral(": ") + installed.reason);
            continue;
        case gw::LocalInstall::Result::Installed:
            break;
        }
        if (!installed.backup.isEmpty()) {
            appendLog(QStringLiteral("kept the previous ") + QFileInfo(installed.path).fileName() +
                      QStringLiteral(" as ") + installed.backup);
        }
        logStatus(QStringLiteral("Installed ") + installed.path + QStringLiteral(" from ") + found.source());
        done.result = FetchResult::Kind::Installed;
        done.source = found.source();
        done.architecture = reportArchitecture(installed.path);
        done.hostArchitecture = gw::hostArchitecture(toUtf8(hostFolder()));
        refreshGearFolders();
        recheckMissing();
        return true;
    }
    return false;
}

gw::Architecture AppModel::reportArchitecture(const QString& dllPath)
{
    const gw::Architecture dll = gw::fileArchitecture(toUtf8(dllPath));
    const gw::Architecture host = gw::hostArchitecture(toUtf8(hostFolder()));
    const QString name = QFileInfo(dllPath).fileName();
    const QString dllText = fromUtf8(gw::architectureText(dll));
    appendLog(name + QStringLiteral(": ") + dllText);
    if (gw::otherArchitecture(dll, host)) {
        appendLog(name + QStringLiteral(" is ") + dllText + QStringLiteral(" but the host is ") +
                  fromUtf8(gw::architectureText(host)) + QStringLiteral(": it will not load"));
    }
    return dll;
}

QString AppModel::moveMisplaced(const MissingMatch& match)
{
    // It lies in the other kind's folder, under its name there.
    const bool generator = match.kind == Kind::Generator;
    const QString folder = generator ? effectsFolder() : generatorsFolder();
    const QString onDisk = fromUtf8(gw::findEntryIgnoringCase(toUtf8(folder), toUtf8(match.dll)));
    if (onDisk.isEmpty()) {
        return match.dll + QStringLiteral(" is no longer in ") + folder;
    }
    moveDll(onDisk, generator ? Kind::Effect : Kind::Generator, false);
    if (QFileInfo::exists(folder + QDir::separator() + onDisk)) {
        return QStringLiteral("unable to move ") + onDisk + QStringLiteral(" out of ") + folder +
               QStringLiteral(": it is in use, or the folder cannot be written");
    }
    return {};
}

void AppModel::selectMissing(Kind kind, const QString& missingEntry)
{
    const gw::MissingMachine* machine = missingMachine(kind, missingEntry);
    for (const MissingMatch& match : matchMissing()) {
        if (!machine || match.kind != kind || match.dll != fromUtf8(machine->dll)) {
            continue;
        }
        if (match.move) {
            setStatus(match.dll + QStringLiteral(" is in the other gear folder: it needs a move, not a download"));
        } else if (match.entry.isEmpty()) {
            setStatus(QStringLiteral("The catalogue has no match for ") + match.dll);
        } else {
            selectMachine(kind, match.entry);
        }
        return;
    }
}

void AppModel::cancelTransfer()
{
    if (!m_transfers.inProgress) {
        return;
    }
    m_transfers.cancelled = true; // "Fetch all missing" stops the rest
    if (m_transfers.transfer->isRunning()) {
        m_transfers.transfer->cancel();
        logStatus(QStringLiteral("Cancelling download"));
    }
}
