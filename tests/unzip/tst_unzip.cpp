// The flat unzip of machine zips and bundles, and the install's texts made from its report.
#include "ZipWriter.h"

#include "transfer/MachineInstall.h"
#include "transfer/TransferReport.h"
#include "unzip/Unzip.h"

#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;
using gw::test::contents;
using gw::test::writeBytes;
using gw::test::ZipWriter;
using Limits = gw::UnzipLimits;

namespace {

/** Bytes that deflate cannot shrink much, so damage lands in real data. */
QByteArray noise(int size)
{
    QByteArray bytes(size, '\0');
    QRandomGenerator(1).fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

/** Every file and folder below root, relative, each file with its size, links with their target; hidden ones too. */
QStringList tree(const QString& root)
{
    QStringList found;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry = it.nextFileInfo();
        const QString relative = QDir(root).relativeFilePath(entry.filePath());
        found << (entry.isSymLink() ? relative + u" -> "_s + entry.symLinkTarget()
                  : entry.isDir()   ? relative + u'/'
                                    : relative + u' ' + QString::number(entry.size()));
    }
    found.sort();
    return found;
}

/** The archive's state, then each entry's name and what became of it, as short words. */
QStringList summary(const gw::UnzipReport& report)
{
    const char* states[] = {"read", "not a zip", "unreadable", "too many entries", "too large"};
    const char* results[] = {"written", "identical", "backed up", "replaced", "kept", "skipped"};
    const char* skips[] = {"", "unsafe name", "too large", "packed tight", "damaged", "encrypted", "link", "write"};
    QStringList said{QLatin1String(states[int(report.state)])};
    for (const gw::UnzippedEntry& entry : report.entries) {
        said << entry.name + u' ' +
                    QLatin1String(entry.result == gw::EntryResult::Skipped ? skips[int(entry.skip)]
                                                                           : results[int(entry.result)]);
    }
    return said;
}

struct RecordingReport : TransferReport
{
    QStringList lines;
    void status(const QString&, bool) override {}
    void startLog(const QString&) override {}
    void log(const QString& line) override { lines << line; }
    void clearLog() override {}
    void message(const QString&) override {}
    bool askYesNo(const QString&, const QString&) override { return false; }
};

// Damage to an archive: a.dll's data, its declared size, or the archive cut short.
enum Damage { Data, Size, CutShort };

} // namespace

class TestUnzip : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_zip, m_gear;

    QString gear(const QString& name) const { return m_gear + u'/' + name; }
    /** Everything in the temporary folder but the gear folder and the zip. */
    QStringList outside() const { return tree(m_dir->path()).filter(QRegularExpression(u"^(?!in.zip|a/b/gear/)"_s)); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        // Levels between the temporary folder and the gear folder, so "../" and "../../" land in the tree.
        m_gear = m_dir->filePath(u"a/b/gear/generators"_s);
        m_zip = m_dir->filePath(u"in.zip"_s);
        QVERIFY(writeBytes(m_dir->filePath(u"a/evil.dll"_s), "mine"));
        QVERIFY(writeBytes(gear(u"a.dll"_s), "the good old copy"));
    }

    void hostileAndDamagedArchivesChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("zip");
        QTest::addColumn<QStringList>("said");
        QTest::addColumn<QStringList>("written"); // besides a.dll, which stays as it was
        ZipWriter names;
        QStringList unsafe{u"read"_s};
        for (const char* name : {"../a.dll", "..\\..\\evil.dll", "sub/../../../evil.dll", "/tmp/x.dll", "\\abs\\y.dll",
                                 "C:\\x\\y.dll", "C:evil.dll", "sub/c:/a.dll", "dir\\", "sub/.."}) {
            names.add(name, "payload");
            unsafe << QString::fromUtf8(name) + u" unsafe name"_s;
        }
        // Folders are dropped, with either separator; dots inside a name are no way up.
        names.add("sub\\dir\\my M\xc3\xa4schine.dll", "payload").add("./v1..2.dll", "payload");
        QTest::newRow("unsafe names") << names.bytes()
                                      << unsafe + QStringList{u"sub\\dir\\my M\u00e4schine.dll written"_s,
                                                              u"./v1..2.dll written"_s}
                                      << QStringList{u"my M\u00e4schine.dll 7"_s, u"v1..2.dll 7"_s};
        // Larger than the extraction's buffer, so some of it is written before the damage is found.
        const QByteArray good = ZipWriter().add("a.dll", noise(300000)).add("b.dll", "beta").bytes();
        const auto damaged = [&](Damage damage, quint32 size = 0) {
            QByteArray zip = good;
            if (damage == Data) {
                zip[zip.size() / 2] ^= char(0xff); // a.dll's data fills nearly all of the archive
            } else if (damage == Size) {
                // The uncompressed size, 24 bytes into a.dll's central header; its name follows the header's 46.
                qToLittleEndian(size, zip.data() + zip.lastIndexOf("a.dll") - 46 + 24);
            } else {
                zip.chop(10);
            }
            return zip;
        };
        const QStringList damagedA{u"read"_s, u"a.dll damaged"_s, u"b.dll written"_s};
        QTest::newRow("data changed") << damaged(Data) << damagedA << QStringList{u"b.dll 4"_s};
        QTest::newRow("declares more") << damaged(Size, 400000) << damagedA << QStringList{u"b.dll 4"_s};
        QTest::newRow("declares less") << damaged(Size, 1000) << damagedA << QStringList{u"b.dll 4"_s};
        // Not taken for a web page: it begins as a zip does.
        QTest::newRow("cut short") << damaged(CutShort) << QStringList{u"unreadable"_s} << QStringList();
        QTest::newRow("web page") << QByteArray("<!DOCTYPE html><html><body>Not found</body></html>\n")
                                  << QStringList{u"not a zip"_s} << QStringList();
        if (ZipWriter::aesWritingSupported()) {
            QTest::newRow("encrypted") << ZipWriter().add("a.dll", "secret", ZipWriter::Method::Deflate, "pw").bytes()
                                       << QStringList{u"read"_s, u"a.dll encrypted"_s} << QStringList();
        }
    }

    void hostileAndDamagedArchivesChangeNothing()
    {
        QFETCH(QByteArray, zip);
        QFETCH(QStringList, written);
        QVERIFY(writeBytes(m_zip, zip));
        const QStringList before = outside();
        QTEST(summary(gw::unzipFlat(m_zip, m_gear)), "said");
        // The old copy is whole, nothing landed outside, and no temporary file is left.
        QCOMPARE(tree(m_gear), (QStringList{u"a.dll 17"_s} + written));
        QCOMPARE(contents(gear(u"a.dll"_s)), QByteArray("the good old copy"));
        QCOMPARE(outside(), before);
    }

    void limitsRefuseBombsBeforeWriting_data()
    {
        QTest::addColumn<QByteArray>("zip");
        QTest::addColumn<Limits>("limits");
        QTest::addColumn<QStringList>("said");
        const QByteArray zeros(3 << 20, '\0'), some = noise(1500);
        QTest::newRow("zeros, packed a thousandfold")
            << ZipWriter().add("z.dll", zeros).add("b.dll", "b").bytes() << Limits()
            << QStringList{"read", "z.dll packed tight", "b.dll written"};
        QTest::newRow("one too large") << ZipWriter().add("n.dll", some).add("b.dll", "b").bytes()
                                       << Limits{.maxEntrySize = 1000}
                                       << QStringList{"read", "n.dll too large", "b.dll written"};
        // The first two entries would fit: refused whole, nothing is written.
        const QByteArray three = ZipWriter().add("1.dll", some).add("2.dll", some).add("3.dll", some).bytes();
        QTest::newRow("too large together") << three << Limits{.maxTotalSize = 4000} << QStringList{"too large"};
        QTest::newRow("too many entries") << three << Limits{.maxEntries = 2} << QStringList{"too many entries"};
    }

    void limitsRefuseBombsBeforeWriting()
    {
        QFETCH(QByteArray, zip);
        QFETCH(Limits, limits);
        QFETCH(QStringList, said);
        QVERIFY(writeBytes(m_zip, zip));
        gw::UnzipOptions options;
        options.limits = limits;
        QCOMPARE(summary(gw::unzipFlat(m_zip, m_gear, options)), said);
        // A refused entry or archive leaves nothing, not even a temporary file.
        QCOMPARE(tree(m_gear), (said.size() > 1 ? QStringList{"a.dll 17", "b.dll 1"} : QStringList{"a.dll 17"}));
        // What the program holds machines and bundles to: room for 5,000 entries, no DLL near 64 MiB.
        QCOMPARE(Limits().maxRatio, 200.0);
        QVERIFY(Limits().maxEntries >= 5000 && Limits().maxEntrySize == 64 << 20);
    }

    void replacesOnlyWhatIsSafeToReplace()
    {
        // "A.DLL" is a.dll to Windows; "same.dll" holds what the zip holds; "diff.dll" the same length, other bytes.
        QVERIFY(writeBytes(gear(u"same.dll"_s), "same") && writeBytes(gear(u"diff.dll"_s), "old bytes"));
        // Links, leading somewhere or nowhere, are refused by SafeWrite, the one write path. (Windows makes symbolic
        // links for administrators only; QFile::link makes shortcuts there, which are files like any other.)
#ifdef Q_OS_WIN
        constexpr bool links = false;
#else
        constexpr bool links = true;
#endif
        const QString mine = m_dir->filePath(u"mine.dll"_s), nowhere = m_dir->filePath(u"nowhere.dll"_s);
        QVERIFY(writeBytes(mine, "user's own"));
        QVERIFY(!links || (QFile::link(mine, gear(u"linked.dll"_s)) && QFile::link(nowhere, gear(u"dangling.dll"_s))));
        // The gear folder itself may be a link: the files go where it points.
        const QString linkedGear = links ? m_dir->filePath(u"gear-link"_s) : m_gear;
        QVERIFY(!links || QFile::link(m_gear, linkedGear));
        QVERIFY(ZipWriter()
                    .add("A.DLL", "new a")
                    .add("same.dll", "same")
                    .add("sub/diff.dll", "new bytes")
                    .add("new.dll", "first")
                    .add("new.DLL", "twin")
                    .add("LINKED.dll", "new")
                    .add("dangling.dll", "new")
                    .writeTo(m_zip));
        const QString backup = m_dir->filePath(u"a/b/gear/backup"_s);
        gw::UnzipOptions options;
        options.backupFolder = backup;
        options.backupSubfolder = u"generators"_s;
        options.backupTime = QDateTime(QDate(2026, 12, 6), QTime(14, 30));
        const gw::UnzipReport report = gw::unzipFlat(m_zip, linkedGear, options);
        // The second "new.dll" replaces the first of this run: that one was never the user's, so it is not kept.
        const QStringList linked = links ? QStringList{"LINKED.dll link", "dangling.dll link"}
                                         : QStringList{"LINKED.dll written", "dangling.dll written"};
        QCOMPARE(summary(report), (QStringList{"read", "A.DLL backed up", "same.dll identical",
                                               "sub/diff.dll backed up", "new.dll written", "new.DLL replaced"} +
                                   linked));
        const QString kept = backup + u"/2026-12-06 14.30.00/generators/"_s;
        QCOMPARE(report.entries[2].backup, QDir::toNativeSeparators(kept + u"diff.dll"_s));
        QCOMPARE(tree(backup),
                 (QStringList{"2026-12-06 14.30.00/", "2026-12-06 14.30.00/generators/",
                              "2026-12-06 14.30.00/generators/a.dll 17", "2026-12-06 14.30.00/generators/diff.dll 9"}));
        QCOMPARE(contents(kept + u"diff.dll"_s), QByteArray("old bytes"));
        QStringList after{"a.dll 5",    links ? "dangling.dll -> " + nowhere : "dangling.dll 3",
                          "diff.dll 9", links ? "linked.dll -> " + mine : "LINKED.dll 3",
                          "new.dll 4",  "same.dll 4"};
        after.sort();
        QCOMPARE(tree(m_gear), after);
        QVERIFY(contents(mine) == "user's own" && !QFile::exists(nowhere));
        // With overwrite off, what is there stays.
        options.overwrite = false;
        QCOMPARE(summary(gw::unzipFlat(m_zip, m_gear, options)).mid(1, 2),
                 (QStringList{"A.DLL kept", "same.dll kept"}));
        QCOMPARE(contents(gear(u"a.dll"_s)), QByteArray("new a"));
    }

    void anUnwritableFolderIsSaidPlainly()
    {
        // A file stands where the gear folder should be, so the system refuses the write.
        const QString folder = m_dir->filePath(u"host/gear/effects"_s), shown = QDir::toNativeSeparators(folder);
        QVERIFY(ZipWriter().add("m.dll", "m").writeTo(m_zip) && writeBytes(m_dir->filePath(u"host/gear"_s), "a file"));
        RecordingReport report;
        const MachineInstall install = installZip(m_zip, folder, report);
        const QString refused = "the system refuses to write in " + shown + " (cannot create " + shown + ")";
        QVERIFY(!install.installed);
        QCOMPARE(install.problem, "Unable to install in.zip: " + refused +
                                      ".  Run Gearwarden once as administrator, or move the host to a folder you can "
                                      "write to");
        QCOMPARE(report.lines,
                 (QStringList{"Unzipping " + m_zip + " to " + folder, "skipped m.dll: " + refused, install.problem}));
    }
};

QTEST_GUILESS_MAIN(TestUnzip)
#include "tst_unzip.moc"
