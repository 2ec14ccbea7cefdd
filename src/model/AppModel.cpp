#include "model/AppModel.h"

#include "base/NumberText.h"
#include "base/PathText.h"
#include "base/Platform.h"
#include "base/TextCodec.h"
#include "base/Version.h"
#include "catalogue/MachineMatch.h"
#include "host/HostDiscovery.h"
#include "host/ProgramFolder.h"
#include "model/ModelReport.h"
#include "song/SongScan.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

const QString AppModel::kAppTitle = QStringLiteral("Gearwarden ") + QLatin1String(gw::kVersion);

namespace {

using Kind = gw::MachineKind;
using gw::model::decoded;
using gw::model::fromUtf8;
using gw::model::numberText;
using gw::model::toUtf8;

// The most often a long step offers the views a chance to paint: about one screen frame.
constexpr int kBusyIntervalMs = 15;

} // namespace

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
        const int kind = generator ? 0 : 1;
        // Songs use the same machines over and over: a name seen in this run is not sorted in again.
        if (!m_model.m_usedSeen[kind].insert(machine.dll).second) {
            return;
        }
        bool added = false;
        m_model.m_used[kind].insert(decoded(machine.dll), &added);
        if (added) {
            emit m_model.listChanged(generator ? List::GeneratorsUsed : List::EffectsUsed);
        }
    }
    void paraMachineRead() override { m_model.keepResponsive(); }
    bool wantsTrace() const override { return wanted(); }

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
{
    m_transfers.transfer = new HttpTransfer(this);
    m_transfers.report = std::make_unique<Report>(*this);
    Q_ASSERT(m_setup.dialogs && (m_setup.hostSettings || !m_setup.fixedHostFolder.isEmpty()));
    m_programFolder =
        gw::withSeparator(setup.programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : setup.programFolder);
    m_catalogues.setProgramFolder(m_programFolder);
    m_gear.setHostFolder(m_setup.fixedHostFolder);
    m_chosenHostFolder = setup.chosenHostFolder;
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

QString AppModel::generatorsFolder() const
{
    return m_gear.folder(Kind::Generator);
}

QString AppModel::effectsFolder() const
{
    return m_gear.folder(Kind::Effect);
}

const SortedNames& AppModel::list(List which) const
{
    switch (which) {
    case List::Songs:
        return m_songs.paths();
    case List::GeneratorsUsed:
        return used(Kind::Generator);
    case List::EffectsUsed:
        return used(Kind::Effect);
    case List::GeneratorFiles:
        return gearFiles(Kind::Generator);
    case List::EffectFiles:
        return gearFiles(Kind::Effect);
    case List::MissingGenerators:
        return missing(Kind::Generator);
    case List::MissingEffects:
        return missing(Kind::Effect);
    case List::GeneratorCatalogue:
        return catalogue(Kind::Generator);
    case List::EffectCatalogue:
        break;
    }
    return catalogue(Kind::Effect);
}

void AppModel::readHostFolder()
{
    if (!m_setup.fixedHostFolder.isEmpty()) {
        return;
    }
    if (!m_chosenHostFolder.isEmpty() && QFileInfo(m_chosenHostFolder).isDir()) {
        m_gear.setHostFolder(gw::withSeparator(m_chosenHostFolder));
        return;
    }
    gw::HostFolder found = gw::findHostFolder(*m_setup.hostSettings, toUtf8(m_programFolder));
    m_gear.setHostFolder(fromUtf8(found.folder));
    const auto isMessage = [](const gw::Notice& notice) { return notice.kind == gw::Notice::Kind::Message; };
    if (m_hostNoticesShown) {
        std::erase_if(found.notices, isMessage);
    }
    m_hostNoticesShown = m_hostNoticesShown || std::any_of(found.notices.begin(), found.notices.end(), isMessage);
    showNotices(found.notices);
}

void AppModel::refreshGearFolders()
{
    readHostFolder();
    if (m_setup.createGearFolders) {
        for (const QString& folder : m_gear.makeMissingFolders()) {
            setStatus(QStringLiteral("Unable to create ") + folder +
                      QStringLiteral(".  Its machines cannot be listed; check the rights on ") + hostFolder());
        }
    }
    listGearFolders();
}

void AppModel::listGearFolders()
{
    m_gear.list();
    m_installed.reset();
    emit listChanged(List::GeneratorFiles);
    emit listChanged(List::EffectFiles);
    emit installedChanged();
}

const gw::GearInventory& AppModel::installedMachines()
{
    if (!m_installed) {
        std::vector<gw::SongUse> songs;
        for (const QString& song : m_songs.paths().names()) {
            songs.push_back(gw::readSongUse(gw::pathBytesFromText(song)));
            keepResponsive();
        }
        m_installed = gw::takeInventory(toUtf8(hostFolder()), songs.empty() ? nullptr : &songs,
                                        toUtf8(m_programFolder) + gw::kGearCacheName);
    }
    return *m_installed;
}

bool AppModel::chooseHostFolder(const QString& folder)
{
    if (!folder.isEmpty() && !gw::folderExists(gw::gearFolder(toUtf8(gw::withSeparator(folder))))) {
        const QString why = QDir::toNativeSeparators(folder) +
                            QStringLiteral(" holds no gear folder, so it is not a host installation.  Choose the "
                                           "folder that holds gear") +
                            QDir::separator() + QStringLiteral("generators and gear") + QDir::separator() +
                            QStringLiteral("effects.");
        showMessage(why);
        setStatus(why);
        return false;
    }
    m_chosenHostFolder = folder.isEmpty() ? QString() : QDir::toNativeSeparators(QFileInfo(folder).absoluteFilePath());
    m_hostNoticesShown = false; // back to the settings: say once more what they lack
    emit hostFolderChosen(m_chosenHostFolder);
    checkMissing();
    setStatus(m_chosenHostFolder.isEmpty() ? QStringLiteral("Host folder from the host's settings: ") + hostFolder()
                                           : QStringLiteral("Host folder chosen: ") + hostFolder());
    return true;
}

void AppModel::askHostFolder()
{
    const QString folder = m_setup.dialogs->chooseFolder(QStringLiteral("The host's installation folder"),
                                                         hostFolder().isEmpty() ? m_programFolder : hostFolder());
    if (!folder.isEmpty()) {
        chooseHostFolder(folder);
    }
}

void AppModel::moveToEffects(const QString& dll)
{
    moveDll(dll, Kind::Generator);
}

void AppModel::moveToGenerators(const QString& dll)
{
    moveDll(dll, Kind::Effect);
}

void AppModel::moveDll(const QString& dll, Kind from, bool tellUser)
{
    // In a batch the log takes what would otherwise be a message box for each machine.
    const auto tell = [&](const QString& text) { tellUser ? showMessage(text) : appendLog(text); };
    const bool toEffects = from == Kind::Generator;
    const QString direction = toEffects ? QStringLiteral(" from Generators to Effects directory.")
                                        : QStringLiteral(" from Effects to Generators directory.");
    const QString present = toEffects ? QStringLiteral(" exists in Effects directory already. ")
                                      : QStringLiteral(" exists in Generators directory already. ");
    const QString fromName = toEffects ? QStringLiteral("Generators") : QStringLiteral("Effects");
    if (!dll.isEmpty()) {
        // The host's platform ignores letter case: "kick.dll" there is this DLL too.
        if (m_gear.twinOf(dll, from).isEmpty()) {
            tell(QStringLiteral("Moving ") + dll + direction);
        } else {
            tell(QStringLiteral("File ") + dll + present + QStringLiteral("Deleting from ") + fromName +
                 QStringLiteral(" directory."));
        }
        const GearFolders::Move done = m_gear.move(dll, from);
        if (!done.backup.isEmpty()) {
            appendLog(QStringLiteral("Kept ") + done.source + QStringLiteral(", which differs from ") + done.twin +
                      QStringLiteral(", as ") + done.backup);
        }
        const QString cannot = QStringLiteral(": it is in use, gone, or the folder cannot be written.");
        switch (done.result) {
        case GearFolders::Move::Result::Moved:
            setStatus(QStringLiteral("Moved ") + dll + direction);
            break;
        case GearFolders::Move::Result::NotMoved:
            setStatus(QStringLiteral("Unable to move ") + dll + cannot);
            break;
        case GearFolders::Move::Result::TwinDeleted:
            setStatus(QStringLiteral("File ") + dll + present + QStringLiteral("Deleted from ") + fromName +
                      QStringLiteral(" directory."));
            break;
        case GearFolders::Move::Result::NotDeleted:
            setStatus(QStringLiteral("Unable to delete ") + done.source + cannot);
            break;
        case GearFolders::Move::Result::NotKeptAside:
            setStatus(QStringLiteral("Did not delete ") + done.source + QStringLiteral(": it differs from ") +
                      done.twin + QStringLiteral(" and could not be kept aside: ") + done.reason);
            break;
        }
    }
    listGearFolders();
    recheckMissing();
}

// --- songs -----------------------------------------------------------------------------------------------------

int AppModel::addSong(const QString& path)
{
    bool added = false;
    const int row = m_songs.add(path, &added);
    if (added) {
        emit listChanged(List::Songs);
    }
    return row;
}

QString AppModel::songFolder()
{
    QString folder;
    if (m_setup.hostSettings) {
        std::vector<gw::Notice> notices;
        folder = fromUtf8(gw::findSongFolder(*m_setup.hostSettings, toUtf8(m_programFolder), notices));
        showNotices(notices);
    }
    return folder.isEmpty() ? m_programFolder : folder;
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
    request.initialFolder = songFolder();
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
    if (m_songs.setTicked(row, ticked)) {
        emit tickChanged(row);
    }
}

void AppModel::setCurrentSong(int row)
{
    if (m_songs.setCurrent(row)) {
        emit currentSongChanged(m_songs.current());
    }
}

void AppModel::tickAll()
{
    for (int row = 0; row < m_songs.size(); ++row) {
        setTicked(row, true);
    }
    setStatus(QStringLiteral("Selected all from bmx files list"));
}

void AppModel::tickNone()
{
    for (int row = 0; row < m_songs.size(); ++row) {
        setTicked(row, false);
    }
    setStatus(QStringLiteral("Selected none from bmx files list"));
}

void AppModel::clearSongs()
{
    m_songs.clear();
    emit listChanged(List::Songs);
    setStatus(QStringLiteral("Cleared bmx files list"));
}

void AppModel::clearUsed()
{
    for (int kind = 0; kind < 2; ++kind) {
        m_used[kind].clear();
        m_usedSeen[kind].clear();
    }
    emit listChanged(List::GeneratorsUsed);
    emit listChanged(List::EffectsUsed);
    setStatus(QStringLiteral("Cleared lists for used generators and effects"));
}

// --- scan and check --------------------------------------------------------------------------------------------

void AppModel::scanOne(const QString& path)
{
    SongScanReport& report = m_lastScan.emplace_back();
    report.path = path;
    ScanToModel sink(*this, report);
    report.recovered = gw::scanSong(gw::pathBytesFromText(path), sink).result.recovered;
    keepResponsive();
}

void AppModel::scanTickedSongs()
{
    m_lastScan.clear();
    bool anyTicked = false;
    for (int row = 0; row < m_songs.size(); ++row) {
        if (m_songs.isTicked(row)) {
            anyTicked = true;
            setCurrentSong(row);
            scanOne(m_songs.paths().at(row));
        }
    }
    if (!anyTicked && m_songs.current() >= 0) {
        scanOne(m_songs.paths().at(m_songs.current()));
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

void AppModel::recheckMissing()
{
    m_gear.check({used(Kind::Generator).utf8(), used(Kind::Effect).utf8()});
    emit listChanged(List::MissingGenerators);
    emit listChanged(List::MissingEffects);
}

void AppModel::checkMissing()
{
    setStatus(QStringLiteral("Checking missing machines"), true);
    refreshGearFolders();
    recheckMissing();
    setStatus(fromUtf8(gw::missingStatusText(static_cast<std::size_t>(missing(Kind::Generator).size()),
                                             static_cast<std::size_t>(missing(Kind::Effect).size()))));
}
