#include "song/SongReader.h"
#include "SongWriter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

using gw::SongFailure;
using gw::test::MachineSpec;
using gw::test::putI16;
using gw::test::putI32;
using gw::test::putText;
using gw::test::setI32;
using gw::test::SongWriter;
using Bytes = std::vector<std::uint8_t>;

Q_DECLARE_METATYPE(gw::SongFailure)

namespace {

class Collect : public gw::SongReadListener
{
public:
    void onMachine(const gw::MachineRef& machine) override
    {
        machines.push_back(QByteArray::fromStdString(machine.name + "|" + std::to_string(machine.kindByte) + "|" +
                                                     machine.dll));
        generators.push_back(machine.isGenerator());
    }
    QByteArrayList machines; // "name|kind byte|dll"
    std::vector<bool> generators;
};

struct Read
{
    gw::SongReadResult result;
    QByteArrayList machines;
    std::uint64_t position = 0;
};

Read readBytes(const Bytes& bytes)
{
    gw::ByteInput input{std::span<const std::uint8_t>(bytes)};
    Collect collect;
    Read read{gw::readSong(input, collect), collect.machines, input.position()};
    return read;
}

Read readFile(const QString& path)
{
    gw::ByteInput input(std::fopen(QFile::encodeName(path).constData(), "rb"));
    Collect collect;
    Read read{gw::readSong(input, collect), collect.machines, input.position()};
    return read;
}

Bytes fileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray data = file.readAll();
    return Bytes(data.begin(), data.end());
}

QString songPath(const char* name) { return QStringLiteral(GW_TEST_DATA "/songs/") + QLatin1String(name); }

/** A song of the given sections, in order, with the directory pointing at each. */
Bytes assemble(const std::vector<std::pair<std::string, Bytes>>& sections)
{
    Bytes out = {'B', 'u', 'z', 'z'};
    putI32(out, std::int32_t(sections.size()));
    std::size_t offset = 8 + 12 * sections.size();
    for (const auto& [name, bytes] : sections) {
        out.insert(out.end(), name.begin(), name.end());
        putI32(out, std::int32_t(offset));
        putI32(out, std::int32_t(bytes.size()));
        offset += bytes.size();
    }
    for (const auto& section : sections) {
        out.insert(out.end(), section.second.begin(), section.second.end());
    }
    return out;
}

/** A PARA record without parameters. */
void putParaMachine(Bytes& out, const std::string& name, std::int32_t globals = 0, std::int32_t tracks = 0)
{
    putText(out, name);
    putText(out, name + " type");
    putI32(out, globals);
    putI32(out, tracks);
}

/** The start of a MACH section: the master's 31 bytes. */
Bytes machStart()
{
    Bytes out;
    putI16(out, 3);
    putText(out, "Master");
    out.resize(31, 0);
    return out;
}

/** A MACH record of a machine without parameters, data, attributes or tracks. */
void putPlainMachine(Bytes& out, const std::string& name, const std::string& dll)
{
    putText(out, name);
    out.push_back(1);
    putText(out, dll);
    out.resize(out.size() + 8, 0x33);
    putI32(out, 0);
    putI16(out, 0);
    putI16(out, 0);
}

MachineSpec machineSpec(const std::string& name, const std::string& dll, std::uint8_t kind)
{
    MachineSpec m;
    m.name = name;
    m.typeName = dll;
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
    void songsWithoutPara_data();
    void songsWithoutPara();
    void stateSizes_data();
    void stateSizes();
    void negativeCountsReadNothing_data();
    void negativeCountsReadNothing();
    void missingHeader_data();
    void missingHeader();
    void sectionCounts_data();
    void sectionCounts();
    void machBeforePara();
    void lastEntryOfANameWins_data();
    void lastEntryOfANameWins();
    void kindBytes_data();
    void kindBytes();
    void namesKeptVerbatim();
    void noMachinesBeyondMaster_data();
    void noMachinesBeyondMaster();
    void everyTruncationFails_data();
    void everyTruncationFails();
    void fileInputAcrossBufferBoundary();
    void hostileValues_data();
    void hostileValues();
    void hugeMachineCountFailsQuickly();
    void missingMach();
};

void TestSongReader::realSongs_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArrayList>("machines");
    QTest::addColumn<qint64>("machEnd"); // MACH offset + size from the file's directory

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
    const QByteArray dynamite = "|1|MadBrain's Dynamite 6";
    QTest::newRow("MadBrain") << "MadBrain_Dynamite6_Demo.bmx"
                              << QByteArrayList{"Dynamite6" + dynamite,   "Dynamite62" + dynamite,
                                                "Filter2|2|Jeskola Filter 2", "Reverb2|2|Jeskola Reverb 2",
                                                "Flanger|2|Jeskola Flanger", "Dynamite63" + dynamite,
                                                "Ninja|2|Jeskola NiNjA dElaY", "Dynamite64" + dynamite,
                                                "Dynamite65" + dynamite,  "Dynamite66" + dynamite,
                                                "Filter22|2|Jeskola Filter 2", "Compressor|2|Geonik's Compressor"}
                              << qint64(7403 + 1005);
    QTest::newRow("buzz1") << "buzz1.bmx" << QByteArrayList{"GoaKick|1|Arguelles GoaKick"} << qint64(668 + 78);
    const QByteArrayList ers = {"ErsKick|1|ErsKick", "ErsSnare|1|ErsSnare", "ErsHihat|1|ErsHihat"};
    QTest::newRow("buzz2") << "buzz2.bmx" << ers << qint64(1192 + 168);
    QTest::newRow("buzz3") << "buzz3.bmx" << (ers + QByteArrayList{"Gur\xfa 2 |1|Arguelles Guru 2"})
                           << qint64(1745 + 233);
}

void TestSongReader::realSongs()
{
    QFETCH(QString, file);
    QFETCH(QByteArrayList, machines);
    QFETCH(qint64, machEnd);

    const Read read = readFile(songPath(qPrintable(file)));
    QCOMPARE(read.result.failure, SongFailure::None);
    QCOMPARE(read.machines, machines);
    // Every byte of every record was accounted for: the walk stops exactly at the end of MACH.
    QCOMPARE(qint64(read.position), machEnd);
    // Reading from memory gives the same.
    const Read fromMemory = readBytes(fileBytes(songPath(qPrintable(file))));
    QCOMPARE(fromMemory.machines, machines);
    QCOMPARE(qint64(fromMemory.position), machEnd);
}

void TestSongReader::songsWithoutPara_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("FSM") << "FSM_Kick_Demo.bmx";
    QTest::newRow("Makk") << "Makk_M4.bmw";
}

void TestSongReader::songsWithoutPara()
{
    QFETCH(QString, file);
    const Read read = readFile(songPath(qPrintable(file)));
    QCOMPARE(read.result.failure, SongFailure::NoParaSection);
    QVERIFY(read.machines.isEmpty());
}

void TestSongReader::stateSizes_data()
{
    QTest::addColumn<QByteArray>("globalTypes");
    QTest::addColumn<QByteArray>("trackTypes");
    QTest::addColumn<int>("tracks");

    // Global state 2 + 2 + 1 = 5 bytes; two tracks of one byte.
    QTest::newRow("globals 3,3,2; two tracks of type 1") << QByteArray("\x03\x03\x02") << QByteArray("\x01") << 2;
    QTest::newRow("type 3 track parameter, three tracks") << QByteArray("\x01") << QByteArray("\x03\x01") << 3;
    QTest::newRow("type 3 track parameter, no tracks") << QByteArray() << QByteArray("\x03") << 0;
    QTest::newRow("types 0, 4 and 255 take one byte") << QByteArray("\x00\x04\xff", 3) << QByteArray("\x00", 1) << 1;
}

void TestSongReader::stateSizes()
{
    QFETCH(QByteArray, globalTypes);
    QFETCH(QByteArray, trackTypes);
    QFETCH(int, tracks);

    MachineSpec first = machineSpec("First", "First Dll", 1);
    first.globalTypes.assign(globalTypes.begin(), globalTypes.end());
    first.trackTypes.assign(trackTypes.begin(), trackTypes.end());
    first.tracks = std::int16_t(tracks);
    SongWriter writer;
    writer.add(first).add(machineSpec("Next", "Next Dll", 2));
    const Bytes bytes = writer.build();

    // A wrong state size misreads the next machine's name, or the walk misses the end of the file.
    const Read read = readBytes(bytes);
    QCOMPARE(read.result.failure, SongFailure::None);
    QCOMPARE(read.machines, (QByteArrayList{"First|1|First Dll", "Next|2|Next Dll"}));
    QCOMPARE(read.position, bytes.size());
}

void TestSongReader::negativeCountsReadNothing_data()
{
    QTest::addColumn<int>("dataSize");
    QTest::addColumn<int>("attributes");
    QTest::addColumn<int>("tracks");

    QTest::newRow("data size -1") << -1 << 0 << 0;
    QTest::newRow("data size INT_MIN") << INT_MIN << 0 << 0;
    QTest::newRow("attributes -1") << 0 << -1 << 0;
    QTest::newRow("attributes -32768") << 0 << -32768 << 0;
    QTest::newRow("tracks -1") << 0 << 0 << -1;
    QTest::newRow("tracks -32768") << 0 << 0 << -32768;
    QTest::newRow("all negative") << -7 << -2 << -3;
}

void TestSongReader::negativeCountsReadNothing()
{
    QFETCH(int, dataSize);
    QFETCH(int, attributes);
    QFETCH(int, tracks);

    Bytes para;
    putI32(para, 3);
    putParaMachine(para, "Master");
    putParaMachine(para, "Neg", 1, 1); // one global and one track parameter of type 1
    for (int p = 0; p < 2; ++p) {
        para.push_back(1);
        putText(para, "P");
        for (int v = 0; v < 5; ++v) {
            putI32(para, v);
        }
    }
    putParaMachine(para, "After");

    Bytes mach = machStart();
    putText(mach, "Neg");
    mach.push_back(2);
    putText(mach, "Neg Dll");
    mach.resize(mach.size() + 8, 0x44);
    putI32(mach, dataSize);
    putI16(mach, std::int16_t(attributes));
    mach.push_back(0x55); // the one global's state
    putI16(mach, std::int16_t(tracks));
    putPlainMachine(mach, "After", "After Dll");

    const Bytes bytes = assemble({{"PARA", para}, {"MACH", mach}});
    const Read read = readBytes(bytes);
    QCOMPARE(read.result.failure, SongFailure::None);
    QCOMPARE(read.machines, (QByteArrayList{"Neg|2|Neg Dll", "After|1|After Dll"}));
    QCOMPARE(read.position, bytes.size());
}

void TestSongReader::missingHeader_data()
{
    QTest::addColumn<QByteArray>("magic");
    QTest::newRow("lower case") << QByteArray("buzz");
    QTest::newRow("upper case") << QByteArray("BUZZ");
    QTest::newRow("other") << QByteArray("RIFF");
    QTest::newRow("cut after three bytes") << QByteArray("Buz");
    QTest::newRow("empty file") << QByteArray();
}

void TestSongReader::missingHeader()
{
    QFETCH(QByteArray, magic);
    SongWriter writer;
    writer.addSimple("Gen", "Gen Dll", 1);
    Bytes bytes = writer.build();
    if (magic.size() < 4) {
        bytes.assign(magic.begin(), magic.end());
    } else {
        std::copy(magic.begin(), magic.end(), bytes.begin());
    }
    const Read read = readBytes(bytes);
    QCOMPARE(read.result.failure, SongFailure::MissingHeader);
    QVERIFY(read.machines.isEmpty());
}

void TestSongReader::sectionCounts_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<SongFailure>("failure");

    QTest::newRow("32") << 32 << SongFailure::None;
    QTest::newRow("33") << 33 << SongFailure::TooManySections;
    QTest::newRow("INT_MAX") << INT_MAX << SongFailure::TooManySections;
    QTest::newRow("0") << 0 << SongFailure::NoParaSection;
    QTest::newRow("-1") << -1 << SongFailure::NoParaSection;
    QTest::newRow("INT_MIN") << INT_MIN << SongFailure::NoParaSection;
}

void TestSongReader::sectionCounts()
{
    QFETCH(int, count);
    QFETCH(SongFailure, failure);

    SongWriter writer;
    writer.addSimple("Gen", "Gen Dll", 1);
    writer.otherSections.clear();
    // PARA and MACH come last, so with 32 the reader must take in every entry to find them.
    for (int k = 0; k < std::clamp(count, 0, 33) - 2; ++k) {
        writer.otherSections.push_back(QByteArray::number(100 + k).rightJustified(4, 'X').toStdString());
    }
    Bytes bytes = writer.build();
    setI32(bytes, 4, count);

    const Read read = readBytes(bytes);
    QCOMPARE(read.result.failure, failure);
    QCOMPARE(read.machines, failure == SongFailure::None ? QByteArrayList{"Gen|1|Gen Dll"} : QByteArrayList{});
}

void TestSongReader::machBeforePara()
{
    SongWriter writer;
    writer.addSimple("Gen", "Gen Dll", 1).addSimple("Eff", "Eff Dll", 2);
    writer.machBeforePara = true;
    const Read read = readBytes(writer.build());
    QCOMPARE(read.result.failure, SongFailure::None);
    QCOMPARE(read.machines, (QByteArrayList{"Gen|1|Gen Dll", "Eff|2|Eff Dll"}));
}

void TestSongReader::lastEntryOfANameWins_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("bogusLast");

    QTest::newRow("PARA, real one last") << QByteArray("PARA") << false;
    QTest::newRow("PARA, bogus one last") << QByteArray("PARA") << true;
    QTest::newRow("MACH, real one last") << QByteArray("MACH") << false;
    QTest::newRow("MACH, bogus one last") << QByteArray("MACH") << true;
}

void TestSongReader::lastEntryOfANameWins()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, bogusLast);

    SongWriter writer;
    writer.addSimple("Gen", "Gen Dll", 1);
    // The first section holds 01 02 03 04: as PARA a huge machine count, as MACH a start inside PARA.
    writer.otherSections = {name.toStdString()};
    Bytes bytes = writer.build();
    if (bogusLast) {
        // Directory entries: 0 bogus, 1 PARA, 2 MACH. Move the bogus one behind the real one of its name.
        const std::size_t real = name == "PARA" ? 1 : 2;
        std::swap_ranges(bytes.begin() + 8, bytes.begin() + 20, bytes.begin() + std::ptrdiff_t(8 + 12 * real));
    }
    const Read read = readBytes(bytes);
    const bool readWell = read.result.ok() && read.machines == QByteArrayList{"Gen|1|Gen Dll"};
    QCOMPARE(readWell, !bogusLast);
}

void TestSongReader::kindBytes_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("0") << 0;
    QTest::newRow("1") << 1;
    QTest::newRow("2") << 2;
    QTest::newRow("7") << 7;
    QTest::newRow("255") << 255;
}

void TestSongReader::kindBytes()
{
    QFETCH(int, kind);
    SongWriter writer;
    writer.addSimple("M", "M Dll", std::uint8_t(kind));
    const Bytes bytes = writer.build();
    gw::ByteInput input{std::span<const std::uint8_t>(bytes)};
    Collect collect;
    QVERIFY(gw::readSong(input, collect).ok());
    QCOMPARE(collect.machines, QByteArrayList{"M|" + QByteArray::number(kind) + "|M Dll"});
    QCOMPARE(collect.generators, std::vector<bool>{kind == 1});
}

void TestSongReader::namesKeptVerbatim()
{
    SongWriter writer;
    writer.add(machineSpec("  Caf\xe9 ", " My Gen.DLL  v2 ", 1)).add(machineSpec("a", "A", 2));
    const Read read = readBytes(writer.build());
    QCOMPARE(read.machines, (QByteArrayList{"  Caf\xe9 |1| My Gen.DLL  v2 ", "a|2|A"}));
}

void TestSongReader::noMachinesBeyondMaster_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("1") << 1;
    QTest::newRow("0") << 0;
    QTest::newRow("-1") << -1;
    QTest::newRow("INT_MIN") << INT_MIN;
}

void TestSongReader::noMachinesBeyondMaster()
{
    QFETCH(int, count);
    Bytes para;
    putI32(para, count);
    putParaMachine(para, "Master");
    Bytes mach = machStart();
    putPlainMachine(mach, "Stray", "Stray Dll"); // must not be reported
    const Read read = readBytes(assemble({{"PARA", para}, {"MACH", mach}}));
    QCOMPARE(read.result.failure, SongFailure::None);
    QVERIFY(read.machines.isEmpty());
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
    Bytes bytes;
    std::size_t end = 0;
    if (file.isEmpty()) {
        SongWriter writer;
        writer.addSimple("Gen", "Gen Dll", 1).addSimple("Eff", "Eff Dll", 2);
        bytes = writer.build();
        end = bytes.size();
    } else {
        bytes = fileBytes(songPath(qPrintable(file)));
        end = 1745 + 233; // the end of MACH; the sections behind it are not read
    }
    QVERIFY(end <= bytes.size());
    for (std::size_t length = 0; length < end; ++length) {
        const Bytes cut(bytes.begin(), bytes.begin() + std::ptrdiff_t(length));
        const Read read = readBytes(cut);
        QVERIFY2(!read.result.ok(), qPrintable(QString("length %1").arg(length)));
        QVERIFY2(read.position <= length, qPrintable(QString("length %1").arg(length)));
    }
    QVERIFY(readBytes(Bytes(bytes.begin(), bytes.begin() + std::ptrdiff_t(end))).result.ok());
}

void TestSongReader::fileInputAcrossBufferBoundary()
{
    // A file reads through a 64 KiB window: put a machine name across the window's edge.
    const std::size_t edge = 64 * 1024;
    MachineSpec big = machineSpec("Big", "Big Dll", 1);
    SongWriter writer;
    writer.add(big).add(machineSpec("Straddle", "Straddle Dll", 2)).add(machineSpec("Last", "Last Dll", 2));
    const std::string needle("Straddle\0", 9);
    const auto offsetOfName = [&] {
        const Bytes bytes = writer.build();
        const auto mach = std::search(bytes.rbegin(), bytes.rend(), needle.rbegin(), needle.rend());
        return std::size_t(bytes.rend() - mach) - needle.size();
    };
    writer.machines[1].dataSize = std::int32_t(edge - 3 - offsetOfName());
    QCOMPARE(offsetOfName(), edge - 3);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("big.bmx");
    QVERIFY(writer.writeTo(QFile::encodeName(path).toStdString()));
    const Read read = readFile(path);
    QCOMPARE(read.result.failure, SongFailure::None);
    QCOMPARE(read.machines, (QByteArrayList{"Big|1|Big Dll", "Straddle|2|Straddle Dll", "Last|2|Last Dll"}));
    QCOMPARE(read.position, writer.build().size());

    QVERIFY(QFile::resize(path, qint64(edge + 2)));
    QCOMPARE(readFile(path).result.failure, SongFailure::Truncated);
}

void TestSongReader::hostileValues_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<int>("value");
    QTest::addColumn<SongFailure>("failure");

    QTest::newRow("globals INT_MAX") << QByteArray("globals") << INT_MAX << SongFailure::CountTooLarge;
    QTest::newRow("tracks INT_MAX") << QByteArray("tracks") << INT_MAX << SongFailure::CountTooLarge;
    // Their sum overflows 32 bits.
    QTest::newRow("globals and tracks INT_MAX") << QByteArray("both") << INT_MAX << SongFailure::CountTooLarge;
    QTest::newRow("data size INT_MAX") << QByteArray("data") << INT_MAX << SongFailure::Truncated;
    QTest::newRow("attributes 32767") << QByteArray("attributes") << 32767 << SongFailure::Truncated;
    QTest::newRow("tracks of state 32767") << QByteArray("trackCount") << 32767 << SongFailure::Truncated;
    QTest::newRow("PARA offset -1") << QByteArray("paraOffset") << -1 << SongFailure::Truncated;
    QTest::newRow("PARA offset INT_MIN") << QByteArray("paraOffset") << INT_MIN << SongFailure::Truncated;
    QTest::newRow("PARA offset past the end") << QByteArray("paraOffset") << 100000 << SongFailure::Truncated;
    QTest::newRow("MACH offset -1") << QByteArray("machOffset") << -1 << SongFailure::Truncated;
    QTest::newRow("MACH offset -31") << QByteArray("machOffset") << -31 << SongFailure::Truncated;
    QTest::newRow("MACH offset INT_MAX") << QByteArray("machOffset") << INT_MAX << SongFailure::Truncated;
}

void TestSongReader::hostileValues()
{
    QFETCH(QByteArray, field);
    QFETCH(int, value);
    QFETCH(SongFailure, failure);

    Bytes para;
    putI32(para, 2);
    putParaMachine(para, "Master");
    putParaMachine(para, "Hostile", 0, 1);
    const std::size_t globalsAt = para.size() - 8;
    para.push_back(1);
    putText(para, "P");
    para.resize(para.size() + 20, 0);
    Bytes mach = machStart();
    putText(mach, "Hostile");
    mach.push_back(1);
    putText(mach, "Hostile Dll");
    mach.resize(mach.size() + 8, 0);
    const std::size_t dataAt = mach.size();
    putI32(mach, 0);
    putI16(mach, 0);
    const std::size_t trackCountAt = mach.size();
    putI16(mach, 1);
    mach.push_back(0x66);
    QVERIFY(readBytes(assemble({{"PARA", para}, {"MACH", mach}})).result.ok()); // sound before the change

    if (field == "globals" || field == "both") {
        setI32(para, globalsAt, value);
    }
    if (field == "tracks" || field == "both") {
        setI32(para, globalsAt + 4, value);
    }
    if (field == "data") {
        setI32(mach, dataAt, value);
    }
    if (field == "attributes") {
        mach[dataAt + 4] = 0xFF;
        mach[dataAt + 5] = 0x7F;
    }
    if (field == "trackCount") {
        mach[trackCountAt] = std::uint8_t(value & 0xFF);
        mach[trackCountAt + 1] = std::uint8_t(value >> 8);
    }
    Bytes bytes = assemble({{"PARA", para}, {"MACH", mach}});
    if (field == "paraOffset") {
        setI32(bytes, 8 + 4, value);
    }
    if (field == "machOffset") {
        setI32(bytes, 8 + 12 + 4, value);
    }

    QElapsedTimer timer;
    timer.start();
    const Read read = readBytes(bytes);
    QCOMPARE(read.result.failure, failure);
    QVERIFY2(timer.elapsed() < 1000, "a hostile count must not make the reader loop");
}

void TestSongReader::hugeMachineCountFailsQuickly()
{
    Bytes para;
    putI32(para, INT_MAX);
    putParaMachine(para, "Master");
    const Bytes bytes = assemble({{"PARA", para}, {"MACH", machStart()}});
    QElapsedTimer timer;
    timer.start();
    const Read read = readBytes(bytes);
    QCOMPARE(read.result.failure, SongFailure::CountTooLarge);
    QCOMPARE(read.result.count, qint64(INT_MAX));
    QVERIFY(read.machines.isEmpty());
    QVERIFY(timer.elapsed() < 1000);
}

void TestSongReader::missingMach()
{
    SongWriter writer;
    writer.addSimple("Gen", "Gen Dll", 1);
    writer.withMach = false;
    const Read read = readBytes(writer.build());
    QCOMPARE(read.result.failure, SongFailure::NoMachSection);
    QVERIFY(read.machines.isEmpty());
}

QTEST_GUILESS_MAIN(TestSongReader)
#include "tst_songreader.moc"
