#include "base/NumberText.h"
#include "base/TextCodec.h"
#include "base/WineRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
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
QString describe(const gw::HostSettings::Value& v)
{
    return describe(v.status, QString::fromStdString(v.text));
}

/** A throwaway Wine prefix, read through one settings object for its whole life. */
class Prefix
{
public:
    QString path() const { return m_dir.path(); }
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

/** The shared basics: texts as Windows compares and sorts them, and the host's settings in a Wine prefix. */
class TestBase : public QObject
{
    Q_OBJECT

private slots:
    void numberText()
    {
        // Others get a blank where the minus sign goes (tst_hostdiscovery's statusText); counts may exceed 32 bits.
        QCOMPARE(gw::NumberText(INT64_MIN), "-9223372036854775808");
    }

    void windows1252()
    {
        // Outside 80..9F the code page is Latin-1; inside, the undefined 81, 8D, 8F, 90 and 9D stay the C1 controls of
        // the same value. So each byte is a character of its own, and exact comparisons survive decoding.
        std::string bytes;
        for (int b = 0; b < 256; ++b) {
            bytes += char(b);
        }
        const QString text = QString::fromStdString(gw::windows1252ToUtf8(bytes));
        QCOMPARE(text.left(0x80) + text.mid(0xA0), QString::fromLatin1(bytes.substr(0, 0x80) + bytes.substr(0xA0)));
        QCOMPARE(QSet<QChar>(text.begin(), text.end()).size(), 256);
        QVERIFY(!text.contains(QChar::ReplacementCharacter));
        QCOMPARE(QString::fromStdString(gw::windows1252ToUtf8("\x80\x81\x85\x8a\x8d\x8f\x90\x99\x9d\x9f")),
                 QString::fromUtf8("\u20ac\u0081\u2026\u0160\u008d\u008f\u0090\u2122\u009d\u0178"));
    }

    void foldCaseBeyondAscii()
    {
        // Every capital of Latin-1, Windows-1252, Latin Extended-A, Greek, Cyrillic and Armenian folds to Unicode's
        // small letter (Windows opens "Šum.dll" for "šum.dll"); every other character there stays as it is. Left out:
        // the Turkish dotted I, most of Latin Extended-B, archaic Greek and the palochka, which are not folded.
        const auto covered = [](char32_t cp) {
            return (cp < 0x180 && cp != 0x130) || (cp >= 0x1CD && cp < 0x1F0) || (cp >= 0x386 && cp < 0x3CF) ||
                   (cp >= 0x400 && cp < 0x590 && cp != 0x4C0);
        };
        for (char32_t cp = 0; cp < 0x590; ++cp) {
            QVERIFY2(!covered(cp) || gw::foldCase(cp) == QChar(char16_t(cp)).toLower().unicode(),
                     qPrintable(QString::number(cp, 16)));
        }
        QCOMPARE(gw::foldCase("\xc5\xa0UM.dll\xc5\xb8"), "\xc5\xa1um.dll\xc3\xbf"); // Š and Ÿ from Windows-1252
        QCOMPARE(gw::foldCase("A\xff\xe0\x81\x81\xc3"), "a\xff\xe0\x81\x81\xc3");   // stray and overlong bytes stay
        QVERIFY(gw::equalsIgnoringCase("\xc5\x92uvre.DLL", "\xc5\x93uvre.dll"));
    }

    void windowsListOrder()
    {
        // As a Windows list box shows names: blanks and punctuation before digits before letters; letters by their
        // base letter, accents and then case breaking ties, small letter first; hyphens passed over; ligatures and
        // sharp s spelt out; Latin before Greek.
        const QStringList sorted = {
            "_under",     "2nd",        "a b",         "ab",          "alpha",    "Alpha", "ALPHA", "\u00e4rger",
            "\u00c4rger", "b",          "beta",        "Beta",        "coat",     "co-op", "coor",  "\u00c9cho",
            "eclair",     "Eclair",     "\u00e9clair", "\u00c9clair", "Fast",     "Kick",  "kick2", "Masa",
            "Ma\u00dfe",  "\u0152uvre", "Ozone",       "\u0161um",    "\u0160um", "zulu",  "Zulu",  "\u0391lpha"};
        for (qsizetype i = 0; i < sorted.size(); ++i) {
            for (qsizetype j = 0; j < sorted.size(); ++j) {
                QVERIFY2(gw::listLess(sorted[i].toStdString(), sorted[j].toStdString()) == (i < j),
                         qPrintable(sorted[i] + (i < j ? " < " : " !< ") + sorted[j]));
            }
        }
    }

    void readBuzzPath_data()
    {
        QTest::addColumn<QByteArray>("file"); // null: no user.reg at all
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* tag, const QByteArray& file, const QString& expected) {
            QTest::newRow(tag) << file << expected;
        };
        const auto buzz = [](const QByteArray& data) { return kKey + "\"BuzzPath\"=" + data + "\n"; };
        const QString keyMissing = describe(Status::KeyMissing), valueMissing = describe(Status::ValueMissing);
        const auto ok = [](const QString& text) { return describe(Status::Ok, text); };

        row("no user.reg", QByteArray(), keyMissing);
        row("no header line", kKey.mid(kHeader.indexOf('\n') + 1) + "\"BuzzPath\"=\"x\"\n", keyMissing);
        row("subkey only", kHeader + "[Software\\\\Jeskola\\\\Buzz\\\\Settings\\\\Old]\n\"BuzzPath\"=\"x\"\n",
            keyMissing);
        // Key and value names ignore letter case; lines may end in CR LF.
        row("names in other case, CR LF",
            QByteArray(kHeader + "[software\\\\JESKOLA\\\\buzz\\\\settings]\n\"buzzpath\"=\"x\"").replace("\n", "\r\n"),
            ok("x"));
        row("broken header ends the key", kKey + "[Software\\\\Other\n\"BuzzPath\"=\"x\"\n", valueMissing);
        // The last good definition wins, and only strings count: REG_SZ, and REG_EXPAND_SZ as stored.
        row("broken line keeps the earlier value", buzz("\"x\"\n\"BuzzPath\"=\"y"), ok("x"));
        row("a later dword replaces it", buzz("\"x\"\n\"BuzzPath\"=dword:00000001"), valueMissing);
        row("multi-string", buzz("str(7):\"a\\0b\\0\""), valueMissing);
        row("expandable string", buzz("str(2):\"%ProgramFiles%\\\\Buzz\""), ok("%ProgramFiles%/Buzz"));
        row("value after hex lines", buzz("hex:43,00,\\\n  5c,00\n\"BuzzPath\"=\"s\""), ok("s"));
        // Wine's escapes: \x is one UTF-16 unit; octal; C letters; anything else stands for itself.
        row("escapes", buzz("\"a\\\\b \\\"q\\\" \\x00e9\\x20AC\\t\\101\\xd83c\\xdfb5\""),
            ok("a/b \"q\" \u00e9\u20ac\tA" + QString::fromUcs4(U"\U0001F3B5")));
        row("zero ends the text", buzz("\"abc\\0def\""), ok("abc"));
        row("raw UTF-8 and Latin-1", buzz("\"\xc3\xa9\xe9\""), ok("\u00e9\u00e9"));
        // The host's 260-byte buffer: 259 characters and the zero, each UTF-16 unit one byte, zeros included.
        row("260 characters", buzz('"' + QByteArray(260, 'a') + '"'), valueMissing);
        row("259 characters, an escape one of them", buzz('"' + QByteArray(258, 'a') + "\\x00e9\""),
            ok(QString(258, 'a') + QChar(0xE9)));
        row("characters after a zero count", buzz("\"a\\0" + QByteArray(258, 'a') + '"'), valueMissing);
    }

    void readBuzzPath()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, expected);
        Prefix prefix;
        QVERIFY(file.isNull() || prefix.write(file));
        QCOMPARE(prefix.read("BuzzPath"), expected);
    }

    void drivePaths()
    {
#ifdef Q_OS_WIN
        QSKIP("Wine's drive links are read only off Windows; Windows makes symbolic links for administrators only");
#endif
        // C: is where dosdevices/c: leads. Below it components are found ignoring case, the first by bytes when
        // several match; "." and ".." go by text first. D: has no link yet.
        Prefix prefix;
        for (const char* folder : {"disk/Program Files/Buzz", "disk/Mix/Songs", "disk/Mix/SONGS", "drive_c/Mix"}) {
            QVERIFY(QDir(prefix.path()).mkpath(folder));
        }
        QVERIFY(prefix.linkDrive("c:", "../disk"));
        const QString disk = QFileInfo(prefix.path() + "/disk").canonicalFilePath();
        const std::pair<QByteArray, QString> cases[] = {
            {"C:\\\\", disk + "/"},
            {"C:/Program Files//Buzz/./", disk + "/Program Files/Buzz/"},
            {"C:\\\\Temp\\\\..\\\\..\\\\program files", disk + "/Program Files"},
            {"c:\\\\program files\\\\Gone\\\\buzz", disk + "/Program Files/Gone/buzz"},
            {"C:\\\\Mix\\\\songs", disk + "/Mix/SONGS"},
            {"C:\\\\Mix\\\\Songs", disk + "/Mix/Songs"},
            {"d:\\\\Mix", prefix.path() + "/dosdevices/d:/Mix"},
        };
        for (const auto& [value, expected] : cases) {
            QVERIFY(prefix.write(kKey + "\"BuzzPath\"=\"" + value + "\"\n"));
            QCOMPARE(prefix.read("BuzzPath"), describe(Status::Ok, expected));
        }
        // A link whose name is in capitals serves too.
        QVERIFY(prefix.linkDrive("D:", "../disk"));
        QCOMPARE(prefix.read("BuzzPath"), describe(Status::Ok, disk + "/Mix"));
        // Without a link, or with a broken one, C: is drive_c.
        QVERIFY(QFile::remove(prefix.path() + "/dosdevices/c:") &&
                prefix.write(kKey + "\"BuzzPath\"=\"c:\\\\mix\\\\\"\n"));
        QCOMPARE(prefix.read("BuzzPath"), describe(Status::Ok, prefix.path() + "/drive_c/Mix/"));
        QVERIFY(prefix.linkDrive("c:", "../nowhere"));
        QCOMPARE(prefix.read("BuzzPath"), describe(Status::Ok, prefix.path() + "/drive_c/Mix/"));
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

    // Sets this process's environment, which no other test here reads. tst_cli scans with a prefix found this way.
    void prefixFromEnvironment()
    {
        qputenv("HOME", "/home/someone");
        qputenv("WINEPREFIX", "");
        QCOMPARE(gw::winePrefixFromEnvironment(), "/home/someone/.wine");
        qunsetenv("WINEPREFIX");
        QCOMPARE(gw::winePrefixFromEnvironment(), "/home/someone/.wine");
    }
};

QTEST_GUILESS_MAIN(TestBase)
#include "tst_base.moc"
