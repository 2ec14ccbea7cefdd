#include "cli/ScanCommand.h"

#include "base/Platform.h"
#include "cli/ScanRun.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <ostream>

namespace gw::cli {

namespace {

QString qs(const std::string& utf8) { return QString::fromStdString(utf8); }

QJsonArray jsonArray(const std::vector<std::string>& names)
{
    QJsonArray array;
    for (const std::string& name : names) {
        array.append(qs(name));
    }
    return array;
}

} // namespace

int runScan(const ScanOptions& options, const HostSettings& settings, std::ostream& out, std::ostream& err)
{
    ScanResult result;
    const int status = scanSongs(options, settings, result, err);
    if (!result.scanned) {
        return status;
    }
    if (!options.json) {
        printTextReport(result, options.log, out);
        return status;
    }
    QJsonArray songArray;
    for (const SongReport& report : result.reports) {
        QJsonArray machines;
        for (const MachineRef& machine : report.machines) {
            machines.append(QJsonObject{
                {QStringLiteral("name"), qs(platform::ansiToUtf8(machine.name))},
                {QStringLiteral("dll"), qs(platform::ansiToUtf8(machine.dll))},
                {QStringLiteral("kind"), machine.isGenerator() ? QStringLiteral("generator") : QStringLiteral("effect")},
            });
        }
        songArray.append(QJsonObject{
            {QStringLiteral("path"), qs(report.path)},
            {QStringLiteral("error"), report.error.empty() ? QJsonValue() : QJsonValue(qs(report.error))},
            {QStringLiteral("machines"), machines},
        });
    }
    const QJsonObject root{
        {QStringLiteral("hostFolder"), qs(result.hostFolder)},
        {QStringLiteral("songs"), songArray},
        {QStringLiteral("generatorsUsed"), jsonArray(result.generatorsUsed)},
        {QStringLiteral("effectsUsed"), jsonArray(result.effectsUsed)},
        {QStringLiteral("missingGenerators"), jsonArray(result.missingGenerators)},
        {QStringLiteral("missingEffects"), jsonArray(result.missingEffects)},
    };
    out << QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
    out.flush();
    return status;
}

} // namespace gw::cli
