#pragma once

#include "base/HostSettings.h"
#include "gui/UserDialogs.h"
#include "gui/AboutBox.h"

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class HttpTransfer;
class ZipExtractor;
class CatalogueWindow;

namespace gw {
struct Notice;
}

/** What the main window needs of the detailed view window; the view registers itself when it exists. */
class DetailedViewLink
{
public:
    virtual ~DetailedViewLink() = default;
    /** Copies the main window's missing lists into the view. */
    virtual void CopyMissingList() = 0;
};

/**
 * The main window: the song list, the used, missing and download lists, the gear folder listings, the status line
 * and the scan log, and the handlers of its buttons.
 */
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    /** Everything the window takes from outside, so tests can run it in a temporary folder. */
    struct Setup
    {
        /** The program's own folder; empty for the folder holding the executable. */
        QString programFolder;
        /** The machine archive's base URL, ending in "/". */
        QString archiveBaseUrl;
        UserDialogs* dialogs = nullptr;
        std::shared_ptr<const gw::HostSettings> hostSettings;
    };

    static const QString kAppTitle;

    explicit MainWindow(const Setup& setup, QWidget* parent = nullptr);
    ~MainWindow() override;

    bool getDetailedFormShowing() const { return detailedFormShowing; }
    void setDetailedFormShowing(const bool& temp) { detailedFormShowing = temp; }
    QString getApp() const { return programFolder; }
    void setDetailedViewLink(DetailedViewLink* link) { m_detailedView = link; }

    /** The status line's text. */
    QString statusText() const;
    /** The scan log as text: every line followed by the line end. */
    QString logText() const;
    /** Installs a downloaded machine zip into the generators or the effects folder. */
    void UnzipToGenerators(const QString& zipPath);
    void UnzipToEffects(const QString& zipPath);

    /** The entries of the missing list of a kind, in order. */
    QStringList missingEntries(bool generators) const;
    /**
     * Selects, in the download list of a kind, every entry equal to filename in turn (so the last one ends
     * selected), each change running that list's selection handler as a click does.
     */
    void selectDownloadEntry(bool generators, const QString& filename);
    /** The detailed view while it is open. */
    CatalogueWindow* detailedView() const;

    /** The unzip object of the last install. */
    ZipExtractor* unzipObject() const { return m_unzip.get(); }
    /** The About box while it is open. */
    AboutBox* aboutBox() const { return m_about; }

signals:
    /** Every text the status line is given, in order; the label itself keeps only the last. */
    void statusChanged(const QString& text);

public slots:
    void Command1_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command9_Click();
    void Command10_Click();
    void Command11_Click();
    void Command14_Click();
    void Command15_Click();
    void Command16_Click();
    void Command19_Click();
    void Command20_Click();
    void Command21_Click();
    void DownloadMachineLists_Click();
    void Aboutbox_Click();
    void List2_Click();
    void List6_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class ScanToWindow;
    class WindowReport;
    struct CatalogueKind;

    void buildControls();
    void startUp();
    void SetProgramFolder(const QString& folder);
    void ReadHostFolder();
    void RefreshGearFolders();
    /** The host's gear folders, without a trailing separator. */
    QString generatorsPath() const;
    QString effectsPath() const;
    void ReadSongFolder();
    void ScanSong();
    void CheckMissingMachines();
    void refreshListing(QListWidget* listing, const QString& folder);
    bool makeFolder(const QString& path);
    void File1_Click();
    void File2_Click();
    void keepSingleFileSelection(QListWidget* clicked, QListWidget* other);
    void downloadListClicked(QListWidget* list, QListWidget* other, bool generators);
    void Form_Unload();

    void ReadGeneratorList();
    void ReadEffectList();
    void readCatalogue(const CatalogueKind& kind, QListWidget* list);

    void moveSelectedDll(QListWidget* listing, const QString& fromFolder, const QString& toFolder,
                         const QString& direction, const QString& presentBox, const QString& presentStatus);

    void setStatus(const QString& text, bool paintNow = false);
    void startLog(const QString& line);
    void clearLog();
    void appendLog(const QString& line);
    /** Sets the status line and appends the same text to the scan log. */
    void logStatus(const QString& text, bool paintNow = false);
    void showMessage(const QString& text);
    void showNotices(const std::vector<gw::Notice>& notices);
    /** Repaints at once, but at most once per screen frame, so long loops are not slowed by painting. */
    void paintNow(QWidget* widget);

    // The window's own values, named as the program's design names them.
    QString programFolder;
    QString hostFolder;
    QString songFolder;
    QString machinesBaseUrl;
    QString lineEnd;
    bool downloadInProgress = false;
    bool detailedFormShowing = false;

    QString m_archiveBaseUrl;
    UserDialogs* m_dialogs;
    std::shared_ptr<const gw::HostSettings> m_settings;
    DetailedViewLink* m_detailedView = nullptr;
    QPointer<AboutBox> m_about;
    QPointer<CatalogueWindow> m_detail;
    bool m_syncingDownloadLists = false;
    std::unique_ptr<ZipExtractor> m_unzip;
    QHash<QWidget*, QElapsedTimer> m_lastPaint;
    bool m_syncingListings = false;
    QString m_status;
    bool m_statusFlushPending = false;

    QListWidget* List1;
    QListWidget* List2;
    QListWidget* List3;
    QListWidget* List4;
    QListWidget* List5;
    QListWidget* List6;
    QListWidget* List7;
    QListWidget* File1;
    QListWidget* File2;
    QPlainTextEdit* Text1;
    QLabel* Label2;
    HttpTransfer* Inet1;
};
