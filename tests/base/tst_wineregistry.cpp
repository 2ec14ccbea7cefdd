#include "base/Platform.h"
#include "base/WineRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <random>

using gw::HostSettings;
using Status = gw::HostSettings::Status;

namespace {

const QByteArray kHeader = "WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-1-2-3-1000\n\n"
                           "#arch=win64\n";
const QByteArray kSection = "\n[Software\\\\Jeskola\\\\Buzz\\\\Settings] 1700000000\n#time=1da1b2c3d4e5f60\n";

// Status and text in one string, so a failure shows both.
QString describe(Status status, const QString& text = {})
{
    return status == Status::Ok ? "Ok: " + text : status == Status::KeyMissing ? "KeyMissing" : "ValueMissing";
}

QString describe(const HostSettings::Value& value)
{
    return describe(value.status, QString::fromStdString(value.text));
}

/** A throwaway Wine prefix, read through one settings object for its whole life. */
class Prefix
{
public:
    QString path() const { return m_dir.path(); }
    QString canonical(const QString& relative) const { return QFileInfo(m_dir.filePath(relative)).canonicalFilePath(); }
    QString read(const QString& name) const { return describe(m_settings.read(name.toStdString())); }

    bool writeUserReg(const QByteArray& content) const
    {
        QFile file(m_dir.filePath("user.reg"));
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }

    bool makeDirs(const QStringList& relatives) const
    {
        return std::all_of(relatives.begin(), relatives.end(),
                           [this](const QString& relative) { return QDir(m_dir.path()).mkpath(relative); });
    }

    bool linkDrive(const QString& drive, const QString& target) const
    {
        std::error_code error;
        QDir(m_dir.path()).mkpath("dosdevices");
        std::filesystem::create_directory_symlink(target.toStdU16String(),
                                                  m_dir.filePath("dosdevices/" + drive).toStdU16String(), error);
        return !error;
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
    void read_data();
    void read();
    void drivePaths_data();
    void drivePaths();
    void driveLinks();
    void truncatedFile();
    void junkBeforeTheKey();
    void prefixFromEnvironment();
};

void TestWineRegistry::read_data()
{
    QTest::addColumn<QByteArray>("file"); // null: no user.reg at all
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    const auto row = [](const char* tag, const QByteArray& file, const QString& expected,
                        const char* name = "BuzzPath") { QTest::newRow(tag) << file << QString(name) << expected; };
    const QByteArray key = kHeader + kSection;
    const auto buzz = [&key](const QByteArray& data) { return key + "\"BuzzPath\"=" + data + "\n"; };
    const QString keyMissing = describe(Status::KeyMissing);
    const QString valueMissing = describe(Status::ValueMissing);

    row("no user.reg", QByteArray(), keyMissing);
    row("no header line", kSection + "\"BuzzPath\"=\"x\"\n", keyMissing);
    row("subkey only", kHeader + "[Software\\\\Jeskola\\\\Buzz\\\\Settings\\\\Old]\n\"BuzzPath\"=\"x\"\n", keyMissing);
    row("truncated section header", kHeader + "[Software\\\\Jeskola\\\\Buzz\\\\Settings\n\"BuzzPath\"=\"x\"\n",
        keyMissing);
    row("section in other case", kHeader + "[software\\\\JESKOLA\\\\buzz\\\\settings] 1\n\"BuzzPath\"=\"x\"",
        describe(Status::Ok, "x"));

    row("value absent", key + "\"OpenSongDir\"=\"x\"\n", valueMissing);
    row("value of the next key", key + "\n[Software\\\\Other]\n\"BuzzPath\"=\"x\"\n", valueMissing);
    row("broken header ends the key", key + "[Software\\\\Other\n\"BuzzPath\"=\"x\"\n", valueMissing);
    row("value name in other case", key + "\"buzzpath\"=\"x\"\n", describe(Status::Ok, "x"));
    row("default value", key + "@=\"x\"\n", describe(Status::Ok, "x"), "");
    row("dword", buzz("dword:00000001"), valueMissing);
    row("hex", buzz("hex:43,00,3a,00,\\\n  5c,00,00,00"), valueMissing);
    row("value after hex lines", buzz("hex:43,00,\\\n  5c,00\n\"OpenSongDir\"=\"s\""), describe(Status::Ok, "s"),
        "OpenSongDir");
    row("multi-string", buzz("str(7):\"a\\0b\\0\""), valueMissing);
    row("expandable string as stored", buzz("str(2):\"%ProgramFiles%\\\\Buzz\""),
        describe(Status::Ok, "%ProgramFiles%/Buzz"));
    row("line after unterminated value", buzz("\"x\n\"OpenSongDir\"=\"s\""), describe(Status::Ok, "s"), "OpenSongDir");
    row("unterminated name", key + "\"BuzzPath=\"x\"\n", valueMissing);
    row("broken line keeps earlier value", buzz("\"x\"\n\"BuzzPath\"=\"y"), describe(Status::Ok, "x"));

    row("escapes", buzz("\"a\\\\b \\\"q\\\" \\x00e9\\x20AC\\t\\101\""),
        describe(Status::Ok, QString::fromUtf8("a/b \"q\" \u00e9\u20ac\tA")));
    row("surrogate pair", buzz("\"\\xd83c\\xdfb5\""), describe(Status::Ok, QString::fromUcs4(U"\U0001F3B5")));
    row("zero ends the text", buzz("\"abc\\0def\""), describe(Status::Ok, "abc"));
    row("raw UTF-8 and Latin-1", buzz("\"\xc3\xa9\xe9\""), describe(Status::Ok, QString::fromUtf8("\u00e9\u00e9")));
    row("UNC path", buzz("\"\\\\\\\\server\\\\share\\\\\""), describe(Status::Ok, "//server/share/"));

    row("259 bytes", buzz('"' + QByteArray(259, 'a') + '"'), describe(Status::Ok, QString(259, 'a')));
    row("260 bytes", buzz('"' + QByteArray(260, 'a') + '"'), valueMissing);
    row("escape is one byte", buzz('"' + QByteArray(258, 'a') + "\\x00e9\""),
        describe(Status::Ok, QString(258, 'a') + QChar(0xE9)));
    row("bytes after a zero count", buzz("\"a\\0" + QByteArray(258, 'a') + '"'), valueMissing);
}

void TestWineRegistry::read()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    QFETCH(QString, expected);

    Prefix prefix;
    if (!file.isNull()) {
        QVERIFY(prefix.writeUserReg(file));
    }
    QCOMPARE(prefix.read(name), expected);
}

void TestWineRegistry::drivePaths_data()
{
    QTest::addColumn<QByteArray>("value"); // as written in user.reg
    QTest::addColumn<QString>("expected"); // below the resolved drive_c

    QTest::newRow("trailing backslash") << QByteArray("C:\\\\Program Files\\\\Buzz\\\\") << "/Program Files/Buzz/";
    QTest::newRow("no trailing backslash") << QByteArray("C:\\\\Program Files\\\\Buzz") << "/Program Files/Buzz";
    QTest::newRow("drive root") << QByteArray("C:\\\\") << "/";
    QTest::newRow("other case") << QByteArray("c:\\\\program files\\\\BUZZ") << "/Program Files/Buzz";
    QTest::newRow("slashes, doubled and dot") << QByteArray("C:/Program Files//Buzz/./") << "/Program Files/Buzz/";
    QTest::newRow("dot dot") << QByteArray("C:\\\\Temp\\\\..\\\\..\\\\program files") << "/Program Files";
    QTest::newRow("missing part") << QByteArray("c:\\\\program files\\\\Gone\\\\buzz") << "/Program Files/Gone/buzz";
    QTest::newRow("two case matches: the first by bytes") << QByteArray("C:\\\\Mix\\\\songs") << "/Mix/SONGS";
    QTest::newRow("exact case among two") << QByteArray("C:\\\\Mix\\\\SONGS") << "/Mix/SONGS";
}

void TestWineRegistry::drivePaths()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, expected);

    Prefix prefix;
    QVERIFY(prefix.makeDirs({"drive_c/Program Files/Buzz", "drive_c/Mix/Songs", "drive_c/Mix/SONGS"}));
    QVERIFY(prefix.linkDrive("c:", "../drive_c"));
    QVERIFY(prefix.writeUserReg(kHeader + kSection + "\"BuzzPath\"=\"" + value + "\"\n"));
    QCOMPARE(prefix.read("BuzzPath"), describe(Status::Ok, prefix.canonical("drive_c") + expected));
}

void TestWineRegistry::driveLinks()
{
    const QByteArray file = kHeader + kSection + "\"BuzzPath\"=\"c:\\\\buzz\\\\\"\n\"OpenSongDir\"=\"D:\\\\Songs\"\n";
    {
        Prefix prefix;
        QVERIFY(prefix.makeDirs({"drive_c/Buzz", "elsewhere/Buzz"}));
        QVERIFY(prefix.linkDrive("c:", prefix.path() + "/elsewhere"));
        QVERIFY(prefix.writeUserReg(file));
        QCOMPARE(prefix.read("BuzzPath"), describe(Status::Ok, prefix.canonical("elsewhere/Buzz") + "/"));
        QCOMPARE(prefix.read("OpenSongDir"), describe(Status::Ok, prefix.path() + "/dosdevices/d:/Songs"));
        QVERIFY(prefix.linkDrive("d:", prefix.path() + "/elsewhere"));
        QCOMPARE(prefix.read("OpenSongDir"), describe(Status::Ok, prefix.canonical("elsewhere") + "/Songs"));
    }
    {
        Prefix prefix;
        QVERIFY(prefix.makeDirs({"drive_c/Buzz"}));
        QVERIFY(prefix.writeUserReg(file));
        QCOMPARE(prefix.read("BuzzPath"), describe(Status::Ok, prefix.path() + "/drive_c/Buzz/"));
        QVERIFY(prefix.linkDrive("c:", "../nowhere"));
        QCOMPARE(prefix.read("BuzzPath"), describe(Status::Ok, prefix.path() + "/drive_c/Buzz/"));
    }
}

// Every cut of a good file, read through the same settings object: also shows each read sees the file anew.
void TestWineRegistry::truncatedFile()
{
    const QByteArray file = kHeader + kSection + "\"BuzzPath\"=\"Buzz\\\\Songs\\\\\"\n\"OpenSongDir\"=dword:1\n";
    const qsizetype keyEnd = file.indexOf(']') + 1;
    const qsizetype valueEnd = file.indexOf("\\\\\"") + 3;
    Prefix prefix;
    for (qsizetype cut = 0; cut <= file.size(); ++cut) {
        QVERIFY(prefix.writeUserReg(file.left(cut)));
        const Status status = cut < keyEnd ? Status::KeyMissing : cut < valueEnd ? Status::ValueMissing : Status::Ok;
        QCOMPARE(prefix.read("BuzzPath"), describe(status, "Buzz/Songs/"));
    }
}

void TestWineRegistry::junkBeforeTheKey()
{
    // Mostly the characters the parser reacts to, some bytes of any value.
    const QByteArray alphabet = QByteArray("[]\"\\=@:#;x0123456789abcdefhexstrdword( )\n\r") + '\0' + '\xff';
    std::mt19937 random(20240611);
    Prefix prefix;
    for (int round = 0; round < 300; ++round) {
        QByteArray junk;
        for (auto length = random() % 400; length > 0; --length) {
            junk += random() % 8 == 0 ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()];
        }
        QVERIFY(prefix.writeUserReg(kHeader + junk + "\n\n" + kSection + "\"BuzzPath\"=\"ok\"\n"));
        QCOMPARE(prefix.read("BuzzPath"), describe(Status::Ok, "ok"));
    }
}

void TestWineRegistry::prefixFromEnvironment()
{
    const bool hadPrefix = qEnvironmentVariableIsSet("WINEPREFIX");
    const QByteArray oldPrefix = qgetenv("WINEPREFIX");
    const QByteArray oldHome = qgetenv("HOME");
    const auto restore = qScopeGuard([&] {
        hadPrefix ? qputenv("WINEPREFIX", oldPrefix) : qunsetenv("WINEPREFIX");
        qputenv("HOME", oldHome);
    });

    qputenv("HOME", "/home/someone");
    qputenv("WINEPREFIX", "/opt/prefix");
    QCOMPARE(gw::winePrefixFromEnvironment(), std::string("/opt/prefix"));
    qputenv("WINEPREFIX", "");
    QCOMPARE(gw::winePrefixFromEnvironment(), std::string("/home/someone/.wine"));
    qunsetenv("WINEPREFIX");
    QCOMPARE(gw::winePrefixFromEnvironment(), std::string("/home/someone/.wine"));

    if (gw::platform::pathSeparator() != '/') {
        QSKIP("the platform settings come from the registry here");
    }
    Prefix prefix;
    QVERIFY(prefix.writeUserReg(kHeader + kSection + "\"OpenSongDir\"=\"songs\"\n"));
    qputenv("WINEPREFIX", prefix.path().toUtf8());
    QCOMPARE(describe(gw::makePlatformHostSettings()->read("OpenSongDir")), describe(Status::Ok, "songs"));
}

QTEST_GUILESS_MAIN(TestWineRegistry)

#include "tst_wineregistry.moc"
