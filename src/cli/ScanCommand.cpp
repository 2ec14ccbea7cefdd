#include "cli/ScanCommand.h"

#include "base/PathText.h"
#include "base/Platform.h"
#include "cli/TerminalSession.h"
#include "song/SongFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>
#include <ostream>

namespace gw::cli {

namespace {

QString decoded(const std::string& bytes)
{
    return QString::fromStdString(platform::ansiToUtf8(bytes));
}

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
                {QStringLiteral("kind"),
                 machine.isGenerator() ? QStringLiteral("generator") : QStringLiteral("effect")},
            });
        }
        QJsonObject song{
            {QStringLiteral("path"), displayPath(report.path)},
            {QStringLiteral("error"), report.error.isEmpty() ? QJsonValue() : QJsonValue(report.error)},
            {QStringLiteral("machines"), machines},
        };
        if (report.recovered) {
            song.insert(QStringLiteral("recovered"), true);
        }
        songs.append(song);
    }
    const auto array = [](const SortedNames& names) { return QJsonArray::fromStringList(names.names()); };
    QJsonArray matches;
    for (const MissingMatch& match : model.matchMissing()) {
        const auto orNull = [](const QString& text) { return text.isEmpty() ? QJsonValue() : QJsonValue(text); };
        matches.append(QJsonObject{
            {QStringLiteral("dll"), match.dll},
            {QStringLiteral("kind"),
             match.kind == MachineKind::Generator ? QStringLiteral("generator") : QStringLiteral("effect")},
            {QStringLiteral("entry"), orNull(match.entry)},
            {QStringLiteral("how"), orNull(match.howText())},
        });
    }
    const QJsonObject root{
        {QStringLiteral("hostFolder"), model.hostFolder()},
        {QStringLiteral("songs"), songs},
        {QStringLiteral("generatorsUsed"), array(model.used(MachineKind::Generator))},
        {QStringLiteral("effectsUsed"), array(model.used(MachineKind::Effect))},
        {QStringLiteral("missingGenerators"), array(model.missing(MachineKind::Generator))},
        {QStringLiteral("missingEffects"), array(model.missing(MachineKind::Effect))},
        {QStringLiteral("matches"), matches},
    };
    out << QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
    out.flush();
}

/** The songs the paths name, with a message for each path that names nothing; false when there was one. */
bool collect(const QStringList& paths, const char* command, QStringList& songs, std::ostream& err)
{
    std::vector<std::string> wanted;
    for (const QString& path : paths) {
        wanted.push_back(pathBytesFromText(path));
    }
    std::vector<std::string> notFound;
    for (const std::string& song : collectSongs(wanted, notFound)) {
        songs << textFromPathBytes(song);
    }
    for (const std::string& path : notFound) {
        err << "gearwarden " << command << ": " << path << ": no such file or folder\n";
    }
    return notFound.empty();
}

int exitStatus(const AppModel& model)
{
    for (const SongScanReport& report : model.lastScan()) {
        if (!report.error.isEmpty()) {
            return ExitError;
        }
    }
    return model.missing(MachineKind::Generator).isEmpty() && model.missing(MachineKind::Effect).isEmpty()
               ? ExitOk
               : ExitMissing;
}

} // namespace

int runScan(const ScanOptions& options, std::ostream& out, std::ostream& err)
{
    QStringList songs;
    if (!collect(options.paths, "scan", songs, err)) {
        return ExitError;
    }
    TerminalDialogs dialogs(err, false);
    const std::unique_ptr<AppModel> model =
        makeModel(QStringLiteral("scan"), options.programFolder, {}, options.hostFolder, dialogs, err, options.log);
    if (!model) {
        return ExitError;
    }
    model->scanSongs(songs);
    if (options.json) {
        printJson(*model, out);
    } else {
        printText(*model, options.log, out);
    }
    return exitStatus(*model);
}

int runFetchMissing(const ScanOptions& options, std::ostream& out, std::ostream& err)
{
    QStringList songs;
    if (!collect(options.paths, "fetch-missing", songs, err)) {
        return ExitError;
    }
    TerminalDialogs dialogs(err, options.yes);
    const std::unique_ptr<AppModel> model = makeModel(QStringLiteral("fetch-missing"), options.programFolder,
                                                      options.archiveUrl, options.hostFolder, dialogs, err);
    if (!model) {
        return ExitError;
    }
    model->scanSongs(songs);
    // The table is the output; what the transfers say is progress, on the error stream.
    followTransfer(*model, dialogs, err, err);
    const QList<FetchResult> results =
        model->fetchAllMissing(options.from) ? waitForTransfer(*model).fetched : QList<FetchResult>();

    QList<QStringList> table{
        {QStringLiteral("Machine"), QStringLiteral("Kind"), QStringLiteral("Entry"), QStringLiteral("Result")}};
    for (const FetchResult& done : results) {
        table << QStringList{done.match.dll,
                             done.match.kind == MachineKind::Generator ? QStringLiteral("generator")
                                                                       : QStringLiteral("effect"),
                             done.match.entry.isEmpty() ? QStringLiteral("-") : done.match.entry, done.resultText()};
    }
    std::vector<qsizetype> widths(4, 0);
    for (const QStringList& row : table) {
        for (int c = 0; c < 3; ++c) {
            widths[static_cast<std::size_t>(c)] = std::max(widths[static_cast<std::size_t>(c)], row.at(c).size());
        }
    }
    for (const QStringList& row : table) {
        QString line;
        for (int c = 0; c < 3; ++c) {
            line += row.at(c).leftJustified(widths[static_cast<std::size_t>(c)] + 2);
        }
        out << (line + row.at(3)).toStdString() << '\n';
    }
    out.flush();
    return exitStatus(*model);
}

} // namespace gw::cli
