// The main window's machine download, install and move handlers.
#include "app/Form1.h"

#include "app/NumberText.h"
#include "download/Inet.h"
#include "unzip/EntryName.h"
#include "unzip/cUnzip.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>

namespace {

QString numberText(qint64 number) { return QString::fromStdString(gw::NumberText(number)); }

} // namespace

// --- install ---------------------------------------------------------------------------------------------------

void Form1::unzipInto(const QString& zipPath, const QString& destination)
{
    m_unzip = std::make_unique<cUnzip>();
    logStatus(QStringLiteral("Unzipping ") + zipPath + QStringLiteral(" to ") + destination);
    m_unzip->setZipFile(zipPath);
    m_unzip->setUnzipFolder(destination);
    m_unzip->setOverwriteExisting(true);
    m_unzip->setPromptToOverwrite(false);
    // What the archive says while it is unpacked goes to the log, so a damaged zip does not pass unnoticed.
    connect(m_unzip.get(), &cUnzip::Progress, this, [this](qint32, const QString& message) {
        if (message.startsWith(QLatin1String("error")) || message.startsWith(QLatin1String("warning")) ||
            message.startsWith(QLatin1String("caution"))) {
            appendLog(message);
        }
    });
    m_unzip->Unzip();
    logStatus(QStringLiteral("Complete unzipped ") + zipPath + QStringLiteral(" to ") + destination);
}

void Form1::UnzipToGenerators(const QString& zipPath)
{
    unzipInto(zipPath, generatorsPath());
}

void Form1::UnzipToEffects(const QString& zipPath)
{
    unzipInto(zipPath, effectsPath());
}

// --- move ------------------------------------------------------------------------------------------------------

void Form1::moveSelectedDll(QListWidget* listing, const QString& fromFolder, const QString& toFolder,
                            const QString& direction, const QString& presentBox, const QString& presentStatus)
{
    const QList<QListWidgetItem*> selected = listing->selectedItems();
    if (!selected.isEmpty()) {
        const QString name = selected.first()->text();
        const QString from = fromFolder + QDir::separator() + name;
        const QString to = toFolder + QDir::separator() + name;
        if (!QFileInfo(to).isFile()) {
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
    enum class Source { None, Generators, Effects };
    QString entry;
    Source source = Source::None;
    if (!List2->selectedItems().isEmpty()) {
        entry = List2->selectedItems().first()->text();
        source = Source::Generators;
    }
    if (!List6->selectedItems().isEmpty()) {
        entry = List6->selectedItems().first()->text();
        source = Source::Effects;
    }
    if (entry.isEmpty()) {
        const QString text =
            QStringLiteral("No file selected from 'Download Generators' or 'Download Effects' machine lists");
        showMessage(text);
        setStatus(text);
        return;
    }
    // The entry names a file below the program folder; one that would leave it is not a machine zip.
    const QString saved = programFolder + entry;
    const std::optional<std::string> plainName = gw::safeEntryTarget(entry.toStdString(), false);
    if (!plainName || *plainName != entry.toStdString()) {
        const QString text = QStringLiteral("Refusing to download ") + entry +
                             QStringLiteral(": its name would be saved outside ") + programFolder;
        showMessage(text);
        setStatus(text);
        return;
    }
    clearLog();

    const QFileInfo existing(saved);
    if (existing.isFile() && existing.size() > 0) {
        logStatus(QStringLiteral("File exists ") + entry, true);
        const UserDialogs::Answer answer =
            m_dialogs->message(this,
                               QStringLiteral("File ") + entry + QStringLiteral(" exists.  File Length is ") +
                                   numberText(existing.size()) + QStringLiteral("  Overwrite?"),
                               QStringLiteral("File exists"), UserDialogs::Buttons::YesNo);
        if (answer != UserDialogs::Answer::Yes) {
            logStatus(QStringLiteral("Aborting download of ") + entry, true);
            return;
        }
        logStatus(QStringLiteral("Overwriting ") + entry, true);
    }

    const QString url = machinesBaseUrl + entry;
    setStatus(QStringLiteral("Downloading ") + url);
    appendLog(QStringLiteral("Downloading ") + url);
    appendLog(entry);
    downloadInProgress = true;

    Inet1->Execute(url, QStringLiteral("GET"));
    Inet1->waitWhileExecuting();

    const QString lengthHeader = Inet1->GetHeader(QStringLiteral("Content-Length"));
    if (lengthHeader.isEmpty()) {
        logStatus(QStringLiteral("Connected?  Did not download ") + entry);
        if (!Inet1->errorText().isEmpty()) {
            appendLog(Inet1->errorText());
        }
        downloadInProgress = false;
        return;
    }
    bool isNumber = false;
    const qint64 declared = lengthHeader.trimmed().toLongLong(&isNumber);
    if (!isNumber || declared < 0 || declared > INT32_MAX) {
        logStatus(QStringLiteral("Content-Length is not a usable number: ") + lengthHeader +
                  QStringLiteral(".  Did not download ") + entry);
        downloadInProgress = false;
        return;
    }
    logStatus(QStringLiteral("Content-Length is ") + numberText(declared), true);

    QFile file(saved);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        logStatus(QStringLiteral("Unable to write ") + saved + QStringLiteral(": ") + file.errorString());
        downloadInProgress = false;
        return;
    }
    qint64 remaining = declared;
    bool written = true;
    while (remaining != 0) {
        QByteArray chunk;
        if (remaining <= 1024) {
            chunk = Inet1->GetChunk(static_cast<int>(remaining), Inet::icByteArray);
            remaining = 0;
        } else {
            chunk = Inet1->GetChunk(1024, Inet::icByteArray);
            remaining -= 1024;
            if (chunk.isEmpty()) {
                remaining = 0;
            }
            setStatus(QStringLiteral("Downloading ") + entry + QStringLiteral("  ") + numberText(declared - remaining) +
                          QStringLiteral(" of ") + numberText(declared) + QStringLiteral(" bytes downloaded"),
                      true);
        }
        written = written && file.write(chunk) == chunk.size();
    }
    file.close();

    if (written && file.size() >= declared) {
        logStatus(QStringLiteral("Completed download of ") + entry + QStringLiteral("  ") + numberText(declared) +
                  QStringLiteral(" bytes"));
        QDir::setCurrent(programFolder);
        if (source == Source::Generators) {
            appendLog(QStringLiteral("Generators folder is unzip destination"));
            UnzipToGenerators(saved);
        } else {
            appendLog(QStringLiteral("Effects folder is unzip destination"));
            UnzipToEffects(saved);
        }
        RefreshGearFolders();
    } else {
        file.remove();
        logStatus(QStringLiteral("Did not complete download of ") + entry);
    }
    downloadInProgress = false;
}

void Form1::Command20_Click()
{
    if (!downloadInProgress) {
        return;
    }
    Inet1->Cancel();
    logStatus(QStringLiteral("Cancelling download"));
}
