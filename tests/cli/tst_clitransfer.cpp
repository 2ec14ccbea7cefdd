#include "TestFiles.h"
#include "CatalogueWriter.h"
#include "TestHttpServer.h"
#include "ZipWriter.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <zlib.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

using Reply = TestHttpServer::Reply;
using gw::test::CatalogueMachine;

struct Result
{
    int status = -1; // -1: crashed or timed out
    QString out;
    QString err;
};


bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray zipBytes(const gw::test::ZipWriter& writer, bool corrupt = false)
{
    QTemporaryDir scratch;
    const QString path = scratch.filePath(u"m.zip"_s);
    if (!writer.writeTo(path) || (corrupt && !gw::test::zipforge::corruptData(path, "sub/Acme Kick.dll"))) {
        return {};
    }
    return TestFiles::contents(path);
}

QByteArray page(const std::vector<CatalogueMachine>& machines, bool crlf = true)
{
    return QByteArray::fromStdString(gw::test::catalogueText(machines, crlf));
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

/** The transfer commands of the real executable, against a scripted server on 127.0.0.1. */
class TestCliTransfer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void catalogueListsRowsAndEntries();
    void catalogueJsonEffectsAndMissingFile();
    void updateCatalogueFetchesAndConverts();
    void updateCatalogueStopsWithoutContentType();
    void downloadInstallsFlatIntoTheGearFolder_data();
    void downloadInstallsFlatIntoTheGearFolder();
    void compressedResponsesAreDecoded();
    void downloadAsksBeforeOverwriting();
    void downloadFailures();
    void downloadRefusesEntryLeavingTheFolder();
    void downloadEscapesEntryInUrl_data();
    void downloadEscapesEntryInUrl();
    void usageErrorsHelpAndVersion();

private:
    Result run(QStringList arguments);
    Result download(const QString& entry, const QStringList& more = {});
    QString prog(const QString& name) const { return m_dir->filePath(u"prog/"_s + name); }
    QString host(const QString& name) const { return m_dir->filePath(u"host/"_s + name); }
    void serveKick(const QString& entry, const QByteArray& zip);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TestHttpServer> m_server;
    QByteArray m_zip;
};

static QByteArray gzip(const QByteArray& data)
{
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        return {};
    }
    QByteArray out(static_cast<qsizetype>(deflateBound(&stream, static_cast<uLong>(data.size()))) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.truncate(static_cast<qsizetype>(stream.total_out));
    deflateEnd(&stream);
    return result == Z_STREAM_END ? out : QByteArray();
}

void TestCliTransfer::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkpath(u"prog"_s));
    QVERIFY(QDir(m_dir->path()).mkpath(u"host"_s));
    m_server = std::make_unique<TestHttpServer>();
    QVERIFY(m_server->listen());
    m_zip = zipBytes(gw::test::ZipWriter().add("sub/Acme Kick.dll", "kick dll", gw::test::ZipWriter::Method::Store));
    QVERIFY(!m_zip.isEmpty());
}

Result TestCliTransfer::run(QStringList arguments)
{
    arguments << u"--program-folder"_s << prog(QString());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // No user settings and no proxy may come between the executable and the test.
    environment.insert(u"WINEPREFIX"_s, m_dir->filePath(u"no-prefix"_s));
    for (const char* name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) {
        environment.remove(QLatin1String(name));
    }
    QProcess process;
    process.setProcessEnvironment(environment);
    // The server answers from this event loop, so the wait must keep it running.
    QEventLoop loop;
    connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    process.start(QStringLiteral(GW_EXECUTABLE), arguments);
    if (process.state() != QProcess::NotRunning) {
        loop.exec();
    }
    Result result;
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

Result TestCliTransfer::download(const QString& entry, const QStringList& more)
{
    return run(QStringList{u"download"_s, entry, u"--host-folder"_s, host(QString()), u"--archive-url"_s,
                           m_server->baseUrl()} +
               more);
}

void TestCliTransfer::serveKick(const QString& entry, const QByteArray& zip)
{
    Reply reply;
    reply.contentType = "application/zip";
    reply.body = zip;
    m_server->setReply("/machines/" + entry.toUtf8(), reply);
}

void TestCliTransfer::catalogueListsRowsAndEntries()
{
    QVERIFY(writeFile(prog(u"allgenerators.txt"_s), page(kGenerators)));
    const Result all = run({u"catalogue"_s});
    QCOMPARE(all.status, 0);
    QCOMPARE(all.out,
             QStringLiteral("Zed_Pad.zip\t2001-02-03\tZed\tZed Pad\tWarm pad\tGenerator\t2.0\tAlpha\n"
                            "Acme_Kick.zip\t2003-04-05\tAcme\tAcme Kick\tKick for \u20ac 5\tGenerator\t1.2\tStable\n"
                            "Lunar_Arp.zip\t2004-05-06\tLunar\tLunar Arp\tArpeggio\tGenerator\t0.9\tBeta\n"));

    // The filter looks at every field, not only the name or the file name.
    QCOMPARE(run({u"catalogue"_s, u"bETA"_s}).out,
             u"Lunar_Arp.zip\t2004-05-06\tLunar\tLunar Arp\tArpeggio\tGenerator\t0.9\tBeta\n"_s);
    QVERIFY(run({u"catalogue"_s, u"WARM"_s}).out.startsWith(u"Zed_Pad.zip\t"_s));

    const Result entries = run({u"--entries"_s, u"catalogue"_s});
    QCOMPARE(entries.status, 0);
    QCOMPARE(entries.out, u"Zed_Pad.zip\nAcme_Kick.zip\nLunar_Arp.zip\n"_s);
    QCOMPARE(run({u"catalogue"_s, u"--entries"_s, u"KICK"_s}).out, u"Acme_Kick.zip\n"_s);
}

void TestCliTransfer::catalogueJsonEffectsAndMissingFile()
{
    QVERIFY(writeFile(prog(u"allgenerators.txt"_s), page(kGenerators)));
    QVERIFY(writeFile(prog(u"alleffects.txt"_s), page(kEffects)));

    const Result json = run({u"catalogue"_s, u"--json"_s});
    QCOMPARE(json.status, 0);
    QJsonParseError error;
    const QJsonArray rows = QJsonDocument::fromJson(json.out.toUtf8(), &error).array();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(rows.size(), 3);
    const QJsonObject kick{
        {"filename", "Acme_Kick.zip"},           {"date", "2003-04-05"}, {"developer", "Acme"}, {"name", "Acme Kick"},
        {"description", u"Kick for \u20ac 5"_s}, {"type", "Generator"},  {"version", "1.2"},    {"status", "Stable"}};
    QCOMPARE(rows.at(1).toObject(), kick);

    const Result strings = run({u"catalogue"_s, u"--entries"_s, u"--json"_s});
    QCOMPARE(QJsonDocument::fromJson(strings.out.toUtf8()).array(),
             (QJsonArray{"Zed_Pad.zip", "Acme_Kick.zip", "Lunar_Arp.zip"}));

    const Result effects = run({u"catalogue"_s, u"--effects"_s});
    QCOMPARE(effects.status, 0);
    QCOMPARE(effects.out, u"Glass_Chorus.zip\t2005-06-07\tGlass\tGlass Chorus\tChorus\tEffect\t1.0\tStable\n"_s);

    QVERIFY(QFile::remove(prog(u"allgenerators.txt"_s)) && QFile::remove(prog(u"alleffects.txt"_s)));
    for (const QStringList& arguments : {QStringList{u"catalogue"_s}, QStringList{u"catalogue"_s, u"--effects"_s}}) {
        const Result r = run(arguments);
        QCOMPARE(r.status, 2);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.contains(arguments.size() == 1 ? u"allgenerators.txt"_s : u"alleffects.txt"_s),
                 qPrintable(r.err));
    }
}

void TestCliTransfer::updateCatalogueFetchesAndConverts()
{
    Reply generators;
    generators.body = page(kGenerators, false);
    Reply effects;
    effects.body = page(kEffects, false);
    m_server->setReply("/allgenerators.php", generators);
    m_server->setReply("/alleffects.php", effects);

    const QString base = m_server->baseUrl();
    const Result r = run({u"update-catalogue"_s, u"--archive-url"_s, base});
    QCOMPARE(r.status, 0);
    QCOMPARE(TestFiles::contents(prog(u"allgenerators.txt"_s)), page(kGenerators));
    QCOMPARE(TestFiles::contents(prog(u"alleffects.txt"_s)), page(kEffects));
    QCOMPARE(m_server->requestedPaths(), (QList<QByteArray>{"/allgenerators.php", "/alleffects.php"}));

    // Sizes are written as in the window: two blanks, then the number with a leading blank.
    QCOMPARE(
        r.out.split(u'\n'),
        (QStringList{
            u"Downloading "_s + base + u"allgenerators.php"_s, u"allgenerators.php"_s, u"Content-Type is text/html"_s,
            u"Completed download of allgenerators.php   %1 bytes"_s.arg(generators.body.size()),
            u"Downloading "_s + base + u"alleffects.php"_s, u"alleffects.php"_s, u"Content-Type is text/html"_s,
            u"Completed download of alleffects.php   %1 bytes"_s.arg(effects.body.size()),
            u"Converting allgenerators.htm from UNIX to DOS"_s, u"Converting alleffects.htm from UNIX to DOS"_s,
            u"Completed converting allgenerators.htm and alleffects.htm from UNIX to DOS"_s, QString()}));
    // Status texts go to standard error, not into the log.
    QVERIFY2(r.err.contains(u"Downloading "_s + base + u"alleffects.php\n"_s), qPrintable(r.err));
    QVERIFY(r.err.contains(u"bytes downloaded"_s));
    QVERIFY(!r.out.contains(u"bytes downloaded"_s));
}

void TestCliTransfer::updateCatalogueStopsWithoutContentType()
{
    Reply typed;
    typed.body = page(kGenerators, false);
    Reply untyped;
    untyped.contentType.clear();
    untyped.body = "fresh\n";
    m_server->setReply("/allgenerators.php", typed);
    m_server->setReply("/alleffects.php", untyped);
    // The list of an earlier run stays as it was.
    QVERIFY(writeFile(prog(u"alleffects.txt"_s), "old list\r\n"));

    const Result r = run({u"update-catalogue"_s, u"--archive-url"_s, m_server->baseUrl()});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.out.endsWith(u"Connected?  Did not download alleffects.php\n"_s), qPrintable(r.out));
    // As in the window: without the second page neither list is converted.
    QVERIFY(!r.out.contains(u"Converting"_s));
    QVERIFY(!QFile::exists(prog(u"allgenerators.txt"_s)));
    QCOMPARE(TestFiles::contents(prog(u"alleffects.txt"_s)), QByteArray("old list\r\n"));
    QVERIFY(!QFile::exists(prog(u"alleffects.php"_s)));

    // Without the first page, its copy from the run above is converted with the second; the run still failed.
    typed.body = page(kEffects, false);
    m_server->setReply("/allgenerators.php", untyped);
    m_server->setReply("/alleffects.php", typed);
    const Result first = run({u"update-catalogue"_s, u"--archive-url"_s, m_server->baseUrl()});
    QCOMPARE(first.status, 1);
    QCOMPARE(TestFiles::contents(prog(u"allgenerators.txt"_s)), page(kGenerators));
    QCOMPARE(TestFiles::contents(prog(u"alleffects.txt"_s)), page(kEffects));
}

void TestCliTransfer::downloadInstallsFlatIntoTheGearFolder_data()
{
    QTest::addColumn<QStringList>("kindFolderOther");
    QTest::newRow("generator") << QStringList{u"--generator"_s, u"gear/generators/"_s, u"gear/effects/"_s};
    QTest::newRow("effect") << QStringList{u"--effect"_s, u"gear/effects/"_s, u"gear/generators/"_s};
}

void TestCliTransfer::downloadInstallsFlatIntoTheGearFolder()
{
    QFETCH(QStringList, kindFolderOther);
    const QString kind = kindFolderOther.at(0), folder = kindFolderOther.at(1), other = kindFolderOther.at(2);
    serveKick(u"Acme_Kick.zip"_s, m_zip);
    const Result r = download(u"Acme_Kick.zip"_s, {kind});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    QCOMPARE(TestFiles::contents(host(folder + u"Acme Kick.dll"_s)), QByteArray("kick dll"));
    QVERIFY(!QFileInfo::exists(host(folder + u"sub"_s)));
    QVERIFY(!QFileInfo::exists(host(other + u"Acme Kick.dll"_s)));
    QCOMPARE(TestFiles::contents(prog(u"Acme_Kick.zip"_s)), m_zip);
    QCOMPARE(m_server->requestedPaths(), QList<QByteArray>{"/machines/Acme_Kick.zip"});
}

void TestCliTransfer::compressedResponsesAreDecoded()
{
    // A server (or a proxy) that compresses although identity was asked for: the body is judged whole by the bytes
    // that arrived against the length declared for them, then decoded.
    Reply zipped;
    zipped.contentType = "application/zip";
    zipped.headers << "Content-Encoding: gzip";
    zipped.body = gzip(m_zip);
    m_server->setReply("/machines/Acme_Kick.zip", zipped);
    const Result r = download(u"Acme_Kick.zip"_s, {u"--generator"_s});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    QVERIFY2(r.out.contains(u"Completed download of Acme_Kick.zip   %1 bytes"_s.arg(zipped.body.size())), qPrintable(r.out));
    QCOMPARE(TestFiles::contents(prog(u"Acme_Kick.zip"_s)), m_zip);
    QCOMPARE(TestFiles::contents(host(u"gear/generators/Acme Kick.dll"_s)), QByteArray("kick dll"));
    QVERIFY(m_server->requests().first().head.contains("\r\nAccept-Encoding: identity"));

    // A damaged stream leaves nothing behind.
    zipped.body = gzip(m_zip).left(40) + QByteArray(60, 'x');
    m_server->setReply("/machines/Broken.zip", zipped);
    const Result broken = download(u"Broken.zip"_s, {u"--generator"_s});
    QCOMPARE(broken.status, 1);
    QVERIFY2(broken.out.contains(u"Did not complete download of Broken.zip\n"_s), qPrintable(broken.out));
    QVERIFY(!QFileInfo::exists(prog(u"Broken.zip"_s)));

    // Catalogue pages too.
    Reply generators;
    generators.headers << "Content-Encoding: gzip";
    generators.body = gzip(page(kGenerators, false));
    Reply effects;
    effects.body = page(kEffects, false);
    m_server->setReply("/allgenerators.php", generators);
    m_server->setReply("/alleffects.php", effects);
    const Result update = run({u"update-catalogue"_s, u"--archive-url"_s, m_server->baseUrl()});
    QVERIFY2(update.status == 0, qPrintable(update.out + update.err));
    QCOMPARE(TestFiles::contents(prog(u"allgenerators.txt"_s)), page(kGenerators));
    for (const TestHttpServer::Request& request : m_server->requests()) {
        QVERIFY2(request.head.contains("\r\nAccept-Encoding: identity"), request.head.constData());
    }
}

void TestCliTransfer::downloadAsksBeforeOverwriting()
{
    serveKick(u"Acme_Kick.zip"_s, m_zip);
    QVERIFY(writeFile(prog(u"Acme_Kick.zip"_s), "earlier download"));

    const Result kept = download(u"Acme_Kick.zip"_s, {u"--generator"_s});
    QCOMPARE(kept.status, 1);
    QVERIFY2(kept.err.contains(u"--yes"_s), qPrintable(kept.err));
    QCOMPARE(TestFiles::contents(prog(u"Acme_Kick.zip"_s)), QByteArray("earlier download"));
    QVERIFY(m_server->requests().isEmpty());
    QVERIFY(!QFileInfo::exists(host(u"gear/generators/Acme Kick.dll"_s)));

    const Result replaced = download(u"Acme_Kick.zip"_s, {u"--generator"_s, u"--yes"_s});
    QVERIFY2(replaced.status == 0, qPrintable(replaced.out + replaced.err));
    QCOMPARE(TestFiles::contents(prog(u"Acme_Kick.zip"_s)), m_zip);
    QCOMPARE(TestFiles::contents(host(u"gear/generators/Acme Kick.dll"_s)), QByteArray("kick dll"));
}

void TestCliTransfer::downloadFailures()
{
    // No Content-Length: nothing is saved or installed.
    Reply noLength;
    noLength.contentLength = -2;
    noLength.body = m_zip;
    m_server->setReply("/machines/Acme_Kick.zip", noLength);
    const Result unanswered = download(u"Acme_Kick.zip"_s, {u"--generator"_s});
    QCOMPARE(unanswered.status, 1);
    QVERIFY2(unanswered.out.contains(u"Connected?  Did not download Acme_Kick.zip"_s), qPrintable(unanswered.out));
    QVERIFY(!QFileInfo::exists(prog(u"Acme_Kick.zip"_s)));
    QVERIFY(!QFileInfo::exists(host(u"gear/generators/Acme Kick.dll"_s)));

    // A damaged zip arrives whole but cannot be unzipped.
    const QByteArray damaged =
        zipBytes(gw::test::ZipWriter().add("sub/Acme Kick.dll", "kick dll", gw::test::ZipWriter::Method::Store), true);
    QVERIFY(!damaged.isEmpty());
    serveKick(u"Damaged.zip"_s, damaged);
    const Result broken = download(u"Damaged.zip"_s, {u"--generator"_s});
    QCOMPARE(broken.status, 1);
    QCOMPARE(TestFiles::contents(prog(u"Damaged.zip"_s)), damaged);
    QVERIFY2(broken.out.contains(u"Completed download of Damaged.zip"_s), qPrintable(broken.out));
}

void TestCliTransfer::downloadRefusesEntryLeavingTheFolder()
{
    for (const QString& entry : {u"../evil.zip"_s, u"..\\evil.zip"_s, u"sub/evil.zip"_s}) {
        serveKick(entry, m_zip);
        const Result r = download(entry, {u"--generator"_s});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(u"Refusing to download "_s + entry), qPrintable(r.err));
    }
    QVERIFY(m_server->requests().isEmpty());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             (QStringList{u"host"_s, u"prog"_s}));
    QVERIFY(QDir(prog(QString())).isEmpty());
    QVERIFY(QDir(host(QString())).isEmpty());
}

void TestCliTransfer::downloadEscapesEntryInUrl_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("blank") << "Acme Kick.zip" << QByteArray("/machines/Acme%20Kick.zip");
    QTest::newRow("already escaped") << "Acme%20Kick.zip" << QByteArray("/machines/Acme%20Kick.zip");
    QTest::newRow("hash and question mark") << "Kick#1?.zip" << QByteArray("/machines/Kick%231%3F.zip");
}

void TestCliTransfer::downloadEscapesEntryInUrl()
{
    QFETCH(QString, entry);
    QFETCH(QByteArray, path);
    Reply reply;
    reply.body = m_zip;
    m_server->setReply(path, reply);
    const Result r = download(entry, {u"--effect"_s});
    QCOMPARE(m_server->requestedPaths(), QList<QByteArray>{path});
    QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    // The saved file keeps the entry's name as written.
    QCOMPARE(TestFiles::contents(prog(entry)), m_zip);
}

void TestCliTransfer::usageErrorsHelpAndVersion()
{
    serveKick(u"Acme_Kick.zip"_s, m_zip);
    for (const QStringList& flags : {QStringList{u"--generator"_s, u"--effect"_s}, QStringList{}}) {
        const Result r = download(u"Acme_Kick.zip"_s, flags);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(u"gearwarden download --help"_s), qPrintable(r.err));
    }
    QCOMPARE(run({u"catalogue"_s, u"a"_s, u"b"_s}).status, 2);
    QCOMPARE(run({u"update-catalogue"_s, u"extra"_s}).status, 2);
    QVERIFY(m_server->requests().isEmpty());

    // Each command's help is its own: it names its own options and not another command's.
    const Result downloadHelp = run({u"download"_s, u"--help"_s});
    QCOMPARE(downloadHelp.status, 0);
    QVERIFY2(downloadHelp.out.startsWith(u"Usage: gearwarden download "_s), qPrintable(downloadHelp.out));
    QVERIFY(downloadHelp.out.contains(u"--yes"_s) && !downloadHelp.out.contains(u"--entries"_s));
    const Result catalogueHelp = run({u"--help"_s, u"catalogue"_s});
    QCOMPARE(catalogueHelp.status, 0);
    QVERIFY2(catalogueHelp.out.startsWith(u"Usage: gearwarden catalogue "_s), qPrintable(catalogueHelp.out));
    QVERIFY(catalogueHelp.out.contains(u"--entries"_s) && !catalogueHelp.out.contains(u"--yes"_s));

    const Result version = run({u"--version"_s});
    QCOMPARE(version.status, 0);
    QVERIFY2(QRegularExpression(u"^gearwarden \\d+\\.\\d+\\S*\\n$"_s).match(version.out).hasMatch(),
             qPrintable(version.out));
}

QTEST_GUILESS_MAIN(TestCliTransfer)
#include "tst_clitransfer.moc"
