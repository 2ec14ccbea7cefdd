#include "cli/ScanCommand.h"

#include "base/Platform.h"
#include "cli/TerminalSession.h"
#include "song/SongFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <ostream>

namespace gw::cli {

namespace {

QString decoded(const std::string& bytes) { return QString::fromStdString(platform::ansiToUtf8(bytes)); }

void printBlock(std::ostream& out, const char* heading, const QStringList& names)
{
    out << heading << '\n';
    for (const QString& name : names) {
        out << "  " << name.toStdString() << '\n';
    }
}

void printText(const AppModel& model, bool withLog, std::ostream& out)
{
    if (withLog) {
        for (const SongScanReport& report : model.lastScan()) {
            for (const QString& line : report.log) {
                out << line.toStdString() << '\n';
            }
            out << '\n';
        }
    }
    printBlock(out, "Generators used", model.used(MachineKind::Generator).names());
    printBlock(out, "Effects used", model.used(MachineKind::Effect).names());
    printBlock(out, "Missing Generators", model.missing(MachineKind::Generator).names());
    printBlock(out, "Missing Effects", model.missing(MachineKind::Effect).names());
    out.flush();
}

void printJson(const AppModel& model, std::ostream& out)
{
    QJsonArray songs;
    for (const SongScanReport& report : model.lastScan()) {
        QJsonArray machines;
        for (const MachineRef& machine : report.machines) {
            machines.append(QJsonObject{
                {QStringLiteral("name"), decoded(machine.name)},
                {QStringLiteral("dll"), decoded(machine.dll)},
                {QStringLiteral("kind"), machine.isGenerator() ? QStringLiteral("generator") : QStringLiteral("effect")},
            });
        }
        songs.append(QJsonObject{
            {QStringLiteral("path"), report.path},
            {QStringLiteral("error"), report.error.isEmpty() ? QJsonValue() : QJsonValue(report.error)},
            {QStringLiteral("machines"), machines},
        });
    }
    const auto array = [](const SortedNames& names) { return QJsonArray::fromStringList(names.names()); };
    const QJsonObject root{
        {QStringLiteral("hostFolder"), model.hostFolder()},
        {QStringLiteral("songs"), songs},
        {QStringLiteral("generatorsUsed"), array(model.used(MachineKind::Generator))},
        {QStringLiteral("effectsUsed"), array(model.used(MachineKind::Effect))},
        {QStringLiteral("missingGenerators"), array(model.missing(MachineKind::Generator))},
        {QStringLiteral("missingEffects"), array(model.missing(MachineKind::Effect))},
    };
    out << QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
    out.flush();
}

} // namespace

int runScan(const ScanOptions& options, std::ostream& out, std::ostream& err)
{
    std::vector<std::string> paths;
    for (const QString& path : options.paths) {
        paths.push_back(path.toStdString());
    }
    std::vector<std::string> notFound;
    const std::vector<std::string> songs = collectSongs(paths, notFound);
    for (const std::string& path : notFound) {
        err << "gearwarden scan: " << path << ": no such file or folder\n";
    }
    if (!notFound.empty()) {
        return ExitError;
    }
    TerminalDialogs dialogs(err, false);
    const std::unique_ptr<AppModel> model =
        makeModel(QStringLiteral("scan"), options.programFolder, {}, options.hostFolder, dialogs, err);
    if (!model) {
        return ExitError;
    }
    QStringList songPaths;
    for (const std::string& song : songs) {
        songPaths << QString::fromStdString(song);
    }
    model->scanSongs(songPaths);
    if (options.json) {
        printJson(*model, out);
    } else {
        printText(*model, options.log, out);
    }
    for (const SongScanReport& report : model->lastScan()) {
        if (!report.error.isEmpty()) {
            return ExitError;
        }
    }
    return model->missing(MachineKind::Generator).isEmpty() && model->missing(MachineKind::Effect).isEmpty()
               ? ExitOk
               : ExitMissing;
}

} // namespace gw::cli
