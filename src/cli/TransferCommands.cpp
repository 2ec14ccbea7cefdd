#include "cli/TransferCommands.h"

#include "host/HostDiscovery.h"
#include "base/Platform.h"
#include "catalogue/CatalogueFetch.h"
#include "catalogue/CatalogueRows.h"
#include "catalogue/CatalogueText.h"
#include "cli/ScanCommand.h"
#include "cli/StreamReport.h"
#include "transfer/HttpTransfer.h"
#include "transfer/MachineDownload.h"
#include "transfer/MachineInstall.h"
#include "unzip/ZipExtractor.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <ostream>

namespace gw::cli {

namespace {

QString text(std::string_view bytes) { return QString::fromStdString(platform::ansiToUtf8(bytes)); }

// A transfer that did not end as asked; usage errors have their own status.
constexpr int kExitFailed = 1;

const char* const kFieldKeys[] = {"filename", "date", "developer", "name", "description", "type", "version", "status"};

} // namespace

int runCatalogue(const CatalogueOptions& options, std::ostream& out, std::ostream& err)
{
    const QString path =
        options.programFolder + (options.effects ? QStringLiteral("alleffects.txt") : QStringLiteral("allgenerators.txt"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        err << "gearwarden catalogue: cannot read " << path.toStdString() << ": " << file.errorString().toStdString()
            << '\n';
        return ExitError;
    }
    const QByteArray content = file.readAll();
    const std::string_view all(content.constData(), static_cast<std::size_t>(content.size()));
    const auto wanted = [&](const QStringList& fields) {
        return options.filter.isEmpty() ||
               std::any_of(fields.begin(), fields.end(),
                           [&](const QString& field) { return field.contains(options.filter, Qt::CaseInsensitive); });
    };

    QJsonArray array;
    if (options.entries) {
        CatalogueLines lines(all);
        std::string_view line;
        while (lines.next(line)) {
            const std::optional<std::string_view> entry = catalogueEntry(line);
            if (!entry || !wanted({text(*entry)})) {
                continue;
            }
            if (options.json) {
                array.append(text(*entry));
            } else {
                out << text(*entry).toStdString() << '\n';
            }
        }
    } else {
        forEachCatalogueRow(all, [&](const CatalogueRow& row) {
            QStringList fields;
            for (const std::string& field : row.fields) {
                // A tab inside a field would shift the columns of the line.
                fields << text(field).replace(QLatin1Char('\t'), QLatin1Char(' '));
            }
            if (!wanted(fields)) {
                return;
            }
            if (options.json) {
                QJsonObject object;
                for (int i = 0; i < CatalogueRow::FieldCount; ++i) {
                    object.insert(QLatin1String(kFieldKeys[i]), fields.at(i));
                }
                array.append(object);
            } else {
                out << fields.join(QLatin1Char('\t')).toStdString() << '\n';
            }
        });
    }
    if (options.json) {
        out << QJsonDocument(array).toJson(QJsonDocument::Indented).toStdString();
    }
    out.flush();
    return ExitOk;
}

int runUpdateCatalogue(const QString& programFolder, const QString& archiveUrl, std::ostream& out,
                       std::ostream& err)
{
    StreamReport report(out, err, false);
    HttpTransfer inet;
    return fetchCatalogue(inet, report, programFolder, archiveUrl) ? ExitOk : kExitFailed;
}

int runDownload(const DownloadOptions& options, const HostSettings& settings, std::ostream& out, std::ostream& err)
{
    QString hostFolder;
    if (!options.hostFolder.isEmpty()) {
        hostFolder = QString::fromStdString(withTrailingSeparator(options.hostFolder.toStdString()));
        if (!folderExists(hostFolder.toStdString())) {
            err << "gearwarden download: host folder " << hostFolder.toStdString() << " does not exist\n";
            return ExitError;
        }
    } else {
        const HostFolder found = findHostFolder(settings, options.programFolder.toStdString());
        hostFolder = QString::fromStdString(found.folder);
        for (const Notice& notice : found.notices) {
            if (notice.kind == Notice::Kind::Message) {
                err << notice.text << '\n';
            }
        }
    }
    const QString destination = QString::fromStdString(options.generators ? generatorsFolder(hostFolder.toStdString())
                                                                          : effectsFolder(hostFolder.toStdString()));

    StreamReport report(out, err, options.yes);
    MachineDownloadJob job;
    job.entry = options.entry;
    job.generators = options.generators;
    job.programFolder = options.programFolder;
    job.machinesBaseUrl = options.archiveUrl + QStringLiteral("machines/");
    HttpTransfer inet;
    bool inProgress = false;
    bool installed = false;
    const DownloadOutcome outcome = downloadMachine(
        inet, report, job, inProgress,
        [&](const QString& zipPath) {
            if (!QDir().mkpath(destination)) {
                report.logStatus(QStringLiteral("Unable to create ") + destination);
                return false;
            }
            bool extracted = false;
            installZip(zipPath, destination, report, &extracted);
            return extracted;
        },
        &installed);
    return outcome == DownloadOutcome::Completed && installed ? ExitOk : kExitFailed;
}

} // namespace gw::cli
