#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Result
{
    int status = -1;
    QString out;
    QString err;
};

QStringList strings(const QJsonValue& value)
{
    QStringList result;
    for (const QJsonValue& item : value.toArray()) {
        result << item.toString();
    }
    return result;
}

} // namespace

/** Runs the real executable, as a user or a script would. */
class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void jsonListsMachinesOfEachSampleSong();
    void textReportAndLog();
    void brokenSongsGiveTheirMessageAndStatus2();
    void usageErrorsAndHelp();
    void folderSearchFindsSongsInPathOrder();
    void hostFolderFromWinePrefix();
    void missingWineSettingsWarnAndFallBack();

private:
    Result run(const QStringList& arguments, const QProcessEnvironment& environment = {});
    QString samples(const QString& relative) const { return QStringLiteral(GW_SAMPLES "/") + relative; }

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcessEnvironment m_environment;
};

void TestCli::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    // No Wine prefix of the machine's user may leak into a test.
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(QStringLiteral("WINEPREFIX"), m_dir->filePath(QStringLiteral("no-prefix")));
}

Result TestCli::run(const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(environment.isEmpty() ? m_environment : environment);
    process.start(QStringLiteral(GW_EXECUTABLE), arguments);
    Result result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        return result;
    }
    result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

void TestCli::jsonListsMachinesOfEachSampleSong()
{
    const Result r = run({QStringLiteral("scan"), QStringLiteral("--json"), QStringLiteral("--host-folder"),
                          samples(QStringLiteral("host")), samples(QStringLiteral("songs"))});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(r.out.toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);

    const QJsonArray songs = root.value(QStringLiteral("songs")).toArray();
    QCOMPARE(songs.size(), 3);
    QVERIFY(songs.at(0).toObject().value(QStringLiteral("path")).toString().endsWith(QStringLiteral("evening.bmx")));
    QVERIFY(songs.at(0).toObject().value(QStringLiteral("error")).isNull());
    const QJsonArray evening = songs.at(0).toObject().value(QStringLiteral("machines")).toArray();
    QStringList inFileOrder;
    for (const QJsonValue& machine : evening) {
        const QJsonObject m = machine.toObject();
        inFileOrder << m.value(QStringLiteral("name")).toString() + QLatin1Char('|') +
                           m.value(QStringLiteral("dll")).toString() + QLatin1Char('|') +
                           m.value(QStringLiteral("kind")).toString();
    }
    QCOMPARE(inFileOrder, QStringList({QStringLiteral("Kick|Acme Kick|generator"),
                                       QStringLiteral("Bass|Jeskola Bass 3|generator"),
                                       QStringLiteral("Pad|Lunar Pad|generator"), QStringLiteral("Echo|Acme Delay|effect"),
                                       QStringLiteral("Room|Jeskola Raverb|effect"),
                                       QStringLiteral("Crush|Ember Crusher|effect")}));
    QCOMPARE(songs.at(1).toObject().value(QStringLiteral("machines")).toArray().size(), 0); // master only

    QCOMPARE(strings(root.value(QStringLiteral("generatorsUsed"))),
             QStringList({QStringLiteral("Acme Kick"), QStringLiteral("Jeskola Bass 3"), QStringLiteral("Lunar Arp"),
                          QStringLiteral("Lunar Pad")}));
    QCOMPARE(strings(root.value(QStringLiteral("effectsUsed"))),
             QStringList({QStringLiteral("Acme Delay"), QStringLiteral("Ember Crusher"), QStringLiteral("Glass Chorus"),
                          QStringLiteral("Jeskola Raverb")}));
    QCOMPARE(strings(root.value(QStringLiteral("missingGenerators"))),
             QStringList({QStringLiteral("(eff dir)Lunar Arp.dll"), QStringLiteral("Lunar Pad.dll")}));
    QCOMPARE(strings(root.value(QStringLiteral("missingEffects"))),
             QStringList({QStringLiteral("(gen dir)Glass Chorus.dll"), QStringLiteral("Ember Crusher.dll")}));
}

void TestCli::textReportAndLog()
{
    const QString song = samples(QStringLiteral("songs/evening.bmx"));
    const Result r = run({QStringLiteral("scan"), QStringLiteral("--log"), QStringLiteral("--host-folder"),
                          samples(QStringLiteral("host")), song});
    QCOMPARE(r.status, 1);
    const QStringList lines = r.out.split(QLatin1Char('\n'));
    QCOMPARE(lines.first(), QStringLiteral("Scanning ") + QDir::toNativeSeparators(song));
    QVERIFY(lines.contains(QStringLiteral("Machine DLL name Ember Crusher")));
    const qsizetype report = lines.indexOf(QStringLiteral("Generators used"));
    QVERIFY(report > lines.indexOf(QStringLiteral("****Scanning MACH Section****")));
    QCOMPARE(lines.mid(report),
             QStringList({QStringLiteral("Generators used"), QStringLiteral("  Acme Kick"),
                          QStringLiteral("  Jeskola Bass 3"), QStringLiteral("  Lunar Pad"), QStringLiteral("Effects used"),
                          QStringLiteral("  Acme Delay"), QStringLiteral("  Ember Crusher"),
                          QStringLiteral("  Jeskola Raverb"), QStringLiteral("Missing Generators"),
                          QStringLiteral("  Lunar Pad.dll"), QStringLiteral("Missing Effects"),
                          QStringLiteral("  Ember Crusher.dll"), QString()}));

    // A song whose machines are all present or built in exits with 0.
    const Result clean = run({QStringLiteral("scan"), QStringLiteral("--host-folder"), samples(QStringLiteral("host")),
                              samples(QStringLiteral("songs/master-only.bmx"))});
    QCOMPARE(clean.status, 0);
}

void TestCli::brokenSongsGiveTheirMessageAndStatus2()
{
    const QString older = samples(QStringLiteral("broken/older.bmx"));
    const Result r = run({QStringLiteral("scan"), QStringLiteral("--json"), QStringLiteral("--host-folder"),
                          samples(QStringLiteral("host")), samples(QStringLiteral("broken"))});
    QCOMPARE(r.status, 2);
    const QString noPara = QStringLiteral("File ") + QDir::toNativeSeparators(older) +
                           QStringLiteral(" does not contain PARA section, which is required by this program.  "
                                          "Probably created with Buzz version <1.2");
    QVERIFY2(r.err.contains(noPara), qPrintable(r.err));
    const QJsonArray songs = QJsonDocument::fromJson(r.out.toUtf8()).object().value(QStringLiteral("songs")).toArray();
    QCOMPARE(songs.size(), 2);
    QVERIFY(songs.at(0).toObject().value(QStringLiteral("error")).toString().startsWith(QStringLiteral("File ")));
    QVERIFY(songs.at(0).toObject().value(QStringLiteral("error")).toString().contains(QStringLiteral("cut-short.bmx")));
    QCOMPARE(songs.at(1).toObject().value(QStringLiteral("error")).toString(), noPara);
}

void TestCli::usageErrorsAndHelp()
{
    const Result help = run({QStringLiteral("--help")});
    QCOMPARE(help.status, 0);
    for (const char* word : {"scan", "--host-folder", "--program-folder", "--archive-url", "--log", "--json",
                             "--version"}) {
        QVERIFY2(help.out.contains(QLatin1String(word)), word);
    }
    const Result version = run({QStringLiteral("--version")});
    QCOMPARE(version.status, 0);
    QCOMPARE(version.out, QStringLiteral("gearwarden 1.0\n"));

    QCOMPARE(run({QStringLiteral("scan")}).status, 2);
    const Result unknown = run({QStringLiteral("scan"), QStringLiteral("--colour"), samples(QStringLiteral("songs"))});
    QCOMPARE(unknown.status, 2);
    QVERIFY(unknown.out.isEmpty());
    QVERIFY(unknown.err.contains(QStringLiteral("--colour")));
    QCOMPARE(run({QStringLiteral("scan"), QStringLiteral("--host-folder")}).status, 2);
    const Result absent = run({QStringLiteral("scan"), m_dir->filePath(QStringLiteral("absent.bmx"))});
    QCOMPARE(absent.status, 2);
    QVERIFY(absent.err.contains(QStringLiteral("absent.bmx")));
}

void TestCli::folderSearchFindsSongsInPathOrder()
{
    QDir dir(m_dir->path());
    QVERIFY(dir.mkpath(QStringLiteral("tree/b")));
    QVERIFY(dir.mkpath(QStringLiteral("tree/a")));
    const QString source = samples(QStringLiteral("songs/master-only.bmx"));
    QVERIFY(QFile::copy(source, dir.filePath(QStringLiteral("tree/b/two.BMX"))));
    QVERIFY(QFile::copy(source, dir.filePath(QStringLiteral("tree/a/one.bmw"))));
    QVERIFY(QFile::copy(source, dir.filePath(QStringLiteral("tree/a/notes.txt"))));
    const Result r = run({QStringLiteral("scan"), QStringLiteral("--json"), QStringLiteral("--host-folder"),
                          samples(QStringLiteral("host")), dir.filePath(QStringLiteral("tree"))});
    QCOMPARE(r.status, 0);
    const QJsonArray songs = QJsonDocument::fromJson(r.out.toUtf8()).object().value(QStringLiteral("songs")).toArray();
    QCOMPARE(songs.size(), 2);
    QVERIFY(songs.at(0).toObject().value(QStringLiteral("path")).toString().endsWith(QStringLiteral("one.bmw")));
    QVERIFY(songs.at(1).toObject().value(QStringLiteral("path")).toString().endsWith(QStringLiteral("two.BMX")));
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
    const QString programFolder = m_dir->path() + QLatin1Char('/');
    const Result r = run({QStringLiteral("scan"), QStringLiteral("--program-folder"), m_dir->path(),
                          samples(QStringLiteral("songs/evening.bmx"))});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.startsWith(QStringLiteral("Unable to open the key Settings.  HKEY_CURRENT_USER\\Software\\Jeskola\\Buzz"
                                             "\\Settings not found in Windows Registry.  Using current directory of ") +
                              programFolder),
             qPrintable(r.err));
    QVERIFY(r.out.contains(QStringLiteral("Missing Generators\n  Acme Kick.dll\n  Lunar Pad.dll\n")));
    // The command line only reads: it makes no gear folders.
    QVERIFY(!QDir(m_dir->filePath(QStringLiteral("gear"))).exists());
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
