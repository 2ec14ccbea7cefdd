#include "transfer/MachineInstall.h"

#include "transfer/TransferReport.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString archiveProblem(const gw::UnzipReport& unzip)
{
    switch (unzip.state) {
    case gw::ArchiveState::NotAZip:
        return QStringLiteral("it is not a zip archive (the server may have sent a web page)");
    case gw::ArchiveState::Unreadable:
        return QStringLiteral("the zip cannot be read (") + unzip.detail + QLatin1Char(')');
    case gw::ArchiveState::TooManyEntries:
    case gw::ArchiveState::TooLarge:
        return QStringLiteral("refused as a zip bomb: ") + unzip.detail;
    case gw::ArchiveState::Read:
        break;
    }
    return {};
}

} // namespace

gw::UnzipOptions machineUnzipOptions(const QString& gearFolder, bool overwrite, const QDateTime& now)
{
    gw::UnzipOptions options;
    options.overwrite = overwrite;
    // Beside the gear folders, not in them: the host, which loads every DLL in them, never loads a backup.
    const QFileInfo gearKind(gearFolder);
    options.backupFolder = gearKind.absolutePath() + QStringLiteral("/backup");
    options.backupSubfolder = gearKind.fileName().toLower();
    options.backupTime = now;
    return options;
}

QString skipText(const gw::UnzippedEntry& entry)
{
    using gw::SkipReason;
    switch (entry.skip) {
    case SkipReason::UnsafeName:
        return QStringLiteral("its name leads outside the folder");
    case SkipReason::TooLarge:
    case SkipReason::PackedTight:
        return entry.detail;
    case SkipReason::Damaged:
        return QStringLiteral("it is damaged (") + entry.detail + QLatin1Char(')');
    case SkipReason::Encrypted:
        return QStringLiteral("it is encrypted, and no password is given");
    case SkipReason::TargetIsLink:
        return QStringLiteral("the file it would replace is a link, which is not followed (") + entry.detail +
               QLatin1Char(')');
    case SkipReason::WriteFailed:
        switch (entry.write) {
        case gw::WriteFailure::CannotCreate:
            return QStringLiteral("the system refuses to write in ") +
                   QDir::toNativeSeparators(QFileInfo(entry.path).path()) + QStringLiteral(" (") + entry.detail +
                   QLatin1Char(')');
        case gw::WriteFailure::CommitFailed:
            return QStringLiteral("the file there is in use or cannot be replaced (") + entry.detail + QLatin1Char(')');
        case gw::WriteFailure::WriteFailed:
            return QStringLiteral("the disk refused the bytes (") + entry.detail + QLatin1Char(')');
        default:
            return entry.detail;
        }
    case SkipReason::None:
        break;
    }
    return {};
}

MachineInstall installZip(const QString& zipPath, const QString& destination, TransferReport& report,
                          const QDateTime& now)
{
    MachineInstall outcome;
    report.logStatus(QStringLiteral("Unzipping ") + zipPath + QStringLiteral(" to ") + destination);
    outcome.unzip = gw::unzipFlat(zipPath, destination, machineUnzipOptions(destination, true, now));

    const gw::UnzippedEntry* firstSkipped = nullptr;
    for (const gw::UnzippedEntry& entry : outcome.unzip.entries) {
        const QString file = QFileInfo(entry.path).fileName();
        if (entry.result == gw::EntryResult::BackedUp) {
            report.log(QStringLiteral("kept the previous ") + file + QStringLiteral(" as ") + entry.backup);
        } else if (entry.result == gw::EntryResult::Skipped) {
            report.log(QStringLiteral("skipped ") + entry.name + QStringLiteral(": ") + skipText(entry));
            firstSkipped = firstSkipped ? firstSkipped : &entry;
        }
    }
    const QString zipName = QFileInfo(zipPath).fileName();
    if (outcome.unzip.state != gw::ArchiveState::Read) {
        outcome.problem = archiveProblem(outcome.unzip);
    } else if (firstSkipped && firstSkipped->skip == gw::SkipReason::WriteFailed &&
               firstSkipped->write == gw::WriteFailure::CannotCreate) {
        outcome.problem = skipText(*firstSkipped) +
                          QStringLiteral(".  Run Gearwarden once as administrator, or move the host to a folder you "
                                         "can write to");
    } else if (firstSkipped && firstSkipped->skip == gw::SkipReason::WriteFailed &&
               firstSkipped->write == gw::WriteFailure::CommitFailed) {
        const QString file = QFileInfo(firstSkipped->path).fileName();
        outcome.problem = file + QStringLiteral(" is in use, probably by the host (") + firstSkipped->detail +
                          QStringLiteral(").  The installed ") + file +
                          QStringLiteral(" is intact; close the host and install it again");
    } else if (firstSkipped) {
        outcome.problem = firstSkipped->name + QStringLiteral(": ") + skipText(*firstSkipped);
    } else if (outcome.unzip.installed() == 0) {
        outcome.problem = QStringLiteral("it holds no file to install");
    }
    outcome.installed = outcome.problem.isEmpty();
    if (outcome.installed) {
        report.logStatus(QStringLiteral("Complete unzipped ") + zipPath + QStringLiteral(" to ") + destination);
    } else {
        outcome.problem = QStringLiteral("Unable to install ") + zipName + QStringLiteral(": ") + outcome.problem;
        report.log(outcome.problem); // the caller puts it on the status line, and in a message where it fits
    }
    return outcome;
}
