#include "MemoryHostSettings.h"
#include "base/Platform.h"
#include "host/HostDiscovery.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <tuple>

using gw::MemoryHostSettings;

namespace {

/** Notices as "Status: text" / "Message: text", so one comparison checks kinds, texts and order. */
QStringList describe(const std::vector<gw::Notice>& notices)
{
    QStringList out;
    for (const gw::Notice& notice : notices) {
        out << (notice.kind == gw::Notice::Kind::Status ? "Status: " : "Message: ") +
                   QString::fromStdString(notice.text);
    }
    return out;
}

QString native(QString path)
{
    return path.replace('/', QChar::fromLatin1(gw::platform::pathSeparator()));
}

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
    void hostFolder_data()
    {
        QTest::addColumn<QString>("value"); // BuzzPath below <dir>, which holds a file; null: no value; "-": no key
        QTest::addColumn<bool>("exists");
        QTest::newRow("no key") << "-" << false;
        QTest::newRow("no value") << QString() << false;
        QTest::newRow("separator added") << "<dir>" << true;
        QTest::newRow("separator kept") << "<dir>/" << true;
        QTest::newRow("nothing there") << "<dir>/Buzz" << false;
        QTest::newRow("a file") << "<dir>/file" << false;
    }

    void hostFolder()
    {
        QFETCH(QString, value);
        QFETCH(bool, exists);
        QTemporaryDir dir;
        QFile file(dir.filePath("file"));
        QVERIFY(QDir(dir.path()).mkpath("program") && file.open(QIODevice::WriteOnly));
        const QString program = native(dir.filePath("program/"));
        const QString path = native(QString(value).replace("<dir>", dir.path()));
        MemoryHostSettings settings(value != "-");
        settings.setValue("OpenSongDir", dir.path().toStdString()); // another value does not stand in
        if (!value.isNull()) {
            settings.setValue("BuzzPath", path.toStdString());
        }

        const gw::HostFolder found = gw::findHostFolder(settings, program.toStdString());
        const QString folder = path.endsWith(native("/")) ? path : path + native("/");
        QStringList expected = {value == "-"     ? kKeyMissing.arg(program)
                                : value.isNull() ? kValueMissing.arg(program)
                                                 : kFromSettings.arg(folder)};
        if (!value.isNull() && value != "-" && !exists) {
            expected << kNoFolder.arg(folder, program);
        }
        if (!exists) {
            expected << kTemporary.arg(program);
        }
        QCOMPARE(describe(found.notices), expected);
        QCOMPARE(QString::fromStdString(found.folder), exists ? folder : program);
        QCOMPARE(found.fromSettings, exists);
    }

    void songFolder()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("file"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QString program = "/opt/gearwarden/", existing = native(dir.path()), gone = native(dir.filePath("gone"));
        // Key present, value (null: none), folder found, and whether a notice names the value.
        const std::tuple<bool, QString, QString, bool> cases[] = {
            {false, existing, program, false},
            {true, QString(), program, false},
            {true, existing, existing, true},
            {true, gone, program, true},
            {true, native(file.fileName()), program, true},
        };
        for (const auto& [keyPresent, value, folder, notice] : cases) {
            MemoryHostSettings settings(keyPresent);
            if (!value.isNull()) {
                settings.setValue("OpenSongDir", value.toStdString());
            }
            std::vector<gw::Notice> notices;
            QCOMPARE(QString::fromStdString(gw::findSongFolder(settings, program.toStdString(), notices)), folder);
            QCOMPARE(describe(notices),
                     notice ? QStringList{"Status: Open song dir from Buzz settings is " + value} : QStringList{});
        }
    }

    void gearFolders()
    {
        QTemporaryDir dir;
        const std::string host = native(dir.path() + "/").toStdString();
        const auto expect = [&](const QString& path) { return native(dir.path() + "/" + path).toStdString(); };
        // Nothing there yet: the names the window creates, and nothing listed.
        QCOMPARE(gw::generatorsFolder(host), expect("gear/generators"));
        QVERIFY(gw::listDlls(gw::generatorsFolder(host)).empty());
        // A Wine installation's folders, as they were made on a case-sensitive disk; DLLs in any letter case.
        QVERIFY(QDir(dir.path()).mkpath("Gear/Generators/folder.dll") && QDir(dir.path()).mkpath("Gear/eFFects"));
        for (const char* name :
             {"zeta.dll", "Alpha.DLL", "beta.Dll", "Beta.dll", "readme.txt", "x.dll.bak", "dll", "\u00c9cho.dll"}) {
            QFile file(dir.filePath("Gear/Generators/" + QString::fromUtf8(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QCOMPARE(gw::gearFolder(host), expect("Gear"));
        QCOMPARE(gw::generatorsFolder(host), expect("Gear/Generators"));
        QCOMPARE(gw::effectsFolder(host), expect("Gear/eFFects"));
        QCOMPARE(gw::listDlls(gw::generatorsFolder(host)),
                 (std::vector<std::string>{"Alpha.DLL", "beta.Dll", "Beta.dll", "\u00c9cho.dll", "zeta.dll"}));
        // The exact name wins over a twin in another case.
        QVERIFY(QDir(dir.path()).mkpath("gear/generators"));
        QCOMPARE(gw::generatorsFolder(host), expect("gear/generators"));
        QCOMPARE(gw::effectsFolder(host), expect("gear/effects"));
    }
};

QTEST_GUILESS_MAIN(TestHostDiscovery)
#include "tst_hostdiscovery.moc"
