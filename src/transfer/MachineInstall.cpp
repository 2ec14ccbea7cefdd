#include "transfer/MachineInstall.h"

#include "transfer/TransferReport.h"
#include "unzip/ZipExtractor.h"

bool installZip(const QString& zipPath, const QString& destination, TransferReport& report)
{
    ZipExtractor unzip;
    report.logStatus(QStringLiteral("Unzipping ") + zipPath + QStringLiteral(" to ") + destination);
    unzip.setZipFile(zipPath);
    unzip.setDestinationFolder(destination);
    unzip.setOverwriteExisting(true);
    unzip.setPromptToOverwrite(false);
    // What the archive says while it is unpacked goes to the log, so a damaged zip does not pass unnoticed.
    QObject::connect(&unzip, &ZipExtractor::progress, [&report](qint32, const QString& message) {
        if (message.startsWith(QLatin1String("error")) || message.startsWith(QLatin1String("warning")) ||
            message.startsWith(QLatin1String("caution"))) {
            report.log(message);
        }
    });
    const bool ok = unzip.extract();
    report.logStatus(QStringLiteral("Complete unzipped ") + zipPath + QStringLiteral(" to ") + destination);
    return ok;
}
