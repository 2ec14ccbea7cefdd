#include "transfer/MachineDownload.h"

#include "base/NumberText.h"
#include "base/SafeWrite.h"
#include "transfer/TransferReport.h"
#include "unzip/EntryName.h"

#include <QFileInfo>
#include <QTimer>

#include <memory>

namespace {

QString numberText(qint64 number)
{
    return QString::fromStdString(gw::NumberText(number));
}

/** An entry that names a file of its own: no folder part, no drive, no "..", nothing unprintable. */
bool isPlainFileName(const QString& entry)
{
    const std::string name = entry.toStdString();
    const std::optional<std::string> target = gw::safeEntryTarget(name);
    return target && *target == name;
}

/** Ends that stop a transfer for a reason the user must see on the status line, not only in the log. */
bool isLimit(FetchEnd end)
{
    return end == FetchEnd::Stalled || end == FetchEnd::TimedOut || end == FetchEnd::TooLarge ||
           end == FetchEnd::BadRedirect || end == FetchEnd::Refused || end == FetchEnd::WriteFailed;
}

/** Looks at the first bytes of a body: a zip archive starts with a local header or, when empty, its end record. */
struct ZipSignature
{
    QByteArray head;
    void inspect(const char* data, qint64 size)
    {
        if (head.size() < 4) {
            head.append(data, std::min<qint64>(size, 4 - head.size()));
        }
    }
    QString verdict(const QString& entry) const
    {
        if (head == QByteArrayLiteral("PK\x03\x04") || head == QByteArrayLiteral("PK\x05\x06")) {
            return {};
        }
        return entry + QStringLiteral(" is no zip archive (it starts with \"") +
               QString::fromLatin1(head.toPercentEncoding(" <>!/")) + QStringLiteral("\"); not kept");
    }
};

/** Ends from the event loop, as a transfer does, and not after the transfer (and its owner) is gone. */
void finishLater(HttpTransfer& transfer, const std::function<void(const DownloadOutcome&)>& done,
                 const DownloadOutcome& outcome)
{
    QTimer::singleShot(0, &transfer, [done, outcome] { done(outcome); });
}

} // namespace

QUrl machineUrl(const QString& machinesBaseUrl, const QString& entry)
{
    QUrl url(machinesBaseUrl);
    url.setPath(url.path(QUrl::FullyEncoded) + entry, QUrl::TolerantMode);
    return url;
}

void downloadMachine(HttpTransfer& transfer, TransferReport& report, const MachineDownloadJob& job,
                     const InstallStep& install, const std::function<void(const DownloadOutcome&)>& done)
{
    const QString entry = job.entry;
    DownloadOutcome outcome;
    outcome.zipPath = job.programFolder + entry;
    // The entry becomes a file name in the program folder: one that could name a place elsewhere is refused.
    if (!isPlainFileName(entry)) {
        const QString text = QStringLiteral("Refusing to download ") + entry +
                             QStringLiteral(": it is not a plain file name, so it cannot be saved in ") +
                             job.programFolder;
        report.message(text);
        report.status(text);
        outcome.end = DownloadEnd::Refused;
        outcome.reason = text;
        return finishLater(transfer, done, outcome);
    }
    report.clearLog();

    const QFileInfo existing(outcome.zipPath);
    if (existing.isFile() && existing.size() > 0) {
        report.logStatus(QStringLiteral("File exists ") + entry, true);
        const bool overwrite =
            report.askYesNo(QStringLiteral("File ") + entry + QStringLiteral(" exists.  File Length is ") +
                                numberText(existing.size()) + QStringLiteral("  Overwrite?"),
                            QStringLiteral("File exists"));
        if (!overwrite) {
            report.logStatus(QStringLiteral("Aborting download of ") + entry, true);
            outcome.end = DownloadEnd::Declined;
            outcome.reason = QStringLiteral("the earlier ") + entry + QStringLiteral(" was kept");
            return finishLater(transfer, done, outcome);
        }
        report.logStatus(QStringLiteral("Overwriting ") + entry, true);
    }

    const QString url = job.machinesBaseUrl + entry;
    report.status(QStringLiteral("Downloading ") + url);
    report.log(QStringLiteral("Downloading ") + url);
    report.log(entry);

    auto zip = std::make_shared<ZipSignature>();
    auto nextMark = std::make_shared<qint64>(1024);
    FetchRequest request;
    request.url = machineUrl(job.machinesBaseUrl, entry).toString(QUrl::FullyEncoded);
    request.target = outcome.zipPath;
    request.requiredHeader = "Content-Length";
    request.maxBytes = job.maxBytes;
    request.idleMs = job.idleMs;
    request.totalMs = job.totalMs;
    request.inspect = [zip](const char* data, qint64 size) { zip->inspect(data, size); };
    request.verdict = [zip, entry] { return zip->verdict(entry); };
    auto length = std::make_shared<qint64>(0);
    request.onHeaders = [&report, length](const FetchOutcome& headers) {
        *length = headers.declared;
        report.logStatus(QStringLiteral("Content-Length is ") + numberText(headers.declared), true);
    };
    // A progress line for every full 1024 bytes short of the end, as the window has always shown it.
    request.onProgress = [&report, entry, nextMark, length](qint64 received) {
        report.progress(received, *length);
        for (; *nextMark <= received && *nextMark < *length; *nextMark += 1024) {
            report.status(QStringLiteral("Downloading ") + entry + QStringLiteral("  ") + numberText(*nextMark) +
                              QStringLiteral(" of ") + numberText(*length) + QStringLiteral(" bytes downloaded"),
                          true);
        }
    };
    request.onDone = [&report, job, install, done, outcome](const FetchOutcome& fetched) mutable {
        const QString& entry = job.entry;
        if (fetched.end == FetchEnd::BadLength) {
            report.logStatus(QStringLiteral("Content-Length is not a usable number: ") + fetched.contentLength +
                             QStringLiteral(".  Did not download ") + entry);
            outcome.end = DownloadEnd::Failed;
            outcome.reason = fetched.reason;
        } else if (!fetched.headersAccepted) {
            report.logStatus(QStringLiteral("Connected?  Did not download ") + entry);
            if (isLimit(fetched.end)) {
                report.logStatus(fetched.reason);
            } else if (!fetched.reason.isEmpty()) {
                report.log(fetched.reason);
            }
            outcome.end = fetched.end == FetchEnd::WriteFailed ? DownloadEnd::Failed : DownloadEnd::NoAnswer;
            outcome.reason = fetched.end == FetchEnd::Cancelled ? QStringLiteral("cancelled") : fetched.reason;
        } else if (fetched.end != FetchEnd::Received) {
            report.logStatus(QStringLiteral("Did not complete download of ") + entry);
            if (isLimit(fetched.end)) {
                report.logStatus(fetched.reason);
            } else if (!fetched.reason.isEmpty()) {
                report.log(fetched.reason);
            }
            outcome.end = DownloadEnd::Incomplete;
            outcome.reason = fetched.end == FetchEnd::Cancelled ? QStringLiteral("cancelled") : fetched.reason;
        } else if (!fetched.file->commit()) {
            outcome.end = DownloadEnd::Failed;
            outcome.reason = QStringLiteral("Unable to write ") + outcome.zipPath + QStringLiteral(": ") +
                             fetched.file->outcome().reason;
            report.logStatus(outcome.reason);
        } else {
            outcome.zipWritten = true;
            report.logStatus(QStringLiteral("Completed download of ") + entry + QStringLiteral("  ") +
                             numberText(fetched.declared) + QStringLiteral(" bytes"));
            report.log(job.generators ? QStringLiteral("Generators folder is unzip destination")
                                      : QStringLiteral("Effects folder is unzip destination"));
            const InstallResult installed = install(outcome.zipPath);
            outcome.end = installed.ok ? DownloadEnd::Installed : DownloadEnd::NotInstalled;
            outcome.reason = installed.reason;
        }
        done(outcome);
    };
    if (!transfer.start(std::move(request))) {
        outcome.end = DownloadEnd::Failed;
        outcome.reason = QStringLiteral("another transfer is running");
        finishLater(transfer, done, outcome);
    }
}
