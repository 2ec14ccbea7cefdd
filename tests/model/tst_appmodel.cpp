// The program's operations through its model, as the window and the command line drive them.
#include "SongWriter.h"
#include "TestApp.h"
#include "TestHttpServer.h"

#include "bundle/SongBundle.h"
#include "host/ProgramFolder.h"

#include <QNetworkProxy>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include <zip.h>

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

/** What a bundle offers to install, as its reader sorts it, then what it would skip. */
QStringList bundleNames(const QString& path)
{
    BundleContents contents;
    QString error;
    readBundle(path, contents, error);
    return contents.generators + contents.effects + contents.songs + contents.skipped;
}

// How a download goes. EmptyThere, OldThere: a file of that name is in the program folder; Stalled: the server never
// answers, while other transfers are tried; Refused: nothing is asked.
enum How { Whole, EmptyThere, OldThere, NoLength, Dropped, NotFound, Stalled, Refused };

} // namespace

class TestAppModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        // The per-user settings need an organisation, as the program names one: on Windows they are a registry key.
        QCoreApplication::setOrganizationName(QStringLiteral("Gearwarden tests"));
    }

    void songsFromTheOpenDialogScannedCheckedBundledAndMoved()
    {
        TestApp app;
        app.settings->setValue("OpenSongDir", app.path("host").toStdString());
        const QString in = app.path("songs") + QDir::separator();
        QVERIFY(app.write("songs/a.bmx", "Not a song"));
        gw::test::SongWriter song;
        song.addSimple("K", "Acme Kick", 1).addSimple("B", "Jeskola Bass 3", 1).addSimple("E", "Acme Delay", 2);
        song.addSimple("K2", "Acme Kick", 1).addSimple("W", "Stereo Wide", 2).addSimple("E2", "ACME DELAY", 2);
        QVERIFY(song.writeTo((in + "b-good.bmx").toStdString()));
        QVERIFY(app.write("host/gear/effects/acme delay.DLL", "x"));
        QVERIFY(app.write("host/gear/generators/Stereo Wide.dll", "x"));
        AppModel& model = app.start();

        // A single file becomes the current song. Several come as the folder and the names, the classic dialog ending
        // the list with extra NULs; one already listed is not added again, and the current song stays current.
        app.dialogs.openResults << in + "b-good.bmx";
        model.addSongsFromDialog();
        const QString echo = QString::fromUtf8("\u00c9cho.bmx");
        app.dialogs.openResults
            << QStringList{in.chopped(1), "b-good.bmx", "Alpha.bmx", echo, "alpha.bmx", "a.bmx", "", ""}.join(QChar(0));
        model.addSongsFromDialog();
        QCOMPARE(app.dialogs.openRequests.first().initialFolder, app.path("host"));
        QVERIFY(app.dialogs.openRequests.first().multiSelect);
        QCOMPARE(app.dialogs.openRequests.first().title, "Select one or more bmx or bmw file to add to list");
        QCOMPARE(model.status(), QStringLiteral("Selected  5 bmx files added to list"));
        // As a Windows list box shows them: small letter first on a tie, accented letters with their base letter.
        QCOMPARE(model.songs().names(),
                 (QStringList{in + "a.bmx", in + "alpha.bmx", in + "Alpha.bmx", in + "b-good.bmx", in + echo}));
        QCOMPARE(model.currentSong(), 3);
        model.addSongsFromDialog();
        QCOMPARE(model.status(), QStringLiteral("No bmx or bmw selected"));

        // Ticks on every row, then on none; then the ticked songs are scanned, each made current in turn, and checked.
        model.tickAll();
        QVERIFY(model.isTicked(0) && model.isTicked(4));
        model.tickNone();
        QVERIFY(!model.isTicked(0) && !model.isTicked(4));
        QCOMPARE(app.takeStatuses().last(2), (QStringList{"Selected all from bmx files list",
                                                         "Selected none from bmx files list"}));
        model.setCurrentSong(1);
        model.setTicked(0, true);
        model.setTicked(3, true);
        app.takeStatuses();
        model.scanTickedSongs();
        const QString unreadable = "File " + in + "a.bmx is missing Buzz header.  Probably not a buzz file.";
        QCOMPARE(app.dialogs.messages, QStringList{unreadable});
        QCOMPARE(model.currentSong(), 3);
        // The log holds the last song's trace; the scan's progress shows on the way.
        QCOMPARE(model.logLines().first(), "Scanning " + in + "b-good.bmx");
        const QStringList statuses = app.takeStatuses();
        QVERIFY(statuses.contains("Completed scan of  7 machines in PARA section"));
        QVERIFY(statuses.contains("Checking missing machines"));
        QCOMPARE(model.status(), "Completed checking missing machines.   1 generators  1 effects missing");
        QCOMPARE(model.used(Kind::Generator).names(), (QStringList{"Acme Kick", "Jeskola Bass 3"}));
        QCOMPARE(model.used(Kind::Effect).names(), (QStringList{"Acme Delay", "ACME DELAY", "Stereo Wide"}));
        // Built-ins are never missing; an effect filed with the generators is marked.
        QCOMPARE(model.missing(Kind::Generator).names(), QStringList{"Acme Kick.dll"});
        QCOMPARE(model.missing(Kind::Effect).names(), QStringList{"(gen dir)Stereo Wide.dll"});

        // The used lists stay until cleared.
        model.clearUsed();
        QVERIFY(model.used(Kind::Generator).isEmpty() && model.used(Kind::Effect).isEmpty());
        QCOMPARE(model.status(), QStringLiteral("Cleared lists for used generators and effects"));

        // Saved with its machines, the song travels: the built-in stays out, the effect filed with the generators goes
        // with the effects, the missing one is named in machines.txt (the bundle's own, so no install reports it).
        // A machine written in two letter cases, and a song given twice, go in once; two songs of one name do not go.
        const QString zip = app.path("out.zip");
        QVERIFY(QFile::copy(in + "b-good.bmx", app.path("B-GOOD.bmx")));
        QVERIFY(!model.saveBundle({in + "b-good.bmx", app.path("B-GOOD.bmx")}, zip).written && !QFileInfo::exists(zip));
        QCOMPARE(model.status(), "Did not save " + zip + ": two songs are named B-GOOD.bmx");
        const BundleOutcome outcome = model.saveBundle({in + "b-good.bmx", in + "../songs/b-good.bmx"}, zip);
        QVERIFY(outcome.written && !QFileInfo::exists(zip + ".part"));
        QCOMPARE(outcome.inZip, 2);
        QCOMPARE(outcome.missing, 1);
        QCOMPARE(bundleNames(zip),
                 (QStringList{"gear/effects/acme delay.DLL", "gear/effects/Stereo Wide.dll", "b-good.bmx"}));
        zip_t* archive = zip_open(QFile::encodeName(zip).constData(), ZIP_RDONLY, nullptr);
        zip_file_t* list = archive ? zip_fopen(archive, "machines.txt", 0) : nullptr;
        char text[512] = {};
        QVERIFY(list && zip_fread(list, text, sizeof text - 1) > 0);
        zip_fclose(list);
        zip_discard(archive);
        QCOMPARE(QByteArray(text), "generator\tAcme Kick.dll\tmissing\neffect\tAcme Delay.dll\tin the zip\n"
                                   "effect\tStereo Wide.dll\tin the zip\n");
        // Saving left the used lists alone; the next scan fills them again.
        QVERIFY(model.used(Kind::Generator).isEmpty());
        model.scanTickedSongs();
        QCOMPARE(model.used(Kind::Generator).size(), 2);

        // The effect filed with the generators moves where it belongs (with nothing selected, nothing moves).
        app.dialogs.messages.clear();
        model.moveToEffects(QString());
        model.moveToEffects(QStringLiteral("Stereo Wide.dll"));
        QCOMPARE(model.status(), QStringLiteral("Moved Stereo Wide.dll from Generators to Effects directory."));
        // The platform ignores letter case, so a copy under other letters is the same machine: the moved one goes.
        QVERIFY(app.write("host/gear/generators/STEREO WIDE.dll", "kept"));
        model.moveToGenerators(QStringLiteral("Stereo Wide.dll"));
        const QString twin =
            "File Stereo Wide.dll exists in Generators directory already. Delet%1 from Effects directory.";
        QCOMPARE(app.dialogs.messages,
                 (QStringList{"Moving Stereo Wide.dll from Generators to Effects directory.", twin.arg("ing")}));
        QCOMPARE(model.status(), twin.arg("ed"));
        QCOMPARE(app.list("host/gear/effects"), QStringList{"acme delay.DLL"});
        QCOMPARE(app.read("host/gear/generators/STEREO WIDE.dll"), QByteArray("kept"));
        QCOMPARE(model.gearFiles(Kind::Generator).names(), QStringList{"STEREO WIDE.dll"});

        model.clearSongs();
        QVERIFY(model.songs().isEmpty());
        QCOMPARE(model.currentSong(), -1);
        QCOMPARE(model.status(), QStringLiteral("Cleared bmx files list"));
    }

    void startUpCataloguesAndTheOneSelectedMachine()
    {
        TestApp app;
        QVERIFY(app.write("prog/allgenerators.txt", listOf({"Zeta.zip", "alpha.zip", "Zeta.zip"})));
        AppModel& model = app.start();
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

        // With the detailed view closed a selection only says so; opened, the view loads the selection's kind.
        model.selectMachine(Kind::Generator, QStringLiteral("Zeta.zip"));
        QCOMPARE(app.takeStatuses(), QStringList{"Selected Zeta.zip"});
        QVERIFY(model.catalogueTable().isEmpty());
        model.openCatalogueView();
        QCOMPARE(app.takeStatuses(), (QStringList{"Selected Zeta.zip", "Loading detailed generators form",
                                                  "Complete loaded detailed generators form",
                                                  "Syncing main view with detailed view",
                                                  "Completed syncing main view with detailed view"}));
        QCOMPARE(model.catalogueTable().at(1),
                 (QStringList{"alpha.zip", "2004-05-06", "Dev", "alpha", "About it", "Generator", "1.0", "Stable"}));

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
        // A catalogue that is gone keeps its list.
        QVERIFY(QFile::remove(app.path("prog/allgenerators.txt")));
        model.readCatalogues();
        QCOMPARE(model.catalogue(Kind::Generator).size(), 3);

        // Without the host's settings the program folder stands in, and every refresh says so again.
        app.settings->setKeyPresent(false);
        model.refreshGearFolders();
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
        QTest::addColumn<QStringList>("log"); // how it begins: $u the address, $s the size, $z the zip, $g the folder
        const QStringList asked{"Downloading $u", "Kick.zip"};
        const QStringList installed =
            asked + QStringList{"Content-Length is  $s", "Completed download of Kick.zip   $s bytes",
                                "Generators folder is unzip destination", "Unzipping $z to $g",
                                "Complete unzipped $z to $g"};
        const QStringList noAnswer = asked + QStringList{"Connected?  Did not download Kick.zip"};
        const QString kick = "Kick.zip";
        QTest::newRow("installed") << int(Whole) << kick << installed;
        QTest::newRow("empty file there: no question") << int(EmptyThere) << kick << installed;
        QTest::newRow("overwrite") << int(OldThere) << kick
                                   << QStringList{"File exists Kick.zip", "Overwriting Kick.zip"} + installed;
        QTest::newRow("no Content-Length") << int(NoLength) << kick << noAnswer;
        const QStringList incomplete{"Content-Length is  $s", "Did not complete download of Kick.zip"};
        QTest::newRow("connection dropped") << int(Dropped) << kick << asked + incomplete;
        QTest::newRow("404") << int(NotFound) << kick << noAnswer;
        QTest::newRow("busy, then cancelled")
            << int(Stalled) << kick << asked + QStringList{"Cancelling download"} + noAnswer.mid(2);
        for (const char* entry : {"../evil.zip", "..\\evil.zip", "sub/x.zip"}) {
            QTest::newRow(entry) << int(Refused) << QString(entry) << QStringList();
        }
    }
    void download()
    {
        QFETCH(int, how);
        QFETCH(QString, entry);
        QFETCH(QStringList, log);
        TestHttpServer server;
        QVERIFY(server.listen());
        const QByteArray dll(3000, 'k');
        // Stored, so the archive is larger than where the connection drops.
        const QByteArray zip = gw::test::ZipWriter().add("Kick.dll", dll, gw::test::ZipWriter::Method::Store).bytes();
        Reply reply{.contentLength = how == NoLength ? -2 : -1, .body = zip, .dropAfter = 1500};
        reply.behaviour = how == Dropped   ? TestHttpServer::Behaviour::DropAfter
                          : how == Stalled ? TestHttpServer::Behaviour::Stall
                                           : TestHttpServer::Behaviour::Normal;
        server.setReply(how == NotFound ? "/elsewhere" : "/machines/" + entry.toLatin1(), reply);
        TestApp app;
        const QByteArray existing = how == OldThere ? "old bytes" : how == EmptyThere ? "" : QByteArray();
        QVERIFY(existing.isNull() || app.write("prog/" + entry, existing));
        AppModel& model = app.start(server.baseUrl());
        app.dialogs.answers << Answer::Yes; // to overwrite, when asked
        // While the machine waits, the other transfers are refused, and Cancel ends the wait.
        const auto tryOthersThenCancel = [&] {
            model.download(Kind::Generator, QStringLiteral("Other.zip"));
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
        if (how == OldThere) {
            messages << "File Kick.zip exists.  File Length is  9  Overwrite?";
            QCOMPARE(app.dialogs.titles, QStringList{"File exists [Yes/No]"});
        } else if (how == Stalled) {
            messages << "There is already a download in progress" << "There is already a download in progress";
        } else if (how == Refused) {
            messages << "Refusing to download " + entry + ": it is not a plain file name, so it cannot be saved in " +
                            app.path("prog/");
        }
        QCOMPARE(app.dialogs.messages, messages);
        // Qt may send a GET once more when a body that ends with the connection meets the closed socket first.
        const qsizetype asked = server.requests().size();
        QVERIFY2(how == Refused ? asked == 0 : asked == 1 || (how == NoLength && asked == 2),
                 qPrintable(QString::number(asked)));
        if (!installs) {
            QCOMPARE(model.status(), how == Refused ? messages.last() : log.last());
        }
        // Nothing half-written anywhere: not in the program folder, not beside it, not in the gear folders.
        QCOMPARE(app.list(QString()), (QStringList{"host", "prog"}));
        QCOMPARE(app.list("prog"), existing.isNull() && !installs ? QStringList() : QStringList{"Kick.zip"});
        QCOMPARE(app.read("prog/Kick.zip"), installs ? reply.body : existing.isNull() ? "<missing>" : existing);
        QCOMPARE(app.list("host/gear/generators"), installs ? QStringList{"Kick.dll"} : QStringList());
        QCOMPARE(app.read("host/gear/generators/Kick.dll"), installs ? dll : "<missing>");
        QCOMPARE(model.gearFiles(Kind::Generator).size(), installs ? 1 : 0); // listed again after the install
    }

    void archiveAskedForOncePagesFetchedThenAllMissing()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings().remove(QStringLiteral("archiveUrl"));
        TestApp app;
        AppModel& model = app.start(gw::archiveBaseUrl({}));
        connect(&model, &AppModel::archiveUrlChanged, &gw::rememberArchiveBaseUrl);
        // Cancelled: the transfer says so and tries nothing.
        QVERIFY(!model.fetchCatalogues());
        QCOMPARE(app.dialogs.textQuestions, QStringList{"Machine archive"});
        QVERIFY(model.status().startsWith("No machine archive address is set"));

        // Given: used at once and kept for the next run. The pages are kept converted.
        TestHttpServer server;
        QVERIFY(server.listen());
        const QByteArray generators = catalogueOf({{"Acme_Kick.zip", "2001-01-01", "", "Acme Kick", "", "", "", ""}});
        const QByteArray effects = catalogueOf({{"Glass_Chorus.zip", "2003-01-01", "", "GC by Glass", "", "", "", ""}});
        server.setReply("/allgenerators.php", {.body = QByteArray(generators).replace("\r\n", "\n")});
        server.setReply("/alleffects.php", {.body = QByteArray(effects).replace("\r\n", "\n")});
        app.dialogs.texts << server.baseUrl().chopped(1);
        QVERIFY(model.fetchCatalogues());
        QCOMPARE(server.requestedPaths(), (QList<QByteArray>{"/allgenerators.php", "/alleffects.php"}));
        QCOMPARE(gw::archiveBaseUrl({}), server.baseUrl());
        QSettings().remove(QStringLiteral("archiveUrl"));
        QVERIFY(app.read("prog/allgenerators.txt") == generators && app.read("prog/alleffects.txt") == effects);

        // Every missing machine the catalogue has, by name or file name, each zip once; one in the other gear folder
        // is moved; the check after leaves only the one the catalogue lacks.
        gw::test::SongWriter song;
        song.addSimple("K", "Acme Kick", 1).addSimple("N", "Nothing Here", 1).addSimple("C", "Glass Chorus", 2);
        song.addSimple("W", "Stereo Wide", 2).addSimple("K2", "ACME KICK", 1);
        QVERIFY(song.writeTo(app.path("song.bmx").toStdString()));
        QVERIFY(app.write("host/gear/generators/stereo wide.dll", "wide"));
        QList<QByteArray> zips; // each to be asked for once, in this order
        for (const QByteArray dll : {"Acme Kick", "Glass Chorus"}) {
            zips << "/machines/" + QByteArray(dll).replace(' ', '_') + ".zip";
            server.setReply(zips.last(), {.body = gw::test::ZipWriter().add(dll + ".dll", dll).bytes()});
        }
        model.scanSongs({app.path("song.bmx")});
        QStringList table;
        for (const FetchResult& done : model.fetchAllMissing()) {
            table << QStringList{done.match.dll, done.match.entry, done.match.how, done.result}.join(u'|');
        }
        QCOMPARE(table, (QStringList{"Acme Kick.dll|Acme_Kick.zip|name|installed",
                                     "ACME KICK.dll|Acme_Kick.zip|name|installed", "Nothing Here.dll|||no match",
                                     "Stereo Wide.dll||move|moved",
                                     "Glass Chorus.dll|Glass_Chorus.zip|file name|installed"}));
        QCOMPARE(server.requestedPaths().mid(2), zips);
        QCOMPARE(model.missing(Kind::Generator).names(), QStringList{"Nothing Here.dll"});
        QVERIFY(model.missing(Kind::Effect).isEmpty());
        QVERIFY(app.dialogs.messages.isEmpty());
        QCOMPARE(app.dialogs.textQuestions.size(), 2); // once cancelled, once given, then never again
        // A click on a missing machine selects its row, or says the catalogue has none.
        model.selectMissing(Kind::Generator, QStringLiteral("Nothing Here.dll"));
        QCOMPARE(model.status(), QStringLiteral("The catalogue has no match for Nothing Here.dll"));
    }

    void hostileBundlesInstallNothingUnsafe()
    {
        TestApp app;
        AppModel& model = app.start();
        const QString zip = app.path("hostile.zip");
        gw::test::ZipWriter hostile;
        for (const char* name :
             {"gear/generators/../../../escape.dll", "/etc/absolute.bmx", "C:/drive.bmx",
              "gear\\generators\\backslash.dll", "gear/generators/sub/deeper.dll", "gear/effects/readme.txt"}) {
            hostile.add(name, "x");
        }
        hostile.add("gear/generators/Twin.dll", "first").add("gear/generators/twin.dll", "second");
        QVERIFY(hostile.add("gear/effects/Bomb.dll", QByteArray(8 << 20, '\0')).add("song.bmx", "a song").writeTo(zip));
        const BundleInstall installed = model.installBundle(zip, app.path("songs"), false);
        // Only the top-level song and one of the case twins are written; the rest is reported, nowhere written.
        QCOMPARE(app.read("songs/song.bmx"), QByteArray("a song"));
        QCOMPARE(app.list("host/gear/generators"), QStringList{"Twin.dll"});
        QCOMPARE(app.list("host/gear/effects"), QStringList());
        QCOMPARE(app.list(QString()), (QStringList{"host", "hostile.zip", "prog", "songs"}));
        const QString said = installed.notTaken.join(u'\n');
        for (const char* name : {"escape.dll", "absolute.bmx", "drive.bmx", "backslash.dll", "deeper.dll", "readme.txt",
                                 "Bomb.dll: packed", "kept the existing"}) {
            QVERIFY2(said.contains(QLatin1String(name)), qPrintable(said));
        }
        QVERIFY(!model.installBundle(app.path("prog"), app.path("songs"), false).read);
    }
};

QTEST_GUILESS_MAIN(TestAppModel)
#include "tst_appmodel.moc"
