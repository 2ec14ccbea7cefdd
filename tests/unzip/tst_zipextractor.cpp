#include "ZipWriter.h"

#include "unzip/ZipExtraction.h"
#include "unzip/ZipExtractor.h"

#include <QDir>
#include <QDirIterator>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
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

// Damage to an archive: a.dll's stored data, its declared CRC or size, or the whole archive unusable.
enum Damage { Data, Crc, Size, NotAZip, EndCutOff };

/**
 * Forges damage into an archive whose first entry is a.dll: the middle byte of its data inverted, or another CRC or
 * size declared in its central header (and its local one when asked). Its name follows the 30 bytes of its local
 * header and, last in the archive, the 46 of its central one.
 */
bool forge(const QString& path, Damage damage, quint32 value, bool bothHeaders)
{
    QByteArray bytes = contents(path);
    const qsizetype central = bytes.lastIndexOf("a.dll") - 46;
    if (bytes.indexOf("a.dll") != 30 || central < 0) {
        return false;
    }
    if (damage == Data) {
        const qsizetype data = 30 + 5 + qFromLittleEndian<quint16>(bytes.constData() + 28);
        bytes[data + qFromLittleEndian<quint32>(bytes.constData() + central + 20) / 2] ^= char(0xff);
    } else {
        const qsizetype offset = damage == Crc ? 16 : 24; // in the central header; 2 less in the local one
        qToLittleEndian(value, bytes.data() + central + offset);
        if (bothHeaders) {
            qToLittleEndian(value, bytes.data() + offset - 2);
        }
    }
    return writeBytes(path, bytes);
}

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
        QVERIFY(writeBytes(out(u"a.dll"_s), "old a.dll"));
        QVERIFY(writeBytes(out(u"machine.DLL"_s), "old machine"));
        QVERIFY(ZipWriter().add("a.dll", "alpha", ZipWriter::Method::Store).add("dir/", {})
                    .add("sub/b.dll", noise(100000)).add("sub\\dir\\Machine.dll", "new machine").writeTo(m_zip));
        QVERIFY(m_extractor->extract());
        QCOMPARE(tree(m_out), QStringList({u"a.dll 5"_s, u"b.dll 100000"_s, u"machine.DLL 11"_s}));
        QCOMPARE(contents(out(u"b.dll"_s)), noise(100000));
        QCOMPARE(contents(out(u"machine.DLL"_s)), QByteArray("new machine"));
        QCOMPARE(m_progress, QStringList({u"  inflating: "_s + out(u"a.dll"_s), u"  inflating: "_s + out(u"b.dll"_s),
                                          u"  inflating: "_s + out(u"machine.DLL"_s)}));
    }

    void hostileNamesStayInTheFolder_data()
    {
        QTest::addColumn<bool>("useFolderNames");
        QTest::newRow("flat") << false;
        QTest::newRow("with folders") << true;
    }

    void hostileNamesStayInTheFolder()
    {
        QFETCH(bool, useFolderNames);
        QVERIFY(writeBytes(m_dir->filePath(u"evil.dll"_s), "mine"));
        QVERIFY(writeBytes(m_dir->filePath(u"a/evil.dll"_s), "mine too"));
        ZipWriter writer;
        for (const QByteArray& name :
             {QByteArray("../evil.dll"), QByteArray("../../evil.dll"), QByteArray("sub/../../../evil.dll"),
              QByteArray("..\\..\\evil.dll"), QFile::encodeName(m_dir->filePath(u"abs/x.dll"_s)),
              QByteArray("C:\\x\\y.dll"), QByteArray("C:evil.dll"), QByteArray("sub/..")}) {
            writer.add(name, "payload");
        }
        QVERIFY(writer.add("good.dll", "good").writeTo(m_zip));
        const auto outside = [this] { return tree(m_dir->path()).filter(QRegularExpression(u"^(?!a/b/out/)"_s)); };
        const QStringList before = outside();

        m_extractor->setUseFolderNames(useFolderNames);
        m_extractor->extract();
        // Flat, only the last component of a name counts, unless it cannot name a file here; with folders none passes.
        QCOMPARE(tree(m_out), useFolderNames
                                  ? QStringList({u"good.dll 4"_s})
                                  : QStringList({u"evil.dll 7"_s, u"good.dll 4"_s, u"x.dll 7"_s, u"y.dll 7"_s}));
        QCOMPARE(outside(), before);
        QCOMPARE(m_progress.filter(u"leads outside"_s).size(), useFolderNames ? 8 : 2);
        QVERIFY(m_progress.contains(u"warning:  skipped C:evil.dll: its name leads outside the folder"_s));
    }

    void damageKeepsTheExistingFile_data()
    {
        QTest::addColumn<int>("damage");
        QTest::addColumn<bool>("bothHeaders");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<quint32>("value"); // the size or CRC declared
        QTest::newRow("not a zip") << int(NotAZip) << false << false << 0u;
        QTest::newRow("end record cut off") << int(EndCutOff) << false << false << 0u;
        QTest::newRow("stored data changed") << int(Data) << false << true << 0u;
        QTest::newRow("deflated data changed") << int(Data) << false << false << 0u;
        QTest::newRow("CRC, both headers") << int(Crc) << true << true << 0x12345678u;
        QTest::newRow("declares less, central only") << int(Size) << false << false << 1000u;
        QTest::newRow("declares less, both headers, stored") << int(Size) << true << true << 1000u;
        QTest::newRow("declares more") << int(Size) << false << false << 400000u;
        // A zip bomb: its claim is refused before anything is read.
        QTest::newRow("claims over the limit")
            << int(Size) << false << false << quint32(ZipExtraction::kMaxEntrySize + 1);
        QTest::newRow("claims near 4 GiB, both headers") << int(Size) << true << true << 0xfffffff0u;
    }

    void damageKeepsTheExistingFile()
    {
        QFETCH(int, damage);
        QFETCH(bool, bothHeaders);
        QFETCH(bool, stored);
        QFETCH(quint32, value);
        QVERIFY(writeBytes(out(u"a.dll"_s), "the good old copy"));
        // Larger than the extraction's buffer, so some of it is written before the damage is found.
        const auto method = stored ? ZipWriter::Method::Store : ZipWriter::Method::Deflate;
        QVERIFY(ZipWriter().add("a.dll", noise(300000), method).add("b.dll", "beta").writeTo(m_zip));
        if (damage == NotAZip || damage == EndCutOff) {
            QVERIFY(damage == EndCutOff ? QFile::resize(m_zip, QFileInfo(m_zip).size() - 10)
                                        : writeBytes(m_zip, "this is not an archive, just some text that is long"));
        } else {
            QVERIFY(forge(m_zip, Damage(damage), value, bothHeaders));
        }

        QVERIFY(!m_extractor->extract());
        // The old copy is whole, the next entry still arrives, and no temporary file is left beside them.
        const bool unusable = damage == NotAZip || damage == EndCutOff;
        QCOMPARE(tree(m_out), QStringList({u"a.dll 17"_s, u"b.dll 4"_s}).mid(0, unusable ? 1 : 2));
        QCOMPARE(contents(out(u"a.dll"_s)), QByteArray("the good old copy"));
        const QString message = unusable ? u"error:  cannot open "_s + m_zip
                                : value > ZipExtraction::kMaxEntrySize
                                    ? u"warning:  skipped a.dll: it claims %1 bytes"_s.arg(value)
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
        QCOMPARE(m_progress.filter(u"warning:  skipped "_s),
                 QStringList({u"warning:  skipped e1.dll: no password"_s, u"warning:  skipped e2.dll: no password"_s}));
        // The refusal lasts one run only: the next run asks again.
        m_extractor->extract();
        QCOMPARE(requests, 2);
    }
};

QTEST_GUILESS_MAIN(TestZipExtractor)
#include "tst_zipextractor.moc"
