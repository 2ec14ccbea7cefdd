#include "unzip/EntryName.h"

#include <QtTest>

#include <optional>
#include <string>

namespace {

// "" stands for a rejected name: no accepted target is ever empty.
QByteArray targetOrEmpty(const QByteArray& name, bool useFolderNames)
{
    const std::optional<std::string> target = gw::safeEntryTarget(name.toStdString(), useFolderNames);
    if (target && target->empty()) {
        return "<accepted but empty>";
    }
    return QByteArray::fromStdString(target.value_or(std::string()));
}

} // namespace

class TestEntryName : public QObject
{
    Q_OBJECT

private slots:
    void flatTarget_data();
    void flatTarget();
    void folderTarget_data();
    void folderTarget();
    void fileNameAndFolder_data();
    void fileNameAndFolder();
};

void TestEntryName::flatTarget_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("plain") << QByteArray("a.dll") << QByteArray("a.dll");
    QTest::newRow("slash folders") << QByteArray("sub/dir/a.dll") << QByteArray("a.dll");
    QTest::newRow("backslash folders") << QByteArray("sub\\dir\\a.dll") << QByteArray("a.dll");
    QTest::newRow("mixed, backslash last") << QByteArray("a/b\\c.dll") << QByteArray("c.dll");
    QTest::newRow("mixed, slash last") << QByteArray("a\\b/c.dll") << QByteArray("c.dll");
    QTest::newRow("parent then name") << QByteArray("../evil.dll") << QByteArray("evil.dll");
    QTest::newRow("deep parents") << QByteArray("..\\..\\..\\evil.dll") << QByteArray("evil.dll");
    QTest::newRow("absolute") << QByteArray("/abs/x.dll") << QByteArray("x.dll");
    QTest::newRow("drive and folders") << QByteArray("C:\\x\\y.dll") << QByteArray("y.dll");
    QTest::newRow("space kept") << QByteArray("my machine.dll") << QByteArray("my machine.dll");
    QTest::newRow("dots inside a name") << QByteArray("a..b.dll") << QByteArray("a..b.dll");
    QTest::newRow("high bytes kept") << QByteArray("M\xc3\xa4schine.dll") << QByteArray("M\xc3\xa4schine.dll");

    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("folder entry") << QByteArray("dir/") << QByteArray();
    QTest::newRow("folder entry, backslash") << QByteArray("dir\\") << QByteArray();
    QTest::newRow("dot") << QByteArray(".") << QByteArray();
    QTest::newRow("dot after cut") << QByteArray("a/.") << QByteArray();
    QTest::newRow("dotdot") << QByteArray("..") << QByteArray();
    QTest::newRow("dotdot after cut") << QByteArray("a\\..") << QByteArray();
    QTest::newRow("drive prefix") << QByteArray("C:x.dll") << QByteArray();
    QTest::newRow("stream name") << QByteArray("a.dll:evil") << QByteArray();
    QTest::newRow("NUL") << QByteArray("a\0.dll", 6) << QByteArray();
    QTest::newRow("NUL in a folder") << QByteArray("d\0/a.dll", 8) << QByteArray();
    QTest::newRow("control char") << QByteArray("a\x01.dll") << QByteArray();
    QTest::newRow("line feed") << QByteArray("a\n.dll") << QByteArray();
    QTest::newRow("unit separator") << QByteArray("a\x1f.dll") << QByteArray();
}

void TestEntryName::flatTarget()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, expected);
    QCOMPARE(targetOrEmpty(name, false), expected);
}

void TestEntryName::folderTarget_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("plain") << QByteArray("a.dll") << QByteArray("a.dll");
    QTest::newRow("slash folders kept") << QByteArray("sub/dir/a.dll") << QByteArray("sub/dir/a.dll");
    QTest::newRow("backslashes become slashes") << QByteArray("sub\\dir\\a.dll") << QByteArray("sub/dir/a.dll");
    QTest::newRow("mixed") << QByteArray("sub\\dir/a.dll") << QByteArray("sub/dir/a.dll");
    QTest::newRow("dots inside names") << QByteArray("v1..2/a..b.dll") << QByteArray("v1..2/a..b.dll");

    QTest::newRow("leading dotdot") << QByteArray("../evil.dll") << QByteArray();
    QTest::newRow("dotdot in the middle") << QByteArray("sub/../../evil.dll") << QByteArray();
    QTest::newRow("dotdot with backslash") << QByteArray("sub\\..\\..\\evil.dll") << QByteArray();
    QTest::newRow("dotdot last") << QByteArray("sub/..") << QByteArray();
    QTest::newRow("dot component") << QByteArray("./a.dll") << QByteArray();
    QTest::newRow("absolute") << QByteArray("/abs/x.dll") << QByteArray();
    QTest::newRow("absolute backslash") << QByteArray("\\abs\\x.dll") << QByteArray();
    QTest::newRow("drive path") << QByteArray("C:\\x\\y.dll") << QByteArray();
    QTest::newRow("drive relative") << QByteArray("C:x.dll") << QByteArray();
    QTest::newRow("colon in a folder") << QByteArray("sub/c:/a.dll") << QByteArray();
    QTest::newRow("folder entry") << QByteArray("dir/") << QByteArray();
    QTest::newRow("empty component") << QByteArray("sub//a.dll") << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("control char in a folder") << QByteArray("s\x07ub/a.dll") << QByteArray();
    QTest::newRow("NUL") << QByteArray("sub/a\0.dll", 10) << QByteArray();
}

void TestEntryName::folderTarget()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, expected);
    QCOMPARE(targetOrEmpty(name, true), expected);
}

void TestEntryName::fileNameAndFolder_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("fileName");
    QTest::addColumn<QByteArray>("folder");

    QTest::newRow("no folder") << QByteArray("a.dll") << QByteArray("a.dll") << QByteArray();
    QTest::newRow("slash") << QByteArray("sub/dir/a.dll") << QByteArray("a.dll") << QByteArray("sub/dir");
    QTest::newRow("backslash") << QByteArray("sub\\dir\\a.dll") << QByteArray("a.dll") << QByteArray("sub\\dir");
    QTest::newRow("mixed") << QByteArray("a/b\\c.dll") << QByteArray("c.dll") << QByteArray("a/b");
    QTest::newRow("folder entry") << QByteArray("dir/") << QByteArray() << QByteArray("dir");
    QTest::newRow("root") << QByteArray("/x.dll") << QByteArray("x.dll") << QByteArray();
    QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray();
}

void TestEntryName::fileNameAndFolder()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, fileName);
    QFETCH(QByteArray, folder);
    QCOMPARE(QByteArray::fromStdString(gw::entryFileName(name.toStdString())), fileName);
    QCOMPARE(QByteArray::fromStdString(gw::entryFolder(name.toStdString())), folder);
}

QTEST_GUILESS_MAIN(TestEntryName)
#include "tst_entryname.moc"
