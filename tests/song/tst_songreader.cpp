#include "SongWriter.h"
#include "song/SongReader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <climits>

using gw::test::SongMachine;
using gw::test::SongWriter;
using Bytes = std::vector<std::uint8_t>;

namespace {

/** The machines a song names, as "name|kind byte|dll", and where the reader stopped. */
struct Read : gw::SongReadListener
{
    void onMachine(const gw::MachineRef& m) override
    {
        machines << QByteArray::fromStdString(m.name + '|' + std::to_string(m.kindByte) + '|' + m.dll);
        generators.push_back(m.isGenerator());
    }
    gw::SongReadResult result;
    QByteArrayList machines;
    std::vector<bool> generators;
    std::uint64_t end = 0;
};

Read read(gw::ByteInput&& input)
{
    Read read;
    read.result = gw::readSong(input, read);
    read.end = input.position();
    return read;
}

Read read(const Bytes& bytes) { return read(gw::ByteInput(std::span<const std::uint8_t>(bytes))); }

SongMachine machine(const std::string& name, std::uint8_t kind)
{
    return {name, name + " type", kind, name + " Dll", {}, {}, 0, {}, 0};
}

} // namespace

class TestSongReader : public QObject
{
    Q_OBJECT

private slots:
    // MACH records are walked with sizes taken from PARA: a wrong size misreads the next machine's name, or the walk
    // misses the end of the file.
    void recordSizes()
    {
        const struct
        {
            const char* tag;
            std::vector<std::uint8_t> globalTypes, trackTypes;
            int tracks, dataSize, attributes; // attributes when negative: written over the real count of 0
        } cases[] = {
            {"type 3 globals take two bytes", {3, 3, 2}, {1}, 2, 0, 0},
            {"type 3 track parameter, three tracks", {1}, {3, 1}, 3, 5, 0},
            {"types 0, 4, 255 take one byte; no tracks", {0, 4, 255}, {3}, 0, 0, 0},
            // Negative counts read nothing.
            {"data size INT_MIN", {1}, {1}, 1, INT_MIN, 0},
            {"attributes -1", {1}, {1}, 1, 0, -1},
            {"tracks -32768", {3}, {3}, -32768, 0, 0},
        };
        for (const auto& c : cases) {
            SongMachine first = machine("First", 1);
            first.globalTypes = c.globalTypes;
            first.trackTypes = c.trackTypes;
            first.tracks = std::int16_t(c.tracks);
            first.dataSize = c.dataSize;
            Bytes bytes = SongWriter().add(first).add(machine("Next", 2)).build();
            if (c.attributes < 0) {
                gw::test::setI16(bytes, gw::test::offsetBehind(bytes, "First Dll") + 12, std::int16_t(c.attributes));
            }
            const Read r = read(bytes);
            QVERIFY2(r.result.ok() && r.end == bytes.size() &&
                         r.machines == QByteArrayList({"First|1|First Dll", "Next|2|Next Dll"}),
                     c.tag);
        }
    }

    void directory()
    {
        // A name listed twice: the last entry wins. The bogus section holds 01 02 03 04: as PARA a huge machine
        // count, as MACH a start inside PARA.
        for (const std::string change : {"MACH before PARA", "32 sections", "bogus PARA first", "bogus MACH last"}) {
            SongWriter writer;
            writer.addSimple("Gen", "Gen Dll", 1);
            writer.machBeforePara = change == "MACH before PARA";
            if (change == "32 sections") {
                writer.otherSections.clear();
                for (int k = 0; k < 30; ++k) {
                    writer.otherSections.push_back("S" + std::to_string(100 + k));
                }
            } else if (change.starts_with("bogus")) {
                writer.otherSections = {change.substr(6, 4)};
            }
            Bytes bytes = writer.build();
            if (change == "bogus MACH last") {
                // Entries of 12 bytes from offset 8: the bogus one, PARA, MACH. Put the bogus one last.
                std::swap_ranges(bytes.begin() + 8, bytes.begin() + 20, bytes.begin() + 32);
            }
            const Read r = read(bytes);
            QVERIFY2((r.result.ok() && r.machines == QByteArrayList{"Gen|1|Gen Dll"}) == (change != "bogus MACH last"),
                     change.c_str());
        }
    }

    void namesAndKindsAsStored()
    {
        SongWriter writer;
        for (const int kind : {0, 1, 2, 255}) {
            writer.add({"  Caf\xe9 ", "", std::uint8_t(kind), " My Gen.DLL  v2 ", {}, {}, 0, {}, 0});
        }
        const QByteArray name = "  Caf\xe9 |", dll = "| My Gen.DLL  v2 ";
        const Read r = read(writer.build());
        QCOMPARE(r.machines, (QByteArrayList{name + "0" + dll, name + "1" + dll, name + "2" + dll, name + "255" + dll}));
        QCOMPARE(r.generators, (std::vector<bool>{false, true, false, false}));
    }

    void fileInputAcrossBufferEdge()
    {
        // A file is read through a 64 KiB window: put a machine name across the window's edge.
        const std::size_t edge = 64 * 1024;
        SongWriter writer;
        writer.add(machine("Big", 1)).add(machine("Straddle", 2)).add(machine("Last", 2));
        writer.machines[1].dataSize = std::int32_t(edge - 3 + 9 - gw::test::offsetBehind(writer.build(), "Straddle"));
        QCOMPARE(gw::test::offsetBehind(writer.build(), "Straddle") - 9, edge - 3);
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.filePath("big.bmx"));
        QVERIFY(writer.writeTo(path.toStdString()));
        const auto readFile = [&] { return read(gw::ByteInput(std::fopen(path.constData(), "rb"))); };
        const Read r = readFile();
        QVERIFY(r.result.ok() && r.end == writer.build().size());
        QCOMPARE(r.machines, (QByteArrayList{"Big|1|Big Dll", "Straddle|2|Straddle Dll", "Last|2|Last Dll"}));
        QVERIFY(QFile::resize(dir.filePath("big.bmx"), qint64(edge + 2)));
        QCOMPARE(readFile().result.failure, gw::SongFailure::Truncated);
    }
};

QTEST_GUILESS_MAIN(TestSongReader)
#include "tst_songreader.moc"
