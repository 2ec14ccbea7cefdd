#include "unzip/EntryName.h"

#include <QtTest>

class TestEntryName : public QObject
{
    Q_OBJECT

private slots:
    void safeEntryTarget_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("flat");    // the target without folder names; "" when refused
        QTest::addColumn<QByteArray>("folders"); // the target with folder names; "" when refused
        const auto row = [](const QByteArray& name, const char* flat, const char* folders) {
            QTest::newRow(name.isEmpty() ? "(empty)" : name.toPercentEncoding("/\\:. ").constData())
                << name << QByteArray(flat) << QByteArray(folders);
        };
        row("a.dll", "a.dll", "a.dll");
        row("sub/dir/a.dll", "a.dll", "sub/dir/a.dll");
        row("sub\\dir\\a.dll", "a.dll", "sub/dir/a.dll");
        row("a/b\\c.dll", "c.dll", "a/b/c.dll");
        row("a\\b/c.dll", "c.dll", "a/b/c.dll");
        row("v1..2/a..b.dll", "a..b.dll", "v1..2/a..b.dll");
        row("my machine.dll", "my machine.dll", "my machine.dll");
        row("M\xc3\xa4schine.dll", "M\xc3\xa4schine.dll", "M\xc3\xa4schine.dll");
        // Flat, only the last component counts; with folder names, any way out of the folder refuses the entry.
        row("../evil.dll", "evil.dll", "");
        row("..\\..\\..\\evil.dll", "evil.dll", "");
        row("sub/../../evil.dll", "evil.dll", "");
        row("./a.dll", "a.dll", "");
        row("sub//a.dll", "a.dll", "");
        row("/abs/x.dll", "x.dll", "");
        row("\\abs\\x.dll", "x.dll", "");
        row("C:\\x\\y.dll", "y.dll", "");
        row("sub/c:/a.dll", "a.dll", "");
        // No file name, a drive, a stream or a control character: refused either way.
        for (const QByteArray& name :
             {QByteArray(), QByteArray("dir/"), QByteArray("dir\\"), QByteArray("."), QByteArray(".."),
              QByteArray("a/."), QByteArray("a\\.."), QByteArray("sub/.."), QByteArray("C:x.dll"),
              QByteArray("a.dll:evil"), QByteArray("a\0.dll", 6), QByteArray("d\0/a.dll", 8), QByteArray("a\x01.dll"),
              QByteArray("a\n.dll"), QByteArray("a\x1f.dll"), QByteArray("s\x07ub/a.dll")}) {
            row(name, "", "");
        }
    }
    void safeEntryTarget()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, flat);
        QFETCH(QByteArray, folders);
        for (const bool useFolderNames : {false, true}) {
            const std::optional<std::string> target = gw::safeEntryTarget(name.toStdString(), useFolderNames);
            QVERIFY(!target || !target->empty()); // an accepted target is never empty, so "" can mean refused
            QCOMPARE(QByteArray::fromStdString(target.value_or("")), useFolderNames ? folders : flat);
        }
    }

    void fileNameAndFolder()
    {
        const char* const cases[][3] = {// name, file name, folder
                                        {"a.dll", "a.dll", ""},          {"sub/dir/a.dll", "a.dll", "sub/dir"},
                                        {"sub\\dir\\a.dll", "a.dll", "sub\\dir"}, {"a/b\\c.dll", "c.dll", "a/b"},
                                        {"dir/", "", "dir"},             {"/x.dll", "x.dll", ""},
                                        {"", "", ""}};
        for (const auto& [name, fileName, folder] : cases) {
            QCOMPARE(gw::entryFileName(name), std::string(fileName));
            QCOMPARE(gw::entryFolder(name), std::string(folder));
        }
    }
};

QTEST_GUILESS_MAIN(TestEntryName)
#include "tst_entryname.moc"
