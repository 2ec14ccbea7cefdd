// The song layer as a scan shows it: the user's texts, damaged and hostile songs, record layouts, the search of MACH
// in songs without PARA, and every real song cut at every byte.
#include "SongWriter.h"
#include "base/Platform.h"
#include "song/MachineRecordSearch.h"
#include "song/SongScan.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <functional>

using gw::test::offsetBehind;
using gw::test::setI16;
using gw::test::setI32;
using gw::test::SongWriter;
using Bytes = std::vector<std::uint8_t>;

namespace {

/** Every call in order as "kind: text"; quiet keeps only messages and machines, for the many scans of a sweep. */
struct Sink : gw::ScanSink
{
    void setStatus(const std::string& text, bool) override { add("status: ", text); }
    void startLog(const std::string& line) override { add("start: ", line); }
    void log(const std::string& line) override { add("log: ", line); }
    void showMessage(const std::string& text) override
    {
        messages << QString::fromStdString(text);
        events << "message: " + messages.last();
    }
    // Latin-1 keeps the stored bytes apart from any decoding of them.
    void addUsed(const gw::MachineRef& m) override
    {
        used << QString::fromLatin1(m.name + "|" + std::to_string(m.kindByte) + "|" + m.dll);
        events << "used: " + used.last();
    }
    void add(const char* kind, const std::string& text)
    {
        if (!quiet) {
            events << kind + QString::fromStdString(text);
        }
    }
    bool quiet = false;
    QStringList events, messages, used;
};

/** Scans the first length bytes of a song in memory. */
Sink scan(const Bytes& bytes, const std::string& path = "s.bmx", std::size_t length = SIZE_MAX, bool quiet = false)
{
    Sink sink;
    sink.quiet = quiet;
    gw::scanSongBytes(path, std::span(bytes).first(std::min(length, bytes.size())), sink);
    return sink;
}

/** Text with the platform's separator in place of '/'. */
QString native(const QString& text)
{
    return QString(text).replace('/', QChar(gw::platform::pathSeparator()));
}

/** What the search finds in a MACH section, as "kind|dll"; "refused" when it finds nothing. */
QStringList found(const QByteArray& section)
{
    const auto records = gw::searchMachineRecords(
        {reinterpret_cast<const std::uint8_t*>(section.constData()), std::size_t(section.size())}, 0);
    QStringList machines;
    for (const gw::FoundMachine& record : records.value_or(std::vector<gw::FoundMachine>{})) {
        machines << QString::fromLatin1(std::to_string(record.machine.kindByte) + "|" + record.machine.dll);
    }
    return records ? machines : QStringList{"refused"};
}

/** A MACH section: its count, a master record of 31 bytes in all, then the given records. */
QByteArray section(qint16 count, const QList<QByteArray>& records)
{
    return QByteArray(reinterpret_cast<const char*>(&count), 2) + QByteArray("Master", 7) + QByteArray(22, '\0') +
           records.join();
}

/** A record: name, kind, DLL, position, data size and data, and a few bytes after. */
QByteArray record(const QByteArray& name, char kind, const QByteArray& dll, const QByteArray& data = {})
{
    const float position[] = {0.25f, -0.5f};
    const qint32 size = static_cast<qint32>(data.size());
    return name + '\0' + kind + dll + '\0' + QByteArray(reinterpret_cast<const char*>(position), 8) +
           QByteArray(reinterpret_cast<const char*>(&size), 4) + data + QByteArray(7, '\0');
}

} // namespace

class TestSongScan : public QObject
{
    Q_OBJECT

private slots:
    void traces()
    {
        // The texts are the user's, byte for byte. PARA's first machine is the master; MACH starts with the second.
        // Names keep their spaces: the log shows them decoded from Windows-1252, "used" the stored byte E9 as Latin-1.
        // MACH is stored before PARA: the reader goes by the offsets.
        SongWriter writer;
        writer.add({"  Eff\xe9 ", "Eff type", 255, " Eff.DLL  v2 ", {}, {}, 0, {}, 0}).machBeforePara = true;
        const std::string path = native("/songs/small.bmx").toStdString();
        QCOMPARE(scan(writer.build(), path).events.join('\n'), native(R"(status: Scanning bmx for machines used
start: Scanning /songs/small.bmx
log: /small.bmx
log: BuzzHeader Buzz
log: Number of sections  3
log: Header BVER
log: Offset  44
log: Size  4
log: Header MACH
log: Offset  48
log: Size  70
log: Header PARA
log: Offset  118
log: Size  138
log: ParameterHeader PARA
log: Offset  118
log: Size  138
log: Machine Header MACH
log: Offset  48
log: Size  70
log: Number of machines  2
log: ****Scanning PARA Section****
status: Scanning PARA section for 1 of  2 machines
log: Machine Name Master
log: Machine Type Master
status: Scanning PARA section for 2 of  2 machines
log: Machine Name   Effé 
log: Machine Type Eff type
status: Completed scan of  2 machines in PARA section
log: ****Scanning MACH Section****
status: Scanning MACH section for machine  2 of  2 machines
log: Machine name is   Effé 
log: Machine ID  255
log: Machine DLL name  Eff.DLL  v2 
used:   Effé |255| Eff.DLL  v2 
status: Completed scan of  2 machines in MACH section)"));

        // A song from before the PARA section: its machines are searched for in MACH, here an effect.
        writer.withPara = false;
        writer.machines[1].kind = 2;
        QCOMPARE(scan(writer.build(), path).events.mid(3),
                 (QStringList{"log: BuzzHeader Buzz", "log: Number of sections  2", "log: Header BVER",
                              "log: Offset  32", "log: Size  4", "log: Header MACH", "log: Offset  36", "log: Size  70",
                              "log: ParameterHeader     ", "log: ParameterHeader not found    ",
                              "log: No PARA section: found 1 machines by searching the MACH section",
                              "log: Machine at offset 67: name   Effé , ID 2, DLL name  Eff.DLL  v2 ",
                              "used:   Effé |2| Eff.DLL  v2 "}));

        Sink none;
        QCOMPARE(gw::scanSong("", none).message, "No file selected from bmx list");
        QCOMPARE(none.events.join('\n'), "status: Scanning bmx for machines used\nmessage: No file selected from bmx "
                                         "list\nstatus: No file selected from bmx list");
        Sink gone;
        gw::scanSong(native(GW_TEST_DATA "/no such song.bmx").toStdString(), gone);
        QCOMPARE(gone.events.mid(1).join('\n'),
                 native("start: Scanning " GW_TEST_DATA
                        "/no such song.bmx\nlog: /no such song.bmx\nmessage: File " GW_TEST_DATA
                        "/no such song.bmx cannot be opened.  It may have been moved or deleted."));
        QCOMPARE(gw::pathTail("x.bmx"), "x.bmx");
    }

    void unreadableSongs()
    {
        const Bytes song = SongWriter().add({"Odd", "Odd type", 1, "Odd Dll", {1}, {1}, 0, {}, 1}).build();
        // Directory entries of BVER, PARA and MACH from offset 8; the machine's counts behind its names.
        const std::size_t para = song[24], globals = offsetBehind(song, "Odd type"),
                          data = offsetBehind(song, "Odd Dll") + 8;
        using Damage = std::function<void(Bytes&)>;
        const auto i32 = [](std::size_t at, int v) -> Damage { return [=](Bytes& b) { setI32(b, at, v); }; };
        const auto i16 = [](std::size_t at, short v) -> Damage { return [=](Bytes& b) { setI16(b, at, v); }; };
        const auto cutAt = [](std::size_t length) -> Damage { return [=](Bytes& b) { b.resize(length); }; };
        const auto named = [](std::size_t entry, const char* name) -> Damage {
            return [=](Bytes& b) { std::copy_n(name, 4, b.begin() + 8 + 12 * entry); };
        };
        const QString notBuzz = "is missing Buzz header.  Probably not a buzz file.",
                      noPara = "does not contain PARA section, which is required by this program.  Probably created "
                               "with Buzz version <1.2",
                      cut = "ends in the middle of its %1.  Probably a damaged buzz file.",
                      claims = "claims %1 entries in its PARA section, more than the file can hold.  Probably a "
                               "damaged buzz file.";
        const struct
        {
            const char* tag;
            Damage damage;
            int used;        // machines reported before the failure
            QString message; // after "File <path> "; empty: the song reads
        } cases[] = {
            {"magic in lower case", [](Bytes& b) { b[0] = 'b'; }, 0, notBuzz},
            {"file of three bytes", cutAt(3), 0, notBuzz},
            {"cut in the header", cutAt(6), 0, cut.arg("header")},
            {"33 sections", i32(4, 33), 0, "number of sections exceeds maximum. Probably not a buzz file."},
            // 32 are allowed: the directory is read on, past the end of the file.
            {"32 sections", i32(4, 32), 0, cut.arg("section directory")},
            {"-1 sections", i32(4, -1), 0, noPara},
            // A name listed twice: the last entry wins. BVER holds 01 02 03 04, as MACH a start inside PARA.
            {"BVER named PARA", named(0, "PARA"), 1, ""},
            {"BVER named MACH, listed last",
             [=](Bytes& b) { named(0, "MACH")(b), std::swap_ranges(b.begin() + 8, b.begin() + 20, b.begin() + 32); }, 1,
             cut.arg("MACH section")},
            // Without PARA the machines are searched for in MACH: this one is found, so the song reads.
            {"PARA named para", named(1, "para"), 1, ""},
            {"MACH named mach", named(2, "mach"), 0, "does not contain MACH section.  Probably a damaged buzz file."},
            {"PARA offset -1", i32(24, -1), 0, cut.arg("PARA section")},
            // Counts are weighed against the bytes left before anything is allocated for them.
            {"INT_MAX machines", i32(para, INT_MAX), 0, claims.arg(INT_MAX)},
            {"globals INT_MAX", i32(globals, INT_MAX), 0, claims.arg(qint64(INT_MAX) + 1)},
            {"tracks INT_MAX", i32(globals + 4, INT_MAX), 0, claims.arg(qint64(INT_MAX) + 1)},
            {"both INT_MAX", [=](Bytes& b) { i32(globals, INT_MAX)(b), i32(globals + 4, INT_MAX)(b); }, 0,
             claims.arg(2 * qint64(INT_MAX))}, // a sum beyond 32 bits
            // The master alone: nothing is reported, though MACH holds a record.
            {"1 machine", i32(para, 1), 0, ""},
            {"INT_MIN machines", i32(para, INT_MIN), 0, ""},
            // A negative offset is damage even where the master's 31 bytes bring it back into the header.
            {"MACH offset -31", i32(36, -31), 0, cut.arg("MACH section")},
            {"MACH offset INT_MAX", i32(36, INT_MAX), 0, cut.arg("MACH section")},
            // Counts behind the DLL name, after the machine is reported: large ones run past the end, negative ones
            // read nothing.
            {"data size INT_MAX", i32(data, INT_MAX), 1, cut.arg("MACH section")},
            {"32767 attributes", i16(data + 4, 32767), 1, cut.arg("MACH section")},
            {"32767 tracks", i16(data + 7, 32767), 1, cut.arg("MACH section")},
            {"data size INT_MIN", i32(data, INT_MIN), 1, ""},
            {"attributes -1", i16(data + 4, -1), 1, ""},
            {"tracks -32768", i16(data + 7, -32768), 1, ""},
        };
        const std::string path = native("/songs/bad.bmx").toStdString();
        for (const auto& c : cases) {
            Bytes bytes = song;
            c.damage(bytes);
            const Sink sink = scan(bytes, path);
            const QString message = c.message.isEmpty() ? "" : "File " + QString::fromStdString(path) + " " + c.message;
            // The tag names the case; the message, if any, comes once and last.
            QCOMPARE(c.tag + sink.messages.join('\n') + " used " + QString::number(sink.used.size()),
                     c.tag + message + " used " + QString::number(c.used));
            QVERIFY(message.isEmpty() || sink.events.last() == "message: " + message);
        }
    }

    // MACH records are walked with sizes taken from PARA (type 3 parameters take two bytes of state, others one): a
    // wrong size misreads the next machine. A file is read through a 64 KiB window: a name straddles its edge.
    void recordsInAFile()
    {
        const std::size_t edge = 64 * 1024;
        SongWriter writer;
        writer.add({"Big", "", 1, "Big Dll", {3, 0, 255}, {3, 4}, 0, {}, 3});
        writer.addSimple("Straddle", "Straddle Dll", 2).addSimple("Last", "Last Dll", 2);
        writer.machines[1].dataSize = std::int32_t(edge - 3 + 9 - offsetBehind(writer.build(), "Straddle"));
        QCOMPARE(offsetBehind(writer.build(), "Straddle") - 9, edge - 3);
        QTemporaryDir dir;
        const std::string path = native(dir.filePath("big.bmx")).toStdString();
        QVERIFY(writer.writeTo(path));
        Sink whole, cut;
        gw::scanSong(path, whole);
        QCOMPARE(whole.used + whole.messages,
                 (QStringList{"Big|1|Big Dll", "Straddle|2|Straddle Dll", "Last|2|Last Dll"}));
        QVERIFY(QFile::resize(dir.filePath("big.bmx"), qint64(edge + 2)));
        gw::scanSong(path, cut);
        QCOMPARE(cut.messages, {"File " + QString::fromStdString(path) +
                                " ends in the middle of its MACH section.  Probably a damaged buzz file."});
    }

    // Without PARA, MACH is searched for records of a plausible shape, and only as many as it counts are taken.
    void searchWithoutPara()
    {
        const QByteArray kick = record("Kick", 1, "Acme Kick");
        const QByteArray echo = record("Echo", 2, "Acme Delay");
        QCOMPARE(found(section(3, {kick, echo})), (QStringList{"1|Acme Kick", "2|Acme Delay"}));
        // A machine's data that holds a record of its own: one more than the count, so the song is refused whole.
        const QByteArray tricky = record("Wrap", 2, "Acme Wrap", record("Fake", 1, "Not A Machine"));
        QCOMPARE(found(section(3, {kick, tricky})), QStringList{"refused"});
        QCOMPARE(found(section(4, {kick, tricky})), (QStringList{"1|Acme Kick", "2|Acme Wrap", "1|Not A Machine"}));
        // Fewer than counted, or a position out of range, or data larger than the section: refused.
        QCOMPARE(found(section(4, {kick, echo})), QStringList{"refused"});
        QByteArray farAway = kick;
        farAway[farAway.indexOf("Acme Kick") + 10 + 3] = char(0x7F); // x becomes a huge float
        QCOMPARE(found(section(2, {farAway})), QStringList{"refused"});
        QByteArray oversized = kick;
        oversized[oversized.indexOf("Acme Kick") + 10 + 8 + 2] = char(0x10);
        QCOMPARE(found(section(2, {oversized})), QStringList{"refused"});
        QCOMPARE(found({}), QStringList{"refused"});
    }

    // Every real song whole, from its file and from memory, then cut at every byte.
    void realSongs()
    {
        const QMap<QString, QStringList> machines = {
            {"909.bmx", {"909 |1|Rout 909", "Exciter|2|Oomek Exciter"}},
            {"buzz3.bmx",
             {"ErsKick|1|ErsKick", "ErsSnare|1|ErsSnare", "ErsHihat|1|ErsHihat", "Gur\u00fa 2 |1|Arguelles Guru 2"}},
            // No PARA: found by searching MACH; a name keeps the bytes before it that could be part of it.
            {"FSM_Kick_Demo.bmx", {"FSMKick|1|FSM Kick"}},
            {"Makk_M4.bmw", {"M4|1|M4", "A@A@X-Delay|2|Jeskola Cross Delay", "`0GoaKick|1|Arguelles GoaKick"}},
        };
        const QStringList withoutPara = {"FSM_Kick_Demo.bmx", "Makk_M4.bmw"};
        const QDir folder(QStringLiteral(GW_TEST_DATA "/songs"));
        const QStringList songs = folder.entryList({"*.bm?"}, QDir::Files);
        QVERIFY(songs.size() >= 10);
        for (const QString& song : songs) {
            const std::string path = native(folder.filePath(song)).toStdString();
            Sink whole;
            const bool recovered = gw::scanSong(path, whole).result.recovered;
            QVERIFY2(whole.messages.isEmpty() && recovered == withoutPara.contains(song) &&
                         (!machines.contains(song) || whole.used == machines[song]),
                     qPrintable(song));
            QFile file(folder.filePath(song));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray data = file.readAll();
            const Bytes bytes(data.begin(), data.end());
            QCOMPARE(scan(bytes, path).events, whole.events);

            // A song read through PARA fails before the end of MACH and reads the same after it; one without PARA is,
            // at every length, either refused with one message or read whole.
            const qsizetype mach = whole.events.indexOf("log: Machine Header MACH");
            const std::size_t machEnd =
                recovered ? 0 : whole.events[mach + 1].mid(12).toULong() + whole.events[mach + 2].mid(10).toULong();
            QVERIFY(machEnd <= bytes.size() + 1);
            for (std::size_t length = 0; length < bytes.size(); ++length) {
                const Sink cut = scan(bytes, path, length, true);
                const bool refused = cut.messages.size() == 1 && cut.events.last() == "message: " + cut.messages[0] &&
                                     cut.messages[0].startsWith("File " + QString::fromStdString(path) + " ");
                const bool same = cut.messages.isEmpty() && cut.used == whole.used;
                QVERIFY2(recovered ? refused || same : length < machEnd ? refused : same,
                         qPrintable(song + " cut at " + QString::number(length)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestSongScan)
#include "tst_songscan.moc"
