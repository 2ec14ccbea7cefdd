#include "song/SongScan.h"
#include "SongWriter.h"
#include "app/Platform.h"

#include <QTest>

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
    void setStatus(const std::string& text, bool) override { events << "status: " + QString::fromStdString(text); }
    void startLog(const std::string& line) override
    {
        logLines = QStringList{QString::fromStdString(line)};
        events << "start: " + QString::fromStdString(line);
    }
    void log(const std::string& line) override
    {
        logLines << QString::fromStdString(line);
        events << "log: " + QString::fromStdString(line);
    }
    void showMessage(const std::string& text) override
    {
        messages << QString::fromStdString(text);
        events << "message: " + QString::fromStdString(text);
    }
    void addUsed(const gw::MachineRef& machine) override
    {
        // Latin-1 keeps the stored bytes apart from any decoding of them.
        used << QString::fromLatin1(machine.name + "|" + std::to_string(machine.kindByte) + "|" + machine.dll);
        events << "used: " + used.last();
    }

    QStringList events;
    QStringList logLines; // the log as the user sees it
    QStringList messages;
    QStringList used;
};

std::int32_t i32At(const Bytes& bytes, std::size_t offset)
{
    return std::int32_t(std::uint32_t(bytes[offset]) | std::uint32_t(bytes[offset + 1]) << 8 |
                        std::uint32_t(bytes[offset + 2]) << 16 | std::uint32_t(bytes[offset + 3]) << 24);
}

/** A path with the platform's separators in place of '/'. */
std::string nativePath(std::string path)
{
    for (char& c : path) {
        if (c == '/') {
            c = gw::platform::pathSeparator();
        }
    }
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
    void damagedFileMessage_data();
    void damagedFileMessage();
    void noPath();
    void usedInFileOrder();
    void pathTail_data();
    void pathTail();
};

void TestSongScan::traceOfASmallSong()
{
    SongWriter writer;
    writer.addSimple("Gen", "Gen Dll", 1).addSimple("Eff\xe9", "Eff Dll", 2);
    const Bytes bytes = writer.build();
    // The directory is BVER, PARA, MACH; their offsets and sizes are those the writer laid out.
    const auto number = [&](std::size_t offset) { return QString::number(i32At(bytes, offset)); };

    const std::string path = nativePath("/songs/small.bmx");
    RecordingSink sink;
    const gw::ScanOutcome outcome = scan(path, bytes, sink);
    QVERIFY(outcome.ok());
    QCOMPARE(outcome.message, std::string());

    const QStringList expected = {
        "status: Scanning bmx for machines used",
        "start: Scanning " + QString::fromStdString(path),
        "log: " + QString::fromStdString(nativePath("/small.bmx")),
        "log: BuzzHeader Buzz",
        "log: Number of sections  3",
        "log: Header BVER",
        "log: Offset  44",
        "log: Size  4",
        "log: Header PARA",
        "log: Offset  48",
        "log: Size  " + number(8 + 12 + 8),
        "log: Header MACH",
        "log: Offset  " + number(8 + 24 + 4),
        "log: Size  " + number(8 + 24 + 8),
        "log: ParameterHeader PARA",
        "log: Offset  48",
        "log: Size  " + number(8 + 12 + 8),
        "log: Machine Header MACH",
        "log: Offset  " + number(8 + 24 + 4),
        "log: Size  " + number(8 + 24 + 8),
        "log: Number of machines  3",
        "log: ****Scanning PARA Section****",
        "status: Scanning PARA section for 1 of  3 machines",
        "log: Machine Name Master",
        "log: Machine Type Master",
        "status: Scanning PARA section for 2 of  3 machines",
        "log: Machine Name Gen",
        "log: Machine Type Gen Dll",
        "status: Scanning PARA section for 3 of  3 machines",
        "log: Machine Name Eff" + QString(QChar(0xE9)),
        "log: Machine Type Eff Dll",
        "status: Completed scan of  3 machines in PARA section",
        "log: ****Scanning MACH Section****",
        "status: Scanning MACH section for machine  2 of  3 machines",
        "log: Machine name is Gen",
        "log: Machine ID  1",
        "log: Machine DLL name Gen Dll",
        "used: Gen|1|Gen Dll",
        "status: Scanning MACH section for machine  3 of  3 machines",
        "log: Machine name is Eff" + QString(QChar(0xE9)),
        "log: Machine ID  2",
        "log: Machine DLL name Eff Dll",
        "used: Eff" + QString(QChar(0xE9)) + "|2|Eff Dll", // the byte E9 as stored, not its UTF-8
        "status: Completed scan of  3 machines in MACH section",
    };
    QCOMPARE(sink.events, expected);
    QVERIFY(sink.messages.isEmpty());
}

void TestSongScan::formatFailures_data()
{
    QTest::addColumn<QByteArray>("change");
    QTest::addColumn<QStringList>("logTail"); // the last lines of the log
    QTest::addColumn<QString>("message");     // %1: the path

    QTest::newRow("lower case magic") << QByteArray("magic") << QStringList{"/bad.bmx", "BuzzHeader buzz"}
                                      << "File %1 is missing Buzz header.  Probably not a buzz file.";
    QTest::newRow("33 sections") << QByteArray("sections")
                                 << QStringList{"BuzzHeader Buzz", "Number of sections  33"}
                                 << "File %1 number of sections exceeds maximum. Probably not a buzz file.";
    QTest::newRow("no PARA") << QByteArray("para")
                             << QStringList{"Header MACH", "Offset  20", "Size  60",
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
    // One section: MACH at 8 + 12, holding 31 + "Gen" 4 + kind 1 + "Gen Dll" 8 + 8 + data size 4 + two counts 4.
    writer.add({"Gen", "Gen", 1, "Gen Dll", {}, {}, 0, {}, 0});
    writer.otherSections.clear();
    writer.withPara = change != "para";
    Bytes bytes = writer.build();
    if (change == "magic") {
        bytes[0] = 'b';
    } else if (change == "sections") {
        setI32(bytes, 4, 33);
    }

    const std::string path = nativePath("/songs/bad.bmx");
    RecordingSink sink;
    const gw::ScanOutcome outcome = scan(path, bytes, sink);
    const QString expected = message.arg(QString::fromStdString(path));
    QCOMPARE(QString::fromStdString(outcome.message), expected);
    QCOMPARE(sink.messages, QStringList{expected});
    QVERIFY(sink.used.isEmpty());
    // The log shows what was read up to the failure, and nothing after it.
    logTail.replaceInStrings("/", QString(QChar::fromLatin1(gw::platform::pathSeparator())));
    QCOMPARE(sink.logLines.first(), "Scanning " + QString::fromStdString(path));
    QCOMPARE(sink.logLines.mid(sink.logLines.size() - logTail.size()), logTail);
}

void TestSongScan::damagedFileMessage_data()
{
    QTest::addColumn<int>("cut"); // bytes kept; -1: a huge machine count instead
    QTest::newRow("cut in the directory") << 20;
    QTest::newRow("cut in PARA") << 60;
    QTest::newRow("cut in MACH") << -2;
    QTest::newRow("huge machine count") << -1;
}

void TestSongScan::damagedFileMessage()
{
    QFETCH(int, cut);
    SongWriter writer;
    writer.addSimple("Gen", "Gen Dll", 1);
    Bytes bytes = writer.build();
    if (cut == -1) {
        setI32(bytes, std::size_t(i32At(bytes, 8 + 12 + 4)), 0x7FFFFFFF);
    } else {
        bytes.resize(cut < 0 ? bytes.size() - 1 : std::size_t(cut));
    }
    const std::string path = nativePath("/songs/damaged.bmx");
    RecordingSink sink;
    const gw::ScanOutcome outcome = scan(path, bytes, sink);
    QVERIFY(!outcome.ok());
    QCOMPARE(sink.messages.size(), 1);
    QVERIFY2(sink.messages.first().startsWith("File " + QString::fromStdString(path) + " "),
             qPrintable(sink.messages.first()));
    QCOMPARE(sink.messages.first(), QString::fromStdString(outcome.message));
}

void TestSongScan::noPath()
{
    RecordingSink sink;
    const gw::ScanOutcome outcome = gw::scanSong("", sink);
    QCOMPARE(QString::fromStdString(outcome.message), "No file selected from bmx list");
    QCOMPARE(sink.messages, QStringList{"No file selected from bmx list"});
    QVERIFY(sink.used.isEmpty());

    // A file that is not there is named in its message too.
    RecordingSink missing;
    const std::string path = std::string(GW_TEST_DATA) + "/songs/no such song.bmx";
    QVERIFY(!gw::scanSong(path, missing).ok());
    QCOMPARE(missing.messages.size(), 1);
    QVERIFY(missing.messages.first().startsWith("File " + QString::fromStdString(path) + " "));
}

void TestSongScan::usedInFileOrder()
{
    RecordingSink sink;
    const gw::ScanOutcome outcome = gw::scanSong(GW_TEST_DATA "/songs/MadBrain_Dynamite6_Demo.bmx", sink);
    QVERIFY(outcome.ok());
    const QString dynamite = "|1|MadBrain's Dynamite 6";
    // Every machine, repeats included: keeping each DLL once is the sink's job.
    const QStringList expected = {
        "Dynamite6" + dynamite,   "Dynamite62" + dynamite,
        "Filter2|2|Jeskola Filter 2", "Reverb2|2|Jeskola Reverb 2",
        "Flanger|2|Jeskola Flanger", "Dynamite63" + dynamite,
        "Ninja|2|Jeskola NiNjA dElaY", "Dynamite64" + dynamite,
        "Dynamite65" + dynamite,  "Dynamite66" + dynamite,
        "Filter22|2|Jeskola Filter 2", "Compressor|2|Geonik's Compressor",
    };
    QCOMPARE(sink.used, expected);
    QCOMPARE(sink.logLines.filter("Machine DLL name ").size(), expected.size());
    QCOMPARE(sink.events.last(), "status: Completed scan of  13 machines in MACH section");
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
    QCOMPARE(QString::fromStdString(gw::pathTail(nativePath(path.toStdString()))),
             QString::fromStdString(nativePath(tail.toStdString())));
}

QTEST_GUILESS_MAIN(TestSongScan)
#include "tst_songscan.moc"
