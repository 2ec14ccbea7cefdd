// The main window's machine download, install and move handlers.
#include "gui/MainWindow.h"
#include "gui/MainWindowReport.h"

#include "base/FolderEntries.h"
#include "transfer/HttpTransfer.h"
#include "transfer/MachineDownload.h"
#include "transfer/MachineInstall.h"
#include "unzip/ZipExtractor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>

// --- install ---------------------------------------------------------------------------------------------------

void MainWindow::UnzipToGenerators(const QString& zipPath)
{
    WindowReport report(*this);
    m_unzip = installZip(zipPath, generatorsPath(), report);
}

void MainWindow::UnzipToEffects(const QString& zipPath)
{
    WindowReport report(*this);
    m_unzip = installZip(zipPath, effectsPath(), report);
}

// --- move ------------------------------------------------------------------------------------------------------

void MainWindow::moveSelectedDll(QListWidget* listing, const QString& fromFolder, const QString& toFolder,
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

void MainWindow::Command9_Click()
{
    moveSelectedDll(File1, generatorsPath(),
                    effectsPath(),
                    QStringLiteral(" from Generators to Effects directory."),
                    QStringLiteral(" exists in Effects directory already. Deleting from Generators directory."),
                    QStringLiteral(" exists in Effects directory already. Deleted from Generators directory."));
}

void MainWindow::Command10_Click()
{
    moveSelectedDll(File2, effectsPath(),
                    generatorsPath(),
                    QStringLiteral(" from Effects to Generators directory."),
                    QStringLiteral(" exists in Generators directory already. Deleting from Effects directory."),
                    QStringLiteral(" exists in Generators directory already. Deleted from Effects directory."));
}

// --- download --------------------------------------------------------------------------------------------------

void MainWindow::Command19_Click()
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

void MainWindow::Command20_Click()
{
    if (!downloadInProgress) {
        return;
    }
    Inet1->Cancel();
    logStatus(QStringLiteral("Cancelling download"));
}
