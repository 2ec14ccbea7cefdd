#pragma once

#include "base/HostSettings.h"
#include "catalogue/CatalogueFetch.h"
#include "catalogue/MachineMatch.h"
#include "check/MissingCheck.h"
#include "gear/GearInventory.h"
#include "gear/LocalSources.h"
#include "model/Catalogues.h"
#include "model/GearFolders.h"
#include "model/SongList.h"
#include "model/SortedNames.h"
#include "model/UserDialogs.h"
#include "song/SongReader.h"
#include "transfer/HttpTransfer.h"
#include "transfer/MachineDownload.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace gw {
struct Notice;
}

/** What the scan of one song gave, for reports that list songs one by one. */
struct SongScanReport
{
    QString path;
    QString error; // the message shown for a song that could not be read, or empty
    std::vector<gw::MachineRef> machines;
    QStringList log;
    bool recovered = false; // no PARA section: the machines were found by searching MACH
};

/** A missing machine and the catalogue entry that is it, or what it needs instead. */
struct MissingMatch
{
    QString dll; // the DLL file name, without the wrong-folder mark
    gw::MachineKind kind = gw::MachineKind::Generator;
    bool move = false; // it lies in the other gear folder: moved, not downloaded
    QString entry;     // the catalogue entry to download; empty for none
    gw::MatchWay way = gw::MatchWay::None;
    /** "name", "close" or "file name" for a match; "move" for a machine in the other gear folder; empty for none. */
    QString howText() const;
};

/** What "Fetch all missing" did for one missing machine. */
struct FetchResult
{
    enum class Kind { Installed, Moved, NoMatch, Failed };
    MissingMatch match;
    Kind result = Kind::Failed;
    QString reason; // why it failed
    QString source; // for one installed from the user's disk: the file, or the zip and its entry
    /** The installed DLL's, and the host's (NotWindows: unknown); a clash is told after "installed". */
    gw::Architecture architecture = gw::Architecture::NotWindows;
    gw::Architecture hostArchitecture = gw::Architecture::NotWindows;
    /**
     * "installed" (with " from " and the source for one found on the user's disk, and " (x64; the host is x86)" for
     * one the host cannot load), "moved", "no match", or "failed: " and why, as fetch-missing prints it.
     */
    QString resultText() const;
};

/** How a transfer the model started ended: one of the three jobs, with its own outcome. */
struct TransferOutcome
{
    enum class Job { Catalogue, Download, FetchAll };
    Job job = Job::Download;
    CatalogueOutcome catalogue;
    DownloadOutcome download;
    QList<FetchResult> fetched;
    bool ok() const
    {
        return job == Job::Catalogue ? catalogue.ok() : job == Job::Download ? download.installed() : true;
    }
};

/** What saving songs with their machines did. */
struct BundleOutcome
{
    bool written = false;
    bool unreadable = false; // a song could not be read, so nothing was written
    int songs = 0;
    int inZip = 0;
    int missing = 0;
};

/** What installing a bundle did. */
struct BundleInstall
{
    bool read = false;     // false: the bundle could not be opened
    QStringList installed; // paths written
    QStringList notTaken;  // entries skipped or kept, each with why
    QStringList kept;      // files that were there already and were left as they were
    QStringList songs;     // the bundle's songs now in the songs folder, written or kept
};

/**
 * The program's state and operations, with no widgets: the songs and their ticks, the machines they use, the gear
 * folders' listings, the missing machines, the two catalogues, the one selected catalogue machine and the
 * catalogue table of the detailed view, the status line and the log. The main window, the catalogue window and the
 * command line all drive this one model; it reports through signals and asks the user through UserDialogs.
 */
class AppModel : public QObject
{
    Q_OBJECT
public:
    using Kind = gw::MachineKind;

    /** Everything the model takes from outside, so it can run in a temporary folder against a local server. */
    struct Setup
    {
        /** The program's own folder; empty for the folder holding the executable. */
        QString programFolder;
        /** The machine archive's base URL, ending in "/"; empty until the user gives one. */
        QString archiveBaseUrl;
        UserDialogs* dialogs = nullptr;
        /** Read afresh at every refresh of the gear folders, as the host may have been moved meanwhile. */
        std::shared_ptr<const gw::HostSettings> hostSettings;
        /** When set, the host folder (ending in a separator) used instead of the settings, with no notices. */
        QString fixedHostFolder;
        /** The host folder the user chose in the window, which wins over the host's settings; empty for none. */
        QString chosenHostFolder;
        /** The window makes missing gear folders; the command line only reads. */
        bool createGearFolders = true;
        /** Keep each scanned song's log in lastScan() (the command line's --log); the log itself shows the last. */
        bool keepSongLogs = false;
        /** Drop the scanned songs' logs unless kept: a command line that prints no log need not build one. */
        bool quietScan = false;
        /** How long and how large transfers may be. */
        TransferLimits transferLimits;
    };

    /** The lists a view shows; listChanged names the one that changed. */
    enum class List {
        Songs,
        GeneratorsUsed,
        EffectsUsed,
        GeneratorFiles,
        EffectFiles,
        MissingGenerators,
        MissingEffects,
        GeneratorCatalogue,
        EffectCatalogue,
    };

    /** The catalogue machine the download acts on. */
    struct Selection
    {
        Kind kind = Kind::Generator;
        QString entry; // empty: nothing selected
        bool isValid() const { return !entry.isEmpty(); }
    };

    static const QString kAppTitle;

    explicit AppModel(const Setup& setup, QObject* parent = nullptr);
    ~AppModel() override;

    /** Start-up: names the program folder, lists the gear folders and reads the catalogues. */
    void start();

    QString programFolder() const { return m_programFolder; }
    QString hostFolder() const { return m_gear.hostFolder(); }
    QString generatorsFolder() const;
    QString effectsFolder() const;

    // --- songs -------------------------------------------------------------------------------------------------
    const SortedNames& songs() const { return m_songs.paths(); }
    bool isTicked(int row) const { return m_songs.isTicked(row); }
    /** The current song's row, or -1. */
    int currentSong() const { return m_songs.current(); }
    /** Asks for songs with the open dialog and adds them. */
    void addSongsFromDialog();
    /** Adds a song unless the list holds it; returns its row. */
    int addSong(const QString& path);
    void setTicked(int row, bool ticked);
    void setCurrentSong(int row);
    void tickAll();
    void tickNone();
    void clearSongs();

    // --- scan and check ----------------------------------------------------------------------------------------
    const SortedNames& used(Kind kind) const { return m_used[GearFolders::index(kind)]; }
    const SortedNames& gearFiles(Kind kind) const { return m_gear.files(kind); }
    const SortedNames& missing(Kind kind) const { return m_gear.missing(kind); }
    /** The missing machine a missing list shows as text, or null. */
    const gw::MissingMachine* missingMachine(Kind kind, const QString& text) const
    {
        return m_gear.missingMachine(kind, text);
    }
    const SortedNames& list(List which) const;
    /** Scans the ticked songs, each made current in turn (or the current one when none is ticked), then checks. */
    void scanTickedSongs();
    /** Scans these songs in this order, then checks; each song's report is kept in lastScan(). */
    void scanSongs(const QStringList& paths);
    const QList<SongScanReport>& lastScan() const { return m_lastScan; }
    void clearUsed();
    /** Lists the gear folders afresh and finds which used machines are missing or in the other kind's folder. */
    void checkMissing();
    /** Finds the host folder, makes missing gear folders (window only) and lists them. */
    void refreshGearFolders();
    /**
     * Makes folder the host folder, when it holds a gear folder, instead of the one the host's settings name; an
     * empty folder goes back to the settings. Then lists and checks again.
     */
    bool chooseHostFolder(const QString& folder);
    /** Asks for the host folder with the folder dialog and chooses it. */
    void askHostFolder();
    /** The host folder the user chose, or empty when the host's settings name it. */
    QString chosenHostFolder() const { return m_chosenHostFolder; }
    /**
     * Every DLL of both gear folders with its size, time, hash, architecture and flags, and how many of the listed
     * songs use it; read anew after the gear folders changed (installedChanged says when).
     */
    const gw::GearInventory& installedMachines();
    /** Moves a DLL of the generators folder to the effects folder, or deletes it when effects holds it already. */
    void moveToEffects(const QString& dll);
    void moveToGenerators(const QString& dll);

    // --- song bundles ------------------------------------------------------------------------------------------
    /**
     * Writes a zip holding the songs and every installed non-built-in machine they use, filed by the kind the songs
     * use it as, with machines.txt; the used lists are left as they are.
     */
    BundleOutcome saveBundle(const QStringList& songs, const QString& zipPath);
    /** Asks where to save the ticked songs (or the current one) with their machines, and saves them. */
    void saveBundleFromDialog();
    /** Installs a bundle's machines into the gear folders and its songs into songsFolder; overwrite replaces. */
    BundleInstall installBundle(const QString& zipPath, const QString& songsFolder, bool overwrite);
    /** Asks for a bundle with the open dialog and installs it as installReceivedBundle does. */
    void installBundleFromDialog();
    /**
     * Installs a bundle someone sent: its songs into the host's song folder (or beside the zip), asking before
     * anything already here is replaced; its songs join the list, and the missing lists are checked again.
     */
    void installReceivedBundle(const QString& zipPath);

    // --- catalogues and downloads ------------------------------------------------------------------------------
    const SortedNames& catalogue(Kind kind) const { return m_catalogues.entries(kind); }
    /** Each missing machine of both kinds, in list order, with the catalogue row that is it. */
    QList<MissingMatch> matchMissing() const;
    /**
     * Starts downloading and installing every matched missing machine of both kinds, one after the other (each entry
     * once), moving the ones in the other gear folder where they belong, and checking again at the end. Cancel stops
     * the rest; a failure does not. False when another transfer runs; otherwise transferFinished follows.
     * localFolders are searched first, recursively, for each missing machine's DLL, loose or in a zip; a machine
     * found there is installed from there, and the archive is asked only for the rest.
     */
    bool fetchAllMissing(const QStringList& localFolders = {});
    /** Asks for a folder holding machines with the folder dialog, and fetches all missing from it first. */
    void fetchAllMissingFromFolder();
    /** Selects the catalogue machine that is this missing machine, or says that the catalogue has none. */
    void selectMissing(Kind kind, const QString& missingEntry);
    /** Reads both catalogue lists from the program folder. */
    void readCatalogues();
    /** Starts fetching the catalogue pages; true when started, and then transferFinished follows. */
    bool fetchCatalogues();
    Selection selection() const { return m_selection; }
    /** Makes a catalogue machine the one the download acts on; an empty entry selects nothing. */
    void selectMachine(Kind kind, const QString& entry);
    /** Selects no catalogue machine, and says why on the status line. */
    void deselect(const QString& why);
    /** Downloads and installs the selected machine. */
    void downloadSelected();
    /** Starts downloading an entry and installing it into the kind's gear folder; true when started. */
    bool download(Kind kind, const QString& entry);
    void cancelTransfer();
    bool transferInProgress() const { return m_transfers.inProgress; }
    QString archiveBaseUrl() const { return m_archiveBaseUrl; }
    /** Asks the user for the archive's address; true when one was given. */
    bool askArchiveUrl();

    // --- the catalogue table of the detailed view --------------------------------------------------------------
    bool catalogueViewOpen() const { return m_viewOpen; }
    /** The kind the table shows; meaningless until catalogueViewLoaded(). */
    Kind catalogueViewKind() const { return m_viewKind; }
    bool catalogueViewLoaded() const { return m_viewLoaded; }
    /** Rows of eight fields: Filename, Date, Developer, Name, Description, Type, Version, Status. */
    const QList<QStringList>& catalogueTable() const { return m_table; }
    /** The detailed view opens on the selected machine, or on the first generator. */
    void openCatalogueView();
    void closeCatalogueView();
    /** Shows the whole catalogue of a kind in the table and selects its first machine. */
    void viewCatalogue(Kind kind);

    // --- status and log ----------------------------------------------------------------------------------------
    QString status() const { return m_status; }
    const QStringList& logLines() const { return m_log; }
    /** The log as text: every line followed by CR LF. */
    QString logText() const;
    void showMessage(const QString& text);

signals:
    /** Every text the status line is given, in order. */
    void statusChanged(const QString& text);
    /** The log was replaced by these lines (none when it was cleared). */
    void logReset(const QStringList& lines);
    void logAppended(const QString& line);
    void listChanged(AppModel::List which);
    void tickChanged(int row);
    void currentSongChanged(int row);
    void selectionChanged();
    void catalogueTableChanged();
    /** A long step is running: a chance for the views to paint what changed. */
    void busy();
    /** The user gave the archive's address. */
    void archiveUrlChanged(const QString& url);
    /** The gear folders were listed again: what installedMachines() gives may have changed. */
    void installedChanged();
    /** The user chose a host folder; empty for the one the host's settings name. */
    void hostFolderChosen(const QString& folder);
    /** Bytes of the running download received so far, of total (-1 when unknown). */
    void transferProgress(qint64 received, qint64 total);
    /** "Fetch all missing" moved on: "n of m, NAME.dll" while it runs, empty once it ended. */
    void fetchAllStepChanged(const QString& step);
    /** A transfer started by download, fetchCatalogues or fetchAllMissing has ended; always from the event loop. */
    void transferFinished(const TransferOutcome& outcome);

private:
    class Report;
    class ScanToModel;

    void setStatus(const QString& text, bool showNow = false);
    void logStatus(const QString& text, bool showNow = false);
    void resetLog(const QStringList& lines);
    void appendLog(const QString& line);
    void keepResponsive();
    void showNotices(const std::vector<gw::Notice>& notices);
    void readHostFolder();
    void listGearFolders();
    /** The host's song folder from its settings, or the program folder. */
    QString songFolder();
    /** The missing lists against the gear folders as listed, with no status text: after a move or an install. */
    void recheckMissing();
    void scanOne(const QString& path);
    void readCatalogue(Kind kind);
    void loadCatalogueTable(Kind kind);
    void moveDll(const QString& dll, Kind from, bool tellUser = true);
    bool haveArchiveUrl();
    /** The one guard of every transfer: false, after saying so, while one runs. */
    bool beginTransfer();
    void endTransfer(const TransferOutcome& outcome);
    void startDownload(Kind kind, const QString& entry, const std::function<void(const DownloadOutcome&)>& done);
    /** Where a downloaded zip meets the install: the one place that calls it. */
    InstallResult installDownloadedZip(const QString& zipPath, Kind kind);
    void fetchNextMissing();
    /** Whether the run may download: the archive's address is asked for once, when a machine first needs it. */
    bool fetchAllCanDownload();
    /** Installs a missing machine found in the run's local folders into done; false when none installed. */
    bool installFound(const MissingMatch& match, FetchResult& done);
    /** Logs an installed DLL's architecture, and a warning when the host cannot load it; returns it. */
    gw::Architecture reportArchitecture(const QString& dllPath);
    /** Moves a machine lying in the other gear folder; empty when it moved, or why not. */
    QString moveMisplaced(const MissingMatch& match);

    Setup m_setup;
    QString m_programFolder;
    QString m_archiveBaseUrl;
    QString m_chosenHostFolder;
    /** The settings' messages about a host that cannot be found are said once a run, not at every action. */
    bool m_hostNoticesShown = false;

    SongList m_songs;
    /** The machines the scanned songs use, per kind (generators first). */
    std::array<SortedNames, 2> m_used;
    /** The DLL names (as stored in songs) already in the used lists, per kind. */
    std::array<std::unordered_set<std::string>, 2> m_usedSeen;
    GearFolders m_gear;
    std::optional<gw::GearInventory> m_installed; // read on demand, dropped when the folders change
    Catalogues m_catalogues;
    QList<SongScanReport> m_lastScan;

    Selection m_selection;
    bool m_viewOpen = false;
    bool m_viewLoaded = false;
    Kind m_viewKind = Kind::Effect;
    QList<QStringList> m_table;

    /** What the transfers hold: the one transfer object, its guard, and a "Fetch all missing" run. */
    struct Transfers
    {
        HttpTransfer* transfer = nullptr;
        std::unique_ptr<Report> report;
        bool inProgress = false;
        bool cancelled = false;
        /** "Fetch all missing" under way: the machines, what became of each so far, and each entry's result. */
        struct FetchAllRun
        {
            QList<MissingMatch> matches;
            QList<FetchResult> results;
            QHash<QString, FetchResult> byEntry;
            std::optional<bool> canDownload; // asked for when first needed
            std::optional<gw::LocalSources> local;
        };
        FetchAllRun fetchAll;
        bool fetchingAll = false;
    };
    Transfers m_transfers;

    QString m_status;
    QStringList m_log;
    QElapsedTimer m_sinceBusy;
};
