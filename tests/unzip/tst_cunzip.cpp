#include "TestFiles.h"
#include "ZipWriter.h"

#include "unzip/ZipExtractor.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using gw::test::ZipWriter;
namespace zipforge = gw::test::zipforge;

namespace {

/** Bytes that deflate cannot shrink much, so damage lands in real data. */
QByteArray noise(int size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i) {
        seed = seed * 1664525u + 1013904223u;
        bytes[i] = static_cast<char>(seed >> 24);
    }
    return bytes;
}

using TestFiles::contents;
using TestFiles::writeBytes;

/** Every file and folder below root, relative, with each file's size; hidden ones too. */
QStringList tree(const QString& root)
{
    QStringList found;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString relative = QDir(root).relativeFilePath(it.filePath());
        found << (it.fileInfo().isDir() ? relative + QLatin1Char('/')
                                        : relative + QStringLiteral(" %1").arg(it.fileInfo().size()));
    }
    found.sort();
    return found;
}

} // namespace

class TestCUnzip : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void unzipWritesEveryFileFlat();
    void unzipFailsWithoutAUsableArchive_data();
    void unzipFailsWithoutAUsableArchive();
    void directoryListsTheEntries();
    void deselectedEntryIsNotExtracted_data();
    void deselectedEntryIsNotExtracted();
    void entryPath_data();
    void entryPath();
    void hostileNamesStayInTheFolder_data();
    void hostileNamesStayInTheFolder();
    void folderNamesCreateSubfolders();
    void overwrite_data();
    void overwrite();
    void damagedEntryKeepsTheExistingFile_data();
    void damagedEntryKeepsTheExistingFile();
    void hugeDeclaredSizeIsRefused_data();
    void hugeDeclaredSizeIsRefused();
    void encryptedEntryWithoutPassword_data();
    void encryptedEntryWithoutPassword();
    void encryptedEntryWithPassword_data();
    void encryptedEntryWithPassword();
    void cancelStopsTheRun();
    void spaceToUnderScore_data();
    void spaceToUnderScore();

private:
    /** A ZipExtractor set up as the installer sets it, for the test archive and folder, recording its messages. */
    std::unique_ptr<ZipExtractor> makeUnzip();
    void writeZip(const ZipWriter& writer);
    QString out(const QString& name = QString()) const
    {
        return name.isEmpty() ? m_out : m_out + QLatin1Char('/') + name;
    }
    QStringList progressStarting(const QString& start) const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_zip;
    QString m_out;
    QStringList m_progress;
};

void TestCUnzip::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    // Two levels between the temporary folder and the extraction folder, so "../" and "../../" land in the tree.
    m_out = m_dir->path() + QStringLiteral("/a/b/out");
    QVERIFY(QDir().mkpath(m_out));
    m_zip = m_dir->path() + QStringLiteral("/in.zip");
    m_progress.clear();
}

void TestCUnzip::cleanup() { m_dir.reset(); }

std::unique_ptr<ZipExtractor> TestCUnzip::makeUnzip()
{
    auto unzip = std::make_unique<ZipExtractor>();
    unzip->setZipFile(m_zip);
    unzip->setDestinationFolder(m_out);
    unzip->setOverwriteExisting(true);
    unzip->setPromptToOverwrite(false);
    connect(unzip.get(), &ZipExtractor::progress, this, [this](qint32, const QString& message) { m_progress << message; });
    return unzip;
}

void TestCUnzip::writeZip(const ZipWriter& writer)
{
    QString error;
    QVERIFY2(writer.writeTo(m_zip, &error), qPrintable(error));
}

QStringList TestCUnzip::progressStarting(const QString& start) const
{
    QStringList found;
    for (const QString& message : m_progress) {
        if (message.startsWith(start)) {
            found << message;
        }
    }
    return found;
}

void TestCUnzip::unzipWritesEveryFileFlat()
{
    writeZip(ZipWriter()
                 .add("a.dll", "alpha", ZipWriter::Method::Store)
                 .addFolder("dir/")
                 .add("sub/b.dll", noise(100000, 1))
                 .add("sub\\dir\\c.dll", "gamma"));
    auto unzip = makeUnzip();
    QVERIFY(!unzip->useFolderNames());
    QVERIFY(unzip->extract());

    QCOMPARE(tree(out()), QStringList({QStringLiteral("a.dll 5"), QStringLiteral("b.dll 100000"),
                                       QStringLiteral("c.dll 5")}));
    QCOMPARE(contents(out(QStringLiteral("a.dll"))), QByteArray("alpha"));
    QCOMPARE(contents(out(QStringLiteral("b.dll"))), noise(100000, 1));
    QCOMPARE(contents(out(QStringLiteral("c.dll"))), QByteArray("gamma"));
    QCOMPARE(m_progress, QStringList({QStringLiteral("  inflating: ") + out(QStringLiteral("a.dll")),
                                      QStringLiteral("  inflating: ") + out(QStringLiteral("b.dll")),
                                      QStringLiteral("  inflating: ") + out(QStringLiteral("c.dll"))}));
}

void TestCUnzip::unzipFailsWithoutAUsableArchive_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("libraryRuns");

    QTest::newRow("no zip named") << "empty" << false;
    QTest::newRow("missing file") << "missing" << true;
    QTest::newRow("not a zip") << "text" << true;
    QTest::newRow("end record cut off") << "truncated" << true;
}

void TestCUnzip::unzipFailsWithoutAUsableArchive()
{
    QFETCH(QString, kind);
    QFETCH(bool, libraryRuns);

    writeZip(ZipWriter().add("a.dll", "alpha"));
    if (kind == QLatin1String("text")) {
        QVERIFY(writeBytes(m_zip, "this is not an archive, just some text that is long enough"));
    } else if (kind == QLatin1String("truncated")) {
        QVERIFY(zipforge::truncate(m_zip, QFileInfo(m_zip).size() - 10));
    } else if (kind == QLatin1String("missing")) {
        QVERIFY(QFile::remove(m_zip));
    }
    auto unzip = makeUnzip();
    if (kind == QLatin1String("empty")) {
        unzip->setZipFile(QString());
    }
    QVERIFY(!unzip->extract());
    QVERIFY(tree(out()).isEmpty());
    // The library reports every archive it fails to open; with no archive named it must not run at all.
    QCOMPARE(progressStarting(QStringLiteral("error:  cannot open ")).size(), libraryRuns ? 1 : 0);
    QCOMPARE(m_progress.size(), libraryRuns ? 1 : 0);
}

void TestCUnzip::directoryListsTheEntries()
{
    writeZip(ZipWriter()
                 .add("a.dll", "alpha", ZipWriter::Method::Store)
                 .addFolder("dir/")
                 .add("sub/b.dll", noise(1000, 2))
                 .add("sub\\dir\\c.dll", QByteArray(300, 'c')));
    auto unzip = makeUnzip();
    QCOMPARE(unzip->fileCount(), 0);
    QCOMPARE(unzip->list(), 0);
    QCOMPARE(unzip->fileCount(), 3);

    const QString sep = QDir::separator();
    const struct
    {
        const char* name;
        QString folder;
        qint32 size;
        const char* method;
    } expected[] = {{"a.dll", QString(), 5, "Stored"},
                    {"b.dll", QStringLiteral("sub"), 1000, "Defl:N"},
                    {"c.dll", QStringLiteral("sub") + sep + QStringLiteral("dir"), 300, "Defl:N"}};
    for (int i = 1; i <= 3; ++i) {
        const auto& want = expected[i - 1];
        QCOMPARE(unzip->fileName(i), QString::fromLatin1(want.name));
        QCOMPARE(unzip->fileDirectory(i), want.folder);
        QCOMPARE(unzip->fileSize(i), want.size);
        QCOMPARE(unzip->fileCompressionMethod(i), QString::fromLatin1(want.method));
        QVERIFY(unzip->fileSelected(i));
        QVERIFY(!unzip->fileEncrypted(i));
    }
    QVERIFY(unzip->fileCompressionRatio(3) < 20); // 300 equal bytes pack small
    QCOMPARE(unzip->fileName(0), QString());
    QCOMPARE(unzip->fileName(4), QString());

    // Listing again adds after what is there; naming an archive starts afresh.
    unzip->list();
    QCOMPARE(unzip->fileCount(), 6);
    QCOMPARE(unzip->fileName(4), QStringLiteral("a.dll"));
    QCOMPARE(unzip->fileName(6), QStringLiteral("c.dll"));
    unzip->setZipFile(m_zip);
    QCOMPARE(unzip->fileCount(), 0);
    QVERIFY(tree(out()).isEmpty());
}

void TestCUnzip::deselectedEntryIsNotExtracted_data()
{
    QTest::addColumn<int>("deselected");
    QTest::addColumn<QStringList>("written");

    QTest::newRow("first") << 1 << QStringList({QStringLiteral("b.dll 4"), QStringLiteral("c.dll 5")});
    QTest::newRow("second") << 2 << QStringList({QStringLiteral("a.dll 5"), QStringLiteral("c.dll 5")});
    QTest::newRow("third") << 3 << QStringList({QStringLiteral("a.dll 5"), QStringLiteral("b.dll 4")});
}

void TestCUnzip::deselectedEntryIsNotExtracted()
{
    QFETCH(int, deselected);
    QFETCH(QStringList, written);

    // Folders of both kinds, so the names the selection builds must match the names the archive holds.
    writeZip(ZipWriter().add("a.dll", "alpha").add("sub/b.dll", "beta").add("sub\\dir\\c.dll", "gamma"));
    auto unzip = makeUnzip();
    unzip->list();
    QCOMPARE(unzip->fileCount(), 3);
    unzip->setFileSelected(deselected, false);
    QVERIFY(!unzip->fileSelected(deselected));
    QVERIFY(unzip->extract());
    QCOMPARE(tree(out()), written);
}

void TestCUnzip::entryPath_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("expected");

    QTest::newRow("no folder") << "" << "a" << "a";
    QTest::newRow("NUL folder") << QString(QChar(0)) << "a" << "a";
    QTest::newRow("backslashes") << "d\\e" << "f" << "d/e/f";
    QTest::newRow("slashes") << "d/e" << "f" << "d/e/f";
}

void TestCUnzip::entryPath()
{
    QFETCH(QString, folder);
    QFETCH(QString, file);
    QFETCH(QString, expected);
    QCOMPARE(ZipExtractor::entryPath(folder, file), expected);
}

void TestCUnzip::hostileNamesStayInTheFolder_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("useFolderNames");
    QTest::addColumn<QString>("flatName"); // where a flat run puts it; empty when refused

    // An absolute name inside the temporary folder: if it escaped, the tree comparison would see it.
    const QByteArray absolute = QFile::encodeName(QDir::tempPath()) + "/gw-unzip-abs-" +
                                QByteArray::number(QCoreApplication::applicationPid()) + "/x.dll";
    const struct
    {
        const char* row;
        QByteArray name;
        QString flatName;
    } names[] = {
        {"parent", "../evil.dll", QStringLiteral("evil.dll")},
        {"grandparent", "../../evil.dll", QStringLiteral("evil.dll")},
        {"back up from a folder", "sub/../../../evil.dll", QStringLiteral("evil.dll")},
        {"backslash parent", "..\\..\\evil.dll", QStringLiteral("evil.dll")},
        {"absolute", absolute, QStringLiteral("x.dll")},
        {"drive", "C:\\x\\y.dll", QStringLiteral("y.dll")},
        {"drive relative", "C:evil.dll", QString()},
        {"parent alone", "sub/..", QString()},
    };
    for (const auto& n : names) {
        QTest::addRow("%s, flat", n.row) << n.name << false << n.flatName;
        QTest::addRow("%s, with folders", n.row) << n.name << true << QString();
    }
}

void TestCUnzip::hostileNamesStayInTheFolder()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, useFolderNames);
    QFETCH(QString, flatName);

    const QString outside = QString::fromLocal8Bit(name).startsWith(QLatin1Char('/'))
                                ? QFileInfo(QString::fromLocal8Bit(name)).absolutePath()
                                : QString();
    QVERIFY(outside.isEmpty() || !QFileInfo::exists(outside));
    QVERIFY(writeBytes(m_dir->path() + QStringLiteral("/evil.dll"), "mine"));
    QVERIFY(writeBytes(m_dir->path() + QStringLiteral("/a/evil.dll"), "mine too"));
    writeZip(ZipWriter().add(name, "payload").add("good.dll", "good"));
    const QStringList before = tree(m_dir->path());

    auto unzip = makeUnzip();
    unzip->setUseFolderNames(useFolderNames);
    unzip->extract();

    QStringList expected = {QStringLiteral("good.dll 4")};
    if (!flatName.isEmpty()) {
        expected << flatName + QStringLiteral(" 7");
        expected.sort();
        QCOMPARE(m_progress.first(), QStringLiteral("  inflating: ") + out(flatName));
    } else {
        QCOMPARE(m_progress.first(), QStringLiteral("warning:  skipped ") + QString::fromLocal8Bit(name) +
                                         QStringLiteral(": its name leads outside the folder"));
    }
    QCOMPARE(tree(out()), expected);
    QCOMPARE(contents(out(QStringLiteral("good.dll"))), QByteArray("good"));
    // Everything around the extraction folder is as it was.
    QStringList after = tree(m_dir->path());
    after.removeIf([](const QString& entry) { return entry.startsWith(QLatin1String("a/b/out/")); });
    QStringList beforeOutside = before;
    beforeOutside.removeIf([](const QString& entry) { return entry.startsWith(QLatin1String("a/b/out/")); });
    QCOMPARE(after, beforeOutside);
    if (!outside.isEmpty()) {
        const bool escaped = QFileInfo::exists(outside);
        QDir(outside).removeRecursively();
        QVERIFY(!escaped);
    }
}

void TestCUnzip::folderNamesCreateSubfolders()
{
    writeZip(ZipWriter()
                 .add("a.dll", "alpha")
                 .addFolder("dir/")
                 .add("sub/b.dll", "beta")
                 .add("sub\\dir\\c.dll", "gamma"));
    auto unzip = makeUnzip();
    unzip->setUseFolderNames(true);
    QVERIFY(unzip->extract());
    QStringList written = tree(out());
    written.removeAll(QStringLiteral("dir/")); // an empty folder entry may or may not be made
    QCOMPARE(written, QStringList({QStringLiteral("a.dll 5"), QStringLiteral("sub/"), QStringLiteral("sub/b.dll 4"),
                                   QStringLiteral("sub/dir/"), QStringLiteral("sub/dir/c.dll 5")}));
    QCOMPARE(contents(out(QStringLiteral("sub/dir/c.dll"))), QByteArray("gamma"));
    QVERIFY(m_progress.contains(QStringLiteral("  inflating: ") + out(QStringLiteral("sub/dir/c.dll"))));
}

void TestCUnzip::overwrite_data()
{
    QTest::addColumn<bool>("overwriteExisting");
    QTest::addColumn<bool>("promptToOverwrite");
    QTest::addColumn<int>("answer"); // 0: leave the answer as it comes
    QTest::addColumn<int>("prompts");
    QTest::addColumn<bool>("replaced");

    QTest::newRow("replace without asking") << true << false << 0 << 0 << true;
    QTest::newRow("neither flag keeps") << false << false << 0 << 0 << false;
    QTest::newRow("prompt, default answer keeps") << true << true << 0 << 2 << false;
    QTest::newRow("prompt, 100 keeps") << true << true << 100 << 2 << false;
    QTest::newRow("prompt, 102 replaces") << true << true << 102 << 2 << true;
    QTest::newRow("prompt alone, 102 replaces") << false << true << 102 << 2 << true;
    QTest::newRow("prompt, 103 replaces all") << true << true << 103 << 1 << true;
    QTest::newRow("prompt, 104 keeps all") << true << true << 104 << 1 << false;
}

void TestCUnzip::overwrite()
{
    QFETCH(bool, overwriteExisting);
    QFETCH(bool, promptToOverwrite);
    QFETCH(int, answer);
    QFETCH(int, prompts);
    QFETCH(bool, replaced);

    QVERIFY(writeBytes(out(QStringLiteral("a.dll")), "old a"));
    QVERIFY(writeBytes(out(QStringLiteral("b.dll")), "old b"));
    writeZip(ZipWriter().add("a.dll", "new a").add("b.dll", "new b").add("c.dll", "new c"));
    auto unzip = makeUnzip();
    unzip->setOverwriteExisting(overwriteExisting);
    unzip->setPromptToOverwrite(promptToOverwrite);
    QStringList asked;
    QList<int> offered;
    connect(unzip.get(), &ZipExtractor::overwritePrompt, this, [&](const QString& file, int& response) {
        asked << file;
        offered << response;
        if (answer != 0) {
            response = answer;
        }
    });
    QVERIFY(unzip->extract());

    QCOMPARE(asked.size(), prompts);
    if (prompts > 0) {
        QCOMPARE(asked.first(), QDir::toNativeSeparators(out(QStringLiteral("a.dll"))));
        QCOMPARE(offered.first(), int(ZipExtractor::ReplaceNo));
    }
    QCOMPARE(contents(out(QStringLiteral("a.dll"))), replaced ? QByteArray("new a") : QByteArray("old a"));
    QCOMPARE(contents(out(QStringLiteral("b.dll"))), replaced ? QByteArray("new b") : QByteArray("old b"));
    QCOMPARE(contents(out(QStringLiteral("c.dll"))), QByteArray("new c"));
    QCOMPARE(tree(out()).size(), 3);
}

void TestCUnzip::damagedEntryKeepsTheExistingFile_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<bool>("stored");

    QTest::newRow("stored data changed") << "data" << true;
    QTest::newRow("deflated data changed") << "data" << false;
    QTest::newRow("CRC, central only") << "crc central" << false;
    QTest::newRow("CRC, both headers") << "crc both" << true;
    QTest::newRow("declares less, central only") << "smaller central" << false;
    QTest::newRow("declares less, both headers, stored") << "smaller both" << true;
    QTest::newRow("declares more") << "larger central" << false;
}

void TestCUnzip::damagedEntryKeepsTheExistingFile()
{
    QFETCH(QString, damage);
    QFETCH(bool, stored);

    // Larger than the engine's buffer, so some of it reaches the disk before the damage is found.
    const QByteArray data = noise(300000, 3);
    QVERIFY(writeBytes(out(QStringLiteral("a.dll")), "the good old copy"));
    writeZip(ZipWriter()
                 .add("a.dll", data, stored ? ZipWriter::Method::Store : ZipWriter::Method::Deflate)
                 .add("b.dll", "beta"));
    const auto where = damage.endsWith(QLatin1String("both")) ? zipforge::Headers::LocalAndCentral
                                                               : zipforge::Headers::CentralOnly;
    if (damage == QLatin1String("data")) {
        QVERIFY(zipforge::corruptData(m_zip, "a.dll"));
    } else if (damage.startsWith(QLatin1String("crc"))) {
        QVERIFY(zipforge::setDeclaredCrc(m_zip, "a.dll", 0x12345678, where));
    } else if (damage.startsWith(QLatin1String("smaller"))) {
        QVERIFY(zipforge::setDeclaredSize(m_zip, "a.dll", 1000, where));
    } else {
        QVERIFY(zipforge::setDeclaredSize(m_zip, "a.dll", 400000, where));
    }

    auto unzip = makeUnzip();
    QVERIFY(!unzip->extract());
    QCOMPARE(contents(out(QStringLiteral("a.dll"))), QByteArray("the good old copy"));
    QCOMPARE(contents(out(QStringLiteral("b.dll"))), QByteArray("beta"));
    // No temporary file is left beside them.
    QCOMPARE(tree(out()), QStringList({QStringLiteral("a.dll 17"), QStringLiteral("b.dll 4")}));
    const QStringList errors = progressStarting(QStringLiteral("error:  a.dll"));
    QCOMPARE(errors.size(), 1);
    QVERIFY(!m_progress.contains(QStringLiteral("  inflating: ") + out(QStringLiteral("a.dll"))));
}

void TestCUnzip::hugeDeclaredSizeIsRefused_data()
{
    QTest::addColumn<quint32>("size");
    QTest::addColumn<bool>("localToo");

    QTest::newRow("1 GiB + 1, central only") << quint32(0x40000001) << false;
    QTest::newRow("1 GiB + 1, both headers") << quint32(0x40000001) << true;
    QTest::newRow("near 4 GiB, central only") << quint32(0xfffffff0) << false;
}

void TestCUnzip::hugeDeclaredSizeIsRefused()
{
    QFETCH(quint32, size);
    QFETCH(bool, localToo);

    writeZip(ZipWriter().add("big.dll", QByteArray(10000, 'x')).add("b.dll", "beta"));
    QVERIFY(zipforge::setDeclaredSize(m_zip, "big.dll", size,
                                      localToo ? zipforge::Headers::LocalAndCentral : zipforge::Headers::CentralOnly));
    auto unzip = makeUnzip();
    unzip->extract();
    QCOMPARE(tree(out()), QStringList({QStringLiteral("b.dll 4")}));
    QCOMPARE(m_progress.first(), QStringLiteral("warning:  skipped big.dll: it claims %1 bytes").arg(size));
}

void TestCUnzip::encryptedEntryWithoutPassword_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<bool>("cancel");

    QTest::newRow("no answer") << QString() << false;
    QTest::newRow("cancelled with a password") << QStringLiteral("secret") << true;
}

void TestCUnzip::encryptedEntryWithoutPassword()
{
    QFETCH(QString, given);
    QFETCH(bool, cancel);

    if (!ZipWriter::aesWritingSupported()) {
        QSKIP("this libzip cannot write AES entries");
    }
    writeZip(ZipWriter()
                 .addEncrypted("e1.dll", "first secret", "secret")
                 .add("plain.dll", "plain")
                 .addEncrypted("e2.dll", "second secret", "secret"));
    auto unzip = makeUnzip();
    unzip->list();
    QVERIFY(unzip->fileEncrypted(1));
    QVERIFY(!unzip->fileEncrypted(2));
    int requests = 0;
    connect(unzip.get(), &ZipExtractor::passwordRequest, this, [&](QString& password, bool& bCancel) {
        ++requests;
        password = given;
        bCancel = cancel;
    });
    unzip->extract();
    QCOMPARE(requests, 1);
    QCOMPARE(tree(out()), QStringList({QStringLiteral("plain.dll 5")}));
    QCOMPARE(progressStarting(QStringLiteral("warning:  skipped ")),
             QStringList({QStringLiteral("warning:  skipped e1.dll: no password"),
                          QStringLiteral("warning:  skipped e2.dll: no password")}));

    // The refusal lasts one run only: the next run asks again.
    unzip->extract();
    QCOMPARE(requests, 2);
}

void TestCUnzip::encryptedEntryWithPassword_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<bool>("extracted");

    QTest::newRow("right") << QStringLiteral("secret") << true;
    QTest::newRow("wrong") << QStringLiteral("guess") << false;
}

void TestCUnzip::encryptedEntryWithPassword()
{
    QFETCH(QString, given);
    QFETCH(bool, extracted);

    if (!ZipWriter::aesWritingSupported()) {
        QSKIP("this libzip cannot write AES entries");
    }
    writeZip(ZipWriter()
                 .addEncrypted("e1.dll", noise(100000, 4), "secret")
                 .add("plain.dll", "plain")
                 .addEncrypted("e2.dll", "second secret", "secret"));
    auto unzip = makeUnzip();
    int requests = 0;
    connect(unzip.get(), &ZipExtractor::passwordRequest, this, [&](QString& password, bool&) {
        ++requests;
        password = given;
    });
    QCOMPARE(unzip->extract(), extracted);
    QVERIFY(requests >= 1);
    if (extracted) {
        QCOMPARE(contents(out(QStringLiteral("e1.dll"))), noise(100000, 4));
        QCOMPARE(contents(out(QStringLiteral("e2.dll"))), QByteArray("second secret"));
        QCOMPARE(tree(out()).size(), 3);
    } else {
        QCOMPARE(tree(out()), QStringList({QStringLiteral("plain.dll 5")}));
        QCOMPARE(progressStarting(QStringLiteral("error:  e1.dll")).size(), 1);
    }
}

void TestCUnzip::cancelStopsTheRun()
{
    writeZip(ZipWriter().add("a.dll", "alpha").add("b.dll", "beta").add("c.dll", "gamma"));
    auto unzip = makeUnzip();
    QStringList offered;
    connect(unzip.get(), &ZipExtractor::cancelRequested, this, [&](const QString& message, bool& bCancel) {
        offered << message;
        bCancel = message == QLatin1String("b.dll");
    });
    QVERIFY(!unzip->extract());
    QCOMPARE(offered, QStringList({QStringLiteral("a.dll"), QStringLiteral("b.dll")}));
    QCOMPARE(tree(out()), QStringList({QStringLiteral("a.dll 5")}));
}

void TestCUnzip::spaceToUnderScore_data()
{
    QTest::addColumn<bool>("replace");
    QTest::addColumn<bool>("useFolderNames");
    QTest::addColumn<QStringList>("written");

    QTest::newRow("kept") << false << false << QStringList({QStringLiteral("my machine.dll 1")});
    QTest::newRow("replaced") << true << false << QStringList({QStringLiteral("my_machine.dll 1")});
    QTest::newRow("replaced in folders too")
        << true << true << QStringList({QStringLiteral("my_dir/"), QStringLiteral("my_dir/my_machine.dll 1")});
}

void TestCUnzip::spaceToUnderScore()
{
    QFETCH(bool, replace);
    QFETCH(bool, useFolderNames);
    QFETCH(QStringList, written);

    writeZip(ZipWriter().add("my dir/my machine.dll", "m"));
    auto unzip = makeUnzip();
    unzip->setSpaceToUnderScore(replace);
    unzip->setUseFolderNames(useFolderNames);
    QVERIFY(unzip->extract());
    QCOMPARE(tree(out()), written);
}

QTEST_GUILESS_MAIN(TestCUnzip)
#include "tst_cunzip.moc"
