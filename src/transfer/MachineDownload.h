#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class HttpTransfer;
class TransferReport;

/** One machine to fetch: its catalogue entry and the list it came from. */
struct MachineDownloadJob
{
    QString entry;
    bool generators = true;
    QString programFolder;   // ends in a separator
    QString machinesBaseUrl; // ends in "/"
};

enum class DownloadOutcome {
    Refused,    // the entry is no plain file name
    Declined,   // the user kept the existing file
    NoAnswer,   // no Content-Length: no answer, cancelled, or a response without it
    Failed,     // a length that is no number, or a file that cannot be written
    Incomplete, // fewer bytes than declared; the file is deleted
    Completed,  // saved whole and handed to the install
};

/**
 * Downloads a machine zip into the program folder and hands it to install, reporting every step as the
 * "Download" button does. install gets the saved zip's path and says whether it was installed.
 */
DownloadOutcome downloadMachine(HttpTransfer& transfer, TransferReport& report, const MachineDownloadJob& job,
                                const std::function<bool(const QString& zipPath)>& install, bool* installed = nullptr);

/**
 * The URL of an entry below the machines base URL. The entry is text from a web page: what a URL cannot hold is
 * escaped ("#", "?", blanks), escapes it already has are kept.
 */
QUrl machineUrl(const QString& machinesBaseUrl, const QString& entry);
