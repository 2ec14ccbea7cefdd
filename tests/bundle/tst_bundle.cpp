// Songs travelling with their machines: the bundle written, read and installed, whatever the zip holds.
#include "SongWriter.h"
#include "TestApp.h"
#include "ZipWriter.h"

#include "bundle/SongBundle.h"

#include <QtTest>

namespace {

using Kind = AppModel::Kind;

QStringList zipNames(const QString& path)
{
    BundleContents contents;
    QString error;
    readBundle(path, contents, error);
    return contents.generators + contents.effects + contents.songs;
}

} // namespace

class TestBundle : public QObject
{
    Q_OBJECT

private slots:
    void bundleCarriesTheInstalledMachinesAndInstallsThem();
    void hostileBundlesInstallNothingUnsafe();
};

void TestBundle::bundleCarriesTheInstalledMachinesAndInstallsThem()
{
    TestApp app;
    gw::test::SongWriter one;
    one.addSimple("Kick", "Acme Kick", 1).addSimple("Bass", "Jeskola Bass 3", 1).addSimple("Echo", "Acme Delay", 2);
    gw::test::SongWriter two;
    two.addSimple("Arp", "Lunar Arp", 1).addSimple("Gone", "Not Here", 2);
    QVERIFY(one.writeTo(app.path(QStringLiteral("one.bmx")).toStdString()));
    QVERIFY(two.writeTo(app.path(QStringLiteral("two.bmw")).toStdString()));
    // Installed under other letter cases, and one generator filed with the effects.
    QVERIFY(app.write(QStringLiteral("host/gear/generators/acme kick.DLL"), "kick"));
    QVERIFY(app.write(QStringLiteral("host/gear/effects/Acme Delay.dll"), "delay"));
    QVERIFY(app.write(QStringLiteral("host/gear/effects/Lunar Arp.dll"), "arp"));
    QVERIFY(app.write(QStringLiteral("host/gear/generators/Unused.dll"), "unused"));
    AppModel& model = app.start();

    const QString zip = app.path(QStringLiteral("out.zip"));
    const BundleOutcome outcome =
        model.saveBundle({app.path(QStringLiteral("one.bmx")), app.path(QStringLiteral("two.bmw"))}, zip);
    QVERIFY(outcome.written);
    QCOMPARE(outcome.inZip, 3);
    QCOMPARE(outcome.missing, 1);
    QVERIFY(!QFileInfo::exists(zip + QStringLiteral(".part")));
    QCOMPARE(zipNames(zip), (QStringList{"gear/generators/acme kick.DLL", "gear/generators/Lunar Arp.dll",
                                        "gear/effects/Acme Delay.dll", "one.bmx", "two.bmw"}));
    QVERIFY(model.used(Kind::Generator).isEmpty()); // saving reads the songs without gathering them

    // Into an empty host: the machines land by their folder in the zip, the songs where asked.
    TestApp other;
    AppModel& fresh = other.start();
    const BundleInstall installed = fresh.installBundle(zip, other.path(QStringLiteral("songs")), false);
    QVERIFY(installed.read);
    QCOMPARE(installed.installed.size(), 5);
    QCOMPARE(installed.notTaken, QStringList()); // machines.txt is the bundle's own
    QCOMPARE(other.read(QStringLiteral("host/gear/generators/Lunar Arp.dll")), QByteArray("arp"));
    fresh.scanSongs({other.path(QStringLiteral("songs/one.bmx")), other.path(QStringLiteral("songs/two.bmw"))});
    QCOMPARE(fresh.missing(Kind::Generator).names(), QStringList());
    QCOMPARE(fresh.missing(Kind::Effect).names(), QStringList{"Not Here.dll"});
    // Again: what is there is kept unless replacing was asked for.
    QCOMPARE(fresh.installBundle(zip, other.path(QStringLiteral("songs")), false).installed.size(), 0);
    QCOMPARE(fresh.installBundle(zip, other.path(QStringLiteral("songs")), true).installed.size(), 5);
}

void TestBundle::hostileBundlesInstallNothingUnsafe()
{
    TestApp app;
    AppModel& model = app.start();
    const QString zip = app.path(QStringLiteral("hostile.zip"));
    QByteArray bomb(8 * 1024 * 1024, '\0');
    QVERIFY(gw::test::ZipWriter()
                .add("gear/generators/../../../escape.dll", "x")
                .add("/etc/absolute.bmx", "x")
                .add("C:/drive.bmx", "x")
                .add("gear\\generators\\backslash.dll", "x")
                .add("gear/generators/sub/deeper.dll", "x")
                .add("gear/effects/readme.txt", "x")
                .add("gear/generators/Twin.dll", "first")
                .add("gear/generators/twin.dll", "second")
                .add("gear/effects/Bomb.dll", bomb)
                .add("song.bmx", "a song")
                .writeTo(zip));
    const BundleInstall installed = model.installBundle(zip, app.path(QStringLiteral("songs")), false);
    QVERIFY(installed.read);
    // Only the top-level song and one of the case twins are written; the rest is reported, nowhere written.
    QCOMPARE(app.read(QStringLiteral("songs/song.bmx")), QByteArray("a song"));
    QCOMPARE(QDir(app.path(QStringLiteral("host/gear/generators"))).entryList(QDir::Files), QStringList{"Twin.dll"});
    QVERIFY(QDir(app.path(QStringLiteral("host/gear/effects"))).isEmpty());
    QCOMPARE(QDir(app.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             (QStringList{"host", "hostile.zip", "prog", "songs"}));
    const QString said = installed.notTaken.join(u'\n');
    for (const char* name : {"escape.dll", "absolute.bmx", "drive.bmx", "backslash.dll", "deeper.dll", "readme.txt",
                             "Bomb.dll: packed", "kept the existing"}) {
        QVERIFY2(said.contains(QLatin1String(name)), qPrintable(said));
    }
    QVERIFY(!model.installBundle(app.path(QStringLiteral("prog")), app.path(QStringLiteral("songs")), false).read);
}

QTEST_GUILESS_MAIN(TestBundle)
#include "tst_bundle.moc"
