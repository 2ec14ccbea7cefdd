// The program's operations through its model, as the window and the command line drive them.
#include "CatalogueWriter.h"
#include "SongWriter.h"
#include "TestApp.h"
#include "TestHttpServer.h"
#include "ZipWriter.h"

#include "host/ProgramFolder.h"

#include <QNetworkProxy>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

namespace {

using Kind = AppModel::Kind;
using Reply = TestHttpServer::Reply;

const QString kBusy = QStringLiteral("There is already a download in progress");

QByteArray zipOf(const QByteArray& name, const QByteArray& content)
{
    QTemporaryDir scratch;
    const QString file = scratch.filePath(QStringLiteral("m.zip"));
    return gw::test::ZipWriter().add(name, content).writeTo(file) ? TestFiles::contents(file) : QByteArray();
}

QByteArray catalogueOf(const QStringList& entries)
{
    std::vector<gw::test::CatalogueMachine> rows;
    for (const QString& entry : entries) {
        rows.push_back({entry.toStdString(), "2004-05-06", "Dev", entry.section(u'.', 0, 0).toStdString(), "About it",
                        "Generator", "1.0", "Stable"});
    }
    return QByteArray::fromStdString(gw::test::catalogueText(rows));
}

} // namespace

class TestAppModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }
    void startUpFindsTheHostAndMakesItsGearFolders();
    void songsComeFromTheOpenDialog();
    void scanGathersUsedMachinesAndChecksThem();
    void movesBetweenTheGearFolders_data();
    void movesBetweenTheGearFolders();
    void cataloguesAndTheOneSelectedMachine();
    void downloadSavesAndInstalls();
    void downloadOfAnExistingFileAsksFirst_data();
    void downloadOfAnExistingFileAsksFirst();
    void downloadsThatFail_data();
    void downloadsThatFail();
    void oneTransferAtATimeAndCancel();
    void fetchCataloguesConvertsBothPages();
    void fetchAllMissingByNameCloseAndFileName();
    void archiveAddressIsAskedForOnceAndKept();
};

void TestAppModel::startUpFindsTheHostAndMakesItsGearFolders()
{
    TestApp app;
    AppModel& model = app.start();
    QVERIFY(app.dialogs.messages.isEmpty());
    QCOMPARE(app.takeStatuses(),
             (QStringList{app.path(QStringLiteral("prog/")) + QStringLiteral(" is current directory"),
                          QStringLiteral("Buzz path from Buzz registry settings is ") + app.path(QStringLiteral("host/")),
                          QStringLiteral("Generator list contains  0 machines.  Effects list contains  0 machines.")}));
    QVERIFY(QDir(app.path(QStringLiteral("host/gear/generators"))).exists());
    QVERIFY(QDir(app.path(QStringLiteral("host/gear/effects"))).exists());

    // Without the host's settings the program folder stands in, and every refresh says so again.
    app.settings->setKeyPresent(false);
    model.refreshGearFolders();
    QCOMPARE(app.dialogs.messages.size(), 1);
    QCOMPARE(app.dialogs.messages.first().title, QStringLiteral("Gearwarden 1.0"));
    QVERIFY(app.dialogs.messages.first().text.startsWith(QStringLiteral("Unable to open the key Settings.  ")));
    QCOMPARE(model.status(), QStringLiteral("Temporarily using ") + app.path(QStringLiteral("prog/")) +
                                 QStringLiteral(" as buzz path"));
    QVERIFY(QDir(app.path(QStringLiteral("prog/gear/effects"))).exists());

    // A file named "gear" stands where the folder should be: no folder can be made, even by root.
    TestApp blocked;
    QVERIFY(blocked.write(QStringLiteral("host/gear"), "a file"));
    blocked.start();
    QVERIFY(blocked.takeStatuses().contains(QStringLiteral("Unable to create ") +
                                            blocked.path(QStringLiteral("host/gear/generators")) +
                                            QStringLiteral(".  Its machines cannot be listed; check the rights on ") +
                                            blocked.path(QStringLiteral("host/"))));
}

void TestAppModel::songsComeFromTheOpenDialog()
{
    TestApp app;
    app.settings->setValue("OpenSongDir", app.path(QStringLiteral("host")).toStdString());
    AppModel& model = app.start();
    const QString folder = app.path(QStringLiteral("songs"));
    const QString echo = QString::fromUtf8("\u00c9cho.bmx");
    // Several files come as the folder and the names; the classic dialog ends the list with extra NULs.
    app.dialogs.setNextOpenResult(folder + QChar(0) + QStringLiteral("beta.bmx") + QChar(0) + QStringLiteral("Alpha.bmx") +
                                  QChar(0) + echo + QChar(0) + QStringLiteral("alpha.bmx") + QChar(0) + QChar(0));
    model.addSongsFromDialog();
    const UserDialogs::OpenRequest& request = app.dialogs.openRequests.first();
    QCOMPARE(request.title, QStringLiteral("Select one or more bmx or bmw file to add to list"));
    QCOMPARE(request.initialFolder, app.path(QStringLiteral("host")));
    QVERIFY(request.multiSelect);
    QCOMPARE(model.status(), QStringLiteral("Selected  4 bmx files added to list"));
    const QString in = folder + QDir::separator();
    // As a Windows list box shows them: small letter first on a tie, accented letters with their base letter.
    QCOMPARE(model.songs().names(), (QStringList{in + "alpha.bmx", in + "Alpha.bmx", in + "beta.bmx", in + echo}));
    QCOMPARE(model.currentSong(), -1);

    // A single file is added once and becomes the current song.
    app.dialogs.setNextOpenResult(in + QStringLiteral("beta.bmx"));
    model.addSongsFromDialog();
    QCOMPARE(model.songs().size(), 4);
    QCOMPARE(model.currentSong(), 2);
    model.addSongsFromDialog(); // nothing scripted: cancelled
    QCOMPARE(model.status(), QStringLiteral("No bmx or bmw selected"));

    model.tickAll();
    QVERIFY(model.isTicked(0) && model.isTicked(3));
    QCOMPARE(model.status(), QStringLiteral("Selected all from bmx files list"));
    model.tickNone();
    QVERIFY(!model.isTicked(0) && !model.isTicked(3));
    model.clearSongs();
    QVERIFY(model.songs().isEmpty());
    QCOMPARE(model.currentSong(), -1);
    QCOMPARE(model.status(), QStringLiteral("Cleared bmx files list"));
}

void TestAppModel::scanGathersUsedMachinesAndChecksThem()
{
    TestApp app;
    gw::test::SongWriter good;
    good.addSimple("Kick", "Acme Kick", 1).addSimple("Bass", "Jeskola Bass 3", 1).addSimple("Echo", "Acme Delay", 2);
    good.addSimple("Kick 2", "Acme Kick", 1).addSimple("Wide", "Stereo Wide", 2);
    const QString first = app.path(QStringLiteral("a-text.bmx"));
    const QString second = app.path(QStringLiteral("b-good.bmx"));
    QVERIFY(app.write(QStringLiteral("a-text.bmx"), "Not a song") && good.writeTo(second.toStdString()));
    QVERIFY(app.write(QStringLiteral("host/gear/effects/acme delay.DLL"), "x"));
    QVERIFY(app.write(QStringLiteral("host/gear/generators/Stereo Wide.dll"), "x"));
    AppModel& model = app.start();

    // Nothing ticked, no current song: only the check runs.
    model.scanTickedSongs();
    QCOMPARE(app.takeStatuses().last(), QStringLiteral("Completed checking missing machines.  No missing machines."));

    model.addSong(first);
    model.addSong(second);
    model.setCurrentSong(1);
    model.setTicked(0, true);
    model.setTicked(1, true);
    app.takeStatuses();
    model.scanTickedSongs();

    QCOMPARE(app.dialogs.messageTexts(),
             QStringList({QStringLiteral("File ") + first +
                          QStringLiteral(" is missing Buzz header.  Probably not a buzz file.")}));
    QCOMPARE(model.lastScan().size(), 2);
    QCOMPARE(model.lastScan().first().error, app.dialogs.messageTexts().first());
    // The log holds the last song's trace; each line ends with CR LF.
    QCOMPARE(model.logLines().first(), QStringLiteral("Scanning ") + second);
    QCOMPARE(model.logLines().at(1), QString(QDir::separator()) + QStringLiteral("b-good.bmx"));
    QVERIFY(model.logLines().contains(QStringLiteral("Machine DLL name Acme Delay")));
    QVERIFY(model.logText().endsWith(QStringLiteral("\r\n")));
    const QStringList statuses = app.takeStatuses();
    const QStringList inOrder = {
        QStringLiteral("Scanning bmx for machines used"),
        QStringLiteral("Scanning PARA section for 1 of  6 machines"),
        QStringLiteral("Completed scan of  6 machines in PARA section"),
        QStringLiteral("Scanning MACH section for machine  6 of  6 machines"),
        QStringLiteral("Checking missing machines"),
        QStringLiteral("Completed checking missing machines.   1 generators  1 effects missing"),
    };
    qsizetype at = -1;
    for (const QString& text : inOrder) {
        at = statuses.indexOf(text, at + 1);
        QVERIFY2(at >= 0, qPrintable(QStringLiteral("missing or out of order: ") + text));
    }
    QCOMPARE(statuses.last(), inOrder.last());
    QCOMPARE(model.currentSong(), 1);

    QCOMPARE(model.used(Kind::Generator).names(), (QStringList{"Acme Kick", "Jeskola Bass 3"}));
    QCOMPARE(model.used(Kind::Effect).names(), (QStringList{"Acme Delay", "Stereo Wide"}));
    // Built-ins are never missing; an effect filed with the generators is marked.
    QCOMPARE(model.missing(Kind::Generator).names(), QStringList{"Acme Kick.dll"});
    QCOMPARE(model.missing(Kind::Effect).names(), QStringList{"(gen dir)Stereo Wide.dll"});

    // The used lists gather until cleared; the missing lists stay until the next check.
    model.scanTickedSongs();
    QCOMPARE(model.used(Kind::Generator).size(), 2);
    model.clearUsed();
    QVERIFY(model.used(Kind::Generator).isEmpty() && model.used(Kind::Effect).isEmpty());
    QCOMPARE(model.missing(Kind::Generator).size(), 1);
    QCOMPARE(model.status(), QStringLiteral("Cleared lists for used generators and effects"));
}

void TestAppModel::movesBetweenTheGearFolders_data()
{
    QTest::addColumn<bool>("toEffects");
    QTest::addColumn<QString>("twin"); // a copy already in the other folder, or empty
    QTest::newRow("to effects") << true << QString();
    QTest::newRow("to generators") << false << QString();
    // The platform ignores letter case, so "twin.dll" there is the same machine: the moved copy is deleted.
    QTest::newRow("to effects, twin there") << true << QStringLiteral("twin.dll");
    QTest::newRow("to generators, twin there") << false << QStringLiteral("TWIN.dll");
}

void TestAppModel::movesBetweenTheGearFolders()
{
    QFETCH(bool, toEffects);
    QFETCH(QString, twin);
    TestApp app;
    const QString from = toEffects ? QStringLiteral("host/gear/generators/") : QStringLiteral("host/gear/effects/");
    const QString to = toEffects ? QStringLiteral("host/gear/effects/") : QStringLiteral("host/gear/generators/");
    QVERIFY(app.write(from + QStringLiteral("Twin.dll"), "moved"));
    if (!twin.isEmpty()) {
        QVERIFY(app.write(to + twin, "kept"));
    }
    AppModel& model = app.start();
    const auto move = [&](const QString& dll) { toEffects ? model.moveToEffects(dll) : model.moveToGenerators(dll); };
    move(QString()); // nothing selected: the listings are read again, nothing moves
    QVERIFY(app.dialogs.messages.isEmpty());
    move(QStringLiteral("Twin.dll"));

    const QString fromName = toEffects ? QStringLiteral("Generators") : QStringLiteral("Effects");
    const QString toName = toEffects ? QStringLiteral("Effects") : QStringLiteral("Generators");
    QVERIFY(!QFileInfo::exists(app.path(from + QStringLiteral("Twin.dll"))));
    if (twin.isEmpty()) {
        QCOMPARE(app.dialogs.messageTexts(),
                 QStringList{"Moving Twin.dll from " + fromName + " to " + toName + " directory."});
        QCOMPARE(model.status(), "Moved Twin.dll from " + fromName + " to " + toName + " directory.");
        QCOMPARE(app.read(to + QStringLiteral("Twin.dll")), QByteArray("moved"));
    } else {
        QCOMPARE(app.dialogs.messageTexts(), QStringList{"File Twin.dll exists in " + toName +
                                                         " directory already. Deleting from " + fromName + " directory."});
        QCOMPARE(model.status(),
                 "File Twin.dll exists in " + toName + " directory already. Deleted from " + fromName + " directory.");
        QCOMPARE(QDir(app.path(to)).entryList(QDir::Files), QStringList{twin});
        QCOMPARE(app.read(to + twin), QByteArray("kept"));
    }
    QVERIFY(model.gearFiles(toEffects ? Kind::Generator : Kind::Effect).isEmpty());
    QCOMPARE(model.gearFiles(toEffects ? Kind::Effect : Kind::Generator).size(), 1);
}

void TestAppModel::cataloguesAndTheOneSelectedMachine()
{
    TestApp app;
    QVERIFY(app.write(QStringLiteral("prog/allgenerators.txt"), catalogueOf({"Zeta.zip", "alpha.zip", "Zeta.zip"})));
    AppModel& model = app.start();
    // An entry the page names twice is listed twice; the effects list, with no file, says nothing.
    QCOMPARE(model.catalogue(Kind::Generator).names(), (QStringList{"alpha.zip", "Zeta.zip", "Zeta.zip"}));
    const QStringList statuses = app.takeStatuses();
    QCOMPARE(statuses.mid(2), (QStringList{"Reading Plugvault generators list",
                                           statuses.at(3), // the line count depends on the page's layout
                                           "Generator list contains  3 machines.  Effects list contains  0 machines."}));
    QVERIFY(statuses.at(3).startsWith(QStringLiteral("Completed reading allgenerators.txt  list.  3 machines. ")));

    // With the detailed view closed a selection only says so; opened, the view loads its kind and follows.
    model.selectMachine(Kind::Generator, QStringLiteral("Zeta.zip"));
    QCOMPARE(app.takeStatuses(), QStringList{"Selected Zeta.zip"});
    QVERIFY(model.catalogueTable().isEmpty());
    model.openCatalogueView();
    QCOMPARE(app.takeStatuses(),
             (QStringList{"Selected Zeta.zip", "Loading detailed generators form", "Complete loaded detailed generators form",
                          "Syncing main view with detailed view", "Completed syncing main view with detailed view"}));
    QCOMPARE(model.catalogueTable().size(), 3);
    QCOMPARE(model.catalogueTable().at(1), (QStringList{"alpha.zip", "2004-05-06", "Dev", "alpha", "About it",
                                                        "Generator", "1.0", "Stable"}));
    model.selectMachine(Kind::Generator, QStringLiteral("alpha.zip"));
    QCOMPARE(app.takeStatuses(), (QStringList{"Selected alpha.zip", "Syncing main view with detailed view",
                                              "Completed syncing main view with detailed view"}));

    // Refresh reads the lists anew and drops the selection; a one-row catalogue is shown with no row selected.
    model.readCatalogues();
    QVERIFY(!model.selection().isValid());
    QVERIFY(app.write(QStringLiteral("prog/alleffects.txt"), catalogueOf({"Echo.zip"})));
    model.viewCatalogue(Kind::Effect);
    QCOMPARE(model.catalogueTable().size(), 1);
    QVERIFY(!model.selection().isValid());

    // A catalogue that is gone keeps its list and the table; the table's first row is then the selected machine.
    model.viewCatalogue(Kind::Generator);
    QVERIFY(QFile::remove(app.path(QStringLiteral("prog/allgenerators.txt"))));
    QVERIFY(QFile::remove(app.path(QStringLiteral("prog/alleffects.txt"))));
    model.readCatalogues();
    QCOMPARE(model.catalogue(Kind::Generator).size(), 3);
    model.viewCatalogue(Kind::Effect);
    QCOMPARE(model.catalogueViewKind(), Kind::Effect);
    QCOMPARE(model.catalogueTable().size(), 3);
    QCOMPARE(model.selection().entry, QStringLiteral("Zeta.zip"));
    model.closeCatalogueView();
    model.selectMachine(Kind::Effect, QStringLiteral("Echo.zip"));
    QCOMPARE(app.takeStatuses().last(), QStringLiteral("Selected Echo.zip"));
}

void TestAppModel::downloadSavesAndInstalls()
{
    TestHttpServer server;
    QVERIFY(server.listen());
    TestApp app;
    gw::test::SongWriter song;
    song.addSimple("Kick", "Acme Kick", 1);
    QVERIFY(song.writeTo(app.path(QStringLiteral("uses-kick.bmx")).toStdString()));
    AppModel& model = app.start(server.baseUrl());
    model.downloadSelected();
    const QString none = QStringLiteral("No file selected from 'Download Generators' or 'Download Effects' machine lists");
    QCOMPARE(app.dialogs.messageTexts(), QStringList{none});
    QCOMPARE(model.status(), none);
    model.scanSongs({app.path(QStringLiteral("uses-kick.bmx"))});
    QCOMPARE(model.missing(Kind::Generator).names(), QStringList{"Acme Kick.dll"});

    Reply reply;
    reply.contentType = "application/zip";
    reply.body = zipOf("Acme Kick.dll", QByteArray(3000, 'k'));
    server.setReply("/machines/Acme_Kick.zip", reply);
    model.selectMachine(Kind::Generator, QStringLiteral("Acme_Kick.zip"));
    model.downloadSelected();

    const QString saved = app.path(QStringLiteral("prog/Acme_Kick.zip"));
    const QString into = app.path(QStringLiteral("host/gear/generators"));
    const QString size = QString::number(reply.body.size());
    QCOMPARE(model.logLines(), (QStringList{
                                   "Downloading " + server.baseUrl() + "machines/Acme_Kick.zip",
                                   "Acme_Kick.zip",
                                   "Content-Length is  " + size,
                                   "Completed download of Acme_Kick.zip   " + size + " bytes",
                                   "Generators folder is unzip destination",
                                   "Unzipping " + saved + " to " + into,
                                   "Complete unzipped " + saved + " to " + into,
                               }));
    QCOMPARE(app.read(QStringLiteral("prog/Acme_Kick.zip")), reply.body);
    QCOMPARE(app.read(QStringLiteral("host/gear/generators/Acme Kick.dll")), QByteArray(3000, 'k'));
    QCOMPARE(model.gearFiles(Kind::Generator).names(), QStringList{"Acme Kick.dll"});
    // An install does not recheck by itself; a check then finds the machine.
    QCOMPARE(model.missing(Kind::Generator).size(), 1);
    model.checkMissing();
    QVERIFY(model.missing(Kind::Generator).isEmpty());
}

void TestAppModel::downloadOfAnExistingFileAsksFirst_data()
{
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<int>("answer"); // -1: no question
    QTest::newRow("no") << QByteArray("old bytes") << int(UserDialogs::Answer::No);
    QTest::newRow("yes") << QByteArray("old bytes") << int(UserDialogs::Answer::Yes);
    QTest::newRow("empty file, no question") << QByteArray() << -1;
}

void TestAppModel::downloadOfAnExistingFileAsksFirst()
{
    QFETCH(QByteArray, existing);
    QFETCH(int, answer);
    TestHttpServer server;
    QVERIFY(server.listen());
    TestApp app;
    QVERIFY(app.write(QStringLiteral("prog/Kick.zip"), existing));
    Reply reply;
    reply.body = zipOf("Kick.dll", "new");
    server.setReply("/machines/Kick.zip", reply);
    AppModel& model = app.start(server.baseUrl());
    if (answer >= 0) {
        app.dialogs.setNextAnswer(UserDialogs::Answer(answer));
    }
    QVERIFY(model.download(Kind::Effect, QStringLiteral("Kick.zip")) == (answer != int(UserDialogs::Answer::No)));
    if (answer < 0) {
        QVERIFY(app.dialogs.messages.isEmpty());
        QCOMPARE(app.read(QStringLiteral("host/gear/effects/Kick.dll")), QByteArray("new"));
        return;
    }
    QCOMPARE(app.dialogs.messages.size(), 1);
    QCOMPARE(app.dialogs.messages.first().title, QStringLiteral("File exists"));
    QCOMPARE(app.dialogs.messages.first().text, QStringLiteral("File Kick.zip exists.  File Length is  9  Overwrite?"));
    QCOMPARE(app.dialogs.messages.first().buttons, UserDialogs::Buttons::YesNo);
    if (UserDialogs::Answer(answer) == UserDialogs::Answer::No) {
        QCOMPARE(model.logLines(), (QStringList{"File exists Kick.zip", "Aborting download of Kick.zip"}));
        QVERIFY(server.requests().isEmpty());
        QCOMPARE(app.read(QStringLiteral("prog/Kick.zip")), existing);
    } else {
        QCOMPARE(model.logLines().mid(0, 3), (QStringList{"File exists Kick.zip", "Overwriting Kick.zip",
                                                          "Downloading " + server.baseUrl() + "machines/Kick.zip"}));
        QCOMPARE(app.read(QStringLiteral("prog/Kick.zip")), reply.body);
    }
}

void TestAppModel::downloadsThatFail_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("how"); // 0 no Content-Length, 1 connection dropped, 2 not a plain file name
    QTest::newRow("no Content-Length") << QStringLiteral("Kick.zip") << 0;
    QTest::newRow("connection dropped") << QStringLiteral("Kick.zip") << 1;
    QTest::newRow("backslash parent") << QStringLiteral("..\\evil.zip") << 2;
    QTest::newRow("slash parent") << QStringLiteral("../evil.zip") << 2;
    QTest::newRow("subfolder") << QStringLiteral("sub/x.zip") << 2;
}

void TestAppModel::downloadsThatFail()
{
    QFETCH(QString, entry);
    QFETCH(int, how);
    TestHttpServer server;
    QVERIFY(server.listen());
    Reply reply;
    reply.body = zipOf("Kick.dll", QByteArray(5000, 'x')) + QByteArray(3000, 'p');
    reply.contentLength = how == 0 ? -2 : -1;
    if (how == 1) {
        reply.behaviour = TestHttpServer::Behaviour::DropAfter;
        reply.dropAfter = 1500;
    }
    server.setReply("/machines/" + entry.toLatin1(), reply);
    TestApp app;
    AppModel& model = app.start(server.baseUrl());
    QVERIFY(!model.download(Kind::Generator, entry));

    if (how == 2) {
        QCOMPARE(app.dialogs.messages.size(), 1);
        QVERIFY2(app.dialogs.messages.first().text.startsWith(QStringLiteral("Refusing to download ") + entry),
                 qPrintable(app.dialogs.messages.first().text));
        QVERIFY(server.requests().isEmpty());
    } else {
        const QString last = how == 0 ? QStringLiteral("Connected?  Did not download Kick.zip")
                                      : QStringLiteral("Did not complete download of Kick.zip");
        QCOMPARE(model.logLines().last(), last);
        QCOMPARE(model.status(), last);
    }
    // Nothing half-written anywhere: not in the program folder, not beside it, not in the gear folders.
    QCOMPARE(QDir(app.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), (QStringList{"host", "prog"}));
    QVERIFY(QDir(app.path(QStringLiteral("prog"))).entryList(QDir::Files).isEmpty());
    QVERIFY(QDir(app.path(QStringLiteral("host/gear/generators"))).isEmpty());
}

void TestAppModel::oneTransferAtATimeAndCancel()
{
    TestHttpServer server;
    QVERIFY(server.listen());
    Reply stall;
    stall.behaviour = TestHttpServer::Behaviour::Stall;
    server.setReply("/machines/Kick.zip", stall);
    TestApp app;
    AppModel& model = app.start(server.baseUrl());
    app.takeStatuses();
    model.cancelTransfer(); // idle: nothing to cancel, nothing said
    QVERIFY(app.takeStatuses().isEmpty());

    // While the machine waits, the other transfers are refused, and Cancel ends the wait at once.
    connect(&server, &TestHttpServer::requestReceived, this, [&] {
        QTimer::singleShot(0, this, [&] {
            model.selectMachine(Kind::Generator, QStringLiteral("Other.zip"));
            model.downloadSelected();
            model.fetchCatalogues();
            model.cancelTransfer();
        });
    }, Qt::SingleShotConnection);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!model.download(Kind::Generator, QStringLiteral("Kick.zip")));
    QVERIFY(timer.elapsed() < TestHttpServer::kConnectionLifetimeMs - 1000);
    QCOMPARE(app.dialogs.messageTexts(), (QStringList{kBusy, kBusy}));
    QCOMPARE(model.logLines(), (QStringList{"Downloading " + server.baseUrl() + "machines/Kick.zip", "Kick.zip",
                                            "Cancelling download", "Connected?  Did not download Kick.zip"}));
    QCOMPARE(server.requestedPaths(), QList<QByteArray>{"/machines/Kick.zip"});
    QVERIFY(!model.transferInProgress());
}

void TestAppModel::fetchCataloguesConvertsBothPages()
{
    TestHttpServer server;
    QVERIFY(server.listen());
    Reply generators;
    generators.body = catalogueOf({"Kick.zip"}).replace("\r\n", "\n");
    Reply effects;
    effects.body = catalogueOf({"Echo.zip"}).replace("\r\n", "\n");
    server.setReply("/allgenerators.php", generators);
    server.setReply("/alleffects.php", effects);
    TestApp app;
    AppModel& model = app.start(server.baseUrl());
    QVERIFY(model.fetchCatalogues());
    QCOMPARE(app.read(QStringLiteral("prog/allgenerators.txt")), catalogueOf({"Kick.zip"}));
    QCOMPARE(app.read(QStringLiteral("prog/alleffects.txt")), catalogueOf({"Echo.zip"}));
    QCOMPARE(model.logLines().first(), "Downloading " + server.baseUrl() + "allgenerators.php");
    QCOMPARE(model.logLines().last(),
             QStringLiteral("Completed converting allgenerators.htm and alleffects.htm from UNIX to DOS"));

    // Without a content type on the second page, neither list is converted and the old one stays.
    effects.contentType.clear();
    server.setReply("/alleffects.php", effects);
    QVERIFY(app.write(QStringLiteral("prog/alleffects.txt"), "old list\r\n"));
    QVERIFY(!model.fetchCatalogues());
    QCOMPARE(model.logLines().last(), QStringLiteral("Connected?  Did not download alleffects.php"));
    QCOMPARE(app.read(QStringLiteral("prog/alleffects.txt")), QByteArray("old list\r\n"));
}

void TestAppModel::fetchAllMissingByNameCloseAndFileName()
{
    TestHttpServer server;
    QVERIFY(server.listen());
    TestApp app;
    gw::test::SongWriter song;
    song.addSimple("Kick", "Acme Kick", 1).addSimple("Pad", "Lunar Pad", 1).addSimple("None", "Nothing Here", 1);
    song.addSimple("Chorus", "Glass Chorus", 2).addSimple("Wide", "Stereo Wide", 2).addSimple("Kick 2", "ACME KICK", 1);
    QVERIFY(song.writeTo(app.path(QStringLiteral("song.bmx")).toStdString()));
    QVERIFY(app.write(QStringLiteral("host/gear/generators/stereo wide.dll"), "wide"));
    std::vector<gw::test::CatalogueMachine> generators = {
        {"Acme_Kick.zip", "2001-01-01", "Acme", "Acme Kick", "", "Generator", "1", ""},
        {"LunarPad.zip", "2002-01-01", "Lunar", "Lunar-Pad 2", "", "Generator", "2", ""},
    };
    std::vector<gw::test::CatalogueMachine> effects = {
        {"Glass_Chorus.zip", "2003-01-01", "Glass", "GC by Glass", "", "Effect", "1", ""}};
    QVERIFY(app.write(QStringLiteral("prog/allgenerators.txt"), QByteArray::fromStdString(gw::test::catalogueText(generators))));
    QVERIFY(app.write(QStringLiteral("prog/alleffects.txt"), QByteArray::fromStdString(gw::test::catalogueText(effects))));
    for (const char* machine : {"Acme Kick", "Lunar Pad", "Glass Chorus"}) {
        Reply reply;
        reply.body = zipOf(QByteArray(machine) + ".dll", machine);
        const QByteArray entry = QByteArray(machine) == "Lunar Pad" ? "LunarPad.zip" : QByteArray(machine).replace(' ', '_') + ".zip";
        server.setReply("/machines/" + entry, reply);
    }
    AppModel& model = app.start(server.baseUrl());
    model.scanSongs({app.path(QStringLiteral("song.bmx"))});

    const QList<FetchResult> results = model.fetchAllMissing();
    QStringList table;
    for (const FetchResult& done : results) {
        table << done.match.dll + u'|' + done.match.entry + u'|' + done.match.how + u'|' + done.result;
    }
    QCOMPARE(table, (QStringList{"Acme Kick.dll|Acme_Kick.zip|name|installed", "ACME KICK.dll|Acme_Kick.zip|name|installed",
                                 "Lunar Pad.dll|LunarPad.zip|close|installed", "Nothing Here.dll|||no match",
                                 "Stereo Wide.dll||move|moved",
                                 "Glass Chorus.dll|Glass_Chorus.zip|file name|installed"}));
    // Each zip once, each machine where it belongs; the recheck leaves only the one the catalogue lacks.
    QCOMPARE(server.requestedPaths(), (QList<QByteArray>{"/machines/Acme_Kick.zip", "/machines/LunarPad.zip",
                                                         "/machines/Glass_Chorus.zip"}));
    QCOMPARE(app.read(QStringLiteral("host/gear/generators/Lunar Pad.dll")), QByteArray("Lunar Pad"));
    QCOMPARE(app.read(QStringLiteral("host/gear/effects/Glass Chorus.dll")), QByteArray("Glass Chorus"));
    QCOMPARE(app.read(QStringLiteral("host/gear/effects/stereo wide.dll")), QByteArray("wide"));
    QCOMPARE(model.missing(Kind::Generator).names(), QStringList{"Nothing Here.dll"});
    QVERIFY(model.missing(Kind::Effect).isEmpty());
    QVERIFY(app.dialogs.messages.isEmpty());

    // A click on a missing machine selects its row, or says the catalogue has none.
    model.selectMissing(Kind::Generator, QStringLiteral("Nothing Here.dll"));
    QCOMPARE(model.status(), QStringLiteral("The catalogue has no match for Nothing Here.dll"));
}

void TestAppModel::archiveAddressIsAskedForOnceAndKept()
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings().remove(QStringLiteral("archiveUrl"));
    TestApp app;
    AppModel& model = app.start(gw::archiveBaseUrl({}));
    QVERIFY(model.archiveBaseUrl().isEmpty());
    connect(&model, &AppModel::archiveUrlChanged, &gw::rememberArchiveBaseUrl);
    // Cancelled: the transfer says so and tries nothing.
    QVERIFY(!model.fetchCatalogues());
    QCOMPARE(app.dialogs.textQuestions, QStringList{"Machine archive"});
    QVERIFY(model.status().startsWith(QStringLiteral("No machine archive address is set")));
    // Given: used at once and kept for the next run; an address given for a run wins.
    TestHttpServer server;
    QVERIFY(server.listen());
    app.dialogs.setNextText(server.baseUrl().chopped(1));
    model.fetchCatalogues();
    QCOMPARE(server.requestedPaths().value(0), QByteArray("/allgenerators.php"));
    QCOMPARE(gw::archiveBaseUrl({}), server.baseUrl());
    QCOMPARE(gw::archiveBaseUrl(QStringLiteral("http://other.example")), QStringLiteral("http://other.example/"));
    QSettings().remove(QStringLiteral("archiveUrl"));
}

QTEST_GUILESS_MAIN(TestAppModel)
#include "tst_appmodel.moc"
