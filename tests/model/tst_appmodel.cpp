// The program's operations through its model, as the window and the command line drive them.
#include "SongWriter.h"
#include "TestApp.h"
#include "TestHttpServer.h"

#include "host/ProgramFolder.h"

#include <QNetworkProxy>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

namespace {

using Kind = AppModel::Kind;
using Answer = UserDialogs::Answer;
using Reply = TestHttpServer::Reply;

/** A catalogue list of generators, each named as its entry without the extension. */
QByteArray listOf(const QStringList& entries)
{
    std::vector<gw::test::CatalogueMachine> rows;
    for (const QString& entry : entries) {
        rows.push_back({entry.toStdString(), "2004-05-06", "Dev", entry.section(u'.', 0, 0).toStdString(), "About it",
                        "Generator", "1.0", "Stable"});
    }
    return catalogueOf(rows);
}

// How the server answers a download; Stalled: never, while other transfers are tried; Refused: nothing is asked.
enum How { Whole, NoLength, Dropped, NotFound, Stalled, Refused };

} // namespace

class TestAppModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }

    void songsFromTheOpenDialogScannedAndChecked()
    {
        TestApp app;
        app.settings->setValue("OpenSongDir", app.path("host").toStdString());
        const QString in = app.path("songs") + QDir::separator();
        QVERIFY(app.write("songs/a.bmx", "Not a song"));
        gw::test::SongWriter song;
        song.addSimple("K", "Acme Kick", 1).addSimple("B", "Jeskola Bass 3", 1).addSimple("E", "Acme Delay", 2);
        song.addSimple("K2", "Acme Kick", 1).addSimple("W", "Stereo Wide", 2);
        QVERIFY(song.writeTo((in + "b-good.bmx").toStdString()));
        QVERIFY(app.write("host/gear/effects/acme delay.DLL", "x"));
        QVERIFY(app.write("host/gear/generators/Stereo Wide.dll", "x"));
        AppModel& model = app.start();
        // Nothing ticked, no current song: only the check runs.
        model.scanTickedSongs();
        QCOMPARE(model.status(), QStringLiteral("Completed checking missing machines.  No missing machines."));

        // Several files come as the folder and the names; the classic dialog ends the list with extra NULs.
        const QString echo = QString::fromUtf8("\u00c9cho.bmx");
        app.dialogs.openResults << QStringList{in.chopped(1), "b-good.bmx", "Alpha.bmx", echo, "alpha.bmx", "a.bmx", "",
                                               ""}.join(QChar(0));
        model.addSongsFromDialog();
        const UserDialogs::OpenRequest& request = app.dialogs.openRequests.first();
        QCOMPARE(request.title, QStringLiteral("Select one or more bmx or bmw file to add to list"));
        QCOMPARE(request.initialFolder, app.path("host"));
        QVERIFY(request.multiSelect);
        QCOMPARE(model.status(), QStringLiteral("Selected  5 bmx files added to list"));
        // As a Windows list box shows them: small letter first on a tie, accented letters with their base letter.
        QCOMPARE(model.songs().names(),
                 (QStringList{in + "a.bmx", in + "alpha.bmx", in + "Alpha.bmx", in + "b-good.bmx", in + echo}));
        QCOMPARE(model.currentSong(), -1);
        // A single file is added once and becomes the current song; a cancelled dialog adds nothing.
        app.dialogs.openResults << in + "b-good.bmx";
        model.addSongsFromDialog();
        QCOMPARE(model.songs().size(), 5);
        QCOMPARE(model.currentSong(), 3);
        model.addSongsFromDialog();
        QCOMPARE(model.status(), QStringLiteral("No bmx or bmw selected"));
        model.tickAll();
        QVERIFY(model.isTicked(0) && model.isTicked(4));
        QCOMPARE(model.status(), QStringLiteral("Selected all from bmx files list"));
        model.tickNone();
        QVERIFY(!model.isTicked(0) && !model.isTicked(4));

        // The ticked songs are scanned, each made current in turn, then checked.
        model.setCurrentSong(1);
        model.setTicked(0, true);
        model.setTicked(3, true);
        app.takeStatuses();
        model.scanTickedSongs();
        const QString unreadable = "File " + in + "a.bmx is missing Buzz header.  Probably not a buzz file.";
        QCOMPARE(app.dialogs.messages, QStringList{unreadable});
        QCOMPARE(model.lastScan().value(0).error, unreadable);
        // The log holds the last song's trace; each line ends with CR LF.
        QCOMPARE(model.logLines().mid(0, 2),
                 (QStringList{"Scanning " + in + "b-good.bmx", QDir::separator() + QString("b-good.bmx")}));
        QVERIFY(model.logLines().contains("Machine DLL name Acme Delay"));
        QVERIFY(model.logText().endsWith("\r\n"));
        const QStringList inOrder = {"Scanning bmx for machines used", "Scanning PARA section for 1 of  6 machines",
                                     "Completed scan of  6 machines in PARA section",
                                     "Scanning MACH section for machine  6 of  6 machines", "Checking missing machines",
                                     "Completed checking missing machines.   1 generators  1 effects missing"};
        QStringList statuses = app.takeStatuses();
        QCOMPARE(statuses.last(), inOrder.last());
        statuses.removeIf([&](const QString& text) { return !inOrder.contains(text); });
        statuses.removeDuplicates();
        QCOMPARE(statuses, inOrder);
        QCOMPARE(model.currentSong(), 3);
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
        model.clearSongs();
        QVERIFY(model.songs().isEmpty());
        QCOMPARE(model.currentSong(), -1);
        QCOMPARE(model.status(), QStringLiteral("Cleared bmx files list"));
    }

    void movesBetweenTheGearFolders_data()
    {
        QTest::addColumn<bool>("toEffects");
        QTest::addColumn<QString>("twin"); // a copy already in the other folder, or empty
        QTest::newRow("to effects") << true << QString();
        QTest::newRow("to generators") << false << QString();
        // The platform ignores letter case, so "twin.dll" there is the same machine: the moved copy is deleted.
        QTest::newRow("to effects, twin there") << true << QStringLiteral("twin.dll");
        QTest::newRow("to generators, twin there") << false << QStringLiteral("TWIN.dll");
    }
    void movesBetweenTheGearFolders()
    {
        QFETCH(bool, toEffects);
        QFETCH(QString, twin);
        TestApp app;
        const QString fromName = toEffects ? "Generators" : "Effects";
        const QString toName = toEffects ? "Effects" : "Generators";
        const QString from = "host/gear/" + fromName.toLower() + '/';
        const QString to = "host/gear/" + toName.toLower() + '/';
        QVERIFY(app.write(from + "Twin.dll", "moved"));
        QVERIFY(twin.isEmpty() || app.write(to + twin, "kept"));
        AppModel& model = app.start();
        const auto move = [&](const QString& d) { toEffects ? model.moveToEffects(d) : model.moveToGenerators(d); };
        move(QString()); // nothing selected: the listings are read again, nothing moves
        QVERIFY(app.dialogs.messages.isEmpty());
        move(QStringLiteral("Twin.dll"));

        QString said = twin.isEmpty() ? "Mov%1 Twin.dll from %2 to %3 directory."
                                      : "File Twin.dll exists in %3 directory already. Delet%1 from %2 directory.";
        QCOMPARE(app.dialogs.messages, QStringList{said.arg("ing", fromName, toName)});
        QCOMPARE(model.status(), said.arg("ed", fromName, toName));
        QCOMPARE(app.list(from), QStringList());
        QCOMPARE(app.list(to), QStringList{twin.isEmpty() ? "Twin.dll" : twin});
        QCOMPARE(app.read(to + app.list(to).value(0)), QByteArray(twin.isEmpty() ? "moved" : "kept"));
        QVERIFY(model.gearFiles(toEffects ? Kind::Generator : Kind::Effect).isEmpty());
        QCOMPARE(model.gearFiles(toEffects ? Kind::Effect : Kind::Generator).size(), 1);
    }

    void startUpCataloguesAndTheOneSelectedMachine()
    {
        TestApp app;
        QVERIFY(app.write("prog/allgenerators.txt", listOf({"Zeta.zip", "alpha.zip", "Zeta.zip"})));
        AppModel& model = app.start();
        QVERIFY(app.dialogs.messages.isEmpty());
        // An entry the page names twice is listed twice; the effects list, with no file, says nothing.
        QCOMPARE(model.catalogue(Kind::Generator).names(), (QStringList{"alpha.zip", "Zeta.zip", "Zeta.zip"}));
        const QStringList statuses = app.takeStatuses(); // the line count depends on the page's layout
        QVERIFY(statuses.value(3).startsWith("Completed reading allgenerators.txt  list.  3 machines. "));
        QCOMPARE(statuses, (QStringList{app.path("prog/") + " is current directory",
                                        "Buzz path from Buzz registry settings is " + app.path("host/"),
                                        "Reading Plugvault generators list", statuses.value(3),
                                        "Generator list contains  3 machines.  Effects list contains  0 machines."}));
        QCOMPARE(app.list("host/gear"), (QStringList{"effects", "generators"}));
        model.cancelTransfer(); // idle: nothing to cancel, nothing said
        QVERIFY(app.takeStatuses().isEmpty());

        // With the detailed view closed a selection only says so; opened, the view loads its kind and follows.
        const QStringList synced{"Syncing main view with detailed view",
                                 "Completed syncing main view with detailed view"};
        model.selectMachine(Kind::Generator, QStringLiteral("Zeta.zip"));
        QCOMPARE(app.takeStatuses(), QStringList{"Selected Zeta.zip"});
        QVERIFY(model.catalogueTable().isEmpty());
        model.openCatalogueView();
        QCOMPARE(app.takeStatuses(), QStringList({"Selected Zeta.zip", "Loading detailed generators form",
                                                  "Complete loaded detailed generators form"}) + synced);
        QCOMPARE(model.catalogueTable().size(), 3);
        QCOMPARE(model.catalogueTable().at(1),
                 (QStringList{"alpha.zip", "2004-05-06", "Dev", "alpha", "About it", "Generator", "1.0", "Stable"}));
        model.selectMachine(Kind::Generator, QStringLiteral("alpha.zip"));
        QCOMPARE(app.takeStatuses(), QStringList{"Selected alpha.zip"} + synced);

        // Refresh reads the lists anew and drops the selection, so a download has nothing to act on; a one-row
        // catalogue is shown with no row selected.
        model.readCatalogues();
        model.downloadSelected();
        const QString none = "No file selected from 'Download Generators' or 'Download Effects' machine lists";
        QCOMPARE(app.dialogs.messages, QStringList{none});
        QCOMPARE(model.status(), none);
        QVERIFY(app.write("prog/alleffects.txt", listOf({"Echo.zip"})));
        model.viewCatalogue(Kind::Effect);
        QCOMPARE(model.catalogueTable().size(), 1);
        QVERIFY(!model.selection().isValid());

        // A catalogue that is gone keeps its list and the table; the table's first row is then the selected one.
        model.viewCatalogue(Kind::Generator);
        QVERIFY(QFile::remove(app.path("prog/allgenerators.txt")) && QFile::remove(app.path("prog/alleffects.txt")));
        model.readCatalogues();
        QCOMPARE(model.catalogue(Kind::Generator).size(), 3);
        model.viewCatalogue(Kind::Effect);
        QCOMPARE(model.catalogueViewKind(), Kind::Effect);
        QCOMPARE(model.catalogueTable().size(), 3);
        QCOMPARE(model.selection().entry, QStringLiteral("Zeta.zip"));
        model.closeCatalogueView();
        model.selectMachine(Kind::Effect, QStringLiteral("Echo.zip"));
        QCOMPARE(app.takeStatuses().last(), QStringLiteral("Selected Echo.zip"));

        // Without the host's settings the program folder stands in, and every refresh says so again.
        app.settings->setKeyPresent(false);
        model.refreshGearFolders();
        QCOMPARE(app.dialogs.titles.mid(1), QStringList{"Gearwarden 1.0"});
        QVERIFY(app.dialogs.messages.last().startsWith("Unable to open the key Settings.  "));
        QCOMPARE(model.status(), "Temporarily using " + app.path("prog/") + " as buzz path");
        QCOMPARE(app.list("prog/gear"), (QStringList{"effects", "generators"}));

        // A file named "gear" stands where the folder should be: no folder can be made, even by root.
        TestApp blocked;
        QVERIFY(blocked.write("host/gear", "a file"));
        blocked.start();
        QVERIFY(blocked.takeStatuses().contains("Unable to create " + blocked.path("host/gear/generators") +
                                                ".  Its machines cannot be listed; check the rights on " +
                                                blocked.path("host/")));
    }

    void download_data()
    {
        QTest::addColumn<int>("how");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QByteArray>("existing"); // a file of that name in the program folder; null: none
        QTest::addColumn<int>("answer");          // to the overwrite question
        QTest::addColumn<QStringList>("log"); // how it begins: $u the address, $s the size, $z the zip, $g the folder
        const QStringList asked{"Downloading $u", "Kick.zip"};
        const QStringList installed = asked + QStringList{"Content-Length is  $s",
                                                          "Completed download of Kick.zip   $s bytes",
                                                          "Generators folder is unzip destination",
                                                          "Unzipping $z to $g", "Complete unzipped $z to $g"};
        const QStringList noAnswer = asked + QStringList{"Connected?  Did not download Kick.zip"};
        const QString kick = "Kick.zip";
        const QByteArray none, old = "old bytes";
        const int yes = int(Answer::Yes), no = int(Answer::No);
        QTest::newRow("installed") << int(Whole) << kick << none << no << installed;
        QTest::newRow("empty file there: no question") << int(Whole) << kick << QByteArray("") << no << installed;
        QTest::newRow("overwrite: yes") << int(Whole) << kick << old << yes
                                        << QStringList{"File exists Kick.zip", "Overwriting Kick.zip"} + installed;
        QTest::newRow("overwrite: no") << int(Whole) << kick << old << no
                                       << QStringList{"File exists Kick.zip", "Aborting download of Kick.zip"};
        QTest::newRow("no Content-Length") << int(NoLength) << kick << none << no << noAnswer;
        const QStringList incomplete{"Content-Length is  $s", "Did not complete download of Kick.zip"};
        QTest::newRow("connection dropped") << int(Dropped) << kick << none << no << asked + incomplete;
        QTest::newRow("404") << int(NotFound) << kick << none << no << noAnswer;
        QTest::newRow("busy, then cancelled") << int(Stalled) << kick << none << no
                                              << asked + QStringList{"Cancelling download"} + noAnswer.mid(2);
        for (const char* entry : {"../evil.zip", "..\\evil.zip", "sub/x.zip"}) {
            QTest::newRow(entry) << int(Refused) << QString(entry) << none << no << QStringList();
        }
    }
    void download()
    {
        QFETCH(int, how);
        QFETCH(QString, entry);
        QFETCH(QByteArray, existing);
        QFETCH(QStringList, log);
        TestHttpServer server;
        QVERIFY(server.listen());
        const QByteArray dll(3000, 'k');
        // Stored, so the archive is larger than where the connection drops.
        Reply reply{.body = gw::test::ZipWriter().add("Kick.dll", dll, gw::test::ZipWriter::Method::Store).bytes()};
        reply.contentLength = how == NoLength ? -2 : -1;
        reply.behaviour = how == Dropped   ? TestHttpServer::Behaviour::DropAfter
                          : how == Stalled ? TestHttpServer::Behaviour::Stall
                                           : TestHttpServer::Behaviour::Normal;
        reply.dropAfter = 1500;
        server.setReply(how == NotFound ? "/elsewhere" : "/machines/" + entry.toLatin1(), reply);
        TestApp app;
        QVERIFY(existing.isNull() || app.write("prog/" + entry, existing));
        QVERIFY(gw::test::SongWriter().addSimple("Kick", "Kick", 1).writeTo(app.path("song.bmx").toStdString()));
        AppModel& model = app.start(server.baseUrl());
        model.scanSongs({app.path("song.bmx")});
        QFETCH(int, answer);
        app.dialogs.answers << Answer(answer);
        // While the machine waits, the other transfers are refused, and Cancel ends the wait.
        const auto tryOthersThenCancel = [&] {
            model.selectMachine(Kind::Generator, QStringLiteral("Other.zip"));
            model.downloadSelected();
            model.fetchCatalogues();
            model.cancelTransfer();
        };
        if (how == Stalled) {
            connect(&server, &TestHttpServer::requestReceived, this,
                    [&] { QTimer::singleShot(0, this, tryOthersThenCancel); }, Qt::SingleShotConnection);
        }

        const bool installs = log.size() > 5;
        QCOMPARE(model.download(Kind::Generator, entry), installs);
        QVERIFY(!model.transferInProgress());
        QCOMPARE(server.expired(), 0); // no wait ended only because the server gave up
        const QString url = server.baseUrl() + "machines/Kick.zip", size = QString::number(reply.body.size());
        log.replaceInStrings("$u", url).replaceInStrings("$s", size);
        log.replaceInStrings("$z", app.path("prog/Kick.zip")).replaceInStrings("$g", app.path("host/gear/generators"));
        // After a 404 the log tells what the transfer said; a refusal leaves the log as it was.
        QCOMPARE(model.logLines().mid(0, how == NotFound || how == Refused ? log.size() : -1), log);
        QStringList messages;
        if (!existing.isEmpty()) {
            messages << "File Kick.zip exists.  File Length is  9  Overwrite?";
            QCOMPARE(app.dialogs.titles, QStringList{"File exists [Yes/No]"});
        } else if (how == Stalled) {
            messages << "There is already a download in progress" << "There is already a download in progress";
        } else if (how == Refused) {
            messages << "Refusing to download " + entry + ": it is not a plain file name, so it cannot be saved in " +
                            app.path("prog/");
        }
        QCOMPARE(app.dialogs.messages, messages);
        QCOMPARE(server.requests().size(), how == Refused || log.contains("Aborting download of Kick.zip") ? 0 : 1);
        if (!installs) {
            QCOMPARE(model.status(), how == Refused ? messages.last() : log.last());
        }
        // Nothing half-written anywhere: not in the program folder, not beside it, not in the gear folders.
        QCOMPARE(app.list(QString()), (QStringList{"host", "prog", "song.bmx"}));
        QCOMPARE(app.list("prog"), existing.isNull() && !installs ? QStringList() : QStringList{"Kick.zip"});
        QCOMPARE(app.read("prog/Kick.zip"), installs ? reply.body : existing.isNull() ? "<missing>" : existing);
        QCOMPARE(app.list("host/gear/generators"), installs ? QStringList{"Kick.dll"} : QStringList());
        QCOMPARE(app.read("host/gear/generators/Kick.dll"), installs ? dll : "<missing>");
        // An install does not check again by itself; a check then finds the machine.
        QCOMPARE(model.missing(Kind::Generator).size(), 1);
        model.checkMissing();
        QCOMPARE(model.missing(Kind::Generator).isEmpty(), installs);
    }

    void archiveAskedForOncePagesFetchedThenAllMissing()
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
        QVERIFY(model.status().startsWith("No machine archive address is set"));

        // Given: used at once and kept for the next run; an address given for a run wins. The pages come as the
        // site serves them and are kept converted.
        TestHttpServer server;
        QVERIFY(server.listen());
        const QByteArray generators = catalogueOf({{"Acme_Kick.zip", "2001-01-01", "", "Acme Kick", "", "", "", ""},
                                                   {"Lunar_Pad.zip", "2002-01-01", "", "Lunar-Pad 2", "", "", "", ""}});
        const QByteArray effects = catalogueOf({{"Glass_Chorus.zip", "2003-01-01", "", "GC by Glass", "", "", "", ""}});
        server.setReply("/allgenerators.php", {.body = QByteArray(generators).replace("\r\n", "\n")});
        server.setReply("/alleffects.php", {.body = QByteArray(effects).replace("\r\n", "\n")});
        app.dialogs.texts << server.baseUrl().chopped(1);
        QVERIFY(model.fetchCatalogues());
        QCOMPARE(server.requestedPaths(), (QList<QByteArray>{"/allgenerators.php", "/alleffects.php"}));
        QCOMPARE(gw::archiveBaseUrl({}), server.baseUrl());
        QCOMPARE(gw::archiveBaseUrl(QStringLiteral("http://other.example")), QStringLiteral("http://other.example/"));
        QSettings().remove(QStringLiteral("archiveUrl"));
        QVERIFY(app.read("prog/allgenerators.txt") == generators && app.read("prog/alleffects.txt") == effects);
        QCOMPARE(model.logLines().first(), "Downloading " + server.baseUrl() + "allgenerators.php");
        QCOMPARE(model.logLines().last(), "Completed converting allgenerators.htm and alleffects.htm from UNIX to DOS");

        // Every missing machine the catalogue has, by name, close name or file name, each zip once; one in the
        // other gear folder is moved; the check after leaves only the one the catalogue lacks.
        gw::test::SongWriter song;
        song.addSimple("K", "Acme Kick", 1).addSimple("P", "Lunar Pad", 1).addSimple("N", "Nothing Here", 1);
        song.addSimple("C", "Glass Chorus", 2).addSimple("W", "Stereo Wide", 2).addSimple("K2", "ACME KICK", 1);
        QVERIFY(song.writeTo(app.path("song.bmx").toStdString()));
        QVERIFY(app.write("host/gear/generators/stereo wide.dll", "wide"));
        QList<QByteArray> zips; // each to be asked for once, in this order
        for (const QByteArray dll : {"Acme Kick", "Lunar Pad", "Glass Chorus"}) {
            zips << "/machines/" + QByteArray(dll).replace(' ', '_') + ".zip";
            server.setReply(zips.last(), {.body = gw::test::ZipWriter().add(dll + ".dll", dll).bytes()});
        }
        model.scanSongs({app.path("song.bmx")});
        QStringList table;
        for (const FetchResult& done : model.fetchAllMissing()) {
            table << QStringList{done.match.dll, done.match.entry, done.match.how, done.result}.join(u'|');
        }
        QCOMPARE(table, (QStringList{"Acme Kick.dll|Acme_Kick.zip|name|installed",
                                     "ACME KICK.dll|Acme_Kick.zip|name|installed",
                                     "Lunar Pad.dll|Lunar_Pad.zip|close|installed", "Nothing Here.dll|||no match",
                                     "Stereo Wide.dll||move|moved",
                                     "Glass Chorus.dll|Glass_Chorus.zip|file name|installed"}));
        QCOMPARE(server.requestedPaths().mid(2), zips);
        QCOMPARE(app.read("host/gear/generators/Lunar Pad.dll"), QByteArray("Lunar Pad"));
        QCOMPARE(app.read("host/gear/effects/Glass Chorus.dll"), QByteArray("Glass Chorus"));
        QCOMPARE(app.read("host/gear/effects/stereo wide.dll"), QByteArray("wide"));
        QCOMPARE(model.missing(Kind::Generator).names(), QStringList{"Nothing Here.dll"});
        QVERIFY(model.missing(Kind::Effect).isEmpty());
        QVERIFY(app.dialogs.messages.isEmpty());
        // A click on a missing machine selects its row, or says the catalogue has none.
        model.selectMissing(Kind::Generator, QStringLiteral("Nothing Here.dll"));
        QCOMPARE(model.status(), QStringLiteral("The catalogue has no match for Nothing Here.dll"));

        // Without a content type on the second page, neither list is converted and the old one stays.
        server.setReply("/alleffects.php", {.contentType = "", .body = "Echo.zip"});
        QVERIFY(app.write("prog/alleffects.txt", "old list\r\n"));
        QVERIFY(!model.fetchCatalogues());
        QCOMPARE(model.logLines().last(), QStringLiteral("Connected?  Did not download alleffects.php"));
        QCOMPARE(app.read("prog/alleffects.txt"), QByteArray("old list\r\n"));
        QCOMPARE(app.dialogs.textQuestions.size(), 2); // once cancelled, once given, then never again
    }
};

QTEST_GUILESS_MAIN(TestAppModel)
#include "tst_appmodel.moc"
