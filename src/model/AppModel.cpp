#include "model/AppModel.h"

#include "base/FolderEntries.h"
#include "base/NumberText.h"
#include "base/Platform.h"
#include "base/TextCodec.h"
#include "bundle/SongBundle.h"
#include "catalogue/CatalogueFetch.h"
#include "catalogue/CatalogueRows.h"
#include "catalogue/CatalogueText.h"
#include "catalogue/MachineMatch.h"
#include "host/HostDiscovery.h"
#include "host/ProgramFolder.h"
#include "song/SongScan.h"
#include "transfer/HttpTransfer.h"
#include "transfer/MachineDownload.h"
#include "transfer/MachineInstall.h"
#include "transfer/TransferReport.h"
#include "unzip/Unzip.h"

#include <QCoreApplication>
#include <algorithm>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

const QString AppModel::kAppTitle = QStringLiteral("Gearwarden 1.0");

namespace {

using Kind = gw::MachineKind;

QString fromUtf8(const std::string& text) { return QString::fromStdString(text); }
std::string toUtf8(const QString& text) { return text.toStdString(); }
QString numberText(qint64 number) { return fromUtf8(gw::NumberText(number)); }
QString decoded(std::string_view bytes) { return fromUtf8(gw::platform::ansiToUtf8(bytes)); }

// The most often a long step offers the views a chance to paint: about one screen frame.
constexpr int kBusyIntervalMs = 15;

/** One of the two catalogue files and its status texts. */
struct CatalogueFile
{
    const char* file;
    const char* readingText;
    const char* completedText;
};

const CatalogueFile& catalogueFile(Kind kind)
{
    static constexpr CatalogueFile generators = {"allgenerators.txt", "Reading Plugvault generators list",
                                                 "Completed reading allgenerators.txt  list. "};
    static constexpr CatalogueFile effects = {"alleffects.txt", "Reading Plugvault effects list",
                                              "Completed reading alleffects.txt list. "};
    return kind == Kind::Generator ? generators : effects;
}

} // namespace

/** Transfers and installs report to the model's status line, log and dialogs. */
class AppModel::Report : public TransferReport
{
public:
    explicit Report(AppModel& model)
        : m_model(model)
    {
    }

    void status(const QString& text, bool showNow) override { m_model.setStatus(text, showNow); }
    void startLog(const QString& line) override { m_model.resetLog({line}); }
    void log(const QString& line) override { m_model.appendLog(line); }
    void clearLog() override { m_model.resetLog({}); }
    void message(const QString& text) override { m_model.showMessage(text); }
    bool askYesNo(const QString& text, const QString& title) override
    {
        return m_model.m_setup.dialogs->message(text, title, UserDialogs::Buttons::YesNo) == UserDialogs::Answer::Yes;
    }

private:
    AppModel& m_model;
};

/** Puts what a song scan reports into the model: status, log, messages, used lists and the song's report. */
class AppModel::ScanToModel : public gw::ScanSink
{
public:
    ScanToModel(AppModel& model, SongScanReport& report)
        : m_model(model)
        , m_report(report)
    {
    }

    void setStatus(const std::string& text, bool showNow) override { m_model.setStatus(fromUtf8(text), showNow); }
    void startLog(const std::string& line) override
    {
        if (wanted()) {
            m_model.resetLog({fromUtf8(line)});
            keep();
        }
    }
    void log(const std::string& line) override
    {
        if (wanted()) {
            m_model.appendLog(fromUtf8(line));
            keep();
        }
    }
    void showMessage(const std::string& text) override
    {
        m_report.error = fromUtf8(text);
        m_model.showMessage(m_report.error);
    }
    void addUsed(const gw::MachineRef& machine) override
    {
        m_report.machines.push_back(machine);
        const bool generator = machine.isGenerator();
        // Songs use the same machines over and over: a name seen in this run is not sorted in again.
        if (!m_model.m_usedSeen[generator ? 0 : 1].insert(machine.dll).second) {
            return;
        }
        bool added = false;
        (generator ? m_model.m_generatorsUsed : m_model.m_effectsUsed).insert(decoded(machine.dll), &added);
        if (added) {
            emit m_model.listChanged(generator ? List::GeneratorsUsed : List::EffectsUsed);
        }
    }
    void paraMachineRead() override { m_model.keepResponsive(); }

private:
    bool wanted() const { return m_model.m_setup.keepSongLogs || !m_model.m_setup.quietScan; }
    /** Thousands of songs' logs are kept only when asked for. */
    void keep()
    {
        if (m_model.m_setup.keepSongLogs) {
            m_report.log << m_model.m_log.constLast();
        }
    }

    AppModel& m_model;
    SongScanReport& m_report;
};

AppModel::AppModel(const Setup& setup, QObject* parent)
    : QObject(parent)
    , m_setup(setup)
    , m_archiveBaseUrl(setup.archiveBaseUrl)
    , m_transfer(new HttpTransfer(this))
{
    Q_ASSERT(m_setup.dialogs && (m_setup.hostSettings || !m_setup.fixedHostFolder.isEmpty()));
    m_programFolder =
        gw::withSeparator(setup.programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : setup.programFolder);
    m_hostFolder = m_setup.fixedHostFolder;
    m_sinceBusy.start();
}

AppModel::~AppModel() = default;

void AppModel::start()
{
    setStatus(m_programFolder + QStringLiteral(" is current directory"));
    refreshGearFolders();
    readCatalogues();
}

// --- status line, log, messages --------------------------------------------------------------------------------

void AppModel::setStatus(const QString& text, bool showNow)
{
    m_status = text;
    emit statusChanged(text);
    if (showNow) {
        keepResponsive();
    }
}

void AppModel::logStatus(const QString& text, bool showNow)
{
    setStatus(text, showNow);
    appendLog(text);
}

void AppModel::resetLog(const QStringList& lines)
{
    m_log = lines;
    emit logReset(lines);
}

void AppModel::appendLog(const QString& line)
{
    m_log << line;
    emit logAppended(line);
}

QString AppModel::logText() const
{
    QString text;
    for (const QString& line : m_log) {
        text += line + QStringLiteral("\r\n");
    }
    return text;
}

void AppModel::keepResponsive()
{
    if (m_sinceBusy.elapsed() >= kBusyIntervalMs) {
        m_sinceBusy.restart();
        emit busy();
    }
}

void AppModel::showMessage(const QString& text)
{
    m_setup.dialogs->message(text, kAppTitle, UserDialogs::Buttons::Ok);
}

void AppModel::showNotices(const std::vector<gw::Notice>& notices)
{
    for (const gw::Notice& notice : notices) {
        if (notice.kind == gw::Notice::Kind::Message) {
            showMessage(fromUtf8(notice.text));
        } else {
            setStatus(fromUtf8(notice.text));
        }
    }
}

// --- host installation and gear folders ------------------------------------------------------------------------

QString AppModel::generatorsFolder() const { return fromUtf8(gw::generatorsFolder(toUtf8(m_hostFolder))); }

QString AppModel::effectsFolder() const { return fromUtf8(gw::effectsFolder(toUtf8(m_hostFolder))); }

const SortedNames& AppModel::list(List which) const
{
    switch (which) {
    case List::Songs: return m_songs;
    case List::GeneratorsUsed: return m_generatorsUsed;
    case List::EffectsUsed: return m_effectsUsed;
    case List::GeneratorFiles: return m_generatorFiles;
    case List::EffectFiles: return m_effectFiles;
    case List::MissingGenerators: return m_missingGenerators;
    case List::MissingEffects: return m_missingEffects;
    case List::GeneratorCatalogue: return m_generatorCatalogue;
    case List::EffectCatalogue: break;
    }
    return m_effectCatalogue;
}

void AppModel::readHostFolder()
{
    if (!m_setup.fixedHostFolder.isEmpty()) {
        return;
    }
    const gw::HostFolder found = gw::findHostFolder(*m_setup.hostSettings, toUtf8(m_programFolder));
    m_hostFolder = fromUtf8(found.folder);
    showNotices(found.notices);
}

void AppModel::refreshGearFolders()
{
    readHostFolder();
    if (m_setup.createGearFolders) {
        const QString gear = fromUtf8(gw::gearFolder(toUtf8(m_hostFolder)));
        for (const QString& folder : {generatorsFolder(), effectsFolder()}) {
            // One level at a time: the gear folder first, then the kind's folder in it.
            const auto make = [](const QString& path) { return QDir(path).exists() || QDir().mkdir(path); };
            if (!QDir(folder).exists() && !(make(gear) && make(folder))) {
                setStatus(QStringLiteral("Unable to create ") + folder +
                          QStringLiteral(".  Its machines cannot be listed; check the rights on ") + m_hostFolder);
            }
        }
    }
    listGearFolders();
}

void AppModel::listGearFolders()
{
    const auto listing = [](const QString& folder) {
        QStringList names;
        for (const std::string& name : gw::listDlls(toUtf8(folder))) {
            names << fromUtf8(name);
        }
        return names;
    };
    m_generatorFiles.assign(listing(generatorsFolder()));
    m_effectFiles.assign(listing(effectsFolder()));
    emit listChanged(List::GeneratorFiles);
    emit listChanged(List::EffectFiles);
}

void AppModel::moveToEffects(const QString& dll) { moveDll(dll, Kind::Generator); }

void AppModel::moveToGenerators(const QString& dll) { moveDll(dll, Kind::Effect); }

void AppModel::moveDll(const QString& dll, Kind from, bool tellUser)
{
    // In a batch the log takes what would otherwise be a message box for each machine.
    const auto tell = [&](const QString& text) { tellUser ? showMessage(text) : appendLog(text); };
    const bool toEffects = from == Kind::Generator;
    const QString fromFolder = toEffects ? generatorsFolder() : effectsFolder();
    const QString toFolder = toEffects ? effectsFolder() : generatorsFolder();
    const QString direction = toEffects ? QStringLiteral(" from Generators to Effects directory.")
                                        : QStringLiteral(" from Effects to Generators directory.");
    const QString present = toEffects ? QStringLiteral(" exists in Effects directory already. ")
                                      : QStringLiteral(" exists in Generators directory already. ");
    const QString fromName = toEffects ? QStringLiteral("Generators") : QStringLiteral("Effects");
    if (!dll.isEmpty()) {
        const QString source = fromFolder + QDir::separator() + dll;
        // The host's platform ignores letter case: "kick.dll" there is this DLL too.
        const std::string twin = gw::findEntryIgnoringCase(toUtf8(toFolder), toUtf8(dll));
        if (twin.empty() || !QFileInfo(toFolder + QDir::separator() + fromUtf8(twin)).isFile()) {
            tell(QStringLiteral("Moving ") + dll + direction);
            if (QFile::rename(source, toFolder + QDir::separator() + dll)) {
                setStatus(QStringLiteral("Moved ") + dll + direction);
            } else {
                setStatus(QStringLiteral("Unable to move ") + dll +
                          QStringLiteral(": it is in use, gone, or the folder cannot be written."));
            }
        } else {
            tell(QStringLiteral("File ") + dll + present + QStringLiteral("Deleting from ") + fromName +
                 QStringLiteral(" directory."));
            if (QFile::remove(source)) {
                setStatus(QStringLiteral("File ") + dll + present + QStringLiteral("Deleted from ") + fromName +
                          QStringLiteral(" directory."));
            } else {
                setStatus(QStringLiteral("Unable to delete ") + source +
                          QStringLiteral(": it is in use, gone, or the folder cannot be written."));
            }
        }
    }
    listGearFolders();
}

// --- songs -----------------------------------------------------------------------------------------------------

int AppModel::addSong(const QString& path)
{
    bool added = false;
    const int row = m_songs.insert(path, &added);
    if (added) {
        m_ticks.insert(row, false);
        if (m_currentSong >= row) {
            ++m_currentSong;
        }
        emit listChanged(List::Songs);
    }
    return row;
}

void AppModel::addSongsFromDialog()
{
    UserDialogs::OpenRequest request;
    request.filter =
        QStringLiteral("bmx and bmw files (*.bmx;*.bmw)|*.bmx;*.bmw|bmx only (*.bmx)|*.bmx|bmw only (*.bmw)|*.bmw");
    request.filterIndex = 0;
    request.defaultExtension = QStringLiteral("bmx");
    request.title = QStringLiteral("Select one or more bmx or bmw file to add to list");
    request.multiSelect = true;
    request.mustExist = true;
    request.maxLength = 20240;
    QString songFolder;
    if (m_setup.hostSettings) {
        std::vector<gw::Notice> notices;
        songFolder = fromUtf8(gw::findSongFolder(*m_setup.hostSettings, toUtf8(m_programFolder), notices));
        showNotices(notices);
    }
    request.initialFolder = songFolder.isEmpty() ? m_programFolder : songFolder;
    setStatus(QStringLiteral("Select one or more bmx or bmw files to add to list"));

    const QString chosen = m_setup.dialogs->openFiles(request);
    if (chosen.isEmpty()) {
        setStatus(QStringLiteral("No bmx or bmw selected"));
        return;
    }
    QStringList parts = chosen.split(QChar(0));
    // The classic dialog ends its list with extra NUL characters; they name no file.
    while (parts.size() > 1 && parts.last().isEmpty()) {
        parts.removeLast();
    }
    int chosenCount = 0;
    if (parts.size() > 1) {
        const QString folder = gw::withSeparator(parts.first());
        for (qsizetype i = 1; i < parts.size(); ++i) {
            addSong(folder + parts.at(i));
            ++chosenCount;
        }
    } else {
        setCurrentSong(addSong(parts.first()));
        chosenCount = 1;
    }
    setStatus(QStringLiteral("Selected ") + numberText(chosenCount) + QStringLiteral(" bmx files added to list"));
}

void AppModel::setTicked(int row, bool ticked)
{
    if (row < 0 || row >= m_ticks.size() || m_ticks.at(row) == ticked) {
        return;
    }
    m_ticks[row] = ticked;
    emit tickChanged(row);
}

void AppModel::setCurrentSong(int row)
{
    row = row >= 0 && row < m_songs.size() ? row : -1;
    if (row != m_currentSong) {
        m_currentSong = row;
        emit currentSongChanged(row);
    }
}

void AppModel::tickAll()
{
    for (int row = 0; row < m_ticks.size(); ++row) {
        setTicked(row, true);
    }
    setStatus(QStringLiteral("Selected all from bmx files list"));
}

void AppModel::tickNone()
{
    for (int row = 0; row < m_ticks.size(); ++row) {
        setTicked(row, false);
    }
    setStatus(QStringLiteral("Selected none from bmx files list"));
}

void AppModel::clearSongs()
{
    m_songs.clear();
    m_ticks.clear();
    m_currentSong = -1;
    emit listChanged(List::Songs);
    setStatus(QStringLiteral("Cleared bmx files list"));
}

void AppModel::clearUsed()
{
    m_generatorsUsed.clear();
    m_effectsUsed.clear();
    m_usedSeen[0].clear();
    m_usedSeen[1].clear();
    emit listChanged(List::GeneratorsUsed);
    emit listChanged(List::EffectsUsed);
    setStatus(QStringLiteral("Cleared lists for used generators and effects"));
}

// --- song bundles --------------------------------------------------------------------------------------------

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
        gw::scanSong(toUtf8(song), used);
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
                  machine.dll + (machine.source.isEmpty() ? QStringLiteral(": missing") : QStringLiteral(": in the zip")));
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
    QStringList songs;
    for (int row = 0; row < m_songs.size(); ++row) {
        if (m_ticks.at(row)) {
            songs << m_songs.at(row);
        }
    }
    if (songs.isEmpty() && m_currentSong >= 0) {
        songs << m_songs.at(m_currentSong);
    }
    if (songs.isEmpty()) {
        setStatus(QStringLiteral("No bmx or bmw selected"));
        return;
    }
    const QString zipPath = m_setup.dialogs->saveFile(QStringLiteral("Save songs with their machines"),
                                                      QStringLiteral("zip files (*.zip)|*.zip"),
                                                      QFileInfo(songs.first()).completeBaseName() + QStringLiteral(".zip"));
    if (zipPath.isEmpty()) {
        return;
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
            result.notTaken << group.entries.join(QStringLiteral(", ")) + QStringLiteral(": cannot create ") + group.folder;
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
              zipPath + (result.notTaken.isEmpty() ? QString() : QStringLiteral(";") +
                                                                   numberText(result.notTaken.size()) +
                                                                   QStringLiteral(" not taken")));
    return result;
}

// --- scan and check --------------------------------------------------------------------------------------------

void AppModel::scanOne(const QString& path)
{
    SongScanReport& report = m_lastScan.emplace_back();
    report.path = path;
    ScanToModel sink(*this, report);
    report.recovered = gw::scanSong(toUtf8(path), sink).result.recovered;
    keepResponsive();
}

void AppModel::scanTickedSongs()
{
    m_lastScan.clear();
    bool anyTicked = false;
    for (int row = 0; row < m_songs.size(); ++row) {
        if (m_ticks.at(row)) {
            anyTicked = true;
            setCurrentSong(row);
            scanOne(m_songs.at(row));
        }
    }
    if (!anyTicked && m_currentSong >= 0) {
        scanOne(m_songs.at(m_currentSong));
    }
    checkMissing();
}

void AppModel::scanSongs(const QStringList& paths)
{
    m_lastScan.clear();
    for (const QString& path : paths) {
        scanOne(path);
    }
    checkMissing();
}

void AppModel::checkMissing()
{
    setStatus(QStringLiteral("Checking missing machines"), true);
    refreshGearFolders();
    const std::vector<std::string> generatorFiles = m_generatorFiles.utf8();
    const std::vector<std::string> effectFiles = m_effectFiles.utf8();
    const auto find = [&](Kind kind, SortedNames& into, List which) {
        const bool generators = kind == Kind::Generator;
        QStringList found;
        for (const std::string& entry : gw::findMissing(kind, used(kind).utf8(), generators ? generatorFiles : effectFiles,
                                                        generators ? effectFiles : generatorFiles)) {
            found << fromUtf8(entry);
        }
        into.assign(found);
        emit listChanged(which);
    };
    find(Kind::Generator, m_missingGenerators, List::MissingGenerators);
    find(Kind::Effect, m_missingEffects, List::MissingEffects);
    setStatus(fromUtf8(gw::missingStatusText(static_cast<std::size_t>(m_missingGenerators.size()),
                                             static_cast<std::size_t>(m_missingEffects.size()))));
}

// --- catalogues ------------------------------------------------------------------------------------------------

void AppModel::readCatalogue(Kind kind)
{
    const CatalogueFile& catalogueKind = catalogueFile(kind);
    const QString path = m_programFolder + QLatin1String(catalogueKind.file);
    // A missing file keeps what the list holds and says nothing.
    if (!QFileInfo(path).isFile()) {
        return;
    }
    setStatus(QLatin1String(catalogueKind.readingText), true);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setStatus(QStringLiteral("Unable to read ") + path + QStringLiteral(": ") + file.errorString());
        return;
    }
    const QByteArray content = file.readAll();
    file.close();

    QStringList entries;
    qint64 lines = 0;
    gw::CatalogueLines reader(std::string_view(content.constData(), static_cast<std::size_t>(content.size())));
    std::string_view line;
    while (reader.next(line)) {
        ++lines;
        if (const std::optional<std::string_view> entry = gw::catalogueEntry(line)) {
            entries << decoded(*entry);
        }
    }
    // The list is a download list: an entry the page names twice is shown twice.
    SortedNames& list = kind == Kind::Generator ? m_generatorCatalogue : m_effectCatalogue;
    list.assign(entries, true);
    if (m_selection.isValid() && m_selection.kind == kind) {
        m_selection = {};
        emit selectionChanged();
    }
    emit listChanged(kind == Kind::Generator ? List::GeneratorCatalogue : List::EffectCatalogue);
    setStatus(QLatin1String(catalogueKind.completedText) + numberText(list.size()) + QStringLiteral(" machines. ") +
                  numberText(lines) + QStringLiteral(" lines."),
              true);
}

void AppModel::readCatalogues()
{
    readCatalogue(Kind::Generator);
    readCatalogue(Kind::Effect);
    setStatus(QStringLiteral("Generator list contains ") + numberText(m_generatorCatalogue.size()) +
              QStringLiteral(" machines.  Effects list contains ") + numberText(m_effectCatalogue.size()) +
              QStringLiteral(" machines."));
}

QList<MissingMatch> AppModel::matchMissing() const
{
    QList<MissingMatch> matches;
    for (const Kind kind : {Kind::Generator, Kind::Effect}) {
        std::vector<gw::CatalogueRow> rows;
        QFile file(m_programFolder + QLatin1String(catalogueFile(kind).file));
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray content = file.readAll();
            gw::forEachCatalogueRow(std::string_view(content.constData(), static_cast<std::size_t>(content.size())),
                                    [&](const gw::CatalogueRow& row) {
                                        gw::CatalogueRow& text = rows.emplace_back();
                                        for (int f = 0; f < gw::CatalogueRow::FieldCount; ++f) {
                                            text.fields[f] = gw::platform::ansiToUtf8(row.fields[f]);
                                        }
                                    });
        }
        const gw::CatalogueMatcher matcher(std::move(rows));
        for (const QString& missingEntry : missing(kind).names()) {
            const gw::MissingEntry parsed = gw::parseMissingEntry(toUtf8(missingEntry));
            MissingMatch& match = matches.emplace_back();
            match.dll = fromUtf8(parsed.dll) + QStringLiteral(".dll");
            match.kind = kind;
            if (parsed.wrongFolder) {
                match.how = QStringLiteral("move");
                continue;
            }
            const gw::CatalogueMatcher::Result found = matcher.match(parsed.dll);
            if (found.row) {
                match.entry = fromUtf8(found.row->fields[gw::CatalogueRow::Filename]);
                match.how = QLatin1String(gw::matchWayText(found.way));
            }
        }
    }
    return matches;
}

bool AppModel::fetchCatalogues()
{
    if (m_transferInProgress) {
        showMessage(QStringLiteral("There is already a download in progress"));
        return false;
    }
    if (!haveArchiveUrl()) {
        return false;
    }
    m_transferInProgress = true;
    Report report(*this);
    const bool fetched = fetchCatalogue(*m_transfer, report, m_programFolder, m_archiveBaseUrl);
    m_transferInProgress = false;
    return fetched;
}

// --- selection and the catalogue table -------------------------------------------------------------------------

void AppModel::selectMachine(Kind kind, const QString& entry)
{
    m_selection = entry.isEmpty() ? Selection{} : Selection{kind, entry};
    emit selectionChanged();
    setStatus(QStringLiteral("Selected ") + entry, true);
    if (entry.isEmpty() || !m_viewOpen) {
        return;
    }
    const bool generators = kind == Kind::Generator;
    if (!m_viewLoaded || m_viewKind != kind) {
        setStatus(generators ? QStringLiteral("Loading detailed generators form")
                             : QStringLiteral("Loading detailed effects form"),
                  true);
        loadCatalogueTable(kind);
        setStatus(generators ? QStringLiteral("Complete loaded detailed generators form")
                             : QStringLiteral("Complete loaded detailed effects form"),
                  true);
    }
    setStatus(QStringLiteral("Syncing main view with detailed view"), true);
    // The table finds the selected machine's row itself: it follows selectionChanged.
    emit selectionChanged();
    setStatus(QStringLiteral("Completed syncing main view with detailed view"), true);
}

void AppModel::loadCatalogueTable(Kind kind)
{
    m_viewKind = kind;
    m_viewLoaded = true;
    const QString path = m_programFolder + QLatin1String(catalogueFile(kind).file);
    QFile file(path);
    // A missing or unreadable catalogue leaves the table as it was.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        emit catalogueTableChanged();
        return;
    }
    const QByteArray content = file.readAll();
    file.close();
    m_table.clear();
    gw::forEachCatalogueRow(std::string_view(content.constData(), static_cast<std::size_t>(content.size())),
                            [&](const gw::CatalogueRow& row) {
                                QStringList fields;
                                for (const std::string& field : row.fields) {
                                    fields << decoded(field);
                                }
                                m_table << fields;
                                if (m_table.size() % 100 == 0) {
                                    keepResponsive();
                                }
                            });
    emit catalogueTableChanged();
}

void AppModel::openCatalogueView()
{
    m_viewOpen = true;
    if (m_selection.isValid()) {
        selectMachine(m_selection.kind, m_selection.entry);
    } else if (!m_generatorCatalogue.isEmpty()) {
        selectMachine(Kind::Generator, m_generatorCatalogue.at(0));
    }
}

void AppModel::closeCatalogueView()
{
    m_viewOpen = false;
    m_viewLoaded = false;
    m_table.clear();
}

void AppModel::viewCatalogue(Kind kind)
{
    loadCatalogueTable(kind);
    if (m_table.size() > 1) {
        selectMachine(kind, m_table.first().value(0));
    }
}

// --- downloads -------------------------------------------------------------------------------------------------

void AppModel::downloadSelected()
{
    if (m_transferInProgress) {
        showMessage(QStringLiteral("There is already a download in progress"));
        return;
    }
    if (!m_selection.isValid()) {
        const QString text =
            QStringLiteral("No file selected from 'Download Generators' or 'Download Effects' machine lists");
        showMessage(text);
        setStatus(text);
        return;
    }
    download(m_selection.kind, m_selection.entry);
}

bool AppModel::download(Kind kind, const QString& entry)
{
    if (m_transferInProgress) {
        showMessage(QStringLiteral("There is already a download in progress"));
        return false;
    }
    if (!haveArchiveUrl()) {
        return false;
    }
    MachineDownloadJob job;
    job.entry = entry;
    job.generators = kind == Kind::Generator;
    job.programFolder = m_programFolder;
    job.machinesBaseUrl = m_archiveBaseUrl + QStringLiteral("machines/");
    const QString destination = job.generators ? generatorsFolder() : effectsFolder();
    Report report(*this);
    m_transferInProgress = true;
    bool installed = false;
    const DownloadOutcome outcome = downloadMachine(
        *m_transfer, report, job,
        [&](const QString& zipPath) {
            if (!QDir().mkpath(destination)) {
                report.logStatus(QStringLiteral("Unable to create ") + destination);
                return false;
            }
            const MachineInstall install = installZip(zipPath, destination, report);
            refreshGearFolders();
            if (!install.installed) {
                // Said last, so the status line (and a batch's result) holds why; a batch is not stopped by a box.
                if (!m_fetchingAll) {
                    showMessage(install.problem);
                }
                setStatus(install.problem);
            }
            return install.installed;
        },
        &installed);
    m_transferInProgress = false;
    return outcome == DownloadOutcome::Completed && installed;
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
    if (!url.endsWith(QLatin1Char('/'))) {
        url += QLatin1Char('/');
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

QList<FetchResult> AppModel::fetchAllMissing()
{
    if (m_transferInProgress || m_fetchingAll) {
        showMessage(QStringLiteral("There is already a download in progress"));
        return {};
    }
    m_fetchingAll = true;
    m_fetchCancelled = false;
    QList<FetchResult> results;
    QHash<QString, QString> fetched; // kind and entry → result, so an entry shared by two machines is fetched once
    const QList<MissingMatch> matches = matchMissing();
    // Asked for once, not once per machine; without it the moves still happen.
    const bool anyDownload = std::any_of(matches.begin(), matches.end(),
                                         [](const MissingMatch& match) { return !match.entry.isEmpty(); });
    const bool canDownload = anyDownload && haveArchiveUrl();
    for (const MissingMatch& match : matches) {
        FetchResult& done = results.emplace_back();
        done.match = match;
        setStatus(QStringLiteral("Fetching missing machines: ") + numberText(results.size()) + QStringLiteral(" of ") +
                      numberText(matches.size()) + QStringLiteral(", ") + match.dll,
                  true);
        if (m_fetchCancelled) {
            done.result = QStringLiteral("failed: cancelled");
        } else if (match.how == QLatin1String("move")) {
            // It lies in the other kind's folder, under its name there.
            const bool generator = match.kind == Kind::Generator;
            const QString folder = generator ? effectsFolder() : generatorsFolder();
            const QString onDisk = fromUtf8(gw::findEntryIgnoringCase(toUtf8(folder), toUtf8(match.dll)));
            moveDll(onDisk, generator ? Kind::Effect : Kind::Generator, false);
            const bool moved = !onDisk.isEmpty() && !QFileInfo::exists(folder + QDir::separator() + onDisk);
            done.result = moved ? QStringLiteral("moved") : QStringLiteral("failed: ") + m_status;
        } else if (match.entry.isEmpty()) {
            done.result = QStringLiteral("no match");
            logStatus(QStringLiteral("The catalogue has no match for ") + match.dll);
        } else {
            const QString key = QString::number(int(match.kind)) + match.entry;
            if (!canDownload) {
                fetched.insert(key, QStringLiteral("failed: no machine archive address is set"));
            }
            if (!fetched.contains(key)) {
                fetched.insert(key, download(match.kind, match.entry) ? QStringLiteral("installed")
                                                                      : QStringLiteral("failed: ") + m_status);
            }
            done.result = fetched.value(key);
        }
    }
    m_fetchingAll = false;
    checkMissing();
    return results;
}

void AppModel::selectMissing(Kind kind, const QString& missingEntry)
{
    for (const MissingMatch& match : matchMissing()) {
        if (match.kind != kind || match.dll != fromUtf8(gw::parseMissingEntry(toUtf8(missingEntry)).dll) + ".dll") {
            continue;
        }
        if (match.how == QLatin1String("move")) {
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
    m_fetchCancelled = m_fetchingAll;
    if (!m_transferInProgress) {
        return;
    }
    m_transfer->cancel();
    logStatus(QStringLiteral("Cancelling download"));
}
