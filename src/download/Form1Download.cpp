// The main window's machine download, install and move handlers.
#include "app/Form1.h"
#include "app/Form1Report.h"

#include "app/FolderEntries.h"
#include "download/Inet.h"
#include "download/MachineDownload.h"
#include "download/MachineInstall.h"
#include "unzip/cUnzip.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>

// --- install ---------------------------------------------------------------------------------------------------

void Form1::UnzipToGenerators(const QString& zipPath)
{
    WindowReport report(*this);
    m_unzip = installZip(zipPath, generatorsPath(), report);
}

void Form1::UnzipToEffects(const QString& zipPath)
{
    WindowReport report(*this);
    m_unzip = installZip(zipPath, effectsPath(), report);
}

// --- move ------------------------------------------------------------------------------------------------------

void Form1::moveSelectedDll(QListWidget* listing, const QString& fromFolder, const QString& toFolder,
                            const QString& direction, const QString& presentBox, const QString& presentStatus)
{
    const QList<QListWidgetItem*> selected = listing->selectedItems();
    if (!selected.isEmpty()) {
        const QString name = selected.first()->text();
        const QString from = fromFolder + QDir::separator() + name;
        // The host's platform ignores letter case: "kick.dll" there is this DLL too.
        const std::string present = gw::findEntryIgnoringCase(toFolder.toStdString(), name.toStdString());
        const QString to = toFolder + QDir::separator() + name;
        if (present.empty() || !QFileInfo(toFolder + QDir::separator() + QString::fromStdString(present)).isFile()) {
            showMessage(QStringLiteral("Moving ") + name + direction);
            if (QFile::rename(from, to)) {
                setStatus(QStringLiteral("Moved ") + name + direction);
            } else {
                setStatus(QStringLiteral("Unable to move ") + name + QStringLiteral(": it is in use, gone, or the "
                                                                                    "folder cannot be written."));
            }
        } else {
            showMessage(QStringLiteral("File ") + name + presentBox);
            if (QFile::remove(from)) {
                setStatus(QStringLiteral("File ") + name + presentStatus);
            } else {
                setStatus(QStringLiteral("Unable to delete ") + from +
                          QStringLiteral(": it is in use, gone, or the folder cannot be written."));
            }
        }
    }
    refreshListing(File1, generatorsPath());
    refreshListing(File2, effectsPath());
}

void Form1::Command9_Click()
{
    moveSelectedDll(File1, generatorsPath(),
                    effectsPath(),
                    QStringLiteral(" from Generators to Effects directory."),
                    QStringLiteral(" exists in Effects directory already. Deleting from Generators directory."),
                    QStringLiteral(" exists in Effects directory already. Deleted from Generators directory."));
}

void Form1::Command10_Click()
{
    moveSelectedDll(File2, effectsPath(),
                    generatorsPath(),
                    QStringLiteral(" from Effects to Generators directory."),
                    QStringLiteral(" exists in Generators directory already. Deleting from Effects directory."),
                    QStringLiteral(" exists in Generators directory already. Deleted from Effects directory."));
}

// --- download --------------------------------------------------------------------------------------------------

void Form1::Command19_Click()
{
    if (downloadInProgress) {
        showMessage(QStringLiteral("There is already a download in progress"));
        return;
    }
    MachineDownloadJob job;
    if (!List2->selectedItems().isEmpty()) {
        job.entry = List2->selectedItems().first()->text();
        job.generators = true;
    }
    // With both lists selected the effects entry wins.
    if (!List6->selectedItems().isEmpty()) {
        job.entry = List6->selectedItems().first()->text();
        job.generators = false;
    }
    if (job.entry.isEmpty()) {
        const QString text =
            QStringLiteral("No file selected from 'Download Generators' or 'Download Effects' machine lists");
        showMessage(text);
        setStatus(text);
        return;
    }
    job.programFolder = programFolder;
    job.machinesBaseUrl = machinesBaseUrl;
    WindowReport report(*this);
    downloadMachine(*Inet1, report, job, downloadInProgress, [this, &job](const QString& zipPath) {
        if (job.generators) {
            UnzipToGenerators(zipPath);
        } else {
            UnzipToEffects(zipPath);
        }
        RefreshGearFolders();
        return true;
    });
}

void Form1::Command20_Click()
{
    if (!downloadInProgress) {
        return;
    }
    Inet1->Cancel();
    logStatus(QStringLiteral("Cancelling download"));
}
