#include "song/SongScan.h"
#include "SongWriter.h"
#include "base/Platform.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <string>
#include <vector>

using gw::test::setI32;
using gw::test::SongWriter;
using Bytes = std::vector<std::uint8_t>;

namespace {

/** Keeps every call in order as "kind: text", so one comparison checks texts and their interleaving. */
class RecordingSink : public gw::ScanSink
{
public:
    void setStatus(const std::string& text, bool) override { add("status: ", text); }
    void startLog(const std::string& line) override { add("start: ", line); }
    void log(const std::string& line) override { add("log: ", line); }
    void showMessage(const std::string& text) override { add("message: ", text); }
    // Latin-1 keeps the stored bytes apart from any decoding of them.
    void addUsed(const gw::MachineRef& m) override
    {
        events << "used: " + QString::fromLatin1(m.name + "|" + std::to_string(m.kindByte) + "|" + m.dll);
    }

    /** The texts of one kind of event, without the kind. */
    QStringList of(const QString& kind) const
    {
        QStringList texts;
        for (const QString& event : events) {
            if (event.startsWith(kind + ": ")) {
                texts << event.mid(kind.size() + 2);
            }
        }
        return texts;
    }

    QStringList events;

private:
    void add(const char* kind, const std::string& text) { events << kind + QString::fromStdString(text); }
};

/** A path with the platform's separators in place of '/'. */
std::string native(std::string path)
{
    std::replace(path.begin(), path.end(), '/', gw::platform::pathSeparator());
    return path;
}

gw::ScanOutcome scan(const std::string& path, const Bytes& bytes, RecordingSink& sink)
{
    return gw::scanSongBytes(path, std::span<const std::uint8_t>(bytes), sink);
}

} // namespace

class TestSongScan : public QObject
{
    Q_OBJECT

private slots:
    void traceOfASmallSong();
    void formatFailures_data();
    void formatFailures();
    void damagedSongs_data();
    void damagedSongs();
    void noPath();
    void pathTail_data();
    void pathTail();
    void everyRealSongCutAtEveryByte();
};

void TestSongScan::traceOfASmallSong()
{
    SongWriter writer;
    writer.add({"Gen", "Gen type", 1, "Gen Dll", {}, {}, 0, {}, 0});
    writer.add({"Eff\xe9", "Eff type", 2, "Eff Dll", {}, {}, 0, {}, 0});
    writer.add({"Gen", "Gen type", 7, "Gen Dll", {}, {}, 0, {}, 0}); // a repeat is still reported
    // Sizes: BVER 4; PARA: count 4, master 7 + 7 + 8 + three parameters of 29, then name + type + 8 for each other
    // machine (21, 22, 21); MACH: 31, then name + kind 1 + DLL + 8 + data size 4 + two counts 4 (29, 30, 29).
    RecordingSink sink;
    const std::string path = native("/songs/small.bmx");
    const gw::ScanOutcome outcome = scan(path, writer.build(), sink);
    QVERIFY(outcome.ok());

    const QString e = QString(QChar(0xE9));
    const QStringList expected = {
        "status: Scanning bmx for machines used",
        "start: Scanning " + QString::fromStdString(path),
        "log: " + QString::fromStdString(native("/small.bmx")),
        "log: BuzzHeader Buzz",
        "log: Number of sections  3",
        "log: Header BVER", "log: Offset  44", "log: Size  4",
        "log: Header PARA", "log: Offset  48", "log: Size  177",
        "log: Header MACH", "log: Offset  225", "log: Size  119",
        "log: ParameterHeader PARA", "log: Offset  48", "log: Size  177",
        "log: Machine Header MACH", "log: Offset  225", "log: Size  119",
        "log: Number of machines  4",
        "log: ****Scanning PARA Section****",
        "status: Scanning PARA section for 1 of  4 machines",
        "log: Machine Name Master", "log: Machine Type Master",
        "status: Scanning PARA section for 2 of  4 machines",
        "log: Machine Name Gen", "log: Machine Type Gen type",
        "status: Scanning PARA section for 3 of  4 machines",
        "log: Machine Name Eff" + e, "log: Machine Type Eff type",
        "status: Scanning PARA section for 4 of  4 machines",
        "log: Machine Name Gen", "log: Machine Type Gen type",
        "status: Completed scan of  4 machines in PARA section",
        "log: ****Scanning MACH Section****",
        "status: Scanning MACH section for machine  2 of  4 machines",
        "log: Machine name is Gen", "log: Machine ID  1", "log: Machine DLL name Gen Dll",
        "used: Gen|1|Gen Dll",
        "status: Scanning MACH section for machine  3 of  4 machines",
        "log: Machine name is Eff" + e, "log: Machine ID  2", "log: Machine DLL name Eff Dll",
        "used: Eff" + e + "|2|Eff Dll", // the byte E9 as stored, not its UTF-8
        "status: Scanning MACH section for machine  4 of  4 machines",
        "log: Machine name is Gen", "log: Machine ID  7", "log: Machine DLL name Gen Dll",
        "used: Gen|7|Gen Dll",
        "status: Completed scan of  4 machines in MACH section",
    };
    QCOMPARE(sink.events, expected);
}

void TestSongScan::formatFailures_data()
{
    QTest::addColumn<QByteArray>("change");
    QTest::addColumn<QStringList>("logTail"); // the last lines of the log
    QTest::addColumn<QString>("message");     // %1: the path

    QTest::newRow("lower case magic") << QByteArray("magic") << QStringList{"/bad.bmx", "BuzzHeader buzz"}
                                      << "File %1 is missing Buzz header.  Probably not a buzz file.";
    QTest::newRow("33 sections") << QByteArray("sections") << QStringList{"BuzzHeader Buzz", "Number of sections  33"}
                                 << "File %1 number of sections exceeds maximum. Probably not a buzz file.";
    // One section: MACH at 8 + 12, holding 31 + "Gen" 4 + kind 1 + "Gen Dll" 8 + 8 + data size 4 + two counts 4.
    QTest::newRow("no PARA") << QByteArray("para")
                             << QStringList{"Number of sections  1", "Header MACH", "Offset  20", "Size  60",
                                            "ParameterHeader     ", "ParameterHeader not found    "}
                             << "File %1 does not contain PARA section, which is required by this program.  "
                                "Probably created with Buzz version <1.2";
}

void TestSongScan::formatFailures()
{
    QFETCH(QByteArray, change);
    QFETCH(QStringList, logTail);
    QFETCH(QString, message);

    SongWriter writer;
    writer.add({"Gen", "Gen", 1, "Gen Dll", {}, {}, 0, {}, 0});
    writer.otherSections.clear();
    writer.withPara = change != "para";
    Bytes bytes = writer.build();
    if (change == "magic") {
        bytes[0] = 'b';
    } else if (change == "sections") {
        setI32(bytes, 4, 33);
    }

    const std::string path = native("/songs/bad.bmx");
    RecordingSink sink;
    const gw::ScanOutcome outcome = scan(path, bytes, sink);
    const QString expected = message.arg(QString::fromStdString(path));
    QCOMPARE(QString::fromStdString(outcome.message), expected);
    QCOMPARE(sink.of("message"), QStringList{expected});
    QVERIFY(sink.of("used").isEmpty());
    // The log shows what was read up to the failure, and the message comes last.
    const QStringList log = sink.of("start") + sink.of("log");
    QCOMPARE(log.first(), "Scanning " + QString::fromStdString(path));
    QCOMPARE(log.mid(log.size() - logTail.size()), logTail.replaceInStrings("/", QString::fromStdString(native("/"))));
    QCOMPARE(sink.events.last(), "message: " + expected);
}

void TestSongScan::damagedSongs_data()
{
    QTest::addColumn<int>("keep"); // bytes kept; -1: all but the last; -2: all, with a huge machine count
    QTest::newRow("cut in the directory") << 20;
    QTest::newRow("cut in PARA") << 150;
    QTest::newRow("cut in MACH") << -1;
    QTest::newRow("huge machine count") << -2;
}

void TestSongScan::damagedSongs()
{
    QFETCH(int, keep);
    SongWriter writer;
    writer.addSimple("Gen", "Gen Dll", 1);
    Bytes bytes = writer.build();
    if (keep == -2) {
        setI32(bytes, 48, 0x7FFFFFFF); // PARA follows the 4 bytes of BVER at 44
    } else {
        bytes.resize(keep == -1 ? bytes.size() - 1 : std::size_t(keep));
    }
    const std::string path = native("/songs/damaged.bmx");
    RecordingSink sink;
    const gw::ScanOutcome outcome = scan(path, bytes, sink);
    QVERIFY(!outcome.ok());
    QCOMPARE(sink.of("message"), QStringList{QString::fromStdString(outcome.message)});
    QVERIFY2(outcome.message.starts_with("File " + path + " "), outcome.message.c_str());
}

void TestSongScan::noPath()
{
    RecordingSink sink;
    const gw::ScanOutcome outcome = gw::scanSong("", sink);
    QCOMPARE(outcome.message, std::string("No file selected from bmx list"));
    QCOMPARE(sink.of("message"), QStringList{"No file selected from bmx list"});

    // A file that is not there is named in its message too.
    RecordingSink missing;
    const std::string path = GW_TEST_DATA "/songs/no such song.bmx";
    const gw::ScanOutcome gone = gw::scanSong(path, missing);
    QCOMPARE(missing.of("message").size(), 1);
    QVERIFY2(gone.message.starts_with("File " + path + " "), gone.message.c_str());
}

void TestSongScan::pathTail_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("tail");
    QTest::newRow("deep") << "/home/me/songs/x.bmx" << "/x.bmx";
    QTest::newRow("root") << "/x.bmx" << "/x.bmx";
    QTest::newRow("relative") << "songs/x.bmx" << "/x.bmx";
    QTest::newRow("no separator") << "x.bmx" << "x.bmx";
    QTest::newRow("ends in separator") << "/songs/" << "/";
    QTest::newRow("empty") << "" << "";
}

void TestSongScan::pathTail()
{
    QFETCH(QString, path);
    QFETCH(QString, tail);
    QCOMPARE(gw::pathTail(native(path.toStdString())), native(tail.toStdString()));
}

namespace {

/** Keeps only what the sweep looks at, so a sweep of many thousand scans stays quick. */
class OutcomeSink : public gw::ScanSink
{
public:
    void setStatus(const std::string&, bool) override {}
    void startLog(const std::string&) override {}
    void log(const std::string&) override {}
    void showMessage(const std::string& text) override { messages.push_back(text); }
    void addUsed(const gw::MachineRef&) override { ++machines; }

    std::vector<std::string> messages;
    int machines = 0;
};

} // namespace

void TestSongScan::everyRealSongCutAtEveryByte()
{
    const QDir folder(QStringLiteral(GW_TEST_DATA "/songs"));
    const QStringList songs = folder.entryList({QStringLiteral("*.bm?")}, QDir::Files, QDir::Name);
    QVERIFY(songs.size() >= 10);
    for (const QString& song : songs) {
        QFile file(folder.filePath(song));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray whole = file.readAll();
        const std::string path = "cut " + song.toStdString();

        // How far the whole song is read: a cut before that point must be reported, one after it changes nothing.
        gw::ByteInput input(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(whole.constData()),
                                                          static_cast<std::size_t>(whole.size())));
        gw::SongReadListener ignore;
        const bool wholeOk = gw::readSong(input, ignore).ok();
        const std::uint64_t needed = wholeOk ? input.position() : 0;

        for (qsizetype length = 0; length < whole.size(); ++length) {
            OutcomeSink sink;
            const gw::ScanOutcome outcome = gw::scanSongBytes(
                path, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(whole.constData()),
                                                    static_cast<std::size_t>(length)),
                sink);
            const QByteArray where = (song + QStringLiteral(" cut at %1").arg(length)).toUtf8();
            if (static_cast<std::uint64_t>(length) < needed || !wholeOk) {
                QVERIFY2(!outcome.ok(), where.constData());
            }
            if (!outcome.ok()) {
                // One message, naming the file, the same the user is shown.
                QVERIFY2(sink.messages.size() == 1 && sink.messages.front() == outcome.message, where.constData());
                QVERIFY2(outcome.message.rfind("File " + path + " ", 0) == 0, where.constData());
            } else {
                QVERIFY2(sink.messages.empty(), where.constData());
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestSongScan)
#include "tst_songscan.moc"
