#include "CatalogueWriter.h"
#include "SongWriter.h"
#include "TestHttpServer.h"
#include "ZipWriter.h"

#include <QtTest>

#include <zlib.h>

#include <memory>

namespace {

using Reply = TestHttpServer::Reply;
using gw::test::CatalogueMachine;
using gw::test::contents;
using gw::test::writeBytes;

struct Result
{
    int status = -1; // -1: crashed or timed out
    QString out;
    QString err;
};

QByteArray zipOf(const QByteArray& dll)
{
    return gw::test::ZipWriter().add("sub/Acme Kick.dll", dll, gw::test::ZipWriter::Method::Store).bytes();
}

/** A gzip stream: qCompress's deflate data between the gzip header and trailer. */
QByteArray gzip(const QByteArray& data)
{
    QByteArray trailer(8, '\0');
    qToLittleEndian(quint32(crc32(0, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size()))),
                    trailer.data());
    qToLittleEndian(quint32(data.size()), trailer.data() + 4);
    return QByteArray("\x1f\x8b\x08\0\0\0\0\0\0\xff", 10) + qCompress(data).mid(6).chopped(4) + trailer;
}

/** A catalogue list as the program keeps it (CR LF), or as the site serves it (LF). */
QByteArray page(const std::vector<CatalogueMachine>& machines, bool served = false)
{
    const QByteArray text = QByteArray::fromStdString(gw::test::catalogueText(machines));
    return served ? QByteArray(text).replace("\r\n", "\n") : text;
}

Reply reply(const QByteArray& body, const QByteArray& type = "text/html")
{
    return {.contentType = type, .body = body};
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

const QString kMissingOnlyNowhere = "Missing Generators\nMissing Effects\n  Nowhere.dll\n";

// How the server answers a download, or why none is asked for.
enum How { Plain, NotFound, Damaged, Earlier, EarlierYes, Refused, Gzip, GzipDamaged };

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
        for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) {
            m_environment.remove(QLatin1String(name));
        }
        // 2500 bytes, so a download shows progress for 1024 and 2048 before its last chunk.
        m_dll = QByteArray(2500 - (zipOf("k").size() - 1), 'k');
        m_zip = zipOf(m_dll);
        QCOMPARE(m_zip.size(), 2500);
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
        usage("update with argument", {"update-catalogue", "extra"}, "unexpected argument 'extra'");
        const char* const oneKind = "give exactly one of --generator and --effect";
        usage("both kinds", {"download", "A.zip", "--generator", "--effect"}, oneKind);
        usage("no kind", {"download", "A.zip"}, oneKind);
        usage("no entry", {"download", "--effect"}, "give exactly one ENTRY");
        const auto row = [](const char* name, const QStringList& arguments, int status, const QString& out,
                            const QString& err = {}) { QTest::newRow(name) << arguments << status << out << err; };
        row("absent song", {"scan", "no/such.bmx"}, 2, {},
            "gearwarden scan: " + QDir::toNativeSeparators("no/such.bmx") + ": no such file or folder\n");
        row("version", {"--version"}, 0, "gearwarden 1.0\n");
        // Each command's help is its own.
        row("help", {"--help"}, 0,
            "Usage: gearwarden [--program-folder DIR] [--archive-url URL]\n       gearwarden scan "
            "[--host-folder DIR] [--program-folder DIR] [--log] [--json] PATH...\n");
        row("download help", {"download", "--help"}, 0,
            "Usage: gearwarden download (--generator|--effect) ENTRY [--yes] ");
        row("catalogue help", {"--help", "catalogue"}, 0,
            "Usage: gearwarden catalogue [--program-folder DIR] [--effects] ");

        const QStringList scan{"scan", "--host-folder", samples("host")};
        row("report", scan + QStringList{samples("songs/evening.bmx")}, 1,
            "Generators used\n  Acme Kick\n  Jeskola Bass 3\n  Lunar Pad\nEffects used\n  Acme Delay\n  Ember Crusher\n"
            "  Jeskola Raverb\nMissing Generators\n  Lunar Pad.dll\nMissing Effects\n  Ember Crusher.dll\n");
        // Nothing missing (the master is built in): exit status 0.
        row("clean song", scan + QStringList{samples("songs/master-only.bmx")}, 0,
            "Generators used\nEffects used\nMissing Generators\nMissing Effects\n");

        const QString zed = "Zed_Pad.zip\t2001-02-03\tZed\tZed Pad\tWarm pad\tGenerator\t2.0\tAlpha\n";
        const QString acme = "Acme_Kick.zip\t2003-04-05\tAcme\tAcme Kick\tKick for \u20ac 5\tGenerator\t1.2\tStable\n";
        const QString lunar = "Lunar_Arp.zip\t2004-05-06\tLunar\tLunar Arp\tArpeggio\tGenerator\t0.9\tBeta\n";
        const QStringList catalogue{"catalogue"};
        row("rows in file order", catalogue, 0, zed + acme + lunar);
        // The filter looks at every field, not only the name or the file name.
        row("filter on status", catalogue + QStringList{"bETA"}, 0, lunar);
        row("filter on description", catalogue + QStringList{"WARM"}, 0, zed);
        row("entries", catalogue + QStringList{"--entries"}, 0, "Zed_Pad.zip\nAcme_Kick.zip\nLunar_Arp.zip\n");
        row("entries filtered", catalogue + QStringList{"--entries", "KICK"}, 0, "Acme_Kick.zip\n");
        row("entries as json", catalogue + QStringList{"--entries", "--json"}, 0,
            "[\n    \"Zed_Pad.zip\",\n    \"Acme_Kick.zip\",\n    \"Lunar_Arp.zip\"\n]\n");
        row("rows as json", catalogue + QStringList{"--json", "kick"}, 0,
            "[\n    {\n        \"date\": \"2003-04-05\",\n        \"description\": \"Kick for \u20ac 5\",\n"
            "        \"developer\": \"Acme\",\n        \"filename\": \"Acme_Kick.zip\",\n"
            "        \"name\": \"Acme Kick\",\n        \"status\": \"Stable\",\n        \"type\": \"Generator\",\n"
            "        \"version\": \"1.2\"\n    }\n]\n");
        row("effects", catalogue + QStringList{"--effects"}, 0,
            "Glass_Chorus.zip\t2005-06-07\tGlass\tGlass Chorus\tChorus\tEffect\t1.0\tStable\n");
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
        QTEST(r.err, "err");
        QCOMPARE(arguments.contains("--help") ? r.out.left(out.size()) : r.out, out);
        QTEST(r.status, "status");
        QVERIFY(m_server->requests().isEmpty());
    }

    void scanJsonListsEachSong()
    {
        // A folder is searched for .bmx and .bmw in any letter case, in path order.
        QDir dir(m_dir->path());
        for (const char* name : {"tree/b/two.BMX", "tree/a/one.bmw", "tree/a/notes.txt"}) {
            QVERIFY(writeBytes(dir.filePath(name), contents(samples("songs/master-only.bmx"))));
        }
        // And a real song saved before the PARA section existed, whose machine is found in MACH.
        QVERIFY(writeBytes(dir.filePath("tree/c/old.bmx"), contents(GW_TEST_DATA "/songs/FSM_Kick_Demo.bmx")));
        const Result r = run({"scan", "--json", "--host-folder", samples("host"), samples("songs"), samples("broken"),
                              dir.filePath("tree")});
        QCOMPARE(r.status, 2); // a song could not be read
        const QString cutShort = "File " + QDir::toNativeSeparators(samples("broken/cut-short.bmx")) +
                                 " ends in the middle of its MACH section.  Probably a damaged buzz file.";
        const QString noPara = "File " + QDir::toNativeSeparators(samples("broken/older.bmx")) +
                               " does not contain PARA section, which is required by this program.  "
                               "Probably created with Buzz version <1.2";
        QCOMPARE(r.err, cutShort + '\n' + noPara + '\n');
        const QJsonObject root = QJsonDocument::fromJson(r.out.toUtf8()).object();
        const QJsonArray songs = root["songs"].toArray();
        QStringList pathAndError;
        for (const QJsonValue& song : songs) {
            const QString path = QDir::fromNativeSeparators(song["path"].toString());
            pathAndError << path.section('/', -2) + '|' + song["error"].toString("null");
        }
        // Folder and file name show the order across the folders searched.
        QCOMPARE(pathAndError, (QStringList{"songs/evening.bmx|null", "songs/master-only.bmx|null",
                                            "songs/swapped.bmw|null", "broken/cut-short.bmx|" + cutShort,
                                            "broken/older.bmx|" + noPara, "a/one.bmw|null", "b/two.BMX|null",
                                            "c/old.bmx|null"}));
        QVERIFY(songs.last()["recovered"].toBool() && !songs.at(0)["recovered"].toBool());
        QCOMPARE(songs.last()["machines"].toArray().at(0)["dll"].toString(), "FSM Kick");
        QStringList inFileOrder;
        for (const QJsonValue& m : songs.at(0)["machines"].toArray()) {
            inFileOrder << m["name"].toString() + '|' + m["dll"].toString() + '|' + m["kind"].toString();
        }
        QCOMPARE(inFileOrder, (QStringList{"Kick|Acme Kick|generator", "Bass|Jeskola Bass 3|generator",
                                           "Pad|Lunar Pad|generator", "Echo|Acme Delay|effect",
                                           "Room|Jeskola Raverb|effect", "Crush|Ember Crusher|effect"}));
        QCOMPARE(songs.at(1)["machines"].toArray().size(), 0); // master only
        // The cut-short song's machines before the break count too.
        QStringList lists;
        for (const char* name : {"generatorsUsed", "effectsUsed", "missingGenerators", "missingEffects"}) {
            lists << strings(root[QLatin1String(name)]).join('|');
        }
        QCOMPARE(lists, (QStringList{"Acme Kick|Ember Lead|FSM Kick|Jeskola Bass 3|Lunar Arp|Lunar Pad",
                                     "Acme Delay|Ember Crusher|Glass Chorus|Glass Wah|Jeskola Raverb",
                                     "(eff dir)Lunar Arp.dll|Ember Lead.dll|FSM Kick.dll|Lunar Pad.dll",
                                     "(gen dir)Glass Chorus.dll|Ember Crusher.dll|Glass Wah.dll"}));
    }

    void hostFolderFromWinePrefix();

    void missingWineSettingsWarnAndFallBack()
    {
        const QString song = samples("songs/evening.bmx");
        const Result r = run({"scan", "--log", song});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err, "Unable to open the key Settings.  HKEY_CURRENT_USER\\Software\\Jeskola\\Buzz\\Settings not "
                        "found in Windows Registry.  Using current directory of " + prog({}) +
                            " as temporary Buzz path.  Try running Buzz usually corrects Buzz Registry settings.\n");
        // The log comes first, then a blank line and the report.
        QVERIFY2(r.out.startsWith("Scanning " + QDir::toNativeSeparators(song) + '\n'), qPrintable(r.out));
        const QString last = "\nMachine DLL name Ember Crusher\n";
        QVERIFY(r.out.indexOf("\n****Scanning MACH Section****\n") < r.out.indexOf(last));
        QVERIFY(r.out.endsWith(last + "\nGenerators used\n  Acme Kick\n  Jeskola Bass 3\n  Lunar Pad\nEffects used\n"
                                      "  Acme Delay\n  Ember Crusher\n  Jeskola Raverb\nMissing Generators\n"
                                      "  Acme Kick.dll\n  Lunar Pad.dll\nMissing Effects\n  Acme Delay.dll\n"
                                      "  Ember Crusher.dll\n"));
        QCOMPARE(entries(prog({})), QStringList()); // the command line only reads: it makes no gear folders
    }

    void updateCatalogue()
    {
        // Before the first update there is no list to show.
        for (const QString list : {"allgenerators.txt", "alleffects.txt"}) {
            const Result r = run({"catalogue", list == "alleffects.txt" ? "--effects" : "Acme"});
            QCOMPARE(r.status, 2);
            QCOMPARE(r.out, QString());
            QVERIFY2(r.err.startsWith("gearwarden catalogue: cannot read " + prog(list) + ": "), qPrintable(r.err));
        }

        // The generators' page comes compressed although identity was asked for: it is decoded.
        Reply generators = reply(gzip(page(kGenerators, true)));
        generators.headers << "Content-Encoding: gzip";
        m_server->setReply("/allgenerators.php", generators);
        m_server->setReply("/alleffects.php", reply(page(kEffects, true)));
        const QStringList update{"update-catalogue", "--archive-url", m_server->baseUrl()};
        const Result r = run(update);
        QCOMPARE(r.status, 0);
        QCOMPARE(contents(prog("allgenerators.txt")), page(kGenerators));
        QCOMPARE(contents(prog("alleffects.txt")), page(kEffects));
        QCOMPARE(m_server->requestedPaths(), (QList<QByteArray>{"/allgenerators.php", "/alleffects.php"}));
        for (const TestHttpServer::Request& request : m_server->requests()) {
            QVERIFY2(request.head.contains("\r\nAccept-Encoding: identity\r\n"), request.head.constData());
        }
        // Sizes read as in the window: two blanks, then the number with a leading blank.
        const auto fetched = [this](const QString& name, qsizetype size, bool log) {
            const QString completed = QString("Completed download of %1   %2 bytes").arg(name).arg(size);
            return QStringList{"Downloading " + m_server->baseUrl() + name} + QStringList(log ? 1 : 0, name) +
                   QStringList{"Content-Type is text/html", completed};
        };
        const qsizetype effects = page(kEffects, true).size();
        const QStringList converted{"Converting allgenerators.htm from UNIX to DOS",
                                    "Converting alleffects.htm from UNIX to DOS",
                                    "Completed converting allgenerators.htm and alleffects.htm from UNIX to DOS", ""};
        QCOMPARE(r.out.split('\n'), fetched("allgenerators.php", generators.body.size(), true) +
                                        fetched("alleffects.php", effects, true) + converted);
        // Status texts go to standard error, not into the log; each page's count ends at its size.
        QStringList statuses = r.err.split('\n');
        QVERIFY(statuses.contains(QString("Downloading alleffects.php   %1 bytes downloaded").arg(effects)));
        statuses.removeIf([](const QString& line) { return line.endsWith(" bytes downloaded"); });
        QCOMPARE(statuses, fetched("allgenerators.php", generators.body.size(), false) +
                               fetched("alleffects.php", effects, false) + converted);

        // Without a content type on the second page neither list is converted, and the old ones stay.
        const std::vector<CatalogueMachine> fewer(kGenerators.begin(), kGenerators.begin() + 1);
        m_server->setReply("/allgenerators.php", reply(page(fewer, true)));
        m_server->setReply("/alleffects.php", reply("fresh\n", {}));
        const Result failed = run(update);
        QCOMPARE(failed.status, 1);
        QVERIFY2(failed.out.endsWith("Connected?  Did not download alleffects.php\n"), qPrintable(failed.out));
        QVERIFY(!failed.out.contains("Converting"));
        QCOMPARE(contents(prog("alleffects.php")), page(kEffects, true)); // the page without a type is not kept
        QCOMPARE(contents(prog("allgenerators.txt")), page(kGenerators));
        QCOMPARE(contents(prog("alleffects.txt")), page(kEffects));

        // Without the first page, its copy from the run above is converted with the second; the run still failed.
        m_server->setReply("/allgenerators.php", reply("fresh\n", {}));
        m_server->setReply("/alleffects.php", reply(page(kEffects, true)));
        QCOMPARE(run(update).status, 1);
        QCOMPARE(contents(prog("allgenerators.txt")), page(fewer));
        QCOMPARE(contents(prog("alleffects.txt")), page(kEffects));
    }

    void download_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QByteArray>("path"); // requested; empty when no request may be made
        QTest::addColumn<int>("how");
        QTest::addColumn<bool>("generator");
        QTest::addColumn<QString>("said"); // on either stream
        const auto row = [](const char* name, How how, const QString& said, const char* path = "/machines/Kick.zip",
                            const QString& entry = "Kick.zip", bool generator = true) {
            QTest::newRow(name) << entry << QByteArray(path) << int(how) << generator << said;
        };
        row("generator", Plain, "\nGenerators folder is unzip destination\n");
        row("effect", Plain, "\nEffects folder is unzip destination\n", "/machines/Kick.zip", "Kick.zip", false);
        // Escaped in the address; the saved file keeps the entry's name as written.
        row("blank", Plain, "download of A Kick.zip   2500 bytes\n", "/machines/A%20Kick.zip", "A Kick.zip", false);
        row("escaped", Plain, "\nA%20Kick.zip\n", "/machines/A%20Kick.zip", "A%20Kick.zip");
        row("# and ?", Plain, "\nKick#1?.zip\n", "/machines/Kick%231%3F.zip", "Kick#1?.zip");
        row("earlier kept", Earlier,
            "File exists Kick.zip\nFile Kick.zip exists.  File Length is  16  Overwrite? No (give --yes to overwrite)\n"
            "Aborting download of Kick.zip\n", "");
        row("earlier replaced", EarlierYes, "  Overwrite? Yes (--yes)\nOverwriting Kick.zip\n");
        row("not found", NotFound, "\nConnected?  Did not download Kick.zip\n");
        // It arrived whole, so it stays for the user to look at.
        row("damaged zip", Damaged, "download of Kick.zip   2500 bytes\n");
        // Compressed although identity was asked for: judged whole by the bytes that came, then decoded.
        row("gzip", Gzip, "\nGenerators folder is unzip destination\n");
        row("gzip damaged", GzipDamaged, "\nDid not complete download of Kick.zip\n");
        for (const char* entry : {"../evil.zip", "..\\evil.zip", "sub/evil.zip"}) {
            row(entry, Refused, "Refusing to download " + QString(entry) + ": it is not a plain", "", entry);
        }
    }
    void download()
    {
        QFETCH(QString, entry);
        QFETCH(QByteArray, path);
        QFETCH(int, how);
        QFETCH(bool, generator);
        QFETCH(QString, said);
        Reply served = reply(m_zip, "application/zip");
        if (how == Damaged) {
            served.body[m_zip.indexOf(m_dll) + 100] = 'K';
        } else if (how == Gzip || how == GzipDamaged) {
            served.body = how == Gzip ? gzip(m_zip) : gzip(m_zip).left(40) + QByteArray(60, 'x');
            served.headers << "Content-Encoding: gzip";
        }
        if (!path.isEmpty() && how != NotFound) {
            m_server->setReply(path, served);
        }
        QVERIFY((how != Earlier && how != EarlierYes) || writeBytes(prog(entry), "earlier download"));
        QStringList arguments{"download", entry, generator ? "--generator" : "--effect", "--host-folder", host({}),
                              "--archive-url", m_server->baseUrl()};
        const Result r = run(how == EarlierYes ? arguments << "--yes" : arguments);
        const bool ok = how == Plain || how == EarlierYes || how == Gzip;
        QCOMPARE(r.status, ok ? 0 : 1);
        QVERIFY2((r.out + r.err).contains(said), qPrintable(r.out + r.err));
        // The size told is the one declared, of the bytes as they came.
        const QString completed = QString("Completed download of %1   %2 bytes\n").arg(entry).arg(served.body.size());
        QCOMPARE(r.out.contains(completed), ok || how == Damaged);
        QCOMPARE(m_server->requestedPaths(), path.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{path});
        for (const TestHttpServer::Request& request : m_server->requests()) {
            QVERIFY2(request.head.contains("\r\nAccept-Encoding: identity\r\n"), request.head.constData());
        }
        // Installed flat into its own gear folder, or nowhere; nothing written beside the two folders.
        const QString gear = generator ? "gear/generators/" : "gear/effects/";
        QCOMPARE(entries(host(gear)), ok ? QStringList{"Acme Kick.dll"} : QStringList());
        QCOMPARE(entries(host(generator ? "gear/effects/" : "gear/generators/")), QStringList());
        QCOMPARE(contents(host(gear + "Acme Kick.dll")), ok ? m_dll : QByteArray("<missing>"));
        QCOMPARE(entries(m_dir->path()), (QStringList{"host", "prog"}));
        if (ok && how != Gzip) { // a progress status for every chunk but the last
            QCOMPARE(r.err.split('\n').filter(" bytes downloaded"),
                     (QStringList{QString("Downloading %1   1024 of  2500 bytes downloaded").arg(entry),
                                  QString("Downloading %1   2048 of  2500 bytes downloaded").arg(entry)}));
        }
        QByteArray kept = ok ? m_zip : how == Damaged ? served.body : QByteArray(); // decoded when compressed
        kept = how == Earlier ? "earlier download" : kept;
        QCOMPARE(entries(prog({})), kept.isEmpty() ? QStringList() : QStringList{entry});
        QCOMPARE(contents(prog(entry)), kept.isEmpty() ? QByteArray("<missing>") : kept);
    }

    void fetchMissingThenBundle()
    {
        // Three machines the catalogue has (by name, by a close name, by file name), one it has not.
        gw::test::SongWriter song;
        song.addSimple("Kick", "Acme Kick", 1).addSimple("Pad", "Zed Pad v2", 1).addSimple("Chorus", "Glass Wide", 2);
        const QString songPath = m_dir->filePath("song.bmx");
        QVERIFY(song.addSimple("Ghost", "Nowhere", 2).writeTo(songPath.toStdString()));
        std::vector<CatalogueMachine> effects = kEffects;
        effects.push_back({"Glass_Wide.zip", "2006-01-01", "Glass", "Wide by Glass", "", "Effect", "1.0", ""});
        QVERIFY(writeBytes(prog("allgenerators.txt"), page(kGenerators)));
        QVERIFY(writeBytes(prog("alleffects.txt"), page(effects)));
        for (const QByteArray dll : {"Acme Kick", "Zed Pad v2", "Glass Wide"}) {
            const QByteArray entry = QByteArray(dll).replace(" v2", "").replace(' ', '_') + ".zip";
            m_server->setReply("/machines/" + entry, reply(gw::test::ZipWriter().add(dll + ".dll", entry).bytes()));
        }
        const Result fetched =
            run({"fetch-missing", "--host-folder", host({}), "--archive-url", m_server->baseUrl(), songPath});
        QCOMPARE(fetched.status, 1);
        QCOMPARE(fetched.out, "Machine         Kind       Entry           Result\n"
                              "Acme Kick.dll   generator  Acme_Kick.zip   installed\n"
                              "Zed Pad v2.dll  generator  Zed_Pad.zip     installed\n"
                              "Glass Wide.dll  effect     Glass_Wide.zip  installed\n"
                              "Nowhere.dll     effect     -               no match\n");
        QCOMPARE(entries(host("gear/generators")), (QStringList{"Acme Kick.dll", "Zed Pad v2.dll"}));
        QCOMPARE(entries(host("gear/effects")), QStringList{"Glass Wide.dll"});
        const Result scanned = run({"scan", "--host-folder", host({}), songPath});
        QCOMPARE(scanned.status, 1);
        QVERIFY2(scanned.out.endsWith(kMissingOnlyNowhere), qPrintable(scanned.out));

        // The song with its machines, into a fresh host: only the machine this host lacks is still missing.
        const QString bundle = m_dir->filePath("shared.zip"), fresh = m_dir->filePath("fresh");
        const Result bundled = run({"bundle", "--host-folder", host({}), "-o", bundle, songPath});
        QCOMPARE(bundled.status, 1);
        QVERIFY(bundled.out.contains("effect Nowhere.dll: missing\n"));
        QVERIFY(QDir().mkpath(fresh));
        QCOMPARE(run({"install-bundle", "--host-folder", fresh, "--songs-to", fresh + "/songs", bundle}).status, 0);
        const Result again = run({"scan", "--host-folder", fresh, fresh + "/songs"});
        QVERIFY2(again.out.endsWith(kMissingOnlyNowhere), qPrintable(again.out));
    }

private:
    Result run(const QStringList& arguments, const QProcessEnvironment& environment = {});
    static QString samples(const QString& relative) { return QStringLiteral(GW_SAMPLES "/") + relative; }
    static QStringList strings(const QJsonValue& value) { return value.toVariant().toStringList(); }
    static QStringList entries(const QString& folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }
    QString prog(const QString& name) const { return m_dir->filePath("prog/" + name); }
    QString host(const QString& name) const { return m_dir->filePath("host/" + name); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestHttpServer> m_server;
    QProcessEnvironment m_environment;
    QByteArray m_dll;
    QByteArray m_zip;
};

Result TestCli::run(const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment.isEmpty() ? m_environment : environment);
    // Options before the command are its own too; placed first, they cannot become another option's value.
    process.start(QStringLiteral(GW_EXECUTABLE), QStringList{"--program-folder", prog({})} + arguments);
    // The server answers from this thread's events, so the wait must keep them flowing.
    const QDeadlineTimer deadline(60000);
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

void TestCli::hostFolderFromWinePrefix()
{
    // A prefix whose C: drive is a link, as Wine makes it, with the host installed on it. Its gear folders were made
    // on a case-sensitive disk as "Gear/Generators" and "Gear/Effects"; one effect was filed with the generators.
    QDir dir(m_dir->path());
    QVERIFY(dir.mkpath(QStringLiteral("prefix/dosdevices")));
    QVERIFY(dir.mkpath(QStringLiteral("drive/Program Files/Buzz/Gear/Generators")));
    QVERIFY(dir.mkpath(QStringLiteral("drive/Program Files/Buzz/Gear/Effects")));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("drive")), dir.filePath(QStringLiteral("prefix/dosdevices/c:"))));
    QFile(dir.filePath(QStringLiteral("drive/Program Files/Buzz/Gear/Generators/lunar pad.DLL"))).open(QIODevice::WriteOnly);
    QFile(dir.filePath(QStringLiteral("drive/Program Files/Buzz/Gear/Generators/Ember Crusher.dll"))).open(QIODevice::WriteOnly);
    QFile reg(dir.filePath(QStringLiteral("prefix/user.reg")));
    QVERIFY(reg.open(QIODevice::WriteOnly));
    reg.write("WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n\n"
              "[Software\\\\Jeskola\\\\Buzz\\\\Settings] 1733443200\n#time=1db47c0a0b0c0d0\n"
              "\"BuzzPath\"=\"C:\\\\Program Files\\\\Buzz\"\n\"OpenSongDir\"=\"C:\\\\songs\"\n");
    reg.close();
    QProcessEnvironment environment = m_environment;
    environment.insert(QStringLiteral("WINEPREFIX"), dir.filePath(QStringLiteral("prefix")));

    const Result r = run({QStringLiteral("scan"), QStringLiteral("--json"), samples(QStringLiteral("songs/evening.bmx"))},
                         environment);
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    const QJsonObject root = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QCOMPARE(strings(root.value(QStringLiteral("missingGenerators"))), QStringList({QStringLiteral("Acme Kick.dll")}));
    QCOMPARE(strings(root.value(QStringLiteral("missingEffects"))),
             QStringList({QStringLiteral("(gen dir)Ember Crusher.dll"), QStringLiteral("Acme Delay.dll")}));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
