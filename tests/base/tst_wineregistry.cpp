#include "base/Platform.h"
#include "base/WineRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using Status = gw::HostSettings::Status;

namespace {

const QByteArray kHeader = "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-1-2-3-1000\n\n"
                           "#arch=win64\n";
const QByteArray kKey = kHeader + "\n[Software\\\\Jeskola\\\\Buzz\\\\Settings] 1700000000\n#time=1da1b2c3d4e5f60\n";

// Status and text in one string, so a failure shows both.
QString describe(Status status, const QString& text = {})
{
    return status == Status::Ok ? "Ok: " + text : status == Status::KeyMissing ? "KeyMissing" : "ValueMissing";
}
QString describe(const gw::HostSettings::Value& v) { return describe(v.status, QString::fromStdString(v.text)); }

/** A throwaway Wine prefix, read through one settings object for its whole life. */
class Prefix
{
public:
    QString path() const { return m_dir.path(); }
    QString canonical(const QString& relative) const { return QFileInfo(m_dir.filePath(relative)).canonicalFilePath(); }
    QString read(const char* name) const { return describe(m_settings.read(name)); }
    bool write(const QByteArray& userReg) const
    {
        QFile file(m_dir.filePath("user.reg"));
        return file.open(QIODevice::WriteOnly) && file.write(userReg) == userReg.size();
    }
    bool linkDrive(const QString& drive, const QString& target) const
    {
        return QDir(m_dir.path()).mkpath("dosdevices") && QFile::link(target, m_dir.filePath("dosdevices/" + drive));
    }

private:
    QTemporaryDir m_dir;
    gw::WineRegistrySettings m_settings{m_dir.path().toStdString()};
};

} // namespace

class TestWineRegistry : public QObject
{
    Q_OBJECT

private slots:
    void read_data()
    {
        QTest::addColumn<QByteArray>("file"); // null: no user.reg at all
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* tag, const QByteArray& file, const QString& expected,
                            const char* name = "BuzzPath") { QTest::newRow(tag) << file << QString(name) << expected; };
        const auto buzz = [](const QByteArray& data) { return kKey + "\"BuzzPath\"=" + data + "\n"; };
        const QString keyMissing = describe(Status::KeyMissing), valueMissing = describe(Status::ValueMissing);
        const auto ok = [](const QString& text) { return describe(Status::Ok, text); };

        row("no user.reg", QByteArray(), keyMissing);
        row("no header line", kKey.mid(kHeader.indexOf('\n') + 1) + "\"BuzzPath\"=\"x\"\n", keyMissing);
        row("subkey only", kHeader + "[Software\\\\Jeskola\\\\Buzz\\\\Settings\\\\Old]\n\"BuzzPath\"=\"x\"\n",
            keyMissing);
        // Key and value names ignore letter case.
        row("key in other case", kHeader + "[software\\\\JESKOLA\\\\buzz\\\\settings] 1\n\"BuzzPath\"=\"x\"", ok("x"));
        row("value name in other case", kKey + "\"buzzpath\"=\"x\"\n", ok("x"));
        row("value absent", kKey + "\"OpenSongDir\"=\"x\"\n", valueMissing);
        row("value of the next key", kKey + "\n[Software\\\\Other]\n\"BuzzPath\"=\"x\"\n", valueMissing);
        row("broken header ends the key", kKey + "[Software\\\\Other\n\"BuzzPath\"=\"x\"\n", valueMissing);
        row("broken line keeps the earlier value", buzz("\"x\"\n\"BuzzPath\"=\"y"), ok("x"));
        // Only strings: REG_SZ, and REG_EXPAND_SZ as stored.
        row("dword", buzz("dword:00000001"), valueMissing);
        row("multi-string", buzz("str(7):\"a\\0b\\0\""), valueMissing);
        row("expandable string", buzz("str(2):\"%ProgramFiles%\\\\Buzz\""), ok("%ProgramFiles%/Buzz"));
        row("value after hex lines", buzz("hex:43,00,\\\n  5c,00\n\"OpenSongDir\"=\"s\""), ok("s"), "OpenSongDir");
        // Wine's escapes: \x is one UTF-16 unit; octal; C letters; anything else stands for itself.
        row("escapes", buzz("\"a\\\\b \\\"q\\\" \\x00e9\\x20AC\\t\\101\""), ok("a/b \"q\" \u00e9\u20ac\tA"));
        row("surrogate pair", buzz("\"\\xd83c\\xdfb5\""), ok(QString::fromUcs4(U"\U0001F3B5")));
        row("zero ends the text", buzz("\"abc\\0def\""), ok("abc"));
        row("raw UTF-8 and Latin-1", buzz("\"\xc3\xa9\xe9\""), ok("\u00e9\u00e9"));
        // The host's 260-byte buffer: 259 characters and the zero, each UTF-16 unit one byte, zeros included.
        row("259 characters", buzz('"' + QByteArray(259, 'a') + '"'), ok(QString(259, 'a')));
        row("260 characters", buzz('"' + QByteArray(260, 'a') + '"'), valueMissing);
        row("an escape is one character", buzz('"' + QByteArray(258, 'a') + "\\x00e9\""),
            ok(QString(258, 'a') + QChar(0xE9)));
        row("characters after a zero count", buzz("\"a\\0" + QByteArray(258, 'a') + '"'), valueMissing);
    }

    void read()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, name);
        QFETCH(QString, expected);
        Prefix prefix;
        QVERIFY(file.isNull() || prefix.write(file));
        QCOMPARE(prefix.read(name.toUtf8().constData()), expected);
    }

    void drivePaths()
    {
        Prefix prefix;
        for (const char* folder : {"drive_c/Program Files/Buzz", "drive_c/Mix/Songs", "drive_c/Mix/SONGS"}) {
            QVERIFY(QDir(prefix.path()).mkpath(folder));
        }
        QVERIFY(prefix.linkDrive("c:", "../drive_c"));
        // Below drive_c as the drive's link resolves it. Components are found ignoring case, the first by bytes when
        // several match; "." and ".." go by text first.
        const std::pair<QByteArray, QString> cases[] = {
            {"C:\\\\", "/"},
            {"c:\\\\program files\\\\BUZZ", "/Program Files/Buzz"},
            {"C:/Program Files//Buzz/./", "/Program Files/Buzz/"},
            {"C:\\\\Temp\\\\..\\\\..\\\\program files", "/Program Files"},
            {"c:\\\\program files\\\\Gone\\\\buzz", "/Program Files/Gone/buzz"},
            {"C:\\\\Mix\\\\songs", "/Mix/SONGS"},
            {"C:\\\\Mix\\\\Songs", "/Mix/Songs"},
        };
        for (const auto& [value, expected] : cases) {
            QVERIFY(prefix.write(kKey + "\"BuzzPath\"=\"" + value + "\"\n"));
            QCOMPARE(prefix.read("BuzzPath"), describe(Status::Ok, prefix.canonical("drive_c") + expected));
        }
    }

    void driveLinks()
    {
        const QByteArray file = kKey + "\"BuzzPath\"=\"c:\\\\buzz\\\\\"\n\"OpenSongDir\"=\"D:\\\\Songs\"\n";
        Prefix linked;
        QVERIFY(QDir(linked.path()).mkpath("drive_c/Buzz") && QDir(linked.path()).mkpath("elsewhere/Buzz"));
        QVERIFY(linked.linkDrive("c:", linked.path() + "/elsewhere") && linked.write(file));
        QCOMPARE(linked.read("BuzzPath"), describe(Status::Ok, linked.canonical("elsewhere/Buzz") + "/"));
        QCOMPARE(linked.read("OpenSongDir"), describe(Status::Ok, linked.path() + "/dosdevices/d:/Songs"));
        QVERIFY(linked.linkDrive("D:", linked.path() + "/elsewhere"));
        QCOMPARE(linked.read("OpenSongDir"), describe(Status::Ok, linked.canonical("elsewhere") + "/Songs"));
        // Without a link, or with a broken one, C: is drive_c.
        Prefix plain;
        QVERIFY(QDir(plain.path()).mkpath("drive_c/Buzz") && plain.write(file));
        QCOMPARE(plain.read("BuzzPath"), describe(Status::Ok, plain.path() + "/drive_c/Buzz/"));
        QVERIFY(plain.linkDrive("c:", "../nowhere"));
        QCOMPARE(plain.read("BuzzPath"), describe(Status::Ok, plain.path() + "/drive_c/Buzz/"));
    }

    // Every cut of a good file, read through the same settings object: also shows each read sees the file anew.
    void truncatedFile()
    {
        const QByteArray file = kKey + "\"BuzzPath\"=\"Buzz\\\\Songs\\\\\"\n\"OpenSongDir\"=dword:1\n";
        const qsizetype keyEnd = file.indexOf(']') + 1, valueEnd = file.indexOf("\\\\\"") + 3;
        Prefix prefix;
        for (qsizetype cut = 0; cut <= file.size(); ++cut) {
            QVERIFY(prefix.write(file.left(cut)));
            const Status status = cut < keyEnd     ? Status::KeyMissing
                                  : cut < valueEnd ? Status::ValueMissing
                                                   : Status::Ok;
            QCOMPARE(prefix.read("BuzzPath"), describe(status, "Buzz/Songs/"));
        }
    }

    void prefixFromEnvironment()
    {
        const bool hadPrefix = qEnvironmentVariableIsSet("WINEPREFIX");
        const QByteArray oldPrefix = qgetenv("WINEPREFIX"), oldHome = qgetenv("HOME");
        const auto restore = qScopeGuard([&] {
            hadPrefix ? qputenv("WINEPREFIX", oldPrefix) : qunsetenv("WINEPREFIX");
            qputenv("HOME", oldHome);
        });
        qputenv("HOME", "/home/someone");
        qputenv("WINEPREFIX", "/opt/prefix");
        QCOMPARE(gw::winePrefixFromEnvironment(), "/opt/prefix");
        qputenv("WINEPREFIX", "");
        QCOMPARE(gw::winePrefixFromEnvironment(), "/home/someone/.wine");
        qunsetenv("WINEPREFIX");
        QCOMPARE(gw::winePrefixFromEnvironment(), "/home/someone/.wine");

        if (gw::platform::pathSeparator() != '/') {
            QSKIP("the platform settings come from the registry here");
        }
        Prefix prefix;
        QVERIFY(prefix.write(kKey + "\"OpenSongDir\"=\"songs\"\n"));
        qputenv("WINEPREFIX", prefix.path().toUtf8());
        QCOMPARE(describe(gw::makePlatformHostSettings()->read("OpenSongDir")), describe(Status::Ok, "songs"));
    }
};

QTEST_GUILESS_MAIN(TestWineRegistry)
#include "tst_wineregistry.moc"
