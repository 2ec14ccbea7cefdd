#include "ZipWriter.h"

#include "unzip/EntryName.h"
#include "unzip/ZipExtraction.h"
#include "unzip/ZipExtractor.h"

#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;
using gw::test::contents;
using gw::test::writeBytes;
using gw::test::ZipWriter;

namespace {

/** Bytes that deflate cannot shrink much, so damage lands in real data. */
QByteArray noise(int size)
{
    QByteArray bytes(size, '\0');
    QRandomGenerator(1).fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

/** Every file and folder below root, relative, each file with its size; hidden ones too. */
QStringList tree(const QString& root)
{
    QStringList found;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry = it.nextFileInfo();
        const QString relative = QDir(root).relativeFilePath(entry.filePath());
        found << (entry.isDir() ? relative + u'/' : relative + u' ' + QString::number(entry.size()));
    }
    found.sort();
    return found;
}

// Damage to an archive: a.dll's data or its declared size, or the archive cut short.
enum Damage { Data, Size, CutShort };

} // namespace

class TestZipExtractor : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_zip;
    QString m_out;
    std::unique_ptr<ZipExtractor> m_extractor;
    QStringList m_progress;

    QString out(const QString& name) const { return m_out + u'/' + name; }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        // Two levels between the temporary folder and the destination, so "../" and "../../" land in the tree.
        m_out = m_dir->filePath(u"a/b/out"_s);
        QVERIFY(QDir().mkpath(m_out));
        m_zip = m_dir->filePath(u"in.zip"_s);
        m_progress.clear();
        // Set up as the machine install sets it.
        m_extractor = std::make_unique<ZipExtractor>();
        m_extractor->setZipFile(m_zip);
        m_extractor->setDestinationFolder(m_out);
        m_extractor->setOverwriteExisting(true);
        m_extractor->setPromptToOverwrite(false);
        connect(m_extractor.get(), &ZipExtractor::progress, this,
                [this](qint32, const QString& m) { m_progress << m; });
    }

    void extractsFlatOverWhatIsThere()
    {
        // "machine.DLL" differs from the zip's "Machine.dll" only in letter case: one file to the host, so no twin.
        QVERIFY(writeBytes(out(u"machine.DLL"_s), "old machine"));
        QVERIFY(ZipWriter().add("a.dll", "alpha", ZipWriter::Method::Store).add("dir/", {})
                    .add("sub/b.dll", noise(100000)).add("sub\\dir\\Machine.dll", "new machine").writeTo(m_zip));
        QVERIFY(m_extractor->extract());
        QCOMPARE(tree(m_out), QStringList({u"a.dll 5"_s, u"b.dll 100000"_s, u"machine.DLL 11"_s}));
        QCOMPARE(contents(out(u"b.dll"_s)), noise(100000));
        QCOMPARE(contents(out(u"machine.DLL"_s)), QByteArray("new machine"));
        // Paths as the platform writes them.
        const auto inflating = [this](const QString& name) {
            return u"  inflating: "_s + QDir::toNativeSeparators(out(name));
        };
        QCOMPARE(m_progress, QStringList({inflating(u"a.dll"_s), inflating(u"b.dll"_s), inflating(u"machine.DLL"_s)}));
    }

    void entryNamesStayInTheFolder_data()
    {
        QTest::addColumn<bool>("useFolderNames");
        QTest::addColumn<QStringList>("extracted");
        QTest::addColumn<int>("refused");
        // Flat, only the last component of a name counts, unless it cannot name a file here.
        QTest::newRow("flat") << false
                              << QStringList({u"a..b.dll 7"_s, u"a.dll 7"_s, u"evil.dll 7"_s, u"good.dll 7"_s,
                                              u"my M\u00e4schine.dll 7"_s, u"x.dll 7"_s, u"y.dll 7"_s})
                              << 4;
        // With folder names, any way out of the folder, or an empty or dot component, refuses the whole entry.
        QTest::newRow("with folders") << true
                                      << QStringList({u"a/"_s, u"a/b/"_s, u"a/b/my M\u00e4schine.dll 7"_s,
                                                      u"good.dll 7"_s, u"v1..2/"_s, u"v1..2/a..b.dll 7"_s})
                                      << 13;
    }

    void entryNamesStayInTheFolder()
    {
        QFETCH(bool, useFolderNames);
        QVERIFY(writeBytes(m_dir->filePath(u"evil.dll"_s), "mine"));
        QVERIFY(writeBytes(m_dir->filePath(u"a/evil.dll"_s), "mine too"));
        ZipWriter writer;
        for (const QByteArray& name : {
                 // Up, absolute, or onto a drive, with either separator.
                 QByteArray("../evil.dll"), QByteArray("..\\..\\evil.dll"), QByteArray("sub/../../../evil.dll"),
                 QFile::encodeName(m_dir->filePath(u"abs/x.dll"_s)), QByteArray("\\abs\\y.dll"),
                 QByteArray("C:\\x\\y.dll"), QByteArray("C:evil.dll"), QByteArray("sub/c:/a.dll"),
                 // Empty or dot components, or no file name.
                 QByteArray("./a.dll"), QByteArray("sub//a.dll"), QByteArray("sub/.."), QByteArray("dir\\"),
                 QByteArray("."),
                 // Ordinary: blanks, letters beyond ASCII, dots inside a component.
                 QByteArray("good.dll"), QByteArray("a/b\\my M\xc3\xa4schine.dll"), QByteArray("v1..2/a..b.dll")}) {
            writer.add(name, "payload");
        }
        QVERIFY(writer.writeTo(m_zip));
        const auto outside = [this] { return tree(m_dir->path()).filter(QRegularExpression(u"^(?!a/b/out/)"_s)); };
        const QStringList before = outside();

        m_extractor->setUseFolderNames(useFolderNames);
        m_extractor->extract();
        QTEST(tree(m_out), "extracted");
        QCOMPARE(outside(), before);
        QTEST(int(m_progress.filter(u"leads outside"_s).size()), "refused");
        QVERIFY(m_progress.contains(u"warning:  skipped C:evil.dll: its name leads outside the folder"_s));
        // libzip reads control characters in a name as code page 437, but a catalogue entry may still hold one.
        for (const char* name : {"a\x1f.dll", "s\x07ub/a.dll"}) {
            QVERIFY(!gw::safeEntryTarget(name, useFolderNames));
        }
    }

    void damageKeepsTheExistingFile_data()
    {
        QTest::addColumn<int>("damage");
        QTest::addColumn<quint32>("size"); // the size declared
        QTest::newRow("archive cut short") << int(CutShort) << 0u;
        QTest::newRow("data changed") << int(Data) << 0u;
        QTest::newRow("declares more") << int(Size) << 400000u;
        // A zip bomb: its claim is refused before anything is read, also when it does not fit in 32 signed bits.
        QTest::newRow("claims over the limit") << int(Size) << quint32(ZipExtraction::kMaxEntrySize + 1);
        QTest::newRow("claims near 4 GiB") << int(Size) << 0xfffffff0u;
    }

    void damageKeepsTheExistingFile()
    {
        QFETCH(int, damage);
        QFETCH(quint32, size);
        QVERIFY(writeBytes(out(u"a.dll"_s), "the good old copy"));
        // Larger than the extraction's buffer, so some of it is written before the damage is found.
        QByteArray zip = ZipWriter().add("a.dll", noise(300000)).add("b.dll", "beta").bytes();
        if (damage == Data) {
            zip[zip.size() / 2] ^= char(0xff); // a.dll's data fills nearly all of the archive
        } else if (damage == Size) {
            // The uncompressed size, 24 bytes into a.dll's central header; its name follows the header's 46.
            qToLittleEndian(size, zip.data() + zip.lastIndexOf("a.dll") - 46 + 24);
        } else {
            zip.chop(10);
        }
        QVERIFY(writeBytes(m_zip, zip));

        QVERIFY(!m_extractor->extract());
        // The old copy is whole, the next entry still arrives, and no temporary file is left beside them.
        const bool unusable = damage == CutShort;
        QCOMPARE(tree(m_out), QStringList({u"a.dll 17"_s, u"b.dll 4"_s}).mid(0, unusable ? 1 : 2));
        QCOMPARE(contents(out(u"a.dll"_s)), QByteArray("the good old copy"));
        const QString message = unusable ? u"error:  cannot open "_s + QDir::toNativeSeparators(m_zip)
                                : size > ZipExtraction::kMaxEntrySize
                                    ? u"warning:  skipped a.dll: it claims %1 bytes"_s.arg(size)
                                    : u"error:  a.dll"_s;
        // Reported once, so the install's log shows it.
        QCOMPARE(m_progress.size(), unusable ? 1 : 2);
        QVERIFY2(m_progress.first().startsWith(message), qPrintable(m_progress.first()));
    }

    void encryptedEntriesAskForAPasswordOnce()
    {
        if (!ZipWriter::aesWritingSupported()) {
            QSKIP("this libzip cannot write AES entries");
        }
        const auto deflate = ZipWriter::Method::Deflate;
        QVERIFY(ZipWriter().add("e1.dll", "first secret", deflate, "secret").add("plain.dll", "plain")
                    .add("e2.dll", "second secret", deflate, "secret").writeTo(m_zip));
        int requests = 0;
        // Nothing in the program answers, so the password stays empty.
        connect(m_extractor.get(), &ZipExtractor::passwordRequest, this, [&](QString&, bool&) { ++requests; });
        m_extractor->extract();
        QCOMPARE(requests, 1);
        QCOMPARE(tree(m_out), QStringList({u"plain.dll 5"_s}));
        QCOMPARE(m_progress.filter(u"warning:  skipped "_s).join(u'|'),
                 u"warning:  skipped e1.dll: no password|warning:  skipped e2.dll: no password"_s);
        // The refusal lasts one run only: the next run asks again.
        m_extractor->extract();
        QCOMPARE(requests, 2);
    }
};

QTEST_GUILESS_MAIN(TestZipExtractor)
#include "tst_zipextractor.moc"
