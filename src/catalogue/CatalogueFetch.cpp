#include "catalogue/CatalogueFetch.h"

#include "base/NumberText.h"
#include "catalogue/CatalogueText.h"
#include "transfer/ContentEncoding.h"
#include "transfer/HttpTransfer.h"
#include "transfer/TransferReport.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

QString numberText(qint64 number) { return QString::fromStdString(gw::NumberText(number)); }

/** Fetches one page into the program folder: 0 without a content type, 1 when it arrived, -1 when it did not. */
int fetchPage(HttpTransfer& transfer, TransferReport& report, const QString& programFolder, const QString& archiveBaseUrl,
              const QString& page, bool firstPage)
{
    const QString url = archiveBaseUrl + page;
    report.status(QStringLiteral("Downloading ") + url);
    if (firstPage) {
        report.startLog(QStringLiteral("Downloading ") + url);
    } else {
        report.log(QStringLiteral("Downloading ") + url);
    }
    report.log(page);

    // No type, or the server's page saying no: nothing to keep.
    const QString contentType = fetchAndTakeHeader(transfer, report, url, QStringLiteral("Content-Type"), page);
    if (contentType.isEmpty()) {
        return 0;
    }
    qint64 received = 0;
    report.logStatus(QStringLiteral("Content-Type is ") + contentType, true);

    const QString path = programFolder + page;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        report.logStatus(QStringLiteral("Unable to write ") + path + QStringLiteral(": ") + file.errorString());
        return -1;
    }
    bool written = true;
    QByteArray chunk;
    do {
        chunk = transfer.read(1024);
        received += chunk.size();
        report.status(QStringLiteral("Downloading ") + page + QStringLiteral("  ") + numberText(received) +
                      QStringLiteral(" bytes downloaded"),
                  true);
        written = written && file.write(chunk) == chunk.size();
    } while (!chunk.isEmpty());
    file.close();
    if (!written) {
        file.remove();
        report.logStatus(QStringLiteral("Unable to write ") + path + QStringLiteral(": ") + file.errorString());
        return -1;
    }
    QString decodeError;
    if (!decodeSavedBody(path, transfer.header(QStringLiteral("Content-Encoding")), decodeError)) {
        QFile::remove(path);
        report.logStatus(QStringLiteral("Did not complete download of ") + page);
        report.log(decodeError);
        return -1;
    }
    if (file.size() > 0) {
        report.logStatus(QStringLiteral("Completed download of ") + page + QStringLiteral("  ") + numberText(received) +
                         QStringLiteral(" bytes"));
        return 1;
    }
    file.remove();
    report.logStatus(QStringLiteral("Did not complete download of ") + page);
    return -1;
}

/** Converts a saved page into its list file: 0 when the page is not there, 1 when converted, -1 on failure. */
int convertPage(TransferReport& report, const QString& programFolder, const QString& page, const QString& list)
{
    const QString source = programFolder + page;
    if (!QFileInfo(source).isFile()) {
        report.logStatus(page + QStringLiteral(" not found"));
        return 0;
    }
    QFile in(source);
    QSaveFile out(programFolder + list);
    // Written to a temporary file and renamed into place, so a failure keeps the previous list whole.
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) {
        report.logStatus(QStringLiteral("Unable to convert ") + source + QStringLiteral(" to ") + programFolder + list);
        return -1;
    }
    const QByteArray text = in.readAll();
    const std::string converted = gw::toDosLines(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
    out.write(converted.data(), static_cast<qint64>(converted.size()));
    if (!out.commit()) {
        report.logStatus(QStringLiteral("Unable to write ") + programFolder + list + QStringLiteral(": ") +
                         out.errorString());
        return -1;
    }
    return 1;
}

} // namespace

bool convertPagesToLists(TransferReport& report, const QString& programFolder)
{
    report.logStatus(QStringLiteral("Converting allgenerators.htm from UNIX to DOS"), true);
    const int generators =
        convertPage(report, programFolder, QStringLiteral("allgenerators.php"), QStringLiteral("allgenerators.txt"));
    report.logStatus(QStringLiteral("Converting alleffects.htm from UNIX to DOS"), true);
    const int effects =
        convertPage(report, programFolder, QStringLiteral("alleffects.php"), QStringLiteral("alleffects.txt"));
    if (effects == 0) {
        return false;
    }
    report.logStatus(QStringLiteral("Completed converting allgenerators.htm and alleffects.htm from UNIX to DOS"),
                     true);
    return generators > 0 && effects > 0;
}

bool fetchCatalogue(HttpTransfer& transfer, TransferReport& report, const QString& programFolder, const QString& archiveBaseUrl)
{
    const int generators =
        fetchPage(transfer, report, programFolder, archiveBaseUrl, QStringLiteral("allgenerators.php"), true);
    const int effects =
        fetchPage(transfer, report, programFolder, archiveBaseUrl, QStringLiteral("alleffects.php"), false);
    if (effects == 0) {
        return false;
    }
    const bool converted = convertPagesToLists(report, programFolder);
    return generators > 0 && effects > 0 && converted;
}
