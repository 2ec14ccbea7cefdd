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
using gw::test::ZipWriter;

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

/** Starts a transfer and waits for its end; the outcome, or a default one when it did not start or end. */
template <class Start> TransferOutcome finish(AppModel& model, Start start)
{
    QSignalSpy finished(&model, &AppModel::transferFinished);
    if (!start() || !finished.wait(10000)) {
        return {};
    }
    return finished.takeFirst().at(0).value<TransferOutcome>();
}

// How a download goes. EmptyThere, OldThere, Kept: a file of that name is in the program folder (Kept: the user
// keeps it); Damaged: a zip that does not unpack; Gzip: a compressed body that does not decode; Stalled: the server
// never answers, while other transfers are tried; Refused: nothing is asked.
enum How { Whole, EmptyThere, OldThere, Kept, Effect, Damaged, Gzip, Stalled, Refused };

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
        QCOMPARE(app.takeStatuses().last(2),
                 (QStringList{"Selected all from bmx files list", "Selected none from bmx files list"}));
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
        // Each DLL in the zip with its SHA-256 and architecture, so the one who installs it can check it.
        const QByteArray proof = "\tin the zip\t" + QCryptographicHash::hash("x", QCryptographicHash::Sha256).toHex() +
                                 "\tnot a Windows DLL\n";
        QCOMPARE(QByteArray(text), "generator\tAcme Kick.dll\tmissing\neffect\tAcme Delay.dll" + proof +
                                       "effect\tStereo Wide.dll" + proof);
        // Saving left the used lists alone; the next scan fills them again.
        QVERIFY(model.used(Kind::Generator).isEmpty());
        model.scanTickedSongs();
        QCOMPARE(model.used(Kind::Generator).size(), 2);

        // The effect filed with the generators moves where it belongs (with nothing selected, nothing moves).
        app.dialogs.messages.clear();
        model.moveToEffects(QString());
        model.moveToEffects(QStringLiteral("Stereo Wide.dll"));
        QCOMPARE(model.status(), QStringLiteral("Moved Stereo Wide.dll from Generators to Effects directory."));
        QVERIFY(!model.missing(Kind::Effect).names().join('|').contains("Stereo Wide")); // checked again at once
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
        // It differed from the copy that stays, so it was kept aside, under the time and its folder, and logged.
        const QStringList times = app.list("host/gear/backup");
        QCOMPARE(times.size(), 1);
        const QString kept = "host/gear/backup/" + times.first() + "/effects/Stereo Wide.dll";
        QCOMPARE(app.read(kept), QByteArray("x"));
        QVERIFY(model.logLines().last().endsWith(QDir::toNativeSeparators(app.path(kept))));

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
        QCOMPARE(app.takeStatuses(),
                 (QStringList{"Selected Zeta.zip", "Loading detailed generators form",
                              "Complete loaded detailed generators form", "Syncing main view with detailed view",
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

        // Without the host's settings the program folder stands in; the message says so once, the status each time.
        app.settings->setKeyPresent(false);
        for (int refresh = 0; refresh < 2; ++refresh) {
            model.refreshGearFolders();
            QCOMPARE(model.status(), "Temporarily using " + app.path("prog/") + " as buzz path");
        }
        QCOMPARE(app.dialogs.messages.filter("Unable to open the key Settings.  ").size(), 1);
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
        QTest::addColumn<QByteArray>("path"); // asked for, unless the download stops before
        QTest::addColumn<QStringList>("log"); // $u the address, $z the zip, $g the gear folder
        const QStringList asked{"Downloading $u", "$e"};
        const QStringList installed = asked + QStringList{"Content-Length is  2500",
                                                          "Completed download of $e   2500 bytes",
                                                          "Generators folder is unzip destination",
                                                          "Unzipping $z to $g",
                                                          "Complete unzipped $z to $g",
                                                          "Kick.dll: not a Windows DLL"};
        const QStringList exists{"File exists Kick.zip"};
        const auto row = [](const char* name, How how, const QStringList& log, const char* entry = "Kick.zip",
                            const char* path = "/machines/Kick.zip") {
            QTest::newRow(name) << int(how) << QString(entry) << QByteArray(path) << log;
        };
        row("installed", Whole, installed);
        row("empty file there: no question", EmptyThere, installed);
        row("overwrite", OldThere, exists + QStringList{"Overwriting Kick.zip"} + installed);
        row("kept", Kept, exists + QStringList{"Aborting download of Kick.zip"});
        // Escaped in the address; the saved file keeps the entry's name as written.
        row("effect; blank, # and ?", Effect, QStringList(installed).replaceInStrings("Generators", "Effects"),
            "A Kick#1?.zip", "/machines/A%20Kick%231%3F.zip");
        row("escapes kept", Whole, installed, "A%20Kick.zip", "/machines/A%20Kick.zip");
        // It arrived whole, so it stays for the user to look at; what the unzip said follows.
        row("damaged zip", Damaged, installed.mid(0, 6));
        row("compressed body damaged", Gzip,
            asked + QStringList{"Content-Length is  100", "Did not complete download of $e",
                                "the compressed body is damaged"});
        row("busy, then cancelled", Stalled,
            asked + QStringList{"Cancelling download", "Connected?  Did not download $e"});
        for (const char* entry : {"../evil.zip", "..\\evil.zip", "sub/x.zip"}) {
            row(entry, Refused, {}, entry);
        }
    }
    void download()
    {
        QFETCH(int, how);
        QFETCH(QString, entry);
        QFETCH(QByteArray, path);
        QFETCH(QStringList, log);
#ifdef Q_OS_WIN
        if (entry.contains('?')) {
            QSKIP("Windows allows no '?' in a file name");
        }
#endif
        TestHttpServer server;
        QVERIFY(server.listen());
        // 2500 bytes, so a download shows progress for 1024 and 2048 before its last chunk.
        const auto zipOf = [](const QByteArray& dll) {
            return ZipWriter().add("sub/Kick.dll", dll, ZipWriter::Method::Store).bytes();
        };
        const QByteArray dll(2500 - (zipOf("k").size() - 1), 'k'), zip = zipOf(dll);
        Reply served{.body = zip};
        if (how == Damaged) {
            served.body[zip.indexOf(dll) + 100] = 'K';
        } else if (how == Gzip) {
            served = TestHttpServer::gzipped(zip);
            served.body = served.body.left(40) + QByteArray(60, 'x');
        }
        served.behaviour = how == Stalled ? TestHttpServer::Behaviour::Stall : TestHttpServer::Behaviour::Normal;
        server.setReply(path, served);
        TestApp app;
        const QByteArray existing = how == OldThere || how == Kept ? "old bytes"
                                    : how == EmptyThere            ? ""
                                                                   : QByteArray();
        QVERIFY(existing.isNull() || app.write("prog/" + entry, existing));
        AppModel& model = app.start(server.baseUrl());
        app.dialogs.answers << (how == Kept ? Answer::No : Answer::Yes); // to overwrite, when asked
        // While the machine waits, the other transfers are refused, and Cancel ends the wait.
        const auto tryOthersThenCancel = [&] {
            model.download(Kind::Generator, QStringLiteral("Other.zip"));
            model.fetchCatalogues();
            model.fetchAllMissing();
            model.cancelTransfer();
        };
        if (how == Stalled) {
            connect(
                &server, &TestHttpServer::requestReceived, this,
                [&] { QTimer::singleShot(0, this, tryOthersThenCancel); }, Qt::SingleShotConnection);
        }
        app.takeStatuses();
        const Kind kind = how == Effect ? Kind::Effect : Kind::Generator;
        const DownloadOutcome outcome = finish(model, [&] { return model.download(kind, entry); }).download;
        const bool installs = how == Whole || how == EmptyThere || how == OldThere || how == Effect;
        QCOMPARE(outcome.installed(), installs);
        QVERIFY(!model.transferInProgress());
        QCOMPARE(server.expired(), 0); // no wait ended only because the server gave up
        const QString gear = app.path(how == Effect ? "host/gear/effects" : "host/gear/generators");
        log.replaceInStrings("$u", server.baseUrl() + "machines/" + entry).replaceInStrings("$e", entry);
        log.replaceInStrings("$z", app.path("prog/" + entry)).replaceInStrings("$g", gear);
        QCOMPARE(model.logLines().mid(0, how == Damaged ? log.size() : -1), log); // a refusal leaves the log as it was
        QVERIFY(!installs || app.statuses.contains("Downloading " + entry + "   2048 of  2500 bytes downloaded"));
        QStringList messages;
        if (how == OldThere || how == Kept) {
            messages << "File Kick.zip exists.  File Length is  9  Overwrite?";
            QCOMPARE(app.dialogs.titles, QStringList{"File exists [Yes/No]"});
        } else if (how == Stalled) {
            messages = QStringList(3, "There is already a download in progress");
        } else if (how == Damaged) {
            // Saved whole, but it does not unpack: the user is told, and not that it unzipped.
            QVERIFY2(model.status().startsWith("Unable to install "), qPrintable(model.status()));
            QVERIFY(!model.logLines().join('\n').contains("Complete unzipped"));
            messages << model.status();
        } else if (how == Refused) {
            messages << "Refusing to download " + entry + ": it is not a plain file name, so it cannot be saved in " +
                            app.path("prog/");
        }
        QCOMPARE(app.dialogs.messages, messages);
        QCOMPARE(server.requestedPaths(),
                 how == Refused || how == Kept ? QList<QByteArray>() : QList<QByteArray>{path});
        // The status line ends on the last line logged; a reason follows the failure it explains in the log only.
        QVERIFY(installs || how == Damaged ||
                model.status() == (how == Refused ? messages.last() : log.at(how == Gzip ? 3 : log.size() - 1)));
        // Nothing half-written anywhere: not in the program folder, not beside it, not in the gear folders.
        const bool kept = installs || how == Damaged;
        QCOMPARE(app.list(QString()), (QStringList{"host", "prog"}));
        QCOMPARE(app.list("prog"), existing.isNull() && !kept ? QStringList() : QStringList{entry});
        QCOMPARE(app.read("prog/" + entry), kept ? served.body : existing.isNull() ? "<missing>" : existing);
        QCOMPARE(QDir(gear).entryList(QDir::Files), installs ? QStringList{"Kick.dll"} : QStringList());
        QCOMPARE(model.gearFiles(kind).size(), installs ? 1 : 0); // listed again after the install
    }

    // A bad answer, as a catalogue page and as a machine zip: it ends with a reason a person can act on, within the
    // limits, and leaves every file as it was, with no temporary beside it.
    void badAnswersKeepEveryFile_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QString>("pageSaid"); // the reason, as a catalogue page; empty: as for the zip
        QTest::addColumn<QString>("zipSaid");
        const QByteArray page = listOf({"Acme_Kick.zip"});
        const QByteArray zip =
            gw::test::ZipWriter().add("K.dll", QByteArray(3000, 'k'), ZipWriter::Method::Store).bytes();
        const auto moved = [](const QByteArray& to) {
            return Reply{.status = "302 Found", .headers = {"Location: " + to}};
        };
        const auto cut = [](const QByteArray& body, TestHttpServer::Behaviour how, qint64 at, qint64 length = -1) {
            return Reply{.contentLength = length, .body = body, .behaviour = how, .dropAfter = at};
        };
        const QString noRow = "allgenerators.php holds no machine of the catalogue; not kept", none;
        const QString noZip = "Kick.zip is no zip archive (it starts with \"%1\"); not kept";
        QTest::newRow("cut at half, full length")
            << cut(zip, TestHttpServer::Behaviour::DropAfter, zip.size() / 2) << none
            << QString("Only %1 of %2 bytes arrived").arg(zip.size() / 2).arg(zip.size());
        QTest::newRow("no Content-Length") << cut(zip, {}, 0, -2) << noRow << "127.0.0.1 sent no Content-Length";
        QTest::newRow("404") << Reply{.status = "404 Not Found"} << none << "127.0.0.1 answered 404 Not Found";
        QByteArray garbage(3000, '\0');
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32*>(garbage.data()), garbage.size() / 4);
        QTest::newRow("garbage") << Reply{.body = garbage} << noRow
                                 << noZip.arg(QString::fromLatin1(garbage.left(4).toPercentEncoding(" <>!/")));
        QTest::newRow("HTML page, status 200")
            << Reply{.body = "<html>Database error</html>"} << noRow << noZip.arg("<htm");
        QTest::newRow("gzip bomb") << TestHttpServer::gzipped(page + QByteArray(2 << 20, ' ')) << none
                                   << "The body from 127.0.0.1 is larger than the 1 MiB allowed; stopped";
        QTest::newRow("huge declared length")
            << cut(zip, TestHttpServer::Behaviour::DropAfter, 100, qint64(1) << 31) << none
            << "127.0.0.1 declares 2147483648 bytes, more than the 1 MiB allowed; stopped";
        const QString stalled = "No data from 127.0.0.1 for 300 ms; stopped";
        QTest::newRow("stall") << Reply{.behaviour = TestHttpServer::Behaviour::Stall} << none << stalled;
        QTest::newRow("trickle") << cut(zip, TestHttpServer::Behaviour::Trickle, 10) << none
                                 << "The transfer from 127.0.0.1 took longer than 1 s; stopped";
        QTest::newRow("redirect loop") << moved("/loop") << none
                                       << "127.0.0.1 redirects in a loop, back to http://127.0.0.1:PORT/loop; stopped";
        QTest::newRow("redirect to file://")
            << moved("file:///etc/passwd") << none
            << "127.0.0.1 redirects to file:///etc/passwd, which is no http or https address; stopped";
        QTest::newRow("redirect to a server that never answers") << moved("/stall") << none << stalled;
    }
    void badAnswersKeepEveryFile()
    {
        QFETCH(Reply, reply);
        QFETCH(QString, pageSaid);
        QFETCH(QString, zipSaid);
        TestHttpServer server;
        QVERIFY(server.listen());
        zipSaid.replace("PORT", QString::number(QUrl(server.baseUrl()).port()));
        server.setReply("/loop", {.status = "302 Found", .headers = {"Location: /loop"}});
        server.setReply("/stall", {.behaviour = TestHttpServer::Behaviour::Stall});
        server.setReply("/allgenerators.php", reply);
        server.setReply("/alleffects.php", {.body = listOf({"Echo.zip"})});
        server.setReply("/machines/Kick.zip", reply);
        TestApp app;
        // The lists in use, and a page left by an earlier run that must not be converted now.
        const QByteArray generators = listOf({"A.zip", "B.zip"}), effects = listOf({"C.zip"});
        QVERIFY(app.write("prog/allgenerators.txt", generators) && app.write("prog/alleffects.txt", effects));
        QVERIFY(app.write("prog/allgenerators.php", listOf({"Stale.zip"})));
        app.limits = {
            .idleMs = 300, .maxZipBytes = 1 << 20, .zipTotalMs = 1000, .maxPageBytes = 1 << 20, .pageTotalMs = 1000};
        AppModel& model = app.start(server.baseUrl());
        const QStringList files = app.list("prog");

        const CatalogueOutcome fetched = finish(model, [&] { return model.fetchCatalogues(); }).catalogue;
        const QString said = "allgenerators.php: " + (pageSaid.isEmpty() ? zipSaid : pageSaid);
        QCOMPARE(fetched.end, CatalogueOutcome::End::PageFailed);
        QVERIFY2(fetched.reason.startsWith(said), qPrintable(fetched.reason));
        QVERIFY(fetched.written.isEmpty());
        QVERIFY(app.read("prog/allgenerators.txt") == generators && app.read("prog/alleffects.txt") == effects);
        QCOMPARE(app.read("prog/allgenerators.php"), listOf({"Stale.zip"}));
        QCOMPARE(app.list("prog"), files);

        const DownloadOutcome downloaded =
            finish(model, [&] { return model.download(Kind::Generator, QStringLiteral("Kick.zip")); }).download;
        QVERIFY(downloaded.end == DownloadEnd::NoAnswer || downloaded.end == DownloadEnd::Incomplete);
        QCOMPARE(downloaded.reason, zipSaid);
        QVERIFY(!downloaded.zipWritten);
        QCOMPARE(app.list("prog"), files);
        const QStringList log = model.logLines();
        QVERIFY(log.contains("Connected?  Did not download Kick.zip") !=
                log.contains("Did not complete download of Kick.zip"));
        QVERIFY(log.contains(zipSaid) && !log.join(u'\n').contains("Operation canceled"));
        QCOMPARE(server.expired(), 0);
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
        const QByteArray generators =
            catalogueOf({{"Acme_Kick.zip", "2001-01-01", "", "Acme Kick", "", "", "", ""},
                         {"Broken_Bass.zip", "2001-01-01", "", "Broken Bass", "", "", "", ""}});
        const QByteArray effects = catalogueOf({{"Glass_Chorus.zip", "2003-01-01", "", "GC by Glass", "", "", "", ""}});
        server.setReply("/allgenerators.php", {.body = QByteArray(generators).replace("\r\n", "\n")});
        server.setReply("/alleffects.php", {.body = QByteArray(effects).replace("\r\n", "\n")});
        // One that cannot work is refused with the reason; one without a scheme is taken as http.
        app.dialogs.texts << "ftp://" + server.baseUrl().mid(7);
        QVERIFY(!model.fetchCatalogues());
        QVERIFY(app.dialogs.messages.value(0).endsWith("cannot be the machine archive's address: only http and https "
                                                       "addresses can be fetched"));
        app.dialogs.texts << server.baseUrl().mid(7).chopped(1);
        QVERIFY(finish(model, [&] { return model.fetchCatalogues(); }).catalogue.ok());
        QCOMPARE(server.requestedPaths(), (QList<QByteArray>{"/allgenerators.php", "/alleffects.php"}));
        QCOMPARE(gw::archiveBaseUrl({}), server.baseUrl());
        QSettings().remove(QStringLiteral("archiveUrl"));
        QVERIFY(app.read("prog/allgenerators.txt") == generators && app.read("prog/alleffects.txt") == effects);

        // Every missing machine the catalogue has, by name or file name, each zip once; one in the other gear folder
        // is moved; the check after leaves only the one the catalogue lacks.
        gw::test::SongWriter song;
        song.addSimple("K", "Acme Kick", 1).addSimple("N", "Nothing Here", 1).addSimple("C", "Glass Chorus", 2);
        song.addSimple("W", "Stereo Wide", 2).addSimple("K2", "ACME KICK", 1).addSimple("B", "Broken Bass", 1);
        QVERIFY(song.writeTo(app.path("song.bmx").toStdString()));
        QVERIFY(app.write("host/gear/generators/stereo wide.dll", "wide"));
        // Each asked for once, in this order; one is an error page, which does not stop the rest; the last is found
        // through a redirect.
        QList<QByteArray> zips;
        for (const QByteArray dll : {"Acme Kick", "Broken Bass", "Glass Chorus"}) {
            zips << "/machines/" + QByteArray(dll).replace(' ', '_') + ".zip";
            server.setReply(zips.last(), {.body = gw::test::ZipWriter().add(dll + ".dll", dll).bytes()});
        }
        server.setReply("/machines/Broken_Bass.zip", {.body = "<html><body>Gone fishing</body></html>"});
        server.setReply("/moved/Glass_Chorus.zip", server.replyFor(zips.last()));
        server.setReply(zips.last(),
                        {.status = "301 Moved Permanently", .headers = {"Location: /moved/Glass_Chorus.zip"}});
        zips << "/moved/Glass_Chorus.zip";
        model.scanSongs({app.path("song.bmx")});
        QStringList table;
        for (const FetchResult& done : finish(model, [&] { return model.fetchAllMissing(); }).fetched) {
            table << QStringList{done.match.dll, done.match.entry, done.match.howText(),
                                 QString::number(int(done.result)), done.reason}
                         .join(u'|');
        }
        QCOMPARE(table,
                 (QStringList{"Acme Kick.dll|Acme_Kick.zip|name|0|", "ACME KICK.dll|Acme_Kick.zip|name|0|",
                              "Broken Bass.dll|Broken_Bass.zip|name|3|Broken_Bass.zip is no zip archive (it starts "
                              "with \"<htm\"); not kept",
                              "Nothing Here.dll|||2|", "Stereo Wide.dll||move|1|",
                              "Glass Chorus.dll|Glass_Chorus.zip|file name|0|"}));
        QCOMPARE(server.requestedPaths().mid(2), zips);
        for (const TestHttpServer::Request& request : server.requests()) {
            // No compression asked for, so Content-Length counts the bytes that arrive.
            QVERIFY2(request.head.contains("\r\nAccept-Encoding: identity"), request.head.constData());
        }
        QCOMPARE(model.missing(Kind::Generator).names(), (QStringList{"Broken Bass.dll", "Nothing Here.dll"}));
        QCOMPARE(app.list("prog"), (QStringList{"Acme_Kick.zip", "alleffects.php", "alleffects.txt",
                                                "allgenerators.php", "allgenerators.txt", "Glass_Chorus.zip"}));
        QVERIFY(model.missing(Kind::Effect).isEmpty());
        QCOMPARE(app.dialogs.messages.size(), 1);      // the refused address
        QCOMPARE(app.dialogs.textQuestions.size(), 3); // once cancelled, once refused, once given, then never again
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
