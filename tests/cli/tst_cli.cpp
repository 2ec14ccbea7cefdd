#include "CatalogueWriter.h"
#include "SongWriter.h"
#include "TestHttpServer.h"
#include "ZipWriter.h"

#include <QtTest>

#include <zlib.h>

#include <memory>

using namespace Qt::StringLiterals;

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

// Out of name order, with a tab, a Windows-1252 euro sign and letters whose case differs from the filters'.
const std::vector<CatalogueMachine> kGenerators = {
    {"Zed_Pad.zip", "2001-02-03", "Zed", "Zed Pad", "Warm\tpad", "Generator", "2.0", "Alpha"},
    {"Acme_Kick.zip", "2003-04-05", "Acme", "Acme Kick", "Kick for \x80 5", "Generator", "1.2", "Stable"},
    {"Lunar_Arp.zip", "2004-05-06", "Lunar", "Lunar Arp", "Arpeggio", "Generator", "0.9", "Beta"},
};
const std::vector<CatalogueMachine> kEffects = {
    {"Glass_Chorus.zip", "2005-06-07", "Glass", "Glass Chorus", "Chorus", "Effect", "1.0", "Stable"},
};

Reply reply(const QByteArray& body, const QByteArray& type = "text/html")
{
    return {.contentType = type, .body = body};
}

// How the server answers a download, or why none is asked for.
enum How { Plain, NoLength, Dropped, NotFound, Damaged, Earlier, EarlierYes, Refused, Gzip, GzipDamaged };

} // namespace

/** Runs the real executable, as a user or a script would, with a scripted server on 127.0.0.1 for the transfers. */
class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void commands_data();
    void commands();
    void scanJsonListsEachSong();
    void hostFolderFromWinePrefix();
    void missingWineSettingsWarnAndFallBack();
    void catalogueWithoutItsFile();
    void updateCatalogue();
    void download_data();
    void download();
    void fetchMissingThenBundle();

private:
    Result run(const QStringList& arguments, const QProcessEnvironment& environment = {});
    Result download(const QString& entry, const QString& kind, const QStringList& more = {});
    static QString samples(const QString& relative) { return QStringLiteral(GW_SAMPLES "/") + relative; }
    static QStringList strings(const QJsonValue& value) { return value.toVariant().toStringList(); }
    static QStringList entries(const QString& dir)
    {
        return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    }
    QString prog(const QString& name) const { return m_dir->filePath(u"prog/"_s + name); }
    QString host(const QString& name) const { return m_dir->filePath(u"host/"_s + name); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestHttpServer> m_server;
    QProcessEnvironment m_environment;
    QByteArray m_dll;
    QByteArray m_zip;
};

void TestCli::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkpath(u"prog"_s) && QDir(m_dir->path()).mkpath(u"host"_s));
    m_server = std::make_unique<TestHttpServer>();
    QVERIFY(m_server->listen());
    // No Wine prefix of the machine's user and no proxy may come between the executable and the test.
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(u"WINEPREFIX"_s, m_dir->filePath(u"no-prefix"_s));
    for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) {
        m_environment.remove(QLatin1String(name));
    }
    // 2500 bytes, so a download shows progress for 1024 and 2048 before its last chunk.
    m_dll = QByteArray(2500 - (zipOf("k").size() - 1), 'k');
    m_zip = zipOf(m_dll);
    QCOMPARE(m_zip.size(), 2500);
}

Result TestCli::run(const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment.isEmpty() ? m_environment : environment);
    // Options before the command are its own too; placed first, they cannot become another option's value.
    process.start(QStringLiteral(GW_EXECUTABLE), QStringList{u"--program-folder"_s, prog({})} + arguments);
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

Result TestCli::download(const QString& entry, const QString& kind, const QStringList& more)
{
    return run(
        QStringList{u"download"_s, entry, kind, u"--host-folder"_s, host({}), u"--archive-url"_s, m_server->baseUrl()} +
        more);
}

void TestCli::commands_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out"); // how help texts begin
    QTest::addColumn<QString>("err");
    const auto usage = [](const char* name, const QStringList& arguments, const QString& message) {
        QTest::newRow(name) << arguments << 2 << QString()
                            << u"gearwarden %1: %2\nTry 'gearwarden %1 --help'.\n"_s.arg(arguments.first(), message);
    };
    usage("scan without a path", {u"scan"_s}, u"scan needs at least one song file or folder"_s);
    usage("unknown option", {u"scan"_s, u"--colour"_s, u"songs"_s}, u"unknown option '--colour'"_s);
    usage("option without value", {u"scan"_s, u"--host-folder"_s}, u"--host-folder needs a value"_s);
    usage("log and json", {u"scan"_s, u"--log"_s, u"--json"_s, u"x"_s}, u"--log and --json cannot be used together"_s);
    usage("two filters", {u"catalogue"_s, u"a"_s, u"b"_s}, u"give at most one FILTER"_s);
    usage("update with argument", {u"update-catalogue"_s, u"extra"_s}, u"unexpected argument 'extra'"_s);
    usage("both kinds", {u"download"_s, u"A.zip"_s, u"--generator"_s, u"--effect"_s},
          u"give exactly one of --generator and --effect"_s);
    usage("no kind", {u"download"_s, u"A.zip"_s}, u"give exactly one of --generator and --effect"_s);
    usage("no entry", {u"download"_s, u"--effect"_s}, u"give exactly one ENTRY"_s);
    QTest::newRow("absent song") << QStringList{u"scan"_s, u"no/such.bmx"_s} << 2 << QString()
                                 << u"gearwarden scan: %1: no such file or folder\n"_s.arg(
                                        QDir::toNativeSeparators(u"no/such.bmx"_s));
    QTest::newRow("version") << QStringList{u"--version"_s} << 0 << u"gearwarden 1.0\n"_s << QString();
    // Each command's help is its own.
    QTest::newRow("help") << QStringList{u"--help"_s} << 0
                          << u"Usage: gearwarden [--program-folder DIR] [--archive-url URL]\n       gearwarden scan "
                             "[--host-folder DIR] [--program-folder DIR] [--log] [--json] PATH...\n"_s
                          << QString();
    QTest::newRow("download help") << QStringList{u"download"_s, u"--help"_s} << 0
                                   << u"Usage: gearwarden download (--generator|--effect) ENTRY [--yes] "_s
                                   << QString();
    QTest::newRow("catalogue help") << QStringList{u"--help"_s, u"catalogue"_s} << 0
                                    << u"Usage: gearwarden catalogue [--program-folder DIR] [--effects] "_s
                                    << QString();

    const QStringList scan{u"scan"_s, u"--host-folder"_s, samples(u"host"_s)};
    QTest::newRow("report")
        << scan + QStringList{samples(u"songs/evening.bmx"_s)} << 1
        << u"Generators used\n  Acme Kick\n  Jeskola Bass 3\n  Lunar Pad\nEffects used\n  Acme Delay\n"
           "  Ember Crusher\n  Jeskola Raverb\nMissing Generators\n  Lunar Pad.dll\n"
           "Missing Effects\n  Ember Crusher.dll\n"_s
        << QString();
    // Nothing missing (the master is built in): exit status 0.
    QTest::newRow("clean song") << scan + QStringList{samples(u"songs/master-only.bmx"_s)} << 0
                                << u"Generators used\nEffects used\nMissing Generators\nMissing Effects\n"_s
                                << QString();

    const QString zed = u"Zed_Pad.zip\t2001-02-03\tZed\tZed Pad\tWarm pad\tGenerator\t2.0\tAlpha\n"_s;
    const QString acme = u"Acme_Kick.zip\t2003-04-05\tAcme\tAcme Kick\tKick for \u20ac 5\tGenerator\t1.2\tStable\n"_s;
    const QString lunar = u"Lunar_Arp.zip\t2004-05-06\tLunar\tLunar Arp\tArpeggio\tGenerator\t0.9\tBeta\n"_s;
    const auto rows = [](const char* name, const QStringList& arguments, const QString& out) {
        QTest::newRow(name) << QStringList{u"catalogue"_s} + arguments << 0 << out << QString();
    };
    rows("rows in file order", {}, zed + acme + lunar);
    // The filter looks at every field, not only the name or the file name.
    rows("filter on status", {u"bETA"_s}, lunar);
    rows("filter on description", {u"WARM"_s}, zed);
    rows("entries", {u"--entries"_s}, u"Zed_Pad.zip\nAcme_Kick.zip\nLunar_Arp.zip\n"_s);
    rows("entries filtered", {u"--entries"_s, u"KICK"_s}, u"Acme_Kick.zip\n"_s);
    rows("entries as json", {u"--entries"_s, u"--json"_s},
         u"[\n    \"Zed_Pad.zip\",\n    \"Acme_Kick.zip\",\n    \"Lunar_Arp.zip\"\n]\n"_s);
    rows(
        "rows as json", {u"--json"_s, u"kick"_s},
        u"[\n    {\n        \"date\": \"2003-04-05\",\n        \"description\": \"Kick for \u20ac 5\",\n"
        "        \"developer\": \"Acme\",\n        \"filename\": \"Acme_Kick.zip\",\n        \"name\": \"Acme Kick\",\n"
        "        \"status\": \"Stable\",\n        \"type\": \"Generator\",\n        \"version\": \"1.2\"\n    }\n]\n"_s);
    rows("effects", {u"--effects"_s},
         u"Glass_Chorus.zip\t2005-06-07\tGlass\tGlass Chorus\tChorus\tEffect\t1.0\tStable\n"_s);
}

void TestCli::commands()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, out);
    QVERIFY(writeBytes(prog(u"allgenerators.txt"_s), page(kGenerators)));
    QVERIFY(writeBytes(prog(u"alleffects.txt"_s), page(kEffects)));
    // A download that went ahead despite an error shows as a request here, not on the real archive.
    const QStringList server{u"--archive-url"_s, m_server->baseUrl()};
    const Result r = run(arguments.first() == u"download"_s ? arguments + server : arguments);
    QTEST(r.err, "err");
    QCOMPARE(arguments.contains(u"--help"_s) ? r.out.left(out.size()) : r.out, out);
    QTEST(r.status, "status");
    QVERIFY(m_server->requests().isEmpty());
}

void TestCli::scanJsonListsEachSong()
{
    // A folder is searched for .bmx and .bmw in any letter case, in path order.
    QDir dir(m_dir->path());
    QVERIFY(dir.mkpath(u"tree/b"_s) && dir.mkpath(u"tree/a"_s));
    for (const QString& name : {u"tree/b/two.BMX"_s, u"tree/a/one.bmw"_s, u"tree/a/notes.txt"_s}) {
        QVERIFY(QFile::copy(samples(u"songs/master-only.bmx"_s), dir.filePath(name)));
    }
    const Result r = run({u"scan"_s, u"--json"_s, u"--host-folder"_s, samples(u"host"_s), samples(u"songs"_s),
                          samples(u"broken"_s), dir.filePath(u"tree"_s)});
    QCOMPARE(r.status, 2); // a song could not be read
    const QString cutShort = u"File "_s + QDir::toNativeSeparators(samples(u"broken/cut-short.bmx"_s)) +
                             u" ends in the middle of its MACH section.  Probably a damaged buzz file."_s;
    const QString noPara = u"File "_s + QDir::toNativeSeparators(samples(u"broken/older.bmx"_s)) +
                           u" does not contain PARA section, which is required by this program.  "
                           "Probably created with Buzz version <1.2"_s;
    QCOMPARE(r.err, cutShort + u'\n' + noPara + u'\n');
    const QJsonObject root = QJsonDocument::fromJson(r.out.toUtf8()).object();
    const QJsonArray songs = root[u"songs"_s].toArray();
    QStringList pathAndError;
    for (const QJsonValue& song : songs) {
        const QString path = QDir::fromNativeSeparators(song[u"path"_s].toString());
        pathAndError << path.section(u'/', -2) + u'|' + song[u"error"_s].toString(u"null"_s);
    }
    // Folder and file name show the order across the folders searched.
    QCOMPARE(pathAndError, (QStringList{u"songs/evening.bmx|null"_s, u"songs/master-only.bmx|null"_s,
                                        u"songs/swapped.bmw|null"_s, u"broken/cut-short.bmx|"_s + cutShort,
                                        u"broken/older.bmx|"_s + noPara, u"a/one.bmw|null"_s, u"b/two.BMX|null"_s}));
    QStringList inFileOrder;
    for (const QJsonValue& m : songs.at(0)[u"machines"_s].toArray()) {
        inFileOrder << m[u"name"_s].toString() + u'|' + m[u"dll"_s].toString() + u'|' + m[u"kind"_s].toString();
    }
    QCOMPARE(inFileOrder, (QStringList{u"Kick|Acme Kick|generator"_s, u"Bass|Jeskola Bass 3|generator"_s,
                                       u"Pad|Lunar Pad|generator"_s, u"Echo|Acme Delay|effect"_s,
                                       u"Room|Jeskola Raverb|effect"_s, u"Crush|Ember Crusher|effect"_s}));
    QCOMPARE(songs.at(1)[u"machines"_s].toArray().size(), 0); // master only
    // The cut-short song's machines before the break count too.
    QCOMPARE(strings(root[u"generatorsUsed"_s]).join(u'|'),
             u"Acme Kick|Ember Lead|Jeskola Bass 3|Lunar Arp|Lunar Pad"_s);
    QCOMPARE(strings(root[u"effectsUsed"_s]).join(u'|'),
             u"Acme Delay|Ember Crusher|Glass Chorus|Glass Wah|Jeskola Raverb"_s);
    QCOMPARE(strings(root[u"missingGenerators"_s]).join(u'|'),
             u"(eff dir)Lunar Arp.dll|Ember Lead.dll|Lunar Pad.dll"_s);
    QCOMPARE(strings(root[u"missingEffects"_s]).join(u'|'),
             u"(gen dir)Glass Chorus.dll|Ember Crusher.dll|Glass Wah.dll"_s);
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

void TestCli::missingWineSettingsWarnAndFallBack()
{
    const QString song = samples(u"songs/evening.bmx"_s);
    const Result r = run({u"scan"_s, u"--log"_s, song});
    QCOMPARE(r.status, 1);
    QCOMPARE(r.err,
             u"Unable to open the key Settings.  HKEY_CURRENT_USER\\Software\\Jeskola\\Buzz\\Settings not found in "
             "Windows Registry.  Using current directory of "_s +
                 prog({}) + u" as temporary Buzz path.  Try running Buzz usually corrects Buzz Registry settings.\n"_s);
    // The log comes first, then a blank line and the report.
    QVERIFY2(r.out.startsWith(u"Scanning "_s + QDir::toNativeSeparators(song) + u'\n'), qPrintable(r.out));
    QVERIFY(r.out.indexOf(u"\n****Scanning MACH Section****\n"_s) <
            r.out.indexOf(u"\nMachine DLL name Ember Crusher\n"_s));
    QVERIFY(r.out.endsWith(
        u"\nMachine DLL name Ember Crusher\n\nGenerators used\n  Acme Kick\n  Jeskola Bass 3\n  Lunar Pad\n"
        "Effects used\n  Acme Delay\n  Ember Crusher\n  Jeskola Raverb\nMissing Generators\n"
        "  Acme Kick.dll\n  Lunar Pad.dll\nMissing Effects\n  Acme Delay.dll\n  Ember Crusher.dll\n"_s));
    QCOMPARE(entries(prog({})), QStringList()); // the command line only reads: it makes no gear folders
}

void TestCli::catalogueWithoutItsFile()
{
    for (const QString& list : {u"allgenerators.txt"_s, u"alleffects.txt"_s}) {
        const Result r = run({u"catalogue"_s, list == u"alleffects.txt"_s ? u"--effects"_s : u"Acme"_s});
        QCOMPARE(r.status, 2);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.startsWith(u"gearwarden catalogue: cannot read "_s + prog(list) + u": "_s), qPrintable(r.err));
    }
}

void TestCli::updateCatalogue()
{
    // The generators' page comes compressed although identity was asked for: it is decoded.
    Reply generators = reply(gzip(page(kGenerators, true)));
    generators.headers << "Content-Encoding: gzip";
    m_server->setReply("/allgenerators.php", generators);
    m_server->setReply("/alleffects.php", reply(page(kEffects, true)));
    const QStringList update{u"update-catalogue"_s, u"--archive-url"_s, m_server->baseUrl()};
    const Result r = run(update);
    QCOMPARE(r.status, 0);
    QCOMPARE(contents(prog(u"allgenerators.txt"_s)), page(kGenerators));
    QCOMPARE(contents(prog(u"alleffects.txt"_s)), page(kEffects));
    QCOMPARE(m_server->requestedPaths(), (QList<QByteArray>{"/allgenerators.php", "/alleffects.php"}));
    for (const TestHttpServer::Request& request : m_server->requests()) {
        QVERIFY2(request.head.contains("\r\nAccept-Encoding: identity\r\n"), request.head.constData());
    }
    // Sizes read as in the window: two blanks, then the number with a leading blank.
    const auto fetched = [this](const QString& name, qsizetype size, bool log) {
        return QStringList{u"Downloading "_s + m_server->baseUrl() + name} + (log ? QStringList{name} : QStringList()) +
               QStringList{u"Content-Type is text/html"_s, u"Completed download of %1   %2 bytes"_s.arg(name).arg(size)};
    };
    const qsizetype effects = page(kEffects, true).size();
    const QStringList converted{
        u"Converting allgenerators.htm from UNIX to DOS"_s, u"Converting alleffects.htm from UNIX to DOS"_s,
        u"Completed converting allgenerators.htm and alleffects.htm from UNIX to DOS"_s, QString()};
    QCOMPARE(r.out.split(u'\n'), fetched(u"allgenerators.php"_s, generators.body.size(), true) +
                                     fetched(u"alleffects.php"_s, effects, true) + converted);
    // Status texts go to standard error, not into the log; each page's count ends at its size.
    QStringList statuses = r.err.split(u'\n');
    QVERIFY(statuses.contains(u"Downloading alleffects.php   %1 bytes downloaded"_s.arg(effects)));
    statuses.removeIf([](const QString& line) { return line.endsWith(u" bytes downloaded"_s); });
    QCOMPARE(statuses, fetched(u"allgenerators.php"_s, generators.body.size(), false) +
                           fetched(u"alleffects.php"_s, effects, false) + converted);

    // Without a content type on the second page neither list is converted, and the old ones stay.
    const std::vector<CatalogueMachine> fewer(kGenerators.begin(), kGenerators.begin() + 1);
    m_server->setReply("/allgenerators.php", reply(page(fewer, true)));
    m_server->setReply("/alleffects.php", reply("fresh\n", {}));
    const Result failed = run(update);
    QCOMPARE(failed.status, 1);
    QVERIFY2(failed.out.endsWith(u"Connected?  Did not download alleffects.php\n"_s), qPrintable(failed.out));
    QVERIFY(!failed.out.contains(u"Converting"_s));
    QCOMPARE(contents(prog(u"alleffects.php"_s)), page(kEffects, true)); // the page without a type is not kept
    QCOMPARE(contents(prog(u"allgenerators.txt"_s)), page(kGenerators));
    QCOMPARE(contents(prog(u"alleffects.txt"_s)), page(kEffects));

    // Without the first page, its copy from the run above is converted with the second; the run still failed.
    m_server->setReply("/allgenerators.php", reply("fresh\n", {}));
    m_server->setReply("/alleffects.php", reply(page(kEffects, true)));
    QCOMPARE(run(update).status, 1);
    QCOMPARE(contents(prog(u"allgenerators.txt"_s)), page(fewer));
    QCOMPARE(contents(prog(u"alleffects.txt"_s)), page(kEffects));
}

void TestCli::download_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QByteArray>("path"); // requested; empty when no request may be made
    QTest::addColumn<int>("how");
    QTest::addColumn<bool>("generator");
    QTest::addColumn<QString>("said"); // on either stream
    const auto row = [](const char* name, const QString& entry, const char* path, How how, bool generator,
                        const QString& said) {
        QTest::newRow(name) << entry << QByteArray(path) << int(how) << generator << said;
    };
    row("generator", u"Kick.zip"_s, "/machines/Kick.zip", Plain, true, u"\nGenerators folder is unzip destination\n"_s);
    row("effect", u"Kick.zip"_s, "/machines/Kick.zip", Plain, false, u"\nEffects folder is unzip destination\n"_s);
    // Escaped in the address; the saved file keeps the entry's name as written.
    row("blank", u"A Kick.zip"_s, "/machines/A%20Kick.zip", Plain, false, u"download of A Kick.zip   2500 bytes\n"_s);
    row("escaped", u"A%20Kick.zip"_s, "/machines/A%20Kick.zip", Plain, true, u"\nA%20Kick.zip\n"_s);
    row("# and ?", u"Kick#1?.zip"_s, "/machines/Kick%231%3F.zip", Plain, true, u"\nKick#1?.zip\n"_s);
    row("earlier kept", u"Kick.zip"_s, "", Earlier, true,
        u"File exists Kick.zip\nFile Kick.zip exists.  File Length is  16  Overwrite? No (give --yes to overwrite)\n"
        "Aborting download of Kick.zip\n"_s);
    row("earlier replaced", u"Kick.zip"_s, "/machines/Kick.zip", EarlierYes, true,
        u"  Overwrite? Yes (--yes)\nOverwriting Kick.zip\n"_s);
    row("no Content-Length", u"Kick.zip"_s, "/machines/Kick.zip", NoLength, true,
        u"\nConnected?  Did not download Kick.zip\n"_s);
    row("dropped", u"Kick.zip"_s, "/machines/Kick.zip", Dropped, true, u"\nDid not complete download of Kick.zip\n"_s);
    row("not found", u"Kick.zip"_s, "/machines/Kick.zip", NotFound, true, u"\nConnected?  Did not download Kick.zip\n"_s);
    // It arrived whole, so it stays for the user to look at.
    row("damaged zip", u"Kick.zip"_s, "/machines/Kick.zip", Damaged, true, u"download of Kick.zip   2500 bytes\n"_s);
    // Compressed although identity was asked for: judged whole by the bytes that came, then decoded.
    row("gzip", u"Kick.zip"_s, "/machines/Kick.zip", Gzip, true, u"\nGenerators folder is unzip destination\n"_s);
    row("gzip damaged", u"Kick.zip"_s, "/machines/Kick.zip", GzipDamaged, true,
        u"\nDid not complete download of Kick.zip\n"_s);
    for (const QString& entry : {u"../evil.zip"_s, u"..\\evil.zip"_s, u"sub/evil.zip"_s}) {
        row(qPrintable(entry), entry, "", Refused, true, u"Refusing to download "_s + entry + u": it is not a plain"_s);
    }
}

void TestCli::download()
{
    QFETCH(QString, entry);
    QFETCH(QByteArray, path);
    QFETCH(int, how);
    QFETCH(bool, generator);
    QFETCH(QString, said);
    Reply served = reply(m_zip, "application/zip");
    served.contentLength = how == NoLength ? -2 : -1;
    served.behaviour = how == Dropped ? TestHttpServer::Behaviour::DropAfter : TestHttpServer::Behaviour::Normal;
    served.dropAfter = 1500;
    if (how == Damaged) {
        served.body[m_zip.indexOf(m_dll) + 100] = 'K';
    } else if (how == Gzip || how == GzipDamaged) {
        served.body = how == Gzip ? gzip(m_zip) : gzip(m_zip).left(40) + QByteArray(60, 'x');
        served.headers << "Content-Encoding: gzip";
    }
    if (!path.isEmpty() && how != NotFound) {
        m_server->setReply(path, served);
    }
    if (how == Earlier || how == EarlierYes) {
        QVERIFY(writeBytes(prog(entry), "earlier download"));
    }
    const Result r = download(entry, generator ? u"--generator"_s : u"--effect"_s,
                              how == EarlierYes ? QStringList{u"--yes"_s} : QStringList());
    const bool ok = how == Plain || how == EarlierYes || how == Gzip;
    QCOMPARE(r.status, ok ? 0 : 1);
    QVERIFY2((r.out + r.err).contains(said), qPrintable(r.out + r.err));
    // The size told is the one declared, of the bytes as they came.
    const QString completed = u"Completed download of %1   %2 bytes\n"_s.arg(entry).arg(served.body.size());
    QCOMPARE(r.out.contains(completed), ok || how == Damaged);
    QCOMPARE(m_server->requestedPaths(), path.isEmpty() ? QList<QByteArray>() : QList<QByteArray>{path});
    for (const TestHttpServer::Request& request : m_server->requests()) {
        QVERIFY2(request.head.contains("\r\nAccept-Encoding: identity\r\n"), request.head.constData());
    }
    // Installed flat into its own gear folder, or nowhere; nothing written beside the two folders.
    const QString gear = generator ? u"gear/generators/"_s : u"gear/effects/"_s;
    QCOMPARE(entries(host(gear)), ok ? QStringList{u"Acme Kick.dll"_s} : QStringList());
    QCOMPARE(entries(host(generator ? u"gear/effects/"_s : u"gear/generators/"_s)), QStringList());
    QCOMPARE(contents(host(gear + u"Acme Kick.dll"_s)), ok ? m_dll : QByteArray("<missing>"));
    QCOMPARE(entries(m_dir->path()), (QStringList{u"host"_s, u"prog"_s}));
    if (ok && how != Gzip) { // a progress status for every chunk but the last
        QCOMPARE(r.err.split(u'\n').filter(u" bytes downloaded"_s),
                 (QStringList{u"Downloading %1   1024 of  2500 bytes downloaded"_s.arg(entry),
                              u"Downloading %1   2048 of  2500 bytes downloaded"_s.arg(entry)}));
    }
    QByteArray kept = ok ? m_zip : how == Damaged ? served.body : QByteArray(); // decoded when compressed
    kept = how == Earlier ? "earlier download" : kept;
    QCOMPARE(entries(prog({})), kept.isEmpty() ? QStringList() : QStringList{entry});
    QCOMPARE(contents(prog(entry)), kept.isEmpty() ? QByteArray("<missing>") : kept);
}

void TestCli::fetchMissingThenBundle()
{
    // Three machines the catalogue has (by name, by a close name, by file name), one it has not.
    gw::test::SongWriter song;
    song.addSimple("Kick", "Acme Kick", 1).addSimple("Pad", "Zed Pad v2", 1).addSimple("Chorus", "Glass Wide", 2);
    song.addSimple("Ghost", "Nowhere", 2);
    const QString songPath = m_dir->filePath(u"song.bmx"_s);
    QVERIFY(song.writeTo(songPath.toStdString()));
    std::vector<CatalogueMachine> effects = kEffects;
    effects.push_back({"Glass_Wide.zip", "2006-01-01", "Glass", "Wide by Glass", "", "Effect", "1.0", ""});
    QVERIFY(writeBytes(prog(u"allgenerators.txt"_s), page(kGenerators)));
    QVERIFY(writeBytes(prog(u"alleffects.txt"_s), page(effects)));
    for (const QByteArray dll : {"Acme Kick", "Zed Pad v2", "Glass Wide"}) {
        const QByteArray entry = QByteArray(dll).replace(" v2", "").replace(' ', '_') + ".zip";
        m_server->setReply("/machines/" + entry, reply(gw::test::ZipWriter().add(dll + ".dll", entry).bytes()));
    }
    const QStringList where{u"--host-folder"_s, host({}), u"--archive-url"_s, m_server->baseUrl()};
    const Result fetched = run(QStringList{u"fetch-missing"_s} + where + QStringList{songPath});
    QCOMPARE(fetched.status, 1);
    QCOMPARE(fetched.out, u"Machine         Kind       Entry           Result\n"
                          "Acme Kick.dll   generator  Acme_Kick.zip   installed\n"
                          "Zed Pad v2.dll  generator  Zed_Pad.zip     installed\n"
                          "Glass Wide.dll  effect     Glass_Wide.zip  installed\n"
                          "Nowhere.dll     effect     -               no match\n"_s);
    QCOMPARE(entries(host(u"gear/generators"_s)), (QStringList{u"Acme Kick.dll"_s, u"Zed Pad v2.dll"_s}));
    QCOMPARE(entries(host(u"gear/effects"_s)), QStringList{u"Glass Wide.dll"_s});
    const Result scanned = run({u"scan"_s, u"--host-folder"_s, host({}), songPath});
    QCOMPARE(scanned.status, 1);
    QVERIFY2(scanned.out.endsWith(u"Missing Generators\nMissing Effects\n  Nowhere.dll\n"_s), qPrintable(scanned.out));

    // The song with its machines, into a fresh host: only the machine this host lacks is still missing.
    const QString bundle = m_dir->filePath(u"shared.zip"_s);
    const Result bundled = run({u"bundle"_s, u"--host-folder"_s, host({}), u"-o"_s, bundle, songPath});
    QCOMPARE(bundled.status, 1);
    QVERIFY(bundled.out.contains(u"effect Nowhere.dll: missing\n"_s));
    QVERIFY(QDir(m_dir->path()).mkpath(u"fresh"_s));
    const Result installed = run({u"install-bundle"_s, u"--host-folder"_s, m_dir->filePath(u"fresh"_s), u"--songs-to"_s,
                                  m_dir->filePath(u"fresh/songs"_s), bundle});
    QCOMPARE(installed.status, 0);
    const Result again = run({u"scan"_s, u"--host-folder"_s, m_dir->filePath(u"fresh"_s), m_dir->filePath(u"fresh/songs"_s)});
    QVERIFY2(again.out.endsWith(u"Missing Generators\nMissing Effects\n  Nowhere.dll\n"_s), qPrintable(again.out));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
