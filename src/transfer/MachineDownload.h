#pragma once

#include "transfer/HttpTransfer.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class TransferReport;

/** One machine to fetch: its catalogue entry and the list it came from. */
struct MachineDownloadJob
{
    QString entry;
    bool generators = true;
    QString programFolder;   // ends in a separator
    QString machinesBaseUrl; // ends in "/"
    qint64 maxBytes = TransferLimits().maxZipBytes;
    int idleMs = TransferLimits().idleMs;
    int totalMs = TransferLimits().zipTotalMs;
};

/** What the install made of a downloaded zip: the one seam between the download and the unzip. */
struct InstallResult
{
    bool ok = false;
    QString reason; // why not, when it failed
};
using InstallStep = std::function<InstallResult(const QString& zipPath)>;

enum class DownloadEnd {
    Refused,      // the entry is no plain file name
    Declined,     // the user kept the existing file
    NoAnswer,     // no usable answer: none, cancelled, an error page, no Content-Length, a bad redirect, a limit
    Failed,       // a length that is no number, or a file that cannot be written
    Incomplete,   // the body did not arrive whole and checked; nothing was kept
    NotInstalled, // saved whole, but the install failed
    Installed,
};

/** What a machine download did, and the files it wrote or kept. */
struct DownloadOutcome
{
    DownloadEnd end = DownloadEnd::NoAnswer;
    QString reason;          // why it did not install; empty when it did
    QString zipPath;         // the zip in the program folder
    bool zipWritten = false; // this download put it there (otherwise any file of that name is the earlier one)
    bool installed() const { return end == DownloadEnd::Installed; }
};

/**
 * Downloads a machine zip into the program folder and hands it to install, reporting every step as the "Download"
 * button does. The zip is written beside its final name and put in place only once it arrived whole, decoded and
 * starting with a zip signature. Returns at once after starting the transfer; done gets the outcome from the event
 * loop (also for a download refused or declined before any transfer).
 */
void downloadMachine(HttpTransfer& transfer, TransferReport& report, const MachineDownloadJob& job,
                     const InstallStep& install, const std::function<void(const DownloadOutcome&)>& done);

/**
 * The URL of an entry below the machines base URL. The entry is text from a web page: what a URL cannot hold is
 * escaped ("#", "?", blanks), escapes it already has are kept.
 */
QUrl machineUrl(const QString& machinesBaseUrl, const QString& entry);
