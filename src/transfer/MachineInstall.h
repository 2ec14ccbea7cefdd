#pragma once

#include "unzip/Unzip.h"

#include <QDateTime>
#include <QString>

class TransferReport;

/** What installing a machine zip did. */
struct MachineInstall
{
    gw::UnzipReport unzip;
    /** Every file of the zip is in the gear folder now. */
    bool installed = false;
    /** For a failure: what failed and what the user can do, in one text for the status line or a message. */
    QString problem;
};

/**
 * Unzips a machine zip into a gear folder: every file straight into the folder, existing files replaced without
 * asking; a file of other content is first kept in the backup folder beside the gear folders (gear/backup/<time>/
 * <generators or effects>). Logs its start, each backup and each file not installed, then "Complete unzipped" when
 * the whole zip was installed (also on the status line), or the problem, which the caller shows.
 */
MachineInstall installZip(const QString& zipPath, const QString& destination, TransferReport& report,
                          const QDateTime& now = QDateTime::currentDateTime());

/**
 * How machines are unzipped into a gear folder (generators or effects): a DLL of other content that a machine
 * replaces is first kept in the backup folder beside the gear folders, gear/backup/<now>/<generators or effects>.
 */
gw::UnzipOptions machineUnzipOptions(const QString& gearFolder, bool overwrite,
                                     const QDateTime& now = QDateTime::currentDateTime());

/** Why an entry was not installed, in a few words for the log ("packed 5000 to 1, more than a machine can be"). */
QString skipText(const gw::UnzippedEntry& entry);
