#include "CatalogueWriter.h"
#include "PeWriter.h"
#include "SongWriter.h"
#include "TestHttpServer.h"
#include "ZipWriter.h"

#include <QtTest>

#include <filesystem>
#include <memory>

namespace {

using Reply = TestHttpServer::Reply;
using gw::test::CatalogueMachine;
using gw::test::contents;
using gw::test::writeBytes;

struct Result
{
    int status = -1; // -1: crashed or timed out
    QString out, err;
};

/** A catalogue list as the program keeps it (CR LF), or as the site serves it (LF). */
QByteArray page(const std::vector<CatalogueMachine>& machines, bool served = false)
{
    return QByteArray::fromStdString(gw::test::catalogueText(machines, !served));
}

// Out of name order, with a tab, a Windows-1252 euro sign and letters whose case differs from the filters'.
const std::vector<CatalogueMachine> kGenerators = {
    {"Zed_Pad.zip", "2001-02-03", "Zed", "Zed Pad", "Warm\tpad", "Generator", "2.0", "Alpha"},
    {"Acme_Kick.zip", "2003-04-05", "Acme", "Acme Kick", "Kick for \x80 5", "Generator", "1.2", "Stable"},
    {"Lunar_Arp.zip", "2004-05-06", "Lunar", "Lunar Arp", "Arpeggio", "Generator", "0.9", "Beta"},
};
const std::vector<CatalogueMachine> kEffects = {
    {"Glass_Chorus.zip", "2005-06-07", "Glass", "Glass Chorus", "Chorus", "Effect", "1.0", "Stable"},
};

} // namespace

/** Runs the real executable, as a user or a script would, with a scripted server on 127.0.0.1 for the transfers. */
class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(m_dir->path()).mkpath("prog") && QDir(m_dir->path()).mkpath("host"));
        m_server = std::make_unique<TestHttpServer>();
        QVERIFY(m_server->listen());
        // No Wine prefix of the machine's user and no proxy may come between the executable and the test.
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert("WINEPREFIX", m_dir->filePath("no-prefix"));
        m_environment.insert("XDG_CONFIG_HOME", m_dir->filePath("config")); // nor the user's own settings
        for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) {
            m_environment.remove(QLatin1String(name));
        }
    }

    void commands_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out"); // how help texts begin
        QTest::addColumn<QString>("err");
        const auto usage = [](const char* name, const QStringList& arguments, const char* message) {
            const QString err = QString("gearwarden %1: %2\nTry 'gearwarden %1 --help'.\n").arg(arguments[0], message);
            QTest::newRow(name) << arguments << 2 << QString() << err;
        };
        usage("scan without a path", {"scan"}, "scan needs at least one song file or folder");
        usage("unknown option", {"scan", "--colour", "songs"}, "unknown option '--colour'");
        usage("option without value", {"scan", "--host-folder"}, "--host-folder needs a value");
        usage("log and json", {"scan", "--log", "--json", "x"}, "--log and --json cannot be used together");
        usage("two filters", {"catalogue", "a", "b"}, "give at most one FILTER");
        usage("archive without host", {"update-catalogue", "--archive-url", "http:///x"},
              "\"http:///x\" cannot be the machine archive's address: it names no host");
        usage("update with argument", {"update-catalogue", "extra"}, "unexpected argument 'extra'");
        const char* const oneKind = "give exactly one of --generator and --effect";
        usage("both kinds", {"download", "A.zip", "--generator", "--effect"}, oneKind);
        usage("no kind", {"download", "A.zip"}, oneKind);
        usage("no entry", {"download", "--effect"}, "give exactly one ENTRY");
        usage("where-used without a path", {"where-used", "Kick"},
              "give a machine NAME and at least one song or folder");
        const auto row = [](const char* name, const QStringList& arguments, int status, const QString& out,
                            const QString& err = {}) { QTest::newRow(name) << arguments << status << out << err; };
        row("absent song", {"scan", "no/such.bmx"}, 2, {},
            "gearwarden scan: " + QDir::toNativeSeparators("no/such.bmx") + ": no such file or folder\n");
        // The last --program-folder wins over the one every run is given.
        // The path as the platform writes it, and the platform's reason.
        QFile noList(QDir::current().absoluteFilePath("no-such/alleffects.txt"));
        QVERIFY(!noList.open(QIODevice::ReadOnly));
        row("no list", {"catalogue", "--effects", "--program-folder", "no-such"}, 2, {},
            "gearwarden catalogue: cannot read " + QDir::toNativeSeparators(noList.fileName()) + ": " +
                noList.errorString() + "\n");
        row("version", {"--version"}, 0, "gearwarden 1.0\n");
        // A host without its executable or gear folders: nothing to flag.
        row("gear of an empty host", {"gear", "--host-folder", samples("songs")}, 0,
            "Host folder: " + QDir::toNativeSeparators(QFileInfo(samples("songs")).absoluteFilePath() + '/') +
                "\nHost architecture: unknown\n\n"
                "Kind  File  Size  Modified  SHA-256  Architecture  Flags\n0 machines in the gear folders, 0 "
                "flagged\n");
        // A message the status line repeats is said once; nothing is asked for (checked below).
        row("refused entry", {"download", "../evil.zip", "--generator", "--host-folder", samples("host")}, 1, {},
            "Refusing to download ../evil.zip: it is not a plain file name, so it cannot be saved in PROG\n");
        // Each command's help is its own, also when asked for before the command.
        row("help", {"--help"}, 0,
            "Usage: gearwarden [--program-folder DIR] [--archive-url URL]\n       gearwarden scan "
            "[--host-folder DIR] [--program-folder DIR] [--log] [--json] PATH...\n");
        row("catalogue help", {"--help", "catalogue"}, 0,
            "Usage: gearwarden catalogue [--program-folder DIR] [--effects] ");

        // Nothing missing (the master is built in): exit status 0.
        row("clean song", {"scan", "--host-folder", samples("host"), samples("songs/master-only.bmx")}, 0,
            "Generators used\nEffects used\nMissing Generators\nMissing Effects\n");

        const QString zed = "Zed_Pad.zip\t2001-02-03\tZed\tZed Pad\tWarm pad\tGenerator\t2.0\tAlpha\n";
        const QString acme = "Acme_Kick.zip\t2003-04-05\tAcme\tAcme Kick\tKick for \u20ac 5\tGenerator\t1.2\tStable\n";
        const QString lunar = "Lunar_Arp.zip\t2004-05-06\tLunar\tLunar Arp\tArpeggio\tGenerator\t0.9\tBeta\n";
        const QStringList catalogue{"catalogue"};
        row("rows in file order", catalogue, 0, zed + acme + lunar);
        // The filter looks at every field, down to the last, not only the name or the file name.
        row("filter on status", catalogue + QStringList{"bETA"}, 0, lunar);
        row("entries filtered", catalogue + QStringList{"--entries", "KICK"}, 0, "Acme_Kick.zip\n");
        row("entries as json", catalogue + QStringList{"--entries", "--json"}, 0,
            "[\n    \"Zed_Pad.zip\",\n    \"Acme_Kick.zip\",\n    \"Lunar_Arp.zip\"\n]\n");
        row("rows as json", catalogue + QStringList{"--json", "kick"}, 0,
            "[\n    {\n        \"date\": \"2003-04-05\",\n        \"description\": \"Kick for \u20ac 5\",\n"
            "        \"developer\": \"Acme\",\n        \"filename\": \"Acme_Kick.zip\",\n"
            "        \"name\": \"Acme Kick\",\n        \"status\": \"Stable\",\n        \"type\": \"Generator\",\n"
            "        \"version\": \"1.2\"\n    }\n]\n");
    }
    void commands()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, out);
        QVERIFY(writeBytes(prog("allgenerators.txt"), page(kGenerators)));
        QVERIFY(writeBytes(prog("alleffects.txt"), page(kEffects)));
        // A download that went ahead despite an error shows as a request here, not on the real archive.
        const QStringList server{"--archive-url", m_server->baseUrl()};
        const Result r = run(arguments.first() == "download" ? arguments + server : arguments);
        QFETCH(QString, err);
        QCOMPARE(r.err, err.replace("PROG", QDir::toNativeSeparators(prog({}))));
        QCOMPARE(arguments.contains("--help") ? r.out.left(out.size()) : r.out, out);
        QTEST(r.status, "status");
        QVERIFY(m_server->requests().isEmpty());
    }

    void scanFindsTheHost()
    {
        // Without the host's settings the program folder stands in, with a warning, and gets no gear folders: the
        // command line only reads. The log comes first, then a blank line and the report.
        const QString evening = samples("songs/evening.bmx");
        const Result logged = run({"scan", "--log", evening});
        QCOMPARE(logged.status, 1);
        QVERIFY2(logged.err.startsWith("Unable to open the key Settings.  ") && logged.err.count('\n') == 1,
                 qPrintable(logged.err));
        QVERIFY2(logged.out.startsWith("Scanning " + QDir::toNativeSeparators(evening) + '\n'), qPrintable(logged.out));
        QVERIFY(logged.out.endsWith("\nMachine DLL name Ember Crusher\n\nGenerators used\n  Acme Kick\n"
                                    "  Jeskola Bass 3\n  Lunar Pad\nEffects used\n  Acme Delay\n  Ember Crusher\n"
                                    "  Jeskola Raverb\nMissing Generators\n  Acme Kick.dll\n  Lunar Pad.dll\n"
                                    "Missing Effects\n  Acme Delay.dll\n  Ember Crusher.dll\n"));
        QCOMPARE(entries(prog({})), QStringList());
#ifdef Q_OS_WIN
        QSKIP("Windows reads the registry itself, not a Wine prefix's files");
#endif

        // A Wine prefix whose C: drive is a link, as Wine makes it, with the host installed on it. Its gear folders
        // were made on a case-sensitive disk as "Gear/Generators" and "Gear/Effects"; an effect is with the generators.
        const QString gear = m_dir->filePath("drive/Program Files/Buzz/Gear/");
        QVERIFY(QDir().mkpath(gear + "Effects") && writeBytes(gear + "Generators/lunar pad.DLL", {}));
        QVERIFY(writeBytes(gear + "Generators/Ember Crusher.dll", {}));
        QVERIFY(QDir().mkpath(m_dir->filePath("prefix/dosdevices")));
        QVERIFY(QFile::link(m_dir->filePath("drive"), m_dir->filePath("prefix/dosdevices/c:")));
        QVERIFY(writeBytes(m_dir->filePath("prefix/user.reg"),
                           "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
                           "#arch=win64\n\n[Software\\\\Jeskola\\\\Buzz\\\\Settings] 1733443200\n"
                           "\"BuzzPath\"=\"C:\\\\Program Files\\\\Buzz\"\n\"OpenSongDir\"=\"C:\\\\songs\"\n"));
        m_environment.insert("WINEPREFIX", m_dir->filePath("prefix"));
        // A folder is searched for .bmx and .bmw in any letter case, in path order.
        for (const char* name : {"tree/b/two.BMX", "tree/a/one.bmw", "tree/a/notes.txt"}) {
            QVERIFY(writeBytes(m_dir->filePath(name), contents(samples("songs/master-only.bmx"))));
        }
        // And a real song saved before the PARA section existed, whose machine is found in MACH.
        QVERIFY(writeBytes(m_dir->filePath("tree/c/old.bmx"), contents(GW_TEST_DATA "/songs/FSM_Kick_Demo.bmx")));

        const QString cutShort = samples("broken/cut-short.bmx");
        const Result r = run({"scan", "--json", samples("songs"), cutShort, m_dir->filePath("tree")});
        QCOMPARE(r.status, 2); // a song could not be read
        const QString error = "File " + QDir::toNativeSeparators(cutShort) +
                              " ends in the middle of its MACH section.  Probably a damaged buzz file.";
        QCOMPARE(r.err, error + '\n'); // and no warning about the host's settings
        const QJsonObject root = QJsonDocument::fromJson(r.out.toUtf8()).object();
        const QJsonArray songs = root["songs"].toArray();
        QStringList pathAndError;
        for (const QJsonValue& song : songs) {
            const QString path = QDir::fromNativeSeparators(song["path"].toString());
            pathAndError << path.section('/', -2) + '|' + song["error"].toString("null");
        }
        // Folder and file name show the order across the folders searched.
        QCOMPARE(pathAndError,
                 (QStringList{"songs/evening.bmx|null", "songs/master-only.bmx|null", "songs/swapped.bmw|null",
                              "broken/cut-short.bmx|" + error, "a/one.bmw|null", "b/two.BMX|null", "c/old.bmx|null"}));
        QVERIFY(songs.last()["recovered"].toBool() && !songs.at(0)["recovered"].toBool());
        const QJsonArray machines = songs.at(0)["machines"].toArray();
        QCOMPARE(machines.at(0), (QJsonObject{{"name", "Kick"}, {"dll", "Acme Kick"}, {"kind", "generator"}}));
        QCOMPARE(machines.at(5), (QJsonObject{{"name", "Crush"}, {"dll", "Ember Crusher"}, {"kind", "effect"}}));
        // The cut-short song's machines before the break count too.
        QStringList lists;
        for (const char* name : {"generatorsUsed", "effectsUsed", "missingGenerators", "missingEffects"}) {
            lists << root[QLatin1String(name)].toVariant().toStringList().join('|');
        }
        QCOMPARE(lists, (QStringList{"Acme Kick|Ember Lead|FSM Kick|Jeskola Bass 3|Lunar Arp|Lunar Pad",
                                     "Acme Delay|Ember Crusher|Glass Chorus|Glass Wah|Jeskola Raverb",
                                     "Acme Kick.dll|Ember Lead.dll|FSM Kick.dll|Lunar Arp.dll",
                                     "(gen dir)Ember Crusher.dll|Acme Delay.dll|Glass Chorus.dll|Glass Wah.dll"}));
    }

    void gearAndWhereUsed()
    {
        // An x86 host, its executable named in capitals, with machines of every sort; two songs use some of them.
        const QByteArray x86 = dll(gw::test::peFile(0x14C, 0x10B)), x64 = dll(gw::test::peFile(0x8664, 0x20B));
        const QByteArray anyCpu = dll(gw::test::peFile(0x14C, 0x10B, 0x1, 300000)); // hashed in two chunks
        const QList<std::pair<QString, QByteArray>> files = {{"BUZZ.EXE", x86},
                                                             {"gear/generators/Acme Kick.dll", x86},
                                                             {"gear/generators/Acme Kick.GUI.dll", anyCpu},
                                                             {"gear/generators/Twin.dll", x86},
                                                             {"gear/generators/Split.dll", x86},
                                                             {"gear/effects/twin.DLL", x86},
                                                             {"gear/effects/Split.dll", anyCpu},
                                                             {"gear/effects/Wide Verb.dll", x64},
                                                             {"gear/effects/Page.dll", "<html>Not found</html>"}};
        for (const auto& [name, bytes] : files) {
            QVERIFY(writeBytes(host(name), bytes));
        }
        gw::test::SongWriter one, two;
        one.addSimple("Kick", "acme kick", 1).addSimple("Verb", "Wide Verb", 2);
        two.addSimple("Kick", "Acme Kick", 1).addSimple("T", "TWIN", 2).addSimple("T2", "Twin", 1);
        const QString songs = m_dir->filePath("songs");
        QVERIFY(QDir().mkpath(songs) && one.writeTo((songs + "/one.bmx").toStdString()) &&
                two.writeTo((songs + "/two.bmw").toStdString()));

        const Result r = run({"gear", "--json", "--host-folder", host({}), songs});
        QCOMPARE(r.status, 1);
        const QJsonObject root = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(root["host"].toObject(),
                 (QJsonObject{{"folder", QDir::toNativeSeparators(host({}))}, {"architecture", "x86"}}));
        QStringList machines;
        for (const QJsonValue& m : root["machines"].toArray()) {
            machines << QStringList{m["kind"].toString(), m["file"].toString(), m["architecture"].toString(),
                                    m["flags"].toVariant().toStringList().join(','),
                                    QString::number(m["used_by"].toInt(-1))}
                            .join('|');
        }
        const char* const same = "in both folders, same content";
        const char* const differ = "in both folders, different content";
        QCOMPARE(machines, (QStringList{"generator|Acme Kick.dll|x86||2", "generator|Acme Kick.GUI.dll|.NET any CPU||2",
                                        QString("generator|Split.dll|x86|%1,unused|0").arg(differ),
                                        QString("generator|Twin.dll|x86|%1|1").arg(same),
                                        "effect|Page.dll|not a Windows DLL|not a Windows DLL,unused|0",
                                        QString("effect|Split.dll|.NET any CPU|%1,unused|0").arg(differ),
                                        QString("effect|twin.DLL|x86|%1|1").arg(same),
                                        "effect|Wide Verb.dll|x64|other architecture than the host|1"}));
        const QJsonValue gui = root["machines"][1];
        QCOMPARE(gui["sha256"].toString(), QCryptographicHash::hash(anyCpu, QCryptographicHash::Sha256).toHex());
        QCOMPARE(gui["size"].toInt(), 300000);

        // A second look takes what did not change from the program folder's cache (a cache that lies shows it),
        // and reads again what did.
        QByteArray cache = contents(prog("gearhashes.txt"));
        const QByteArray hash = gui["sha256"].toString().toLatin1();
        QVERIFY(cache.contains(hash));
        QVERIFY(writeBytes(prog("gearhashes.txt"), cache.replace(hash, QByteArray(64, 'f'))));
        QVERIFY(writeBytes(host("gear/effects/Page.dll"), x64));
        const QJsonArray again =
            QJsonDocument::fromJson(run({"gear", "--json", "--host-folder", host({})}).out.toUtf8())
                .object()["machines"]
                .toArray();
        QCOMPARE(again[1]["sha256"].toString(), QString(64, 'f'));
        QCOMPARE(again[4]["architecture"].toString(), "x64");

        // The machine as the user names it: any letter case, with or without ".dll"; and the kinds it is used as.
        const Result twin = run({"where-used", "twin", songs});
        QCOMPARE(twin.status, 0);
        const QString shown = QDir::toNativeSeparators(songs + '/');
        QCOMPARE(twin.out, "Song" + QString(songs.size() + 6, ' ') + "Used as\n" + shown +
                               "two.bmw  generator, effect\n1 of 2 songs use twin\n");
        const Result kick = run({"where-used", "ACME KICK.DLL", songs + "/one.bmx"});
        QCOMPARE(kick.out.section('\n', 1), shown + "one.bmx  generator\n1 of 1 songs use ACME KICK.DLL\n");
        const Result none = run({"where-used", "Acme", songs});
        QCOMPARE(none.status, 1);
        QCOMPARE(none.out, "0 of 2 songs use Acme\n");
    }

    void catalogueUpdatedThenMissingFetchedAndBundled()
    {
        // The generators' page comes compressed although identity was asked for: it is decoded.
        const Reply generators = TestHttpServer::gzipped(page(kGenerators, true));
        m_server->setReply("/allgenerators.php", generators);
        m_server->setReply("/alleffects.php", {.body = page(kEffects, true)});
        const QStringList update{"update-catalogue", "--archive-url", m_server->baseUrl()};
        const Result r = run(update);
        QCOMPARE(r.status, 0);
        QCOMPARE(contents(prog("allgenerators.txt")), page(kGenerators));
        // Sizes read as in the window: two blanks, then the number with a leading blank; the size is of what came.
        const QString completed = QString("\nCompleted download of allgenerators.php   %1 bytes\n");
        QVERIFY2(r.out.contains(completed.arg(generators.body.size())), qPrintable(r.out));
        QVERIFY(r.out.contains("\nContent-Type is text/html\n") &&
                r.out.endsWith(
                    "\nConverting allgenerators.htm from UNIX to DOS\nConverting alleffects.htm from UNIX to DOS\n"
                    "Completed converting allgenerators.htm and alleffects.htm from UNIX to DOS\n"));
        // Status texts go to standard error, the log to standard output: the same lines, but for the page names
        // alone in the log and the progress counts, each page's ending at its size, among the statuses.
        QStringList log = r.out.split('\n'), statuses = r.err.split('\n');
        const qsizetype effects = page(kEffects, true).size();
        QVERIFY(statuses.contains(QString("Downloading alleffects.php   %1 bytes downloaded").arg(effects)));
        statuses.removeIf([](const QString& line) { return line.endsWith(" bytes downloaded"); });
        QVERIFY(log.removeOne("allgenerators.php") && log.removeOne("alleffects.php"));
        // Then the new lists are read as "Refresh" reads them, with its statuses.
        QCOMPARE(statuses.mid(statuses.size() - 6, 5),
                 (QStringList{"Reading Plugvault generators list",
                              "Completed reading allgenerators.txt  list.  3 machines.  47 lines.",
                              "Reading Plugvault effects list",
                              "Completed reading alleffects.txt list.  1 machines.  19 lines.",
                              "Generator list contains  3 machines.  Effects list contains  1 machines."}));
        statuses.remove(statuses.size() - 6, 5);
        QCOMPARE(statuses, log);

        // A song with a machine of each kind the catalogue has, and one it has not.
        gw::test::SongWriter song;
        song.addSimple("Kick", "Acme Kick", 1).addSimple("Chorus", "Glass Chorus", 2).addSimple("Ghost", "Nowhere", 2);
        const QString songPath = m_dir->filePath("song.bmx");
        QVERIFY(song.writeTo(songPath.toStdString()));
        for (const QByteArray dll : {"Acme Kick", "Glass Chorus"}) {
            const QByteArray entry = QByteArray(dll).replace(' ', '_') + ".zip";
            m_server->setReply("/machines/" + entry, {.body = gw::test::ZipWriter().add(dll + ".dll", dll).bytes()});
        }
        const Result fetched =
            run({"fetch-missing", "--host-folder", host({}), "--archive-url", m_server->baseUrl(), songPath});
        QCOMPARE(fetched.status, 1);
        QCOMPARE(fetched.out, "Machine           Kind       Entry             Result\n"
                              "Acme Kick.dll     generator  Acme_Kick.zip     installed\n"
                              "Glass Chorus.dll  effect     Glass_Chorus.zip  installed\n"
                              "Nowhere.dll       effect     -                 no match\n");
        // A download asks before it replaces an earlier one, and only --yes says yes; the status tells the outcome.
        const QStringList chorus{"download", "--effect",      "Glass_Chorus.zip", "--host-folder",
                                 host({}),   "--archive-url", m_server->baseUrl()};
        const Result kept = run(chorus);
        QCOMPARE(kept.status, 1);
        QVERIFY(
            kept.err.contains("  Overwrite? No (give --yes to overwrite)\nAborting download of Glass_Chorus.zip\n"));
        const Result replaced = run(chorus + QStringList{"--yes"});
        QCOMPARE(replaced.status, 0);
        QVERIFY2(replaced.err.contains("  Overwrite? Yes (--yes)\nOverwriting Glass_Chorus.zip\n"),
                 qPrintable(replaced.err));
        const QString chorusZip = QDir::toNativeSeparators(prog("Glass_Chorus.zip"));
        const QString effectsFolder = QDir::toNativeSeparators(host("gear/effects"));
        QVERIFY(replaced.out.endsWith("\nEffects folder is unzip destination\nUnzipping " + chorusZip + " to " +
                                      effectsFolder + "\nComplete unzipped " + chorusZip + " to " + effectsFolder +
                                      "\nGlass Chorus.dll: not a Windows DLL\n"));

        // The song with its machines, into a fresh host: only the machine this host lacks is still missing.
        const QString bundle = m_dir->filePath("shared.zip"), fresh = m_dir->filePath("fresh");
        const Result bundled = run({"bundle", "--host-folder", host({}), "-o", bundle, songPath});
        QCOMPARE(bundled.status, 1);
        QVERIFY(bundled.out.contains("effect Nowhere.dll: missing\n"));
        QVERIFY(QDir().mkpath(fresh));
        const Result installed =
            run({"install-bundle", "--host-folder", fresh, "--songs-to", fresh + "/songs", bundle});
        QCOMPARE(installed.status, 0);
        QVERIFY(!installed.out.contains("not verified")); // the bundle carries each DLL's SHA-256
        const Result again = run({"scan", "--host-folder", fresh, fresh + "/songs"});
        QVERIFY2(again.out.endsWith("Missing Generators\nMissing Effects\n  Nowhere.dll\n"), qPrintable(again.out));

        // A page without a content type fails the run, and nothing is converted: not the other page, not the copy of
        // this one an earlier run left.
        QVERIFY(writeBytes(prog("allgenerators.php"), page({kGenerators.front()}, true)));
        m_server->setReply("/allgenerators.php", {.contentType = "", .body = "fresh\n"});
        const Result failed = run(update);
        QCOMPARE(failed.status, 1);
        QVERIFY2(failed.out.contains("\nConnected?  Did not download allgenerators.php\n"), qPrintable(failed.out));
        QCOMPARE(contents(prog("allgenerators.txt")), page(kGenerators));
        QCOMPARE(contents(prog("alleffects.txt")), page(kEffects));
    }

    void missingFoundOnDisk()
    {
        // An x86 host; a song using two generators and an effect that the catalogue has, all to be found on disk.
        const QByteArray x86 = dll(gw::test::peFile(0x14C, 0x10B)), x64 = dll(gw::test::peFile(0x8664, 0x20B));
        QVERIFY(writeBytes(host("BUZZ.EXE"), x86) && writeBytes(prog("allgenerators.txt"), page(kGenerators)) &&
                writeBytes(prog("alleffects.txt"), page(kEffects)));
        gw::test::SongWriter song;
        song.addSimple("Kick", "Acme Kick", 1).addSimple("Arp", "Lunar Arp", 1).addSimple("Chorus", "Glass Chorus", 2);
        QVERIFY(song.writeTo(m_dir->filePath("song.bmx").toStdString()));
        // A loose DLL in another letter case; a web page named like a machine, skipped for the same one in a zip;
        // the zip's names that climb out or are absolute are not taken, nor anything it holds but what is missing.
        const QString a = m_dir->filePath("a"), b = m_dir->filePath("b");
        QVERIFY(writeBytes(a + "/sub/acme KICK.dll", x64) && writeBytes(a + "/Lunar Arp.dll", "<html>Not found") &&
                QDir().mkpath(b));
        QVERIFY(gw::test::ZipWriter()
                    .add("../Glass Chorus.dll", x64)
                    .add("/Glass Chorus.dll", x64)
                    .add("readme.txt", "junk")
                    .add("Other.dll", x86)
                    .add("deep/er/Lunar Arp.dll", x86)
                    .add("stuff/Glass Chorus.dll", x86)
                    .writeTo(b + "/pack.zip"));
        const Result r = run({"fetch-missing", "--from", a, "--from", b, "--host-folder", host({}), "--archive-url",
                              m_server->baseUrl(), m_dir->filePath("song.bmx")});
        QCOMPARE(r.status, 0);
        const QString table = "Machine           Kind       Entry             Result\n"
                              "Acme Kick.dll     generator  Acme_Kick.zip     "
                              "installed from A/sub/acme KICK.dll (x64; the host is x86)\n"
                              "Lunar Arp.dll     generator  Lunar_Arp.zip     "
                              "installed from B/pack.zip/deep/er/Lunar Arp.dll\n"
                              "Glass Chorus.dll  effect     Glass_Chorus.zip  "
                              "installed from B/pack.zip/stuff/Glass Chorus.dll\n";
        QCOMPARE(r.out, QString(table).replace("A/", a + '/').replace("B/", b + '/'));
        QVERIFY2(r.err.contains("Skipped " + a + "/Lunar Arp.dll: it is not a Windows DLL\n") &&
                     r.err.contains("acme KICK.dll is x64 but the host is x86: it will not load\n"),
                 qPrintable(r.err));
        QCOMPARE(entries(host("gear/generators")), (QStringList{"acme KICK.dll", "Lunar Arp.dll"}));
        QCOMPARE(entries(host("gear/effects")), QStringList{"Glass Chorus.dll"});
        QCOMPARE(contents(host("gear/effects/Glass Chorus.dll")), x86);
        QCOMPARE(entries(host({})), (QStringList{"BUZZ.EXE", "gear"}));
        QVERIFY(m_server->requests().isEmpty());
    }

    void bundleChecked_data()
    {
        QTest::addColumn<QByteArray>("list"); // machines.txt; $k and $w the SHA-256 of Kick's and Wide's DLLs
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QStringList>("said");
        const QByteArray kick = "generator\tKick.dll\tin the zip\t$k\tx64\n";
        const QByteArray wide = "effect\tWIDE.dll\tin the zip\t$w\tx86\n";
        const QString tampered = "gear/effects/Wide.dll: its SHA-256 differs from the one machines.txt gives";
        const QString unlisted = "gear/effects/Wide.dll: machines.txt does not list it, so it cannot be verified";
        QTest::newRow("verified") << kick + wide << 0 << QStringList{"Kick.dll", "Wide.dll"}
                                  << QStringList{"Kick.dll: x64",
                                                 "Kick.dll is x64 but the host is x86: it will not load",
                                                 "Wide.dll: x86"};
        QTest::newRow("tampered") << kick + QByteArray(wide).replace("$w", "$k") << 1 << QStringList{"Kick.dll"}
                                  << QStringList{"skipped " + tampered};
        QTest::newRow("unlisted") << kick + "effect\tWide.dll\tmissing\n"
                                  << 1 << QStringList{"Kick.dll"} << QStringList{"skipped " + unlisted};
        QTest::newRow("earlier version") << QByteArray(
                                                "generator\tKick.dll\tin the zip\neffect\tWide.dll\tin the zip\n")
                                         << 0 << QStringList{"Kick.dll", "Wide.dll"}
                                         << QStringList{"gear/generators/Kick.dll: not verified, as machines.txt gives "
                                                        "no SHA-256 (the bundle was made by an earlier version)"};
    }
    void bundleChecked()
    {
        QFETCH(QByteArray, list);
        QFETCH(QStringList, said);
        const QByteArray x86 = dll(gw::test::peFile(0x14C, 0x10B)), x64 = dll(gw::test::peFile(0x8664, 0x20B));
        const auto sha = [](const QByteArray& bytes) {
            return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
        };
        list.replace("$k", sha(x64)).replace("$w", sha(x86));
        const QString bundle = m_dir->filePath("b.zip");
        QVERIFY(writeBytes(host("buzz.exe"), x86) && gw::test::ZipWriter()
                                                         .add("gear/generators/Kick.dll", x64)
                                                         .add("gear/effects/Wide.dll", x86)
                                                         .add("machines.txt", list)
                                                         .writeTo(bundle));
        const Result r = run({"install-bundle", "--host-folder", host({}), "--songs-to", m_dir->path(), bundle});
        QTEST(r.status, "status");
        QTEST(entries(host("gear/generators")) + entries(host("gear/effects")), "installed");
        for (const QString& line : said) {
            QVERIFY2(r.out.contains(line + '\n'), qPrintable(r.out));
        }
    }

    void userPathsTakenAsGiven()
    {
        // Relative folders are the current folder's, whatever the program does on the way.
        gw::test::SongWriter song;
        song.addSimple("Kick", "Acme Kick", 1);
        QVERIFY(song.writeTo(m_dir->filePath("song.bmx").toStdString()));
        QVERIFY(writeBytes(prog("allgenerators.txt"), page(kGenerators)));
        m_server->setReply("/machines/Acme_Kick.zip",
                           {.body = gw::test::ZipWriter().add("Acme Kick.dll", "k").bytes()});
        const Result fetched =
            run({"fetch-missing", "--host-folder", "host", "--archive-url", m_server->baseUrl(), "song.bmx"},
                m_dir->path());
        QCOMPARE(fetched.status, 0);
        QCOMPARE(entries(host("gear/generators")), QStringList{"Acme Kick.dll"});
        QCOMPARE(entries(prog({})), QStringList({"Acme_Kick.zip", "allgenerators.txt"}));

#ifndef Q_OS_WIN
        // A song named in Latin-1, as an old Windows zip unpacked here leaves it: found, read and bundled. (Windows
        // names files in UTF-16: no name there is other than text.)
        const QByteArray latin1 = QFile::encodeName(m_dir->filePath("old")) + "/Br\xfcler.bmx";
        QVERIFY(QDir().mkpath(m_dir->filePath("old")) && song.writeTo(latin1.toStdString()));
        const Result scanned = run({"scan", "--json", "--host-folder", host({}), m_dir->filePath("old")});
        QCOMPARE(scanned.status, 0);
        const QJsonObject found = QJsonDocument::fromJson(scanned.out.toUtf8())["songs"][0].toObject();
        QCOMPARE(found["path"].toString(), QDir::toNativeSeparators(m_dir->filePath("old/Br\u00fcler.bmx")));
        QCOMPARE(found["error"], QJsonValue());
        // The name as the system gives it: a shell, as QProcess passes only valid text.
        const QString bundle = m_dir->filePath("old.zip");
        const QString script = "exec \"$0\" --program-folder \"$1\" bundle --host-folder \"$2\" -o \"$3\" "
                               "\"$(printf '%s/Br\\374ler.bmx' \"$4\")\"";
        const Result bundled =
            run({}, {}, {"-c", script, GW_EXECUTABLE, prog({}), host({}), bundle, m_dir->filePath("old")});
        QCOMPARE(bundled.status, 0);
        QVERIFY(contents(bundle).contains("Br\xc3\xbcler.bmx") && contents(bundle).contains("Acme Kick.dll"));
        std::filesystem::remove_all(QFile::encodeName(m_dir->filePath("old")).toStdString()); // Qt cannot name it
#endif
    }

private:
    /** Runs the program in folder (by default this test's), or a shell with shellArguments. */
    Result run(const QStringList& arguments, const QString& folder = {}, const QStringList& shellArguments = {})
    {
        QProcess process;
        process.setProcessEnvironment(m_environment);
        process.setWorkingDirectory(folder.isEmpty() ? QDir::currentPath() : folder);
        // Options before the command are its own too; placed first, they cannot become another option's value.
        if (shellArguments.isEmpty()) {
            process.start(GW_EXECUTABLE, QStringList{"--program-folder", prog({})} + arguments);
        } else {
            process.start("/bin/sh", shellArguments);
        }
        // The server answers from this thread's events, so the wait must keep them flowing. One still running at
        // the end is killed with its QProcess.
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000)) {
            return {};
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                lines(process.readAllStandardOutput()), lines(process.readAllStandardError())};
    }
    /** A stream's text, its line ends checked to be the platform's (CR LF on Windows) and made "\n". */
    static QString lines(QByteArray bytes)
    {
#ifdef Q_OS_WIN
        if (bytes.count("\r\n") != bytes.count('\n')) {
            return "<not CR LF line ends> " + QString::fromUtf8(bytes);
        }
        bytes.replace("\r\n", "\n");
#endif
        return QString::fromUtf8(bytes);
    }
    static QByteArray dll(const std::vector<std::uint8_t>& bytes)
    {
        return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    }
    static QString samples(const QString& relative)
    {
        return QStringLiteral(GW_SAMPLES "/") + relative;
    }
    static QStringList entries(const QString& folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }
    QString prog(const QString& name) const
    {
        return m_dir->filePath("prog/" + name);
    }
    QString host(const QString& name) const
    {
        return m_dir->filePath("host/" + name);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestHttpServer> m_server;
    QProcessEnvironment m_environment;
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
