#include "cli/TransferCommands.h"

#include "base/Platform.h"
#include "catalogue/CatalogueRows.h"
#include "catalogue/CatalogueText.h"
#include "cli/TerminalSession.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <ostream>

namespace gw::cli {

namespace {

QString text(std::string_view bytes)
{
    return QString::fromStdString(platform::ansiToUtf8(bytes));
}

// A transfer that did not end as asked; usage errors have their own status.
constexpr int kExitFailed = 1;

const char* const kFieldKeys[] = {"filename", "date", "developer", "name", "description", "type", "version", "status"};

} // namespace

int runCatalogue(const CatalogueOptions& options, std::ostream& out, std::ostream& err)
{
    const QString path = options.programFolder + QLatin1String(catalogueFiles(!options.effects).list);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        err << "gearwarden catalogue: cannot read " << path.toStdString() << ": " << file.errorString().toStdString()
            << '\n';
        return ExitError;
    }
    const QByteArray content = file.readAll();
    const std::string_view all(content.constData(), static_cast<std::size_t>(content.size()));
    const auto wanted = [&](const QStringList& fields) {
        return options.filter.isEmpty() || std::any_of(fields.begin(), fields.end(), [&](const QString& field) {
                   return field.contains(options.filter, Qt::CaseInsensitive);
               });
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

int runUpdateCatalogue(const QString& programFolder, const QString& archiveUrl, std::ostream& out, std::ostream& err)
{
    TerminalDialogs dialogs(err, false);
    AppModel::Setup setup;
    setup.programFolder = programFolder;
    setup.archiveBaseUrl = archiveUrl;
    setup.dialogs = &dialogs;
    setup.fixedHostFolder = programFolder; // the catalogue needs no host
    setup.createGearFolders = false;
    AppModel model(setup);
    followTransfer(model, dialogs, out, err);
    if (!model.fetchCatalogues()) {
        return kExitFailed;
    }
    return waitForTransfer(model).ok() ? ExitOk : kExitFailed;
}

int runDownload(const DownloadOptions& options, std::ostream& out, std::ostream& err)
{
    TerminalDialogs dialogs(err, options.yes);
    const std::unique_ptr<AppModel> model = makeModel(QStringLiteral("download"), options.programFolder,
                                                      options.archiveUrl, options.hostFolder, dialogs, err);
    if (!model) {
        return ExitError;
    }
    followTransfer(*model, dialogs, out, err);
    if (!model->download(options.generators ? MachineKind::Generator : MachineKind::Effect, options.entry)) {
        return kExitFailed;
    }
    return waitForTransfer(*model).ok() ? ExitOk : kExitFailed;
}

} // namespace gw::cli
