#include "cli/CommandLine.h"

#include "base/Version.h"
#include "cli/BundleCommands.h"
#include "cli/GearCommands.h"
#include "cli/ScanCommand.h"
#include "cli/TerminalSession.h"
#include "cli/TransferCommands.h"
#include "host/ArchiveAddress.h"
#include "host/ProgramFolder.h"

#include <QDir>
#include <QHash>
#include <QSet>

#include <ostream>

namespace gw::cli {

namespace {

const std::string kVersion = std::string("gearwarden ") + gw::kVersion;

/** The options a command takes: those with a value, and the flags. */
struct CommandInfo
{
    const char* name;
    QStringList valued;
    QStringList flags;
    const char* usage;
    const char* help;
};

const QList<CommandInfo>& commands()
{
    static const QList<CommandInfo> list = {
        {"scan",
         {QStringLiteral("--host-folder"), QStringLiteral("--program-folder"), QStringLiteral("--archive-url")},
         {QStringLiteral("--log"), QStringLiteral("--json")},
         "gearwarden scan [--host-folder DIR] [--program-folder DIR] [--log] [--json] PATH...",
         "Read the songs and report the machines they use and which of them are missing from the host's gear\n"
         "folders. PATH is a .bmx or .bmw song, or a folder searched recursively for them (any letter case), in\n"
         "path order.\n"
         "  --host-folder DIR   check against the host installation in DIR instead of the one named by the host's\n"
         "                      settings (the registry, or Wine's user.reg)\n"
         "  --log               print each song's scan log before the report\n"
         "  --json              print one JSON object instead of the text report; its \"matches\" give each missing\n"
         "                      machine's catalogue entry and how it was matched (\"name\", \"close\", \"file "
         "name\"),\n"
         "                      or \"move\" for a machine lying in the other gear folder\n"
         "Exit status: 0 nothing missing, 1 machines missing, 2 usage error or a song that could not be read.\n"},
        {"fetch-missing",
         {QStringLiteral("--host-folder"), QStringLiteral("--program-folder"), QStringLiteral("--archive-url"),
          QStringLiteral("--from")},
         {QStringLiteral("--yes")},
         "gearwarden fetch-missing [--yes] [--from DIR]... [--host-folder DIR] [--program-folder DIR]\n"
         "                         [--archive-url URL] PATH...",
         "Scan the songs as scan does, find each missing machine in the catalogue lists, download and install\n"
         "every one found (each zip once), move the machines that lie in the other gear folder, check again, and\n"
         "print a table: machine, kind, catalogue entry, result (\"installed\", \"installed from FILE\", \"moved\",\n"
         "\"no match\", \"failed: ...\"). Progress goes to standard error.\n"
         "  --from DIR          first look for each missing machine in DIR (repeatable), recursively: NAME.dll in\n"
         "                      any letter case, or an entry NAME.dll in any folder of a .zip; a file that is not a\n"
         "                      Windows DLL is skipped. The archive is asked only for the machines not found there\n"
         "  --yes               overwrite earlier downloads of the same names\n"
         "Exit status: 0 nothing missing afterwards, 1 machines still missing, 2 usage error or a song that could\n"
         "not be read.\n"},
        {"bundle",
         {QStringLiteral("--host-folder"), QStringLiteral("--program-folder"), QStringLiteral("-o")},
         {},
         "gearwarden bundle [--host-folder DIR] -o OUT.zip SONG...",
         "Write OUT.zip holding each song at its top level and every machine the songs use (but the host's own)\n"
         "that is installed, as gear/generators/NAME.dll or gear/effects/NAME.dll by the kind the songs use it as,\n"
         "found in either gear folder, plus machines.txt: each machine, its kind and whether the zip holds it,\n"
         "and for each DLL in the zip its SHA-256 and architecture (tab-separated).\n"
         "The zip is written under a temporary name and renamed.\n"
         "Exit status: 0 every machine is in the zip, 1 some are missing here (the zip is still written), 2 usage\n"
         "error or a song that could not be read.\n"},
        {"install-bundle",
         {QStringLiteral("--host-folder"), QStringLiteral("--program-folder"), QStringLiteral("--songs-to")},
         {QStringLiteral("--yes")},
         "gearwarden install-bundle [--yes] [--host-folder DIR] [--songs-to DIR] BUNDLE.zip",
         "Install a bundle's DLLs (those directly in gear/generators/ and gear/effects/) into the host's gear\n"
         "folders and its songs (.bmx and .bmw at its top level) into --songs-to (default: the current folder).\n"
         "Anything else in the zip is listed and skipped; nothing is written outside those folders. Each DLL is\n"
         "checked against machines.txt: one it does not list, or whose SHA-256 differs, is skipped; a bundle whose\n"
         "machines.txt gives no SHA-256 (made by an earlier version) is installed with a note that it is not\n"
         "verified. Each installed DLL's architecture is logged, with a warning when the host cannot load it.\n"
         "  --yes               replace files that are there already (otherwise they are kept)\n"
         "Exit status: 0 everything was installed, 1 something was skipped or kept, 2 usage error or a bundle\n"
         "that cannot be read.\n"},
        {"catalogue",
         {QStringLiteral("--program-folder")},
         {QStringLiteral("--effects"), QStringLiteral("--entries"), QStringLiteral("--json")},
         "gearwarden catalogue [--program-folder DIR] [--effects] [--entries] [--json] [FILTER]",
         "Print the machines of allgenerators.txt (alleffects.txt with --effects) in file order: the eight fields\n"
         "of each row (filename, date, developer, name, description, type, version, status), tab-separated.\n"
         "  --entries           print the download-list entries instead, one a line\n"
         "  --json              print a JSON array (of objects, or of strings with --entries)\n"
         "  FILTER              keep rows or entries that contain it in any field, ignoring letter case\n"},
        {"update-catalogue",
         {QStringLiteral("--program-folder"), QStringLiteral("--archive-url")},
         {},
         "gearwarden update-catalogue [--program-folder DIR] [--archive-url URL]",
         "Fetch allgenerators.php and alleffects.php from the archive and convert them into allgenerators.txt\n"
         "and alleffects.txt, as \"Download Machine Lists\" does. Status texts go to standard error, the log to\n"
         "standard output. Exit status 0 only when both pages were fetched and converted.\n"},
        {"download",
         {QStringLiteral("--host-folder"), QStringLiteral("--program-folder"), QStringLiteral("--archive-url")},
         {QStringLiteral("--generator"), QStringLiteral("--effect"), QStringLiteral("--yes")},
         "gearwarden download (--generator|--effect) ENTRY [--yes] [--host-folder DIR] [--program-folder DIR]\n"
         "                    [--archive-url URL]",
         "Download the machine zip ENTRY (a download-list entry) into the program folder and unzip it into the\n"
         "host's generators (--generator) or effects (--effect) folder, as \"Download\" does.\n"
         "  --yes               overwrite an earlier download of the same name (otherwise the run stops)\n"
         "  --host-folder DIR   install into the host installation in DIR\n"
         "Exit status 0 only when the zip was downloaded whole and unzipped.\n"},
        {"gear",
         {QStringLiteral("--host-folder"), QStringLiteral("--program-folder"), QStringLiteral("--archive-url")},
         {QStringLiteral("--json")},
         "gearwarden gear [--host-folder DIR] [--json] [SONG_OR_FOLDER...]",
         "List every DLL in the host's two gear folders: kind (its folder), file name, size, modification time\n"
         "(UTC), SHA-256, architecture (x86, x64, arm64, .NET any CPU, .NET x86, .NET x64, or not a Windows DLL)\n"
         "and flags: \"not a Windows DLL\", \"other architecture than the host\" (the host's from its buzz.exe),\n"
         "\"in both folders, same content\" or \"... different content\", and, when songs (or folders searched for\n"
         "them) are given, how many of them use each machine and \"unused\" for those none uses.\n"
         "  --host-folder DIR   list the host installation in DIR instead of the one named by the host's settings\n"
         "  --json              print one JSON object: \"host\" {folder, architecture} and \"machines\"\n"
         "                      [{kind, file, size, modified, sha256, architecture, flags, used_by}]\n"
         "Exit status: 0 nothing flagged, 1 something flagged, 2 usage error, a song or DLL that could not be read.\n"},
        {"where-used",
         {QStringLiteral("--program-folder"), QStringLiteral("--archive-url")},
         {},
         "gearwarden where-used NAME PATH...",
         "Print each song under PATH (a song, or a folder searched recursively) that uses the machine NAME, the DLL\n"
         "name as songs store it (with or without .dll, any letter case), and whether as a generator or an effect.\n"
         "Songs that cannot be read are named on standard error; the machines read before the damage count.\n"
         "Exit status: 0 some song uses it, 1 none does, 2 usage error.\n"},
    };
    return list;
}

const CommandInfo* findCommand(const QString& name)
{
    for (const CommandInfo& info : commands()) {
        if (name == QLatin1String(info.name)) {
            return &info;
        }
    }
    return nullptr;
}

const char* const kCommonHelp =
    "  --program-folder DIR  use DIR as the program's own folder (catalogue lists, downloads) instead of the\n"
    "                        executable's folder (portable) or the per-user data folder (installed)\n"
    "  --archive-url URL     the machine archive's base URL, ending in '/'\n"
    "  --help                print this help and exit\n"
    "  --version             print the version and exit\n";

/** A path the user typed, made absolute once, here: nothing later depends on the current folder. */
QString absolutePath(const QString& path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

int usageError(std::ostream& err, const QString& command, const QString& message)
{
    err << "gearwarden" << (command.isEmpty() ? "" : " ") << command.toStdString() << ": " << message.toStdString()
        << "\nTry 'gearwarden " << (command.isEmpty() ? "" : command.toStdString() + " ") << "--help'.\n";
    return ExitError;
}

struct Parsed
{
    QHash<QString, QString> values;    // the last value of each option
    QHash<QString, QStringList> every; // every value of each option, in order
    QSet<QString> flags;
    QStringList positional;
};

/** Splits the arguments after the command; false, with a message, on an unknown or incomplete option. */
bool parse(const CommandInfo& info, const QStringList& arguments, Parsed& parsed, QString& error)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (info.valued.contains(argument)) {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("%1 needs a value").arg(argument);
                return false;
            }
            parsed.values.insert(argument, arguments.at(++i));
            parsed.every[argument] << arguments.at(i);
        } else if (info.flags.contains(argument)) {
            parsed.flags.insert(argument);
        } else if (argument.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("unknown option '%1'").arg(argument);
            return false;
        } else {
            parsed.positional << argument;
        }
    }
    return true;
}

} // namespace

QString helpText(const QString& command)
{
    if (const CommandInfo* info = findCommand(command)) {
        return QStringLiteral("Usage: %1\n\n%2\nCommon options:\n%3")
            .arg(QLatin1String(info->usage), QLatin1String(info->help), QLatin1String(kCommonHelp));
    }
    QString text = QStringLiteral("Usage: gearwarden [--program-folder DIR] [--archive-url URL]\n");
    for (const CommandInfo& info : commands()) {
        text += QStringLiteral("       %1\n").arg(QLatin1String(info.usage));
    }
    text += QStringLiteral("       gearwarden [COMMAND] --help | --version\n\n"
                           "Without a command Gearwarden opens its window.\n\nCommands:\n");
    for (const CommandInfo& info : commands()) {
        text += QStringLiteral("\n%1\n%2").arg(QLatin1String(info.name), QLatin1String(info.help));
    }
    text += QStringLiteral("\nCommon options:\n") + QLatin1String(kCommonHelp);
    return text;
}

bool wantsCommandLine(const QStringList& arguments)
{
    for (const QString& argument : arguments) {
        if (findCommand(argument) || argument == QLatin1String("--help") || argument == QLatin1String("-h") ||
            argument == QLatin1String("--version")) {
            return true;
        }
    }
    return false;
}

bool parseWindowOptions(const QStringList& arguments, CommonOptions& options, QString& error)
{
    const CommandInfo window{"", {QStringLiteral("--program-folder"), QStringLiteral("--archive-url")}, {}, "", ""};
    Parsed parsed;
    if (!parse(window, arguments, parsed, error)) {
        return false;
    }
    if (!parsed.positional.isEmpty()) {
        error = QStringLiteral("unknown command '%1'").arg(parsed.positional.first());
        return false;
    }
    options.programFolder = parsed.values.value(QStringLiteral("--program-folder"));
    options.archiveUrl = parsed.values.value(QStringLiteral("--archive-url"));
    if (!options.archiveUrl.isEmpty() && checkedArchiveUrl(options.archiveUrl, &error).isEmpty()) {
        return false;
    }
    return true;
}

int run(const QStringList& arguments, std::ostream& out, std::ostream& err)
{
    // The command is the first argument that names one; what stands before it is taken as its options too.
    qsizetype at = -1;
    for (qsizetype i = 0; i < arguments.size() && at < 0; ++i) {
        if (findCommand(arguments.at(i))) {
            at = i;
        }
    }
    const QString command = at >= 0 ? arguments.at(at) : QString();
    if (arguments.contains(QLatin1String("--help")) || arguments.contains(QLatin1String("-h"))) {
        out << helpText(command).toStdString();
        return ExitOk;
    }
    if (arguments.contains(QLatin1String("--version"))) {
        out << kVersion << '\n';
        return ExitOk;
    }
    if (at < 0) {
        return usageError(err, {}, QStringLiteral("no command given"));
    }
    QStringList rest = arguments;
    rest.removeAt(at);
    Parsed parsed;
    QString error;
    if (!parse(*findCommand(command), rest, parsed, error)) {
        return usageError(err, command, error);
    }
    const QString programFolder = resolveProgramFolder(parsed.values.value(QStringLiteral("--program-folder")));
    const QString archiveUrl = archiveBaseUrl(parsed.values.value(QStringLiteral("--archive-url")));
    if (parsed.values.contains(QStringLiteral("--archive-url")) && archiveUrl.isEmpty()) {
        checkedArchiveUrl(parsed.values.value(QStringLiteral("--archive-url")), &error);
        return usageError(err, command, error);
    }
    const QString hostFolder = parsed.values.value(QStringLiteral("--host-folder"));

    if (command == QLatin1String("scan")) {
        ScanOptions options;
        for (const QString& path : parsed.positional) {
            options.paths << QDir::toNativeSeparators(path);
        }
        options.log = parsed.flags.contains(QStringLiteral("--log"));
        options.json = parsed.flags.contains(QStringLiteral("--json"));
        if (options.paths.empty()) {
            return usageError(err, command, QStringLiteral("scan needs at least one song file or folder"));
        }
        if (options.log && options.json) {
            return usageError(err, command, QStringLiteral("--log and --json cannot be used together"));
        }
        options.programFolder = programFolder;
        options.hostFolder = QDir::toNativeSeparators(hostFolder);
        return runScan(options, out, err);
    }
    if (command == QLatin1String("fetch-missing")) {
        ScanOptions options;
        for (const QString& path : parsed.positional) {
            options.paths << QDir::toNativeSeparators(path);
        }
        if (options.paths.empty()) {
            return usageError(err, command, QStringLiteral("fetch-missing needs at least one song file or folder"));
        }
        options.programFolder = programFolder;
        options.hostFolder = QDir::toNativeSeparators(hostFolder);
        options.archiveUrl = archiveUrl;
        options.yes = parsed.flags.contains(QStringLiteral("--yes"));
        for (const QString& folder : parsed.every.value(QStringLiteral("--from"))) {
            options.from << absolutePath(folder);
        }
        return runFetchMissing(options, out, err);
    }
    if (command == QLatin1String("bundle")) {
        const QString output = parsed.values.value(QStringLiteral("-o"));
        if (output.isEmpty()) {
            return usageError(err, command, QStringLiteral("give the zip to write with -o OUT.zip"));
        }
        if (parsed.positional.isEmpty()) {
            return usageError(err, command, QStringLiteral("bundle needs at least one song"));
        }
        return runBundle(parsed.positional, absolutePath(output), programFolder, QDir::toNativeSeparators(hostFolder),
                         out, err);
    }
    if (command == QLatin1String("install-bundle")) {
        if (parsed.positional.size() != 1) {
            return usageError(err, command, QStringLiteral("give exactly one BUNDLE.zip"));
        }
        const QString songsTo = parsed.values.value(QStringLiteral("--songs-to"), QDir::currentPath());
        return runInstallBundle(absolutePath(parsed.positional.first()), absolutePath(songsTo),
                                parsed.flags.contains(QStringLiteral("--yes")), programFolder,
                                QDir::toNativeSeparators(hostFolder), out, err);
    }
    if (command == QLatin1String("catalogue")) {
        if (parsed.positional.size() > 1) {
            return usageError(err, command, QStringLiteral("give at most one FILTER"));
        }
        CatalogueOptions options;
        options.programFolder = programFolder;
        options.effects = parsed.flags.contains(QStringLiteral("--effects"));
        options.entries = parsed.flags.contains(QStringLiteral("--entries"));
        options.json = parsed.flags.contains(QStringLiteral("--json"));
        options.filter = parsed.positional.value(0);
        return runCatalogue(options, out, err);
    }
    if (command == QLatin1String("gear")) {
        GearOptions options;
        options.hostFolder = hostFolder;
        options.programFolder = programFolder;
        options.songs = parsed.positional;
        options.json = parsed.flags.contains(QStringLiteral("--json"));
        return runGear(options, out, err);
    }
    if (command == QLatin1String("where-used")) {
        if (parsed.positional.size() < 2) {
            return usageError(err, command, QStringLiteral("give a machine NAME and at least one song or folder"));
        }
        return runWhereUsed(parsed.positional.first(), parsed.positional.mid(1), out, err);
    }
    if (command == QLatin1String("update-catalogue")) {
        if (!parsed.positional.isEmpty()) {
            return usageError(err, command, QStringLiteral("unexpected argument '%1'").arg(parsed.positional.first()));
        }
        return runUpdateCatalogue(programFolder, archiveUrl, out, err);
    }
    // download
    const bool generator = parsed.flags.contains(QStringLiteral("--generator"));
    const bool effect = parsed.flags.contains(QStringLiteral("--effect"));
    if (generator == effect) {
        return usageError(err, command, QStringLiteral("give exactly one of --generator and --effect"));
    }
    if (parsed.positional.size() != 1) {
        return usageError(err, command, QStringLiteral("give exactly one ENTRY"));
    }
    DownloadOptions options;
    options.entry = parsed.positional.first();
    options.generators = generator;
    options.yes = parsed.flags.contains(QStringLiteral("--yes"));
    options.hostFolder = QDir::toNativeSeparators(hostFolder);
    options.programFolder = programFolder;
    options.archiveUrl = archiveUrl;
    return runDownload(options, out, err);
}

} // namespace gw::cli
