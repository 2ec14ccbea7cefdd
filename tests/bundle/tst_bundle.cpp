// Songs travelling with their machines: the bundle written, read and installed, whatever the zip holds.
#include "SongWriter.h"
#include "TestApp.h"

#include "bundle/SongBundle.h"

#include <QtTest>

#include <zip.h>

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
    void bundleCarriesTheInstalledMachinesAndInstallsThem()
    {
        TestApp app;
        gw::test::SongWriter one, two;
        one.addSimple("K", "Acme Kick", 1).addSimple("B", "Jeskola Bass 3", 1).addSimple("E", "Acme Delay", 2);
        QVERIFY(one.writeTo(app.path("one.bmx").toStdString()));
        two.addSimple("A", "Lunar Arp", 1).addSimple("G", "Not Here", 2);
        QVERIFY(two.writeTo(app.path("two.bmw").toStdString()));
        // Installed under other letter cases, and one generator filed with the effects.
        QVERIFY(app.write("host/gear/generators/acme kick.DLL", "kick"));
        QVERIFY(app.write("host/gear/effects/Acme Delay.dll", "delay"));
        QVERIFY(app.write("host/gear/effects/Lunar Arp.dll", "arp"));
        QVERIFY(app.write("host/gear/generators/Unused.dll", "unused"));
        AppModel& model = app.start();

        const QString zip = app.path("out.zip");
        const BundleOutcome outcome = model.saveBundle({app.path("one.bmx"), app.path("two.bmw")}, zip);
        QVERIFY(outcome.written);
        QCOMPARE(outcome.inZip, 3);
        QCOMPARE(outcome.missing, 1);
        QVERIFY(!QFileInfo::exists(zip + ".part"));
        QCOMPARE(zipNames(zip), (QStringList{"gear/generators/acme kick.DLL", "gear/generators/Lunar Arp.dll",
                                            "gear/effects/Acme Delay.dll", "one.bmx", "two.bmw"}));
        QVERIFY(model.used(Kind::Generator).isEmpty()); // saving reads the songs without gathering them
        zip_t* archive = zip_open(QFile::encodeName(zip).constData(), ZIP_RDONLY, nullptr);
        zip_file_t* list = archive ? zip_fopen(archive, "machines.txt", 0) : nullptr;
        char text[512] = {};
        QVERIFY(list && zip_fread(list, text, sizeof text - 1) > 0);
        zip_fclose(list);
        zip_discard(archive);
        QCOMPARE(QByteArray(text), "generator\tAcme Kick.dll\tin the zip\ngenerator\tLunar Arp.dll\tin the zip\n"
                                   "effect\tAcme Delay.dll\tin the zip\neffect\tNot Here.dll\tmissing\n");

        // Into an empty host: the machines land by their folder in the zip, the songs where asked.
        TestApp other;
        AppModel& fresh = other.start();
        const BundleInstall installed = fresh.installBundle(zip, other.path("songs"), false);
        QVERIFY(installed.read);
        QCOMPARE(installed.installed.size(), 5);
        QCOMPARE(installed.notTaken, QStringList()); // machines.txt is the bundle's own
        QCOMPARE(other.read("host/gear/generators/Lunar Arp.dll"), QByteArray("arp"));
        fresh.scanSongs({other.path("songs/one.bmx"), other.path("songs/two.bmw")});
        QCOMPARE(fresh.missing(Kind::Generator).names(), QStringList());
        QCOMPARE(fresh.missing(Kind::Effect).names(), QStringList{"Not Here.dll"});
        // Again: what is there is kept unless replacing was asked for.
        QCOMPARE(fresh.installBundle(zip, other.path("songs"), false).installed.size(), 0);
        QCOMPARE(fresh.installBundle(zip, other.path("songs"), true).installed.size(), 5);
    }

    void hostileBundlesInstallNothingUnsafe()
    {
        TestApp app;
        AppModel& model = app.start();
        const QString zip = app.path("hostile.zip");
        gw::test::ZipWriter hostile;
        for (const char* name : {"gear/generators/../../../escape.dll", "/etc/absolute.bmx", "C:/drive.bmx",
                                 "gear\\generators\\backslash.dll", "gear/generators/sub/deeper.dll",
                                 "gear/effects/readme.txt"}) {
            hostile.add(name, "x");
        }
        hostile.add("gear/generators/Twin.dll", "first").add("gear/generators/twin.dll", "second");
        QVERIFY(hostile.add("gear/effects/Bomb.dll", QByteArray(8 << 20, '\0')).add("song.bmx", "a song").writeTo(zip));
        const BundleInstall installed = model.installBundle(zip, app.path("songs"), false);
        QVERIFY(installed.read);
        // Only the top-level song and one of the case twins are written; the rest is reported, nowhere written.
        QCOMPARE(app.read("songs/song.bmx"), QByteArray("a song"));
        QCOMPARE(app.list("songs"), QStringList{"song.bmx"});
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

QTEST_GUILESS_MAIN(TestBundle)
#include "tst_bundle.moc"
