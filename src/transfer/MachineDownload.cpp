#include "transfer/MachineDownload.h"

#include "base/NumberText.h"
#include "transfer/ContentEncoding.h"
#include "transfer/HttpTransfer.h"
#include "transfer/TransferReport.h"
#include "unzip/EntryName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString numberText(qint64 number) { return QString::fromStdString(gw::NumberText(number)); }

/** An entry that names a file of its own: no folder part, no drive, no "..", nothing unprintable. */
bool isPlainFileName(const QString& entry)
{
    const std::string name = entry.toStdString();
    const std::optional<std::string> target = gw::safeEntryTarget(name);
    return target && *target == name;
}

} // namespace

QUrl machineUrl(const QString& machinesBaseUrl, const QString& entry)
{
    QUrl url(machinesBaseUrl);
    url.setPath(url.path(QUrl::FullyEncoded) + entry, QUrl::TolerantMode);
    return url;
}

DownloadOutcome downloadMachine(HttpTransfer& transfer, TransferReport& report, const MachineDownloadJob& job,
                                const std::function<bool(const QString& zipPath)>& install, bool* installed)
{
    const QString& entry = job.entry;
    if (installed) {
        *installed = false;
    }
    // The entry becomes a file name in the program folder: one that could name a place elsewhere is refused.
    if (!isPlainFileName(entry)) {
        const QString text = QStringLiteral("Refusing to download ") + entry +
                             QStringLiteral(": it is not a plain file name, so it cannot be saved in ") +
                             job.programFolder;
        report.message(text);
        report.status(text);
        return DownloadOutcome::Refused;
    }
    report.clearLog();

    const QString saved = job.programFolder + entry;
    const QFileInfo existing(saved);
    if (existing.isFile() && existing.size() > 0) {
        report.logStatus(QStringLiteral("File exists ") + entry, true);
        const bool overwrite = report.askYesNo(QStringLiteral("File ") + entry +
                                                   QStringLiteral(" exists.  File Length is ") +
                                                   numberText(existing.size()) + QStringLiteral("  Overwrite?"),
                                               QStringLiteral("File exists"));
        if (!overwrite) {
            report.logStatus(QStringLiteral("Aborting download of ") + entry, true);
            return DownloadOutcome::Declined;
        }
        report.logStatus(QStringLiteral("Overwriting ") + entry, true);
    }

    const QString url = job.machinesBaseUrl + entry;
    report.status(QStringLiteral("Downloading ") + url);
    report.log(QStringLiteral("Downloading ") + url);
    report.log(entry);

    // No length, or the server's page saying no: nothing to keep.
    const QString lengthHeader = fetchAndTakeHeader(
        transfer, report, machineUrl(job.machinesBaseUrl, entry).toString(QUrl::FullyEncoded),
        QStringLiteral("Content-Length"), entry);
    if (lengthHeader.isEmpty()) {
        return DownloadOutcome::NoAnswer;
    }
    bool isNumber = false;
    const qint64 declared = lengthHeader.trimmed().toLongLong(&isNumber);
    if (!isNumber || declared < 0 || declared > INT32_MAX) {
        report.logStatus(QStringLiteral("Content-Length is not a usable number: ") + lengthHeader +
                         QStringLiteral(".  Did not download ") + entry);
        return DownloadOutcome::Failed;
    }
    report.logStatus(QStringLiteral("Content-Length is ") + numberText(declared), true);

    QFile file(saved);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        report.logStatus(QStringLiteral("Unable to write ") + saved + QStringLiteral(": ") + file.errorString());
        return DownloadOutcome::Failed;
    }
    qint64 remaining = declared;
    bool written = true;
    while (remaining != 0) {
        QByteArray chunk;
        if (remaining <= 1024) {
            chunk = transfer.read(static_cast<int>(remaining));
            remaining = 0;
        } else {
            chunk = transfer.read(1024);
            remaining -= 1024;
            if (chunk.isEmpty()) {
                remaining = 0;
            }
            report.status(QStringLiteral("Downloading ") + entry + QStringLiteral("  ") +
                              numberText(declared - remaining) + QStringLiteral(" of ") + numberText(declared) +
                              QStringLiteral(" bytes downloaded"),
                          true);
        }
        written = written && file.write(chunk) == chunk.size();
    }
    file.close();

    QString decodeError;
    const bool decoded = written && file.size() >= declared &&
                         decodeSavedBody(saved, transfer.header(QStringLiteral("Content-Encoding")), decodeError);
    if (!decoded) {
        QFile::remove(saved);
        report.logStatus(QStringLiteral("Did not complete download of ") + entry);
        if (!decodeError.isEmpty()) {
            report.log(decodeError);
        }
        return DownloadOutcome::Incomplete;
    }
    report.logStatus(QStringLiteral("Completed download of ") + entry + QStringLiteral("  ") + numberText(declared) +
                     QStringLiteral(" bytes"));
    QDir::setCurrent(job.programFolder);
    report.log(job.generators ? QStringLiteral("Generators folder is unzip destination")
                              : QStringLiteral("Effects folder is unzip destination"));
    const bool ok = install(saved);
    if (installed) {
        *installed = ok;
    }
    return DownloadOutcome::Completed;
}
