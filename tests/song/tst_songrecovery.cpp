// Songs without PARA: their machines found by searching MACH, and only when the count agrees.
#include "song/ByteInput.h"
#include "song/MachineRecordSearch.h"
#include "song/SongReader.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <random>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::span<const std::uint8_t> bytesOf(const QByteArray& data)
{
    return {reinterpret_cast<const std::uint8_t*>(data.constData()), static_cast<std::size_t>(data.size())};
}

/** The machines a read reports, as "kind:dll". */
struct Collect : gw::SongReadListener
{
    void onMachine(const gw::MachineRef& machine) override
    {
        machines << QString::number(machine.kindByte) + u':' + QString::fromLatin1(machine.dll);
    }
    void onDirectoryEntry(const gw::SectionEntry& entry) override
    {
        if (entry.name == "MACH") {
            mach = entry;
        }
    }
    QStringList machines;
    gw::SectionEntry mach;
};

QStringList found(const std::optional<std::vector<gw::FoundMachine>>& records)
{
    QStringList machines;
    for (const gw::FoundMachine& record : records.value_or(std::vector<gw::FoundMachine>{})) {
        machines << QString::number(record.machine.kindByte) + u':' + QString::fromLatin1(record.machine.dll);
    }
    return machines;
}

/** A MACH section: its count, a master record, then the given records, each name, kind, DLL, position, data. */
QByteArray section(qint16 count, const QList<QByteArray>& records)
{
    QByteArray bytes(reinterpret_cast<const char*>(&count), 2);
    bytes += QByteArray("Master\0\0", 8) + QByteArray(21, '\0');
    for (const QByteArray& record : records) {
        bytes += record;
    }
    return bytes;
}

QByteArray record(const QByteArray& name, char kind, const QByteArray& dll, const QByteArray& data = {})
{
    const float x = 0.25f;
    const float y = -0.5f;
    const qint32 size = static_cast<qint32>(data.size());
    return name + '\0' + kind + dll + '\0' + QByteArray(reinterpret_cast<const char*>(&x), 4) +
           QByteArray(reinterpret_cast<const char*>(&y), 4) + QByteArray(reinterpret_cast<const char*>(&size), 4) +
           data + QByteArray(7, '\0');
}

} // namespace

class TestSongRecovery : public QObject
{
    Q_OBJECT

private slots:
    void searchFindsWhatTheReadFindsInEveryRealSong();
    void realSongsWithoutPara();
    void countDecidesOverLookAlikes();
    void hostileSectionsEndQuickly();
};

void TestSongRecovery::searchFindsWhatTheReadFindsInEveryRealSong()
{
    const QDir songs(QStringLiteral(GW_TEST_DATA "/songs"));
    int withPara = 0;
    for (const QString& name : songs.entryList({QStringLiteral("*.bm?")}, QDir::Files)) {
        const QByteArray data = readAll(songs.filePath(name));
        gw::ByteInput input(bytesOf(data));
        Collect read;
        const gw::SongReadResult result = gw::readSong(input, read);
        if (!result.ok() || result.recovered) {
            continue;
        }
        ++withPara;
        const auto section = bytesOf(data).subspan(static_cast<std::size_t>(read.mach.offset),
                                                   static_cast<std::size_t>(read.mach.size));
        QCOMPARE(found(gw::searchMachineRecords(section, read.mach.offset)), read.machines);
    }
    QVERIFY(withPara >= 6);
}

void TestSongRecovery::realSongsWithoutPara()
{
    const struct
    {
        const char* file;
        QStringList machines;
    } songs[] = {
        {"FSM_Kick_Demo.bmx", {"1:FSM Kick"}},
        {"Makk_M4.bmw", {"1:M4", "2:Jeskola Cross Delay", "1:Arguelles GoaKick"}},
    };
    for (const auto& song : songs) {
        const QByteArray data = readAll(QStringLiteral(GW_TEST_DATA "/songs/") + QLatin1String(song.file));
        gw::ByteInput input(bytesOf(data));
        Collect read;
        const gw::SongReadResult result = gw::readSong(input, read);
        QVERIFY2(result.ok() && result.recovered, song.file);
        QCOMPARE(read.machines, song.machines);
    }
}

void TestSongRecovery::countDecidesOverLookAlikes()
{
    const QByteArray kick = record("Kick", 1, "Acme Kick");
    const QByteArray echo = record("Echo", 2, "Acme Delay");
    QCOMPARE(found(gw::searchMachineRecords(bytesOf(section(3, {kick, echo})), 0)),
             (QStringList{"1:Acme Kick", "2:Acme Delay"}));
    // A machine's data that holds a record of its own: one more than the count, so the song is refused whole.
    const QByteArray tricky = record("Wrap", 2, "Acme Wrap", record("Fake", 1, "Not A Machine"));
    QVERIFY(!gw::searchMachineRecords(bytesOf(section(3, {kick, tricky})), 0));
    QCOMPARE(found(gw::searchMachineRecords(bytesOf(section(4, {kick, tricky})), 0)),
             (QStringList{"1:Acme Kick", "2:Acme Wrap", "1:Not A Machine"}));
    // Fewer than counted, or a position out of range, or data larger than the section: refused.
    QVERIFY(!gw::searchMachineRecords(bytesOf(section(4, {kick, echo})), 0));
    QByteArray farAway = kick;
    farAway[farAway.indexOf("Acme Kick") + 10 + 3] = char(0x7F); // x becomes a huge float
    QVERIFY(!gw::searchMachineRecords(bytesOf(section(2, {farAway})), 0));
    QByteArray oversized = kick;
    oversized[oversized.indexOf("Acme Kick") + 10 + 8 + 2] = char(0x10);
    QVERIFY(!gw::searchMachineRecords(bytesOf(section(2, {oversized})), 0));
    // The offset of the record's name in the file.
    QCOMPARE(gw::searchMachineRecords(bytesOf(section(2, {kick})), 1000)->front().offset, 1000 + 31);
}

void TestSongRecovery::hostileSectionsEndQuickly()
{
    // Megabytes of near-records, and random bytes: the search ends (in linear time) and the count refuses them.
    QByteArray nearRecords;
    while (nearRecords.size() < 4 * 1024 * 1024) {
        nearRecords += QByteArray("A\0\1", 3) + QByteArray(200, 'D') + QByteArray("\0", 1);
    }
    QVERIFY(!gw::searchMachineRecords(bytesOf(section(5, {nearRecords})), 0));
    std::mt19937 random(7);
    QByteArray noise(1 << 20, '\0');
    for (char& byte : noise) {
        byte = static_cast<char>(random() % 4); // zeros, kind bytes and controls, dense with candidates
    }
    QVERIFY(!gw::searchMachineRecords(bytesOf(section(100, {noise})), 0));
    QVERIFY(!gw::searchMachineRecords({}, 0));
}

QTEST_GUILESS_MAIN(TestSongRecovery)
#include "tst_songrecovery.moc"
