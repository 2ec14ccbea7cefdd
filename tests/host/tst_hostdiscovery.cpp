#include "host/HostDiscovery.h"
#include "MemoryHostSettings.h"
#include "base/Platform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <string>
#include <vector>

using gw::MemoryHostSettings;
using gw::Notice;

namespace {

const QString kProgram = "/opt/gearwarden/";

/** Notices as "Status: text" / "Message: text", so one comparison checks kinds, texts and order. */
QStringList describe(const std::vector<Notice>& notices)
{
    QStringList out;
    for (const Notice& notice : notices) {
        out << (notice.kind == Notice::Kind::Status ? "Status: " : "Message: ") + QString::fromStdString(notice.text);
    }
    return out;
}

QString separator() { return QString(QChar::fromLatin1(gw::platform::pathSeparator())); }

QString native(const QString& path) { return QString(path).replace('/', separator()); }

const QString kKeyMissing =
    "Message: Unable to open the key Settings.  HKEY_CURRENT_USER\\Software\\Jeskola\\Buzz\\Settings not found in "
    "Windows Registry.  Using current directory of %1 as temporary Buzz path.  Try running Buzz usually corrects "
    "Buzz Registry settings.";
const QString kValueMissing =
    "Message: Buzz Settings subkey BuzzPath not found.  HKEY_CURRENT_USER\\Software\\Jeskola\\Buzz\\Settings\\BuzzPath "
    "not found in Windows Registry.  Using current directory of %1 as temporary Buzz path.  Try running Buzz usually "
    "corrects Buzzpath Registry setting.";
const QString kFromSettings = "Status: Buzz path from Buzz registry settings is %1";
const QString kNoFolder = "Message: Buzz path %1 does not exists. Using current directory of %2 as temporary Buzz "
                          "path.  Try running Buzz usually corrects Buzz Registry settings automatically.";
const QString kTemporary = "Status: Temporarily using %1 as buzz path";

} // namespace

class TestHostDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void keyMissing();
    void valueMissing();
    void folderFromSettings_data();
    void folderFromSettings();
    void songFolder_data();
    void songFolder();
    void listDlls();
    void gearFoldersInAnyLetterCase();
};

void TestHostDiscovery::keyMissing()
{
    const MemoryHostSettings settings(false);
    const gw::HostFolder found = gw::findHostFolder(settings, kProgram.toStdString());
    QCOMPARE(describe(found.notices), (QStringList{kKeyMissing.arg(kProgram), kTemporary.arg(kProgram)}));
    QCOMPARE(QString::fromStdString(found.folder), kProgram);
    QVERIFY(!found.fromSettings);
}

void TestHostDiscovery::valueMissing()
{
    QTemporaryDir program;
    QVERIFY(program.isValid());
    const QString programFolder = native(program.path() + "/");
    MemoryHostSettings settings;
    settings.setValue("OpenSongDir", program.path().toStdString()); // another value does not stand in
    const gw::HostFolder found = gw::findHostFolder(settings, programFolder.toStdString());
    const QStringList notices = describe(found.notices);
    QVERIFY(!notices.isEmpty());
    QCOMPARE(notices.first(), kValueMissing.arg(programFolder));
    QCOMPARE(notices.filter("Message: ").size(), 1);
    QCOMPARE(QString::fromStdString(found.folder), programFolder);
    QVERIFY(!found.fromSettings);
}

void TestHostDiscovery::folderFromSettings_data()
{
    QTest::addColumn<QString>("value"); // under a new temporary folder <dir>
    QTest::addColumn<bool>("exists");
    QTest::newRow("separator added") << "<dir>" << true;
    QTest::newRow("separator kept") << "<dir>/" << true;
    QTest::newRow("nothing there") << "<dir>/Buzz" << false;
    QTest::newRow("a file") << "<dir>/file" << false;
}

void TestHostDiscovery::folderFromSettings()
{
    QFETCH(QString, value);
    QFETCH(bool, exists);
    QTemporaryDir dir;
    QFile file(dir.filePath("file"));
    QVERIFY(dir.isValid() && file.open(QIODevice::WriteOnly));
    const QString path = value.replace("<dir>", dir.path());
    MemoryHostSettings settings;
    settings.setValue("BuzzPath", native(path).toStdString());

    const gw::HostFolder found = gw::findHostFolder(settings, kProgram.toStdString());
    const QString folder = native(path.endsWith('/') ? path : path + "/");
    QStringList expected = {kFromSettings.arg(folder)};
    if (!exists) {
        expected << kNoFolder.arg(folder, kProgram) << kTemporary.arg(kProgram);
    }
    QCOMPARE(describe(found.notices), expected);
    QCOMPARE(QString::fromStdString(found.folder), exists ? folder : kProgram);
    QCOMPARE(found.fromSettings, exists);
}

void TestHostDiscovery::songFolder_data()
{
    QTest::addColumn<bool>("keyPresent");
    QTest::addColumn<QString>("value"); // "<dir>" stands for an existing folder; null: no value
    QTest::addColumn<bool>("fromSettings");
    QTest::addColumn<bool>("notice");

    QTest::newRow("key missing") << false << "<dir>" << false << false;
    QTest::newRow("value missing") << true << QString() << false << false;
    QTest::newRow("existing folder") << true << "<dir>" << true << true;
    QTest::newRow("no such folder") << true << "<dir>/gone" << false << true;
    QTest::newRow("empty value") << true << "" << false << true;
}

void TestHostDiscovery::songFolder()
{
    QFETCH(bool, keyPresent);
    QFETCH(QString, value);
    QFETCH(bool, fromSettings);
    QFETCH(bool, notice);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString text = native(QString(value).replace("<dir>", dir.path()));
    MemoryHostSettings settings(keyPresent);
    if (!value.isNull()) {
        settings.setValue("OpenSongDir", text.toStdString());
    }
    std::vector<Notice> notices;
    const std::string folder = gw::findSongFolder(settings, kProgram.toStdString(), notices);
    QCOMPARE(QString::fromStdString(folder), fromSettings ? text : kProgram);
    QCOMPARE(describe(notices), notice ? QStringList{"Status: Open song dir from Buzz settings is " + text}
                                       : QStringList{});
}

void TestHostDiscovery::listDlls()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char* name : {"zeta.dll", "Alpha.DLL", "beta.Dll", "Beta.dll", "readme.txt", "x.dll.bak", "dll",
                             "notdll", "\xc3\x89" "cho.dll"}) {
        QFile file(dir.filePath(QString::fromUtf8(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QDir(dir.path()).mkpath("folder.dll"));
    QVERIFY(QDir(dir.path()).mkpath("sub/inner.dll"));

    const std::vector<std::string> names = gw::listDlls(native(dir.path()).toStdString());
    QCOMPARE(names, (std::vector<std::string>{"Alpha.DLL", "beta.Dll", "Beta.dll", "\xc3\x89" "cho.dll", "zeta.dll"}));
    QVERIFY(gw::listDlls(native(dir.filePath("gear/generators")).toStdString()).empty()); // no such folder
}

void TestHostDiscovery::gearFoldersInAnyLetterCase()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string host = native(dir.path() + "/").toStdString();
    const auto expect = [&](const QString& path) { return native(dir.path() + "/" + path).toStdString(); };
    // Nothing there yet: the names the window creates.
    QCOMPARE(gw::generatorsFolder(host), expect("gear/generators"));
    // A Wine installation's folders, as they were made on a case-sensitive disk.
    QVERIFY(QDir(dir.path()).mkpath("Gear/Generators"));
    QVERIFY(QDir(dir.path()).mkpath("Gear/eFFects"));
    QCOMPARE(gw::gearFolder(host), expect("Gear"));
    QCOMPARE(gw::generatorsFolder(host), expect("Gear/Generators"));
    QCOMPARE(gw::effectsFolder(host), expect("Gear/eFFects"));
    // The exact name wins over a twin in another case.
    QVERIFY(QDir(dir.path()).mkpath("gear/generators"));
    QCOMPARE(gw::generatorsFolder(host), expect("gear/generators"));
    QCOMPARE(gw::effectsFolder(host), expect("gear/effects"));
}

QTEST_GUILESS_MAIN(TestHostDiscovery)
#include "tst_hostdiscovery.moc"
