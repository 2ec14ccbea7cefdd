#include "cli/CommandLine.h"

#include "app/HostSettings.h"
#include "app/ProgramFolder.h"
#include "cli/ScanCommand.h"

#include <QCoreApplication>
#include <QDir>

#include <ostream>

namespace gw::cli {

namespace {

const char* const kVersion = "gearwarden 1.0";

/** Takes the value of an option that needs one; false when it is missing. */
bool takeValue(const QStringList& arguments, qsizetype& i, QString& value)
{
    if (i + 1 >= arguments.size()) {
        return false;
    }
    value = arguments.at(++i);
    return true;
}

std::string local(const QString& path) { return QDir::toNativeSeparators(path).toStdString(); }

int usageError(std::ostream& err, const QString& message)
{
    err << "gearwarden: " << message.toStdString() << "\nTry 'gearwarden --help'.\n";
    return ExitError;
}

} // namespace

QString helpText()
{
    return QStringLiteral(
        "Usage: gearwarden [--program-folder DIR] [--archive-url URL]\n"
        "       gearwarden scan [--host-folder DIR] [--program-folder DIR] [--log] [--json] PATH...\n"
        "       gearwarden --help | --version\n"
        "\n"
        "Without a command Gearwarden opens its window.\n"
        "\n"
        "Commands:\n"
        "  scan PATH...           Read the songs and report the machines they use and which of them are\n"
        "                         missing from the host's gear folders. PATH is a .bmx or .bmw song, or a\n"
        "                         folder searched recursively for them (any letter case), in path order.\n"
        "\n"
        "Options:\n"
        "  --program-folder DIR   Use DIR as the program's own folder (catalogue files, downloads) instead\n"
        "                         of the folder holding the executable.\n"
        "  --archive-url URL      The machine archive's base URL, ending in '/'.\n"
        "  --host-folder DIR      (scan) Check against the host installation in DIR instead of the one\n"
        "                         named by the host's settings (the registry, or Wine's user.reg).\n"
        "  --log                  (scan) Print each song's scan log before the report.\n"
        "  --json                 (scan) Print one JSON object instead of the text report.\n"
        "  --help                 Print this help and exit.\n"
        "  --version              Print the version and exit.\n"
        "\n"
        "Exit status of scan: 0 nothing missing, 1 machines missing, 2 usage error or a song that could\n"
        "not be read.\n");
}

bool wantsCommandLine(const QStringList& arguments)
{
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("scan") || argument == QLatin1String("--help") ||
            argument == QLatin1String("-h") || argument == QLatin1String("--version")) {
            return true;
        }
    }
    return false;
}

bool parseWindowOptions(const QStringList& arguments, CommonOptions& options, QString& error)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        QString* target = nullptr;
        if (argument == QLatin1String("--program-folder")) {
            target = &options.programFolder;
        } else if (argument == QLatin1String("--archive-url")) {
            target = &options.archiveUrl;
        } else {
            error = QStringLiteral("unknown argument '%1'").arg(argument);
            return false;
        }
        if (!takeValue(arguments, i, *target)) {
            error = QStringLiteral("%1 needs a value").arg(argument);
            return false;
        }
    }
    return true;
}

int run(const QStringList& arguments, std::ostream& out, std::ostream& err)
{
    if (arguments.contains(QLatin1String("--help")) || arguments.contains(QLatin1String("-h"))) {
        out << helpText().toStdString();
        return ExitOk;
    }
    if (arguments.contains(QLatin1String("--version"))) {
        out << kVersion << '\n';
        return ExitOk;
    }
    const qsizetype command = arguments.indexOf(QLatin1String("scan"));
    ScanOptions options;
    QString programFolder;
    QString hostFolder;
    QString archiveUrl;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (i == command) {
            continue;
        }
        QString* target = nullptr;
        if (argument == QLatin1String("--program-folder")) {
            target = &programFolder;
        } else if (argument == QLatin1String("--host-folder")) {
            target = &hostFolder;
        } else if (argument == QLatin1String("--archive-url")) {
            target = &archiveUrl;
        } else if (argument == QLatin1String("--log")) {
            options.log = true;
            continue;
        } else if (argument == QLatin1String("--json")) {
            options.json = true;
            continue;
        } else if (argument.startsWith(QLatin1String("--"))) {
            return usageError(err, QStringLiteral("unknown option '%1'").arg(argument));
        } else {
            options.paths.push_back(local(argument));
            continue;
        }
        if (!takeValue(arguments, i, *target)) {
            return usageError(err, QStringLiteral("%1 needs a value").arg(argument));
        }
    }
    if (command < 0) {
        return usageError(err, QStringLiteral("no command given"));
    }
    if (options.paths.empty()) {
        return usageError(err, QStringLiteral("scan needs at least one song file or folder"));
    }
    if (options.log && options.json) {
        return usageError(err, QStringLiteral("--log and --json cannot be used together"));
    }
    options.programFolder = resolveProgramFolder(programFolder).toStdString();
    options.hostFolder = hostFolder.isEmpty() ? std::string() : local(hostFolder);
    const std::unique_ptr<HostSettings> settings = makePlatformHostSettings();
    return runScan(options, *settings, out, err);
}

} // namespace gw::cli
