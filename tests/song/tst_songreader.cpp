#include "song/SongReader.h"
#include "SongWriter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

using gw::SongFailure;
using gw::test::MachineSpec;
using gw::test::setI32;
using gw::test::SongWriter;
using Bytes = std::vector<std::uint8_t>;

Q_DECLARE_METATYPE(gw::SongFailure)

namespace {

class Collect : public gw::SongReadListener
{
public:
    void onMachine(const gw::MachineRef& m) override
    {
        machines << QByteArray::fromStdString(m.name + "|" + std::to_string(m.kindByte) + "|" + m.dll);
        generators.push_back(m.isGenerator());
    }
    QByteArrayList machines; // "name|kind byte|dll"
    std::vector<bool> generators;
};

struct Read
{
    gw::SongReadResult result;
    QByteArrayList machines;
    std::uint64_t position = 0;
    std::vector<bool> generators;
};

Read read(gw::ByteInput&& input)
{
    Collect collect;
    const gw::SongReadResult result = gw::readSong(input, collect);
    return {result, collect.machines, input.position(), collect.generators};
}

Read readBytes(const Bytes& bytes) { return read(gw::ByteInput(std::span<const std::uint8_t>(bytes))); }

Read readFile(const QString& path) { return read(gw::ByteInput(std::fopen(QFile::encodeName(path).constData(), "rb"))); }

QString songPath(const QString& name) { return QStringLiteral(GW_TEST_DATA "/songs/") + name; }

Bytes fileBytes(const QString& path)
{
    QFile file(path);
    const QByteArray data = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    return Bytes(data.begin(), data.end());
}

/** The offset just behind the last occurrence of text (with its zero byte) in bytes. */
std::size_t behind(const Bytes& bytes, const std::string& text)
{
    const std::string needle(text.c_str(), text.size() + 1);
    const auto found = std::find_end(bytes.begin(), bytes.end(), needle.begin(), needle.end());
    return std::size_t(found - bytes.begin()) + needle.size();
}

void setI16(Bytes& bytes, std::size_t offset, int value)
{
    bytes[offset] = std::uint8_t(value & 0xFF);
    bytes[offset + 1] = std::uint8_t((value >> 8) & 0xFF);
}

MachineSpec machineSpec(const std::string& name, const std::string& dll, std::uint8_t kind)
{
    MachineSpec m;
    m.name = name;
    m.typeName = name + " type";
    m.kind = kind;
    m.dll = dll;
    return m;
}

} // namespace

class TestSongReader : public QObject
{
    Q_OBJECT

private slots:
    void realSongs_data();
    void realSongs();
    void recordSizes_data();
    void recordSizes();
    void directory_data();
    void directory();
    void kindsAndNames_data();
    void kindsAndNames();
    void everyTruncationFails_data();
    void everyTruncationFails();
    void fileInputAcrossBufferEdge();
    void damagedValues_data();
    void damagedValues();
};

void TestSongReader::realSongs_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArrayList>("machines");
    QTest::addColumn<qint64>("machEnd"); // MACH offset + size from the file's directory; 0: no PARA

    QTest::newRow("909") << "909.bmx" << QByteArrayList{"909 |1|Rout 909", "Exciter|2|Oomek Exciter"}
                         << qint64(1902 + 163);
    QTest::newRow("Csi") << "Csi.bmx"
                         << QByteArrayList{"909 |1|Rout 909", "11-Delay |2|11-Delay v1.1", "11-CSI |2|11-CSI"}
                         << qint64(1992 + 182);
    QTest::newRow("CyanPhase") << "CyanPhase_DTMF-1_Demo.bmx"
                               << QByteArrayList{"DTMF-1|1|CyanPhase DTMF-1", "Reverb|2|Jeskola Stereo Reverb",
                                                 "Noise|1|Jeskola Noise Generator", "Bass 3|1|Jeskola Bass 3",
                                                 "Gate|2|Geonik's Gate"}
                               << qint64(1528 + 361);
    QTest::newRow("Elak") << "Elak_SVF.bmx" << QByteArrayList{"Bass|1|Jeskola Bass", "SVF|2|Elak SVF"}
                          << qint64(832 + 107);
    const QByteArray d6 = "|1|MadBrain's Dynamite 6";
    QTest::newRow("MadBrain") << "MadBrain_Dynamite6_Demo.bmx"
                              << QByteArrayList{"Dynamite6" + d6, "Dynamite62" + d6, "Filter2|2|Jeskola Filter 2",
                                                "Reverb2|2|Jeskola Reverb 2", "Flanger|2|Jeskola Flanger",
                                                "Dynamite63" + d6, "Ninja|2|Jeskola NiNjA dElaY", "Dynamite64" + d6,
                                                "Dynamite65" + d6, "Dynamite66" + d6, "Filter22|2|Jeskola Filter 2",
                                                "Compressor|2|Geonik's Compressor"}
                              << qint64(7403 + 1005);
    QTest::newRow("buzz1") << "buzz1.bmx" << QByteArrayList{"GoaKick|1|Arguelles GoaKick"} << qint64(668 + 78);
    const QByteArrayList ers = {"ErsKick|1|ErsKick", "ErsSnare|1|ErsSnare", "ErsHihat|1|ErsHihat"};
    QTest::newRow("buzz2") << "buzz2.bmx" << ers << qint64(1192 + 168);
    QTest::newRow("buzz3") << "buzz3.bmx" << (ers + QByteArrayList{"Gur\xfa 2 |1|Arguelles Guru 2"})
                           << qint64(1745 + 233);
    QTest::newRow("FSM, no PARA") << "FSM_Kick_Demo.bmx" << QByteArrayList{} << qint64(0);
    QTest::newRow("Makk, no PARA") << "Makk_M4.bmw" << QByteArrayList{} << qint64(0);
}

void TestSongReader::realSongs()
{
    QFETCH(QString, file);
    QFETCH(QByteArrayList, machines);
    QFETCH(qint64, machEnd);

    for (const Read& r : {readFile(songPath(file)), readBytes(fileBytes(songPath(file)))}) {
        QCOMPARE(r.result.failure, machEnd ? SongFailure::None : SongFailure::NoParaSection);
        QCOMPARE(r.machines, machines);
        // Every byte of every record was accounted for: the walk stops exactly at the end of MACH.
        if (machEnd) {
            QCOMPARE(qint64(r.position), machEnd);
        }
    }
}

void TestSongReader::recordSizes_data()
{
    QTest::addColumn<QByteArray>("globalTypes");
    QTest::addColumn<QByteArray>("trackTypes");
    QTest::addColumn<int>("tracks");
    QTest::addColumn<int>("dataSize");
    QTest::addColumn<int>("attributes"); // when negative, written over the real count of 0

    // Global state 2 + 2 + 1 = 5 bytes; two tracks of one byte.
    QTest::newRow("globals 3,3,2; two tracks of type 1") << QByteArray("\3\3\2") << QByteArray("\1") << 2 << 0 << 0;
    QTest::newRow("type 3 track parameter, three tracks") << QByteArray("\1") << QByteArray("\3\1") << 3 << 5 << 0;
    QTest::newRow("type 3 track parameter, no tracks") << QByteArray() << QByteArray("\3") << 0 << 0 << 0;
    QTest::newRow("types 0, 4, 255 take one byte") << QByteArray("\0\4\xff", 3) << QByteArray("\0", 1) << 1 << 0 << 0;
    // Negative counts read nothing.
    QTest::newRow("data size -1") << QByteArray("\1") << QByteArray("\1") << 1 << -1 << 0;
    QTest::newRow("data size INT_MIN") << QByteArray("\1") << QByteArray("\1") << 1 << INT_MIN << 0;
    QTest::newRow("attributes -1") << QByteArray("\1") << QByteArray("\1") << 1 << 0 << -1;
    QTest::newRow("attributes -32768") << QByteArray("\1") << QByteArray("\1") << 1 << 0 << -32768;
    QTest::newRow("tracks -1") << QByteArray("\1") << QByteArray("\1") << -1 << 0 << 0;
    QTest::newRow("tracks -32768") << QByteArray("\3") << QByteArray("\3") << -32768 << 0 << 0;
}

void TestSongReader::recordSizes()
{
    QFETCH(QByteArray, globalTypes);
    QFETCH(QByteArray, trackTypes);
    QFETCH(int, tracks);
    QFETCH(int, dataSize);
    QFETCH(int, attributes);

    MachineSpec first = machineSpec("First", "First Dll", 1);
    first.globalTypes.assign(globalTypes.begin(), globalTypes.end());
    first.trackTypes.assign(trackTypes.begin(), trackTypes.end());
    first.tracks = std::int16_t(tracks);
    first.dataSize = dataSize; // the writer writes no data bytes for a negative size
    SongWriter writer;
    writer.add(first).add(machineSpec("Next", "Next Dll", 2));
    Bytes bytes = writer.build();
    if (attributes < 0) {
        setI16(bytes, behind(bytes, "First Dll") + 8 + 4, attributes);
    }

    // A wrong size misreads the next machine's name, or the walk misses the end of the file.
    const Read r = readBytes(bytes);
    QCOMPARE(r.result.failure, SongFailure::None);
    QCOMPARE(r.machines, (QByteArrayList{"First|1|First Dll", "Next|2|Next Dll"}));
    QCOMPARE(r.position, bytes.size());
}

void TestSongReader::directory_data()
{
    QTest::addColumn<QByteArray>("change");
    QTest::addColumn<bool>("readsWell");

    QTest::newRow("MACH before PARA") << QByteArray("MACH before PARA") << true;
    QTest::newRow("32 sections, PARA and MACH last") << QByteArray("32 sections") << true;
    // The extra section holds 01 02 03 04: as PARA a huge machine count, as MACH a start inside PARA.
    QTest::newRow("bogus PARA first") << QByteArray("PARA first") << true;
    QTest::newRow("bogus PARA last") << QByteArray("PARA last") << false;
    QTest::newRow("bogus MACH first") << QByteArray("MACH first") << true;
    QTest::newRow("bogus MACH last") << QByteArray("MACH last") << false;
}

void TestSongReader::directory()
{
    QFETCH(QByteArray, change);
    QFETCH(bool, readsWell);

    SongWriter writer;
    writer.addSimple("Gen", "Gen Dll", 1);
    writer.machBeforePara = change == "MACH before PARA";
    if (change == "32 sections") {
        writer.otherSections.clear();
        for (int k = 0; k < 30; ++k) {
            writer.otherSections.push_back("S" + std::to_string(100 + k));
        }
    } else if (change.endsWith("first") || change.endsWith("last")) {
        writer.otherSections = {change.left(4).toStdString()};
    }
    Bytes bytes = writer.build();
    if (change.endsWith("last")) {
        // Entries are: 0 the bogus one, 1 PARA, 2 MACH. Move the bogus one behind the real one of its name.
        const std::ptrdiff_t real = change.startsWith("PARA") ? 1 : 2;
        std::swap_ranges(bytes.begin() + 8, bytes.begin() + 20, bytes.begin() + 8 + 12 * real);
    }
    const Read r = readBytes(bytes);
    QCOMPARE(r.result.ok() && r.machines == QByteArrayList{"Gen|1|Gen Dll"}, readsWell);
}

void TestSongReader::kindsAndNames_data()
{
    QTest::addColumn<int>("kind");
    for (const int kind : {0, 1, 2, 7, 255}) {
        QTest::addRow("kind %d", kind) << kind;
    }
}

void TestSongReader::kindsAndNames()
{
    QFETCH(int, kind);
    // Names are kept as stored: blanks, letter case and 8-bit bytes.
    SongWriter writer;
    writer.add(machineSpec("  Caf\xe9 ", " My Gen.DLL  v2 ", std::uint8_t(kind)));
    const Read r = readBytes(writer.build());
    QCOMPARE(r.machines, QByteArrayList{"  Caf\xe9 |" + QByteArray::number(kind) + "| My Gen.DLL  v2 "});
    QCOMPARE(r.generators, std::vector<bool>{kind == 1});
}

void TestSongReader::everyTruncationFails_data()
{
    QTest::addColumn<QString>("file"); // empty: a written song
    QTest::newRow("written") << QString();
    QTest::newRow("buzz3.bmx") << "buzz3.bmx";
}

void TestSongReader::everyTruncationFails()
{
    QFETCH(QString, file);
    SongWriter writer;
    writer.addSimple("Gen", "Gen Dll", 1).addSimple("Eff", "Eff Dll", 2);
    const Bytes bytes = file.isEmpty() ? writer.build() : fileBytes(songPath(file));
    // The end of MACH; the sections behind it in the real song are not read.
    const std::size_t end = file.isEmpty() ? bytes.size() : 1745 + 233;
    QVERIFY(end <= bytes.size());
    for (std::size_t length = 0; length < end; ++length) {
        const Read r = readBytes(Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(length)));
        QVERIFY2(!r.result.ok() && r.position <= length, qPrintable(QString("length %1").arg(length)));
    }
    QVERIFY(readBytes(Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(end))).result.ok());
}

void TestSongReader::fileInputAcrossBufferEdge()
{
    // A file is read through a 64 KiB window: put a machine name across the window's edge.
    const std::size_t edge = 64 * 1024;
    SongWriter writer;
    writer.add(machineSpec("Big", "Big Dll", 1)).add(machineSpec("Straddle", "Straddle Dll", 2));
    writer.add(machineSpec("Last", "Last Dll", 2));
    const std::size_t nameAt = behind(writer.build(), "Straddle") - 9;
    writer.machines[1].dataSize = std::int32_t(edge - 3 - nameAt);
    QCOMPARE(behind(writer.build(), "Straddle") - 9, edge - 3);

    QTemporaryDir dir;
    const QString path = dir.filePath("big.bmx");
    QVERIFY(writer.writeTo(QFile::encodeName(path).toStdString()));
    const Read r = readFile(path);
    QCOMPARE(r.result.failure, SongFailure::None);
    QCOMPARE(r.machines, (QByteArrayList{"Big|1|Big Dll", "Straddle|2|Straddle Dll", "Last|2|Last Dll"}));
    QCOMPARE(r.position, writer.build().size());
    QVERIFY(QFile::resize(path, qint64(edge + 2)));
    QCOMPARE(readFile(path).result.failure, SongFailure::Truncated);
}

void TestSongReader::damagedValues_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<int>("value");
    QTest::addColumn<SongFailure>("failure");

    const auto row = [](const char* tag, const char* field, int value, SongFailure failure) {
        QTest::newRow(tag) << QByteArray(field) << value << failure;
    };
    row("magic in lower case", "magic", 'b' | 'u' << 8 | 'z' << 16 | 'z' << 24, SongFailure::MissingHeader);
    row("magic in upper case", "magic", 'B' | 'U' << 8 | 'Z' << 16 | 'Z' << 24, SongFailure::MissingHeader);
    row("file of three bytes", "length", 3, SongFailure::MissingHeader);
    row("empty file", "length", 0, SongFailure::MissingHeader);
    row("33 sections", "sections", 33, SongFailure::TooManySections);
    row("INT_MAX sections", "sections", INT_MAX, SongFailure::TooManySections);
    row("0 sections", "sections", 0, SongFailure::NoParaSection);
    row("-1 sections", "sections", -1, SongFailure::NoParaSection);
    row("PARA named para", "paraName", 0, SongFailure::NoParaSection);
    row("MACH named mach", "machName", 0, SongFailure::NoMachSection);
    // The master alone: nothing is reported, even though MACH holds a record.
    row("1 machine", "machines", 1, SongFailure::None);
    row("0 machines", "machines", 0, SongFailure::None);
    row("INT_MIN machines", "machines", INT_MIN, SongFailure::None);
    row("INT_MAX machines", "machines", INT_MAX, SongFailure::CountTooLarge);
    row("globals INT_MAX", "globals", INT_MAX, SongFailure::CountTooLarge);
    row("tracks INT_MAX", "tracks", INT_MAX, SongFailure::CountTooLarge);
    row("globals and tracks INT_MAX (sum beyond 32 bits)", "both", INT_MAX, SongFailure::CountTooLarge);
    row("data size INT_MAX", "data", INT_MAX, SongFailure::Truncated);
    row("32767 attributes", "attributes", 32767, SongFailure::Truncated);
    row("32767 tracks", "trackCount", 32767, SongFailure::Truncated);
    row("PARA offset -1", "paraOffset", -1, SongFailure::Truncated);
    row("PARA offset INT_MIN", "paraOffset", INT_MIN, SongFailure::Truncated);
    row("PARA offset past the end", "paraOffset", 100000, SongFailure::Truncated);
    row("MACH offset -1", "machOffset", -1, SongFailure::Truncated);
    row("MACH offset -31", "machOffset", -31, SongFailure::Truncated);
    row("MACH offset INT_MAX", "machOffset", INT_MAX, SongFailure::Truncated);
}

void TestSongReader::damagedValues()
{
    QFETCH(QByteArray, field);
    QFETCH(int, value);
    QFETCH(SongFailure, failure);

    MachineSpec machine = machineSpec("Odd", "Odd Dll", 1);
    machine.globalTypes = {1};
    machine.trackTypes = {1};
    machine.tracks = 1;
    SongWriter writer;
    writer.add(machine);
    Bytes bytes = writer.build();
    QVERIFY(readBytes(bytes).result.ok()); // sound before the change

    // Directory: BVER, PARA, MACH.
    const std::size_t para = bytes[24] | bytes[25] << 8;
    const std::size_t globals = behind(bytes, "Odd type");
    const std::size_t data = behind(bytes, "Odd Dll") + 8;
    const std::map<QByteArray, std::size_t> i32Fields = {
        {"magic", 0},        {"sections", 4},      {"paraOffset", 24},      {"machOffset", 36},
        {"machines", para}, {"globals", globals}, {"tracks", globals + 4}, {"data", data}};
    if (i32Fields.count(field)) {
        setI32(bytes, i32Fields.at(field), value);
    } else if (field == "both") {
        setI32(bytes, globals, value);
        setI32(bytes, globals + 4, value);
    } else if (field == "attributes" || field == "trackCount") {
        setI16(bytes, data + 4 + (field == "attributes" ? 0 : 2 + 1), value);
    } else if (field == "paraName" || field == "machName") {
        std::transform(bytes.begin() + (field == "paraName" ? 20 : 32),
                       bytes.begin() + (field == "paraName" ? 24 : 36), bytes.begin() + (field == "paraName" ? 20 : 32),
                       [](std::uint8_t c) { return std::uint8_t(c | 0x20); });
    } else if (field == "length") {
        bytes.resize(std::size_t(value));
    }

    QElapsedTimer timer;
    timer.start();
    const Read r = readBytes(bytes);
    QCOMPARE(r.result.failure, failure);
    if (field == "machines" && failure == SongFailure::CountTooLarge) {
        QCOMPARE(r.result.count, qint64(value));
    }
    // Only damage behind the machine's DLL name lets the machine be reported.
    if (field != "data" && field != "attributes" && field != "trackCount") {
        QVERIFY(r.machines.isEmpty());
    }
    QVERIFY2(timer.elapsed() < 1000, "a damaged value must not make the reader loop or allocate much");
}

QTEST_GUILESS_MAIN(TestSongReader)
#include "tst_songreader.moc"
