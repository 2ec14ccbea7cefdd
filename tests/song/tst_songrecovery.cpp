// Songs without PARA: their machines found by searching MACH, and only when the count agrees.
#include "song/ByteInput.h"
#include "song/MachineRecordSearch.h"
#include "song/SongReader.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <random>

namespace {

std::span<const std::uint8_t> bytesOf(const QByteArray& data)
{
    return {reinterpret_cast<const std::uint8_t*>(data.constData()), static_cast<std::size_t>(data.size())};
}

QString text(const gw::MachineRef& machine) { return QString::number(machine.kindByte) + u':' + machine.dll.c_str(); }

/** The machines a read reports, as "kind:dll", and where its MACH section lies. */
struct Collect : gw::SongReadListener
{
    void onMachine(const gw::MachineRef& machine) override { machines << text(machine); }
    void onSections(const gw::SectionEntry&, const gw::SectionEntry& entry) override { mach = entry; }
    QStringList machines;
    gw::SectionEntry mach;
};

/** What the search finds in a section, as "kind:dll"; "refused" when it finds nothing. */
QStringList found(std::span<const std::uint8_t> section, std::int64_t offset = 0)
{
    const auto records = gw::searchMachineRecords(section, offset);
    QStringList machines;
    for (const gw::FoundMachine& record : records.value_or(std::vector<gw::FoundMachine>{})) {
        machines << text(record.machine);
    }
    return records ? machines : QStringList{"refused"};
}

/** A MACH section: its count, a master record, then the given records. */
QByteArray section(qint16 count, const QList<QByteArray>& records)
{
    return QByteArray(reinterpret_cast<const char*>(&count), 2) + QByteArray("Master\0\0", 8) + QByteArray(21, '\0') +
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

class TestSongRecovery : public QObject
{
    Q_OBJECT

private slots:
    void realSongsWithAndWithoutPara()
    {
        // The songs without PARA and what they hold; in every other song the search finds what the normal read finds.
        const QHash<QString, QStringList> withoutPara = {
            {"FSM_Kick_Demo.bmx", {"1:FSM Kick"}},
            {"Makk_M4.bmw", {"1:M4", "2:Jeskola Cross Delay", "1:Arguelles GoaKick"}},
        };
        const QDir songs(QStringLiteral(GW_TEST_DATA "/songs"));
        int compared = 0;
        for (const QString& name : songs.entryList({QStringLiteral("*.bm?")}, QDir::Files)) {
            QFile file(songs.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray data = file.readAll();
            gw::ByteInput input(bytesOf(data));
            Collect read;
            const gw::SongReadResult result = gw::readSong(input, read);
            QCOMPARE(result.ok() && result.recovered, withoutPara.contains(name));
            if (withoutPara.contains(name)) {
                QCOMPARE(read.machines, withoutPara.value(name));
            } else if (result.ok()) {
                ++compared;
                const auto section = bytesOf(data).subspan(std::size_t(read.mach.offset), std::size_t(read.mach.size));
                QCOMPARE(found(section, read.mach.offset), read.machines);
            }
        }
        QVERIFY(compared >= 6);
    }

    void countDecidesOverLookAlikes()
    {
        const QByteArray kick = record("Kick", 1, "Acme Kick");
        const QByteArray echo = record("Echo", 2, "Acme Delay");
        QCOMPARE(found(bytesOf(section(3, {kick, echo}))), (QStringList{"1:Acme Kick", "2:Acme Delay"}));
        // A machine's data that holds a record of its own: one more than the count, so the song is refused whole.
        const QByteArray tricky = record("Wrap", 2, "Acme Wrap", record("Fake", 1, "Not A Machine"));
        QCOMPARE(found(bytesOf(section(3, {kick, tricky}))), QStringList{"refused"});
        QCOMPARE(found(bytesOf(section(4, {kick, tricky}))),
                 (QStringList{"1:Acme Kick", "2:Acme Wrap", "1:Not A Machine"}));
        // Fewer than counted, or a position out of range, or data larger than the section: refused.
        QCOMPARE(found(bytesOf(section(4, {kick, echo}))), QStringList{"refused"});
        QByteArray farAway = kick;
        farAway[farAway.indexOf("Acme Kick") + 10 + 3] = char(0x7F); // x becomes a huge float
        QCOMPARE(found(bytesOf(section(2, {farAway}))), QStringList{"refused"});
        QByteArray oversized = kick;
        oversized[oversized.indexOf("Acme Kick") + 10 + 8 + 2] = char(0x10);
        QCOMPARE(found(bytesOf(section(2, {oversized}))), QStringList{"refused"});
        // The offset of the record's name in the file.
        QCOMPARE(gw::searchMachineRecords(bytesOf(section(2, {kick})), 1000)->front().offset, 1000 + 31);
    }

    void hostileSectionsEnd()
    {
        // Megabytes of near-records, and random bytes: the search ends (it is linear) and the count refuses them.
        QByteArray nearRecords;
        while (nearRecords.size() < 4 * 1024 * 1024) {
            nearRecords += QByteArray("A\0\1", 3) + QByteArray(200, 'D') + QByteArray("\0", 1);
        }
        QCOMPARE(found(bytesOf(section(5, {nearRecords}))), QStringList{"refused"});
        std::mt19937 random(7);
        QByteArray noise(1 << 20, '\0');
        for (char& byte : noise) {
            byte = static_cast<char>(random() % 4); // zeros, kind bytes and controls, dense with candidates
        }
        QCOMPARE(found(bytesOf(section(100, {noise}))), QStringList{"refused"});
        QVERIFY(!gw::searchMachineRecords({}, 0));
    }
};

QTEST_GUILESS_MAIN(TestSongRecovery)
#include "tst_songrecovery.moc"
