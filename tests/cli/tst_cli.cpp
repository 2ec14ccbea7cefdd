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
    QString out, err;
};

/** The body sent gzip-compressed: qCompress's deflate data between the gzip header and trailer. */
Reply gzipped(const QByteArray& data)
{
    QByteArray trailer(8, '\0');
    qToLittleEndian(quint32(crc32(0, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size()))),
                    trailer.data());
    qToLittleEndian(quint32(data.size()), trailer.data() + 4);
    const QByteArray header("\x1f\x8b\x08\0\0\0\0\0\0\xff", 10);
    return {.headers = {"Content-Encoding: gzip"}, .body = header + qCompress(data).mid(6).chopped(4) + trailer};
}

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

// How the server answers a download, or why none is asked for.
enum How { Plain, Effect, Damaged, Earlier, EarlierYes, Gzip, GzipDamaged };

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
        // The last --program-folder wins over the one every run is given.
        // The path as the platform writes it, and the platform's reason.
        QFile noList(QDir::current().absoluteFilePath("no-such/alleffects.txt"));
        QVERIFY(!noList.open(QIODevice::ReadOnly));
        row("no list", {"catalogue", "--effects", "--program-folder", "no-such"}, 2, {},
            "gearwarden catalogue: cannot read " + QDir::toNativeSeparators(noList.fileName()) + ": " +
                noList.errorString() + "\n");
        row("version", {"--version"}, 0, "gearwarden 1.0\n");
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
        QCOMPARE(pathAndError, (QStringList{"songs/evening.bmx|null", "songs/master-only.bmx|null",
                                            "songs/swapped.bmw|null", "broken/cut-short.bmx|" + error,
                                            "a/one.bmw|null", "b/two.BMX|null", "c/old.bmx|null"}));
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

    void catalogueUpdatedThenMissingFetchedAndBundled()
    {
        // The generators' page comes compressed although identity was asked for: it is decoded.
        const Reply generators = gzipped(page(kGenerators, true));
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
                r.out.endsWith("\nConverting allgenerators.htm from UNIX to DOS\nConverting alleffects.htm from UNIX to DOS\n"
                               "Completed converting allgenerators.htm and alleffects.htm from UNIX to DOS\n"));
        // Status texts go to standard error, the log to standard output: the same lines, but for the page names
        // alone in the log and the progress counts, each page's ending at its size, among the statuses.
        QStringList log = r.out.split('\n'), statuses = r.err.split('\n');
        const qsizetype effects = page(kEffects, true).size();
        QVERIFY(statuses.contains(QString("Downloading alleffects.php   %1 bytes downloaded").arg(effects)));
        statuses.removeIf([](const QString& line) { return line.endsWith(" bytes downloaded"); });
        QVERIFY(log.removeOne("allgenerators.php") && log.removeOne("alleffects.php"));
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

        // The song with its machines, into a fresh host: only the machine this host lacks is still missing.
        const QString bundle = m_dir->filePath("shared.zip"), fresh = m_dir->filePath("fresh");
        const Result bundled = run({"bundle", "--host-folder", host({}), "-o", bundle, songPath});
        QCOMPARE(bundled.status, 1);
        QVERIFY(bundled.out.contains("effect Nowhere.dll: missing\n"));
        QVERIFY(QDir().mkpath(fresh));
        QCOMPARE(run({"install-bundle", "--host-folder", fresh, "--songs-to", fresh + "/songs", bundle}).status, 0);
        const Result again = run({"scan", "--host-folder", fresh, fresh + "/songs"});
        QVERIFY2(again.out.endsWith("Missing Generators\nMissing Effects\n  Nowhere.dll\n"), qPrintable(again.out));

        // Without a content type on the first page, its earlier copy is converted with the second; the run fails.
        const std::vector<CatalogueMachine> fewer(kGenerators.begin(), kGenerators.begin() + 1);
        QVERIFY(writeBytes(prog("allgenerators.php"), page(fewer, true)));
        m_server->setReply("/allgenerators.php", {.contentType = "", .body = "fresh\n"});
        const Result failed = run(update);
        QCOMPARE(failed.status, 1);
        QVERIFY2(failed.out.contains("\nConnected?  Did not download allgenerators.php\n"), qPrintable(failed.out));
        QCOMPARE(contents(prog("allgenerators.txt")), page(fewer));

        // Without a content type on the second page, neither list is converted and that page is not kept.
        m_server->setReply("/allgenerators.php", {.body = page(kGenerators, true)});
        m_server->setReply("/alleffects.php", {.contentType = "", .body = "fresh\n"});
        QCOMPARE(run(update).status, 1);
        QCOMPARE(contents(prog("allgenerators.txt")), page(fewer));
        QCOMPARE(contents(prog("alleffects.php")), page(kEffects, true));
    }

    void download_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QByteArray>("path"); // asked for, unless the run stops before
        QTest::addColumn<int>("how");
        QTest::addColumn<QString>("said"); // on either stream
        const auto row = [](const char* name, How how, const QString& said, const char* path = "/machines/Kick.zip",
                            const QString& entry = "Kick.zip") {
            QTest::newRow(name) << entry << QByteArray(path) << int(how) << said;
        };
        // Sizes read as in the window, on standard error: a progress status for every chunk but the last.
        row("generator", Plain,
            "Content-Length is  2500\nDownloading Kick.zip   1024 of  2500 bytes downloaded\nDownloading Kick.zip   "
            "2048 of  2500 bytes downloaded\nCompleted download of Kick.zip   2500 bytes\n");
        // Escaped in the address; the saved file keeps the entry's name as written.
        row("effect, blank, # and ?", Effect, "\nEffects folder is unzip destination\n",
            "/machines/A%20Kick%231%3F.zip", "A Kick#1?.zip");
        row("escaped", Plain, "\nA%20Kick.zip\n", "/machines/A%20Kick.zip", "A%20Kick.zip");
        row("earlier kept", Earlier, "  Overwrite? No (give --yes to overwrite)\nAborting download of Kick.zip\n");
        row("earlier replaced", EarlierYes, "  Overwrite? Yes (--yes)\nOverwriting Kick.zip\n");
        // It arrived whole, so it stays for the user to look at.
        row("damaged zip", Damaged, "download of Kick.zip   2500 bytes\n");
        // Compressed although identity was asked for: judged whole by the bytes that came, then decoded.
        row("gzip", Gzip, "\nGenerators folder is unzip destination\n");
        row("gzip damaged", GzipDamaged, "\nDid not complete download of Kick.zip\n");
    }
    void download()
    {
        QFETCH(QString, entry);
        QFETCH(QByteArray, path);
        QFETCH(int, how);
        QFETCH(QString, said);
#ifdef Q_OS_WIN
        if (entry.contains('?')) {
            QSKIP("Windows allows no '?' in a file name");
        }
#endif
        // 2500 bytes, so a download shows progress for 1024 and 2048 before its last chunk.
        const auto zipOf = [](const QByteArray& dll) {
            return gw::test::ZipWriter().add("sub/Acme Kick.dll", dll, gw::test::ZipWriter::Method::Store).bytes();
        };
        const QByteArray dll(2500 - (zipOf("k").size() - 1), 'k'), zip = zipOf(dll);
        QCOMPARE(zip.size(), 2500);
        Reply served = how == Gzip || how == GzipDamaged ? gzipped(zip) : Reply{.body = zip};
        if (how == Damaged) {
            served.body[zip.indexOf(dll) + 100] = 'K';
        } else if (how == GzipDamaged) {
            served.body = served.body.left(40) + QByteArray(60, 'x');
        }
        m_server->setReply(path, served);
        QVERIFY((how != Earlier && how != EarlierYes) || writeBytes(prog(entry), "earlier download"));
        QStringList arguments{"download", entry, how == Effect ? "--effect" : "--generator", "--host-folder", host({}),
                              "--archive-url", m_server->baseUrl()};
        const Result r = run(how == EarlierYes ? arguments << "--yes" : arguments);
        const bool ok = how == Plain || how == Effect || how == EarlierYes || how == Gzip;
        QCOMPARE(r.status, ok ? 0 : 1);
        QVERIFY2((r.out + r.err).contains(said), qPrintable(r.out + r.err));
        QCOMPARE(m_server->requestedPaths(), how == Earlier ? QList<QByteArray>() : QList<QByteArray>{path});
        // Installed flat into its own gear folder, or nowhere; the zip stays unless its body could not be decoded.
        const QString gear = host(how == Effect ? "gear/effects/" : "gear/generators/");
        QCOMPARE(entries(gear), ok ? QStringList{"Acme Kick.dll"} : QStringList());
        QCOMPARE(contents(gear + "Acme Kick.dll"), ok ? dll : QByteArray("<missing>"));
        QCOMPARE(entries(prog({})), how == GzipDamaged ? QStringList() : QStringList{entry});
    }

private:
    Result run(const QStringList& arguments)
    {
        QProcess process;
        process.setProcessEnvironment(m_environment);
        // Options before the command are its own too; placed first, they cannot become another option's value.
        process.start(GW_EXECUTABLE, QStringList{"--program-folder", prog({})} + arguments);
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
    static QString samples(const QString& relative) { return QStringLiteral(GW_SAMPLES "/") + relative; }
    static QStringList entries(const QString& folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }
    QString prog(const QString& name) const { return m_dir->filePath("prog/" + name); }
    QString host(const QString& name) const { return m_dir->filePath("host/" + name); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestHttpServer> m_server;
    QProcessEnvironment m_environment;
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
