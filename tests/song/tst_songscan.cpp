#include "SongWriter.h"
#include "base/Platform.h"
#include "song/SongScan.h"

#include <QDir>
#include <QTest>

#include <climits>
#include <functional>

using gw::test::SongWriter;
using gw::test::setI32;
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

Sink scan(const std::string& path, const Bytes& bytes, std::size_t length, bool quiet = false)
{
    Sink sink;
    sink.quiet = quiet;
    gw::scanSongBytes(path, std::span<const std::uint8_t>(bytes.data(), length), sink);
    return sink;
}

/** Text with the platform's separator in place of '/'. */
QString native(const char* text)
{
    return QString(text).replace('/', QChar::fromLatin1(gw::platform::pathSeparator()));
}

} // namespace

class TestSongScan : public QObject
{
    Q_OBJECT

private slots:
    void traces()
    {
        // The texts are the user's, byte for byte. PARA's first machine is the master; MACH starts with the second.
        SongWriter writer;
        writer.otherSections.clear();
        writer.add({"Eff\xe9", "Eff type", 7, "Eff Dll", {}, {}, 0, {}, 0});
        const std::string path = native("/songs/small.bmx").toStdString();
        // The log shows the name decoded from Windows-1252; "used" shows the stored byte E9 read as Latin-1.
        QCOMPARE(scan(path, writer.build(), writer.build().size()).events.join('\n'),
                 native(R"(status: Scanning bmx for machines used
start: Scanning /songs/small.bmx
log: /small.bmx
log: BuzzHeader Buzz
log: Number of sections  2
log: Header PARA
log: Offset  32
log: Size  135
log: Header MACH
log: Offset  167
log: Size  61
log: ParameterHeader PARA
log: Offset  32
log: Size  135
log: Machine Header MACH
log: Offset  167
log: Size  61
log: Number of machines  2
log: ****Scanning PARA Section****
status: Scanning PARA section for 1 of  2 machines
log: Machine Name Master
log: Machine Type Master
status: Scanning PARA section for 2 of  2 machines
log: Machine Name Effé
log: Machine Type Eff type
status: Completed scan of  2 machines in PARA section
log: ****Scanning MACH Section****
status: Scanning MACH section for machine  2 of  2 machines
log: Machine name is Effé
log: Machine ID  7
log: Machine DLL name Eff Dll
used: Effé|7|Eff Dll
status: Completed scan of  2 machines in MACH section)"));

        // A song from before the PARA section: the log up to the failure, then the message.
        writer.withPara = false;
        QCOMPARE(
            scan(path, writer.build(), writer.build().size()).events.mid(3),
            (QStringList{"log: BuzzHeader Buzz", "log: Number of sections  1", "log: Header MACH", "log: Offset  20",
                         "log: Size  61", "log: ParameterHeader     ", "log: ParameterHeader not found    ",
                         native("message: File /songs/small.bmx does not contain PARA section, which is required "
                                "by this program.  Probably created with Buzz version <1.2")}));

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
        const std::size_t para = song[24], globals = gw::test::offsetBehind(song, "Odd type"),
                          data = gw::test::offsetBehind(song, "Odd Dll") + 8;
        using Damage = std::function<void(Bytes&)>;
        const auto i32 = [](std::size_t at, int v) -> Damage { return [=](Bytes& b) { gw::test::setI32(b, at, v); }; };
        const auto i16 = [](auto at, short v) -> Damage { return [=](Bytes& b) { gw::test::setI16(b, at, v); }; };
        const auto cutAt = [](std::size_t length) -> Damage { return [=](Bytes& b) { b.resize(length); }; };
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
            {"cut in the directory", cutAt(20), 0, cut.arg("section directory")},
            {"-1 sections", i32(4, -1), 0, noPara},
            // Without PARA the machines are searched for in MACH: this one is found, so the song reads.
            {"PARA named para", [](Bytes& b) { std::copy_n("para", 4, b.begin() + 20); }, 1, ""},
            {"MACH named mach", [](Bytes& b) { std::copy_n("mach", 4, b.begin() + 32); }, 0,
             "does not contain MACH section.  Probably a damaged buzz file."},
            {"PARA offset -1", i32(24, -1), 0, cut.arg("PARA section")},
            // Counts are weighed against the bytes left before anything is allocated for them.
            {"INT_MAX machines", i32(para, INT_MAX), 0, claims.arg(INT_MAX)},
            {"globals INT_MAX", i32(globals, INT_MAX), 0, claims.arg(qint64(INT_MAX) + 1)},
            {"tracks INT_MAX", i32(globals + 4, INT_MAX), 0, claims.arg(qint64(INT_MAX) + 1)},
            {"both INT_MAX", [=](Bytes& b) { setI32(b, globals, INT_MAX), setI32(b, globals + 4, INT_MAX); }, 0,
             claims.arg(2 * qint64(INT_MAX))}, // a sum beyond 32 bits
            // The master alone: nothing is reported, though MACH holds a record.
            {"1 machine", i32(para, 1), 0, ""},
            {"INT_MIN machines", i32(para, INT_MIN), 0, ""},
            // A negative offset is damage even where the master's 31 bytes bring it back into the header.
            {"MACH offset -31", i32(36, -31), 0, cut.arg("MACH section")},
            {"MACH offset INT_MAX", i32(36, INT_MAX), 0, cut.arg("MACH section")},
            // Damage behind the DLL name: the machine is reported first.
            {"data size INT_MAX", i32(data, INT_MAX), 1, cut.arg("MACH section")},
            {"32767 attributes", i16(data + 4, 32767), 1, cut.arg("MACH section")},
            {"32767 tracks", i16(data + 7, 32767), 1, cut.arg("MACH section")},
        };
        const std::string path = native("/songs/bad.bmx").toStdString();
        for (const auto& c : cases) {
            Bytes bytes = song;
            c.damage(bytes);
            const Sink sink = scan(path, bytes, bytes.size());
            const QString message = c.message.isEmpty() ? "" : "File " + QString::fromStdString(path) + " " + c.message;
            // The tag names the case; the message, if any, comes once and last.
            QCOMPARE(c.tag + sink.messages.join('\n') + " used " + QString::number(sink.used.size()),
                     c.tag + message + " used " + QString::number(c.used));
            QVERIFY(message.isEmpty() || sink.events.last() == "message: " + message);
        }
    }

    // Every real song whole, from its file and from memory, then cut at every byte.
    void realSongs()
    {
        const QString d6 = "|1|MadBrain's Dynamite 6";
        const QMap<QString, QStringList> machines = {
            {"909.bmx", {"909 |1|Rout 909", "Exciter|2|Oomek Exciter"}},
            {"buzz3.bmx",
             {"ErsKick|1|ErsKick", "ErsSnare|1|ErsSnare", "ErsHihat|1|ErsHihat", "Gur\u00fa 2 |1|Arguelles Guru 2"}},
            {"MadBrain_Dynamite6_Demo.bmx",
             {"Dynamite6" + d6, "Dynamite62" + d6, "Filter2|2|Jeskola Filter 2", "Reverb2|2|Jeskola Reverb 2",
              "Flanger|2|Jeskola Flanger", "Dynamite63" + d6, "Ninja|2|Jeskola NiNjA dElaY", "Dynamite64" + d6,
              "Dynamite65" + d6, "Dynamite66" + d6, "Filter22|2|Jeskola Filter 2", "Compressor|2|Geonik's Compressor"}},
            // No PARA: found by searching MACH; a name keeps the bytes before it that could be part of it.
            {"Makk_M4.bmw", {"M4|1|M4", "A@A@X-Delay|2|Jeskola Cross Delay", "`0GoaKick|1|Arguelles GoaKick"}},
        };
        const QDir folder(QStringLiteral(GW_TEST_DATA "/songs"));
        const QStringList songs = folder.entryList({"*.bm?"}, QDir::Files);
        QVERIFY(songs.size() >= 10 && songs.contains("Makk_M4.bmw"));
        for (const QString& song : songs) {
            const std::string path = native(qPrintable(folder.filePath(song))).toStdString();
            Sink whole;
            gw::scanSong(path, whole);
            QVERIFY2(whole.messages.isEmpty() && (!machines.contains(song) || whole.used == machines[song]),
                     qPrintable(song));
            QFile file(folder.filePath(song));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray data = file.readAll();
            const Bytes bytes(data.begin(), data.end());
            QCOMPARE(scan(path, bytes, bytes.size()).events, whole.events);

            // A song read through PARA fails before the end of MACH and reads the same after it; one without PARA is,
            // at every length, either refused with one message or read whole.
            const qsizetype mach = whole.events.indexOf("log: Machine Header MACH");
            const bool recovered = mach < 0;
            const std::size_t machEnd =
                recovered ? 0 : whole.events[mach + 1].mid(12).toULong() + whole.events[mach + 2].mid(10).toULong();
            QVERIFY(machEnd <= bytes.size() + 1);
            for (std::size_t length = 0; length < bytes.size(); ++length) {
                const Sink cut = scan(path, bytes, length, true);
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
