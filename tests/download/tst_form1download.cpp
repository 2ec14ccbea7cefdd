#include "TestHost.h"
#include "RecordingDialogs.h"
#include "SongWriter.h"
#include "TestHttpServer.h"
#include "ZipWriter.h"

#include "gui/MainWindow.h"
#include "MemoryHostSettings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QNetworkProxy>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

using Reply = TestHttpServer::Reply;

const QString kNoSelection =
    QStringLiteral("No file selected from 'Download Generators' or 'Download Effects' machine lists");
const QString kBusy = QStringLiteral("There is already a download in progress");

/** A zip archive holding the given files. */
QByteArray makeZip(const QList<QPair<QByteArray, QByteArray>>& files)
{
    gw::test::ZipWriter writer;
    for (const auto& [name, content] : files) {
        writer.add(name, content);
    }
    QTemporaryDir scratch;
    const QString path = scratch.path() + QStringLiteral("/m.zip");
    QFile file(path);
    return writer.writeTo(path) && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList texts(const QListWidget* list)
{
    QStringList result;
    for (int row = 0; row < list->count(); ++row) {
        result << list->item(row)->text();
    }
    return result;
}

QByteArray catalogue(const QStringList& entries)
{
    QByteArray text = "<HTML>\r\n";
    for (const QString& entry : entries) {
        text += "<A HREF='machines/download.php?get=" + entry.toLatin1() + "&newid=1'>x</A>\r\n";
    }
    return text + "</HTML>\r\n";
}

} // namespace

class TestForm1Download : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void nothingSelected();
    void generatorIsFetchedSavedAndInstalled();
    void recheckAfterTheDownloadDropsTheMachine();
    void effectsSelectionWinsOverGenerators();
    void existingFile_data();
    void existingFile();
    void incompleteResponses_data();
    void incompleteResponses();
    void progressForAllButTheLastChunk_data();
    void progressForAllButTheLastChunk();
    void downloadsRefuseEachOtherWhileWaiting();
    void cancelEndsTheWait();
    void cancelWhileIdleDoesNothing();
    void entryLeavingTheProgramFolderIsRefused_data();
    void entryLeavingTheProgramFolderIsRefused();

private:
    void makeForm(const QStringList& generators, const QStringList& effects = {});
    QString path(const QString& name) const { return m_root->path() + QStringLiteral("/prog/") + name; }
    QByteArray read(const QString& name) const;
    void click(const char* name);
    void select(const char* listName, const QString& entry);
    void serve(const QString& entry, const Reply& reply) { m_server->setReply("/machines/" + entry.toLatin1(), reply); }
    /** Runs action once, outside the server's handler, when the server has received a request. */
    void onRequest(const std::function<void()>& action);
    QStringList logLines() const;
    QString url(const QString& entry) const { return m_server->baseUrl() + QStringLiteral("machines/") + entry; }
    /** A plain download of a fresh generator zip that must complete. */
    void downloadWorks(const QString& entry);

    std::unique_ptr<QTemporaryDir> m_root;
    std::shared_ptr<gw::MemoryHostSettings> m_settings;
    RecordingDialogs m_dialogs;
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<MainWindow> m_form;
};

void TestForm1Download::initTestCase()
{
    // Only the local test server may be reached, whatever proxy the environment names.
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}

void TestForm1Download::init()
{
    // The program folder sits one level down, so a name leaving it would show in the root.
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    m_settings = hostSettingsAt(path(QStringLiteral("host")));
    QVERIFY(m_settings);
    m_dialogs.reset();
    m_server = std::make_unique<TestHttpServer>();
    QVERIFY(m_server->listen());
}

void TestForm1Download::cleanup()
{
    m_form.reset();
    m_server.reset();
    m_root.reset();
}

void TestForm1Download::makeForm(const QStringList& generators, const QStringList& effects)
{
    for (const auto& [name, entries] :
         {std::pair{"allgenerators.txt", generators}, std::pair{"alleffects.txt", effects}}) {
        QFile file(path(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(catalogue(entries));
    }
    MainWindow::Setup setup;
    setup.programFolder = m_root->path() + QStringLiteral("/prog");
    setup.archiveBaseUrl = m_server->baseUrl();
    setup.dialogs = &m_dialogs;
    setup.hostSettings = m_settings;
    m_form = std::make_unique<MainWindow>(setup);
}

QByteArray TestForm1Download::read(const QString& name) const
{
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void TestForm1Download::click(const char* name)
{
    auto* button = m_form->findChild<QPushButton*>(QLatin1String(name));
    QVERIFY2(button, name);
    button->click();
}

void TestForm1Download::select(const char* listName, const QString& entry)
{
    auto* list = m_form->findChild<QListWidget*>(QLatin1String(listName));
    const QList<QListWidgetItem*> found = list->findItems(entry, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(entry));
    list->setCurrentItem(found.first());
}

void TestForm1Download::onRequest(const std::function<void()>& action)
{
    connect(
        m_server.get(), &TestHttpServer::requestReceived, this, [this, action] { QTimer::singleShot(0, this, action); },
        Qt::SingleShotConnection);
}

QStringList TestForm1Download::logLines() const
{
    QString log = m_form->logText();
    log.chop(2);
    return log.isEmpty() ? QStringList() : log.split(QStringLiteral("\r\n"));
}

void TestForm1Download::downloadWorks(const QString& entry)
{
    Reply reply;
    reply.body = makeZip({{"After.dll", "after"}});
    serve(entry, reply);
    select("List2", entry);
    click("Command19");
    QCOMPARE(logLines().value(3), QStringLiteral("Completed download of ") + entry + QStringLiteral("   ") +
                                      QString::number(reply.body.size()) + QStringLiteral(" bytes"));
    QCOMPARE(read(QStringLiteral("host/gear/generators/After.dll")), QByteArray("after"));
}

void TestForm1Download::nothingSelected()
{
    makeForm({"Kick.zip"}, {"Echo.zip"});
    click("Command19");
    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(m_dialogs.messages.first().text, kNoSelection);
    QCOMPARE(m_dialogs.messages.first().title, QStringLiteral("Gearwarden 1.0"));
    QCOMPARE(m_form->statusText(), kNoSelection);
    QCOMPARE(m_form->logText(), QString());
    QVERIFY(m_server->requests().isEmpty());
}

void TestForm1Download::generatorIsFetchedSavedAndInstalled()
{
    makeForm({"Acme_Kick.zip", "Other.zip"}, {"Echo.zip"});
    const QByteArray dll(3000, 'k');
    const QByteArray zip = makeZip({{"Acme Kick.dll", dll}, {"readme.txt", "hello"}});
    QVERIFY(!zip.isEmpty());
    Reply reply;
    reply.contentType = "application/zip";
    reply.body = zip;
    serve(QStringLiteral("Acme_Kick.zip"), reply);
    select("List2", QStringLiteral("Acme_Kick.zip"));
    click("Command19");

    QCOMPARE(m_server->requestedPaths(), QList<QByteArray>{"/machines/Acme_Kick.zip"});
    QCOMPARE(m_server->requests().first().method, QByteArray("GET"));
    const QString saved = QDir::toNativeSeparators(path(QStringLiteral("Acme_Kick.zip")));
    const QString into = QDir::toNativeSeparators(path(QStringLiteral("host/gear/generators")));
    const QString size = QString::number(zip.size());
    QCOMPARE(logLines(), (QStringList{
                             "Downloading " + url(QStringLiteral("Acme_Kick.zip")),
                             "Acme_Kick.zip",
                             "Content-Length is  " + size,
                             "Completed download of Acme_Kick.zip   " + size + " bytes",
                             "Generators folder is unzip destination",
                             "Unzipping " + saved + " to " + into,
                             "Complete unzipped " + saved + " to " + into,
                         }));
    QCOMPARE(read(QStringLiteral("Acme_Kick.zip")), zip);
    QCOMPARE(read(QStringLiteral("host/gear/generators/Acme Kick.dll")), dll);
    QVERIFY(QDir(path(QStringLiteral("host/gear/effects"))).isEmpty());
    QCOMPARE(texts(m_form->findChild<QListWidget*>(QStringLiteral("File1"))), QStringList{"Acme Kick.dll"});
}

void TestForm1Download::recheckAfterTheDownloadDropsTheMachine()
{
    // A song that uses the machine: scanned, it is missing; downloaded and rechecked, it is not.
    makeForm({"Acme_Kick.zip"}, {});
    gw::test::SongWriter song;
    song.addSimple("Kick", "Acme Kick", 1);
    const QString songPath = path(QStringLiteral("uses-kick.bmx"));
    QVERIFY(song.writeTo(songPath.toStdString()));
    m_dialogs.setNextOpenResult(QDir::toNativeSeparators(songPath));
    click("Command5");
    click("Command1");
    auto* missing = m_form->findChild<QListWidget*>(QStringLiteral("List4"));
    QCOMPARE(texts(missing), QStringList{"Acme Kick.dll"});

    Reply reply;
    reply.contentType = "application/zip";
    reply.body = makeZip({{"Acme Kick.dll", QByteArray(100, 'k')}});
    serve(QStringLiteral("Acme_Kick.zip"), reply);
    select("List2", QStringLiteral("Acme_Kick.zip"));
    click("Command19");
    QCOMPARE(texts(missing), QStringList{"Acme Kick.dll"}); // an install does not recheck by itself
    click("Command7");
    QCOMPARE(missing->count(), 0);
    QCOMPARE(m_form->statusText(), QStringLiteral("Completed checking missing machines.  No missing machines."));
}

void TestForm1Download::effectsSelectionWinsOverGenerators()
{
    makeForm({"Kick.zip"}, {"Echo.zip"});
    Reply reply;
    reply.body = makeZip({{"Echo.dll", "echo"}});
    serve(QStringLiteral("Echo.zip"), reply);
    serve(QStringLiteral("Kick.zip"), reply);
    // The click handlers keep one list selected; set both as code can.
    for (const char* name : {"List2", "List6"}) {
        auto* list = m_form->findChild<QListWidget*>(QLatin1String(name));
        const QSignalBlocker blocker(list);
        list->setCurrentRow(0);
    }
    click("Command19");
    QCOMPARE(m_server->requestedPaths(), QList<QByteArray>{"/machines/Echo.zip"});
    QVERIFY(logLines().contains(QStringLiteral("Effects folder is unzip destination")));
    QCOMPARE(read(QStringLiteral("host/gear/effects/Echo.dll")), QByteArray("echo"));
    QVERIFY(QDir(path(QStringLiteral("host/gear/generators"))).isEmpty());
    QCOMPARE(texts(m_form->findChild<QListWidget*>(QStringLiteral("File2"))), QStringList{"Echo.dll"});
}

void TestForm1Download::existingFile_data()
{
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<int>("answer"); // -1: no question
    QTest::newRow("no") << QByteArray("old bytes") << int(UserDialogs::Answer::No);
    QTest::newRow("yes") << QByteArray("old bytes") << int(UserDialogs::Answer::Yes);
    QTest::newRow("empty file, no question") << QByteArray() << -1;
}

void TestForm1Download::existingFile()
{
    QFETCH(QByteArray, existing);
    QFETCH(int, answer);
    makeForm({"Kick.zip"});
    {
        QFile file(path(QStringLiteral("Kick.zip")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(existing);
    }
    Reply reply;
    reply.body = makeZip({{"Kick.dll", "new"}});
    serve(QStringLiteral("Kick.zip"), reply);
    select("List2", QStringLiteral("Kick.zip"));
    if (answer >= 0) {
        m_dialogs.setNextAnswer(UserDialogs::Answer(answer));
    }
    click("Command19");

    if (answer < 0) {
        QVERIFY(m_dialogs.messages.isEmpty());
        QCOMPARE(logLines().first(), "Downloading " + url(QStringLiteral("Kick.zip")));
        QCOMPARE(read(QStringLiteral("Kick.zip")), reply.body);
        return;
    }
    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(m_dialogs.messages.first().title, QStringLiteral("File exists"));
    QCOMPARE(m_dialogs.messages.first().text, QStringLiteral("File Kick.zip exists.  File Length is  9  Overwrite?"));
    QCOMPARE(m_dialogs.messages.first().buttons, UserDialogs::Buttons::YesNo);
    if (UserDialogs::Answer(answer) == UserDialogs::Answer::No) {
        QCOMPARE(logLines(), (QStringList{"File exists Kick.zip", "Aborting download of Kick.zip"}));
        QVERIFY(m_server->requests().isEmpty());
        QCOMPARE(read(QStringLiteral("Kick.zip")), existing);
    } else {
        QCOMPARE(logLines().mid(0, 3), (QStringList{"File exists Kick.zip", "Overwriting Kick.zip",
                                                    "Downloading " + url(QStringLiteral("Kick.zip"))}));
        QCOMPARE(read(QStringLiteral("Kick.zip")), reply.body);
        QCOMPARE(read(QStringLiteral("host/gear/generators/Kick.dll")), QByteArray("new"));
    }
}

void TestForm1Download::incompleteResponses_data()
{
    QTest::addColumn<bool>("dropped");
    QTest::newRow("no Content-Length") << false;
    QTest::newRow("connection dropped") << true;
}

void TestForm1Download::incompleteResponses()
{
    QFETCH(bool, dropped);
    makeForm({"Kick.zip"});
    Reply reply;
    reply.body = makeZip({{"Kick.dll", QByteArray(5000, 'x')}}) + QByteArray(3000, 'p');
    if (dropped) {
        reply.behaviour = TestHttpServer::Behaviour::DropAfter;
        reply.dropAfter = 1500;
    } else {
        reply.contentLength = -2;
    }
    serve(QStringLiteral("Kick.zip"), reply);
    select("List2", QStringLiteral("Kick.zip"));
    click("Command19");

    QStringList expected{"Downloading " + url(QStringLiteral("Kick.zip")), "Kick.zip"};
    if (dropped) {
        expected << "Content-Length is  " + QString::number(reply.body.size())
                 << "Did not complete download of Kick.zip";
    } else {
        expected << "Connected?  Did not download Kick.zip";
    }
    QCOMPARE(logLines(), expected);
    QCOMPARE(m_form->statusText(), expected.last());
    QVERIFY(!QFile::exists(path(QStringLiteral("Kick.zip"))));
    QVERIFY(QDir(path(QStringLiteral("host/gear/generators"))).isEmpty());
}

void TestForm1Download::progressForAllButTheLastChunk_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QStringList>("progress");
    const QString prefix = QStringLiteral("Downloading Kick.zip   ");
    QTest::newRow("0") << 0 << QStringList();
    QTest::newRow("1024") << 1024 << QStringList();
    QTest::newRow("2048") << 2048 << QStringList{prefix + "1024 of  2048 bytes downloaded"};
    QTest::newRow("2500") << 2500
                          << QStringList{prefix + "1024 of  2500 bytes downloaded",
                                         prefix + "2048 of  2500 bytes downloaded"};
}

void TestForm1Download::progressForAllButTheLastChunk()
{
    QFETCH(int, size);
    QFETCH(QStringList, progress);
    makeForm({"Kick.zip"});
    Reply reply;
    for (int i = 0; i < size; ++i) {
        reply.body += char(i * 13 + i / 1024);
    }
    serve(QStringLiteral("Kick.zip"), reply);
    select("List2", QStringLiteral("Kick.zip"));
    QSignalSpy statuses(m_form.get(), &MainWindow::statusChanged);
    click("Command19");

    QStringList seen;
    for (const QList<QVariant>& arguments : statuses) {
        if (arguments.first().toString().startsWith(QStringLiteral("Downloading Kick.zip"))) {
            seen << arguments.first().toString();
        }
    }
    QCOMPARE(seen, progress);
    QCOMPARE(read(QStringLiteral("Kick.zip")), reply.body);
    // What the unzip says of a file that is no zip follows; the download lines come first.
    QCOMPARE(logLines().mid(2, 2),
             (QStringList{"Content-Length is  " + QString::number(size),
                          "Completed download of Kick.zip   " + QString::number(size) + " bytes"}));
}

void TestForm1Download::downloadsRefuseEachOtherWhileWaiting()
{
    makeForm({"Kick.zip"});
    Reply stall;
    stall.behaviour = TestHttpServer::Behaviour::Stall;
    serve(QStringLiteral("Kick.zip"), stall);
    select("List2", QStringLiteral("Kick.zip"));
    onRequest([this] {
        click("Command19");
        click("DownloadMachineLists");
        click("Command20");
    });
    click("Command19");
    QCOMPARE(m_dialogs.messageTexts(), (QStringList{kBusy, kBusy}));
    QCOMPARE(m_server->requestedPaths(), QList<QByteArray>{"/machines/Kick.zip"});

    // And the other way round: the machine download waits for the lists' download to end.
    m_dialogs.reset();
    m_server->setReply("/allgenerators.php", stall);
    m_server->setReply("/alleffects.php", Reply{});
    onRequest([this] {
        click("Command19");
        click("Command20");
    });
    click("DownloadMachineLists");
    QCOMPARE(m_dialogs.messageTexts(), QStringList{kBusy});
    QCOMPARE(m_server->requestedPaths().count("/machines/Kick.zip"), 1);
}

void TestForm1Download::cancelEndsTheWait()
{
    makeForm({"Kick.zip", "Later.zip"});
    Reply stall;
    stall.behaviour = TestHttpServer::Behaviour::Stall;
    serve(QStringLiteral("Kick.zip"), stall);
    select("List2", QStringLiteral("Kick.zip"));
    QSignalSpy statuses(m_form.get(), &MainWindow::statusChanged);
    onRequest([this] { click("Command20"); });
    QElapsedTimer timer;
    timer.start();
    click("Command19");

    // Well before the server gives up on the connection.
    QVERIFY(timer.elapsed() < TestHttpServer::kConnectionLifetimeMs - 1000);
    QVERIFY(statuses.contains({QStringLiteral("Cancelling download")}));
    QCOMPARE(logLines(), (QStringList{"Downloading " + url(QStringLiteral("Kick.zip")), "Kick.zip",
                                      "Cancelling download", "Connected?  Did not download Kick.zip"}));
    QCOMPARE(m_form->statusText(), QStringLiteral("Connected?  Did not download Kick.zip"));
    QVERIFY(!QFile::exists(path(QStringLiteral("Kick.zip"))));
    downloadWorks(QStringLiteral("Later.zip"));
}

void TestForm1Download::cancelWhileIdleDoesNothing()
{
    makeForm({"Kick.zip"});
    downloadWorks(QStringLiteral("Kick.zip"));
    const QString log = m_form->logText();
    QSignalSpy statuses(m_form.get(), &MainWindow::statusChanged);
    click("Command20");
    QCOMPARE(statuses.size(), 0);
    QCOMPARE(m_form->logText(), log);
}

void TestForm1Download::entryLeavingTheProgramFolderIsRefused_data()
{
    QTest::addColumn<QString>("entry");
    QTest::newRow("backslash parent") << QStringLiteral("..\\evil.zip");
    QTest::newRow("slash parent") << QStringLiteral("../evil.zip");
    QTest::newRow("subfolder") << QStringLiteral("sub/x.zip");
}

void TestForm1Download::entryLeavingTheProgramFolderIsRefused()
{
    QFETCH(QString, entry);
    makeForm({entry});
    Reply reply;
    reply.body = makeZip({{"Evil.dll", "evil"}});
    serve(entry, reply);
    select("List2", entry);
    click("Command19");

    QCOMPARE(m_dialogs.messages.size(), 1);
    QVERIFY2(m_dialogs.messages.first().text.contains(entry), qPrintable(m_dialogs.messages.first().text));
    QVERIFY(m_server->requests().isEmpty());
    QCOMPARE(QDir(m_root->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"prog"});
    QCOMPARE(QDir(path(QString())).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             (QStringList{"alleffects.txt", "allgenerators.txt", "host"}));
    QVERIFY(QDir(path(QStringLiteral("host/gear/generators"))).isEmpty());
}

QTEST_MAIN(TestForm1Download)
#include "tst_form1download.moc"
