#include "MemoryHostSettings.h"
#include "base/Platform.h"
#include "check/MissingCheck.h"
#include "host/HostDiscovery.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using gw::MachineKind;
using Names = std::vector<std::string>;

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

/** The names in one text, so a failed comparison shows them. */
QString listed(const Names& names)
{
    QStringList list;
    for (const std::string& name : names) {
        list << QString::fromStdString(name);
    }
    return list.join(" | ");
}

/** The missing list's texts, each record's kind checked against the kind asked for. */
QString listed(const std::vector<gw::MissingMachine>& missing, MachineKind kind)
{
    Names texts;
    for (const gw::MissingMachine& machine : missing) {
        texts.push_back(machine.kind == kind ? gw::missingEntryText(machine) : "wrong kind: " + machine.dll);
    }
    return listed(texts);
}

QString native(QString path)
{
    return path.replace('/', QChar::fromLatin1(gw::platform::pathSeparator()));
}

// %1 is the program's folder, %2 the folder BuzzPath names.
const QString kKeyMissing =
    "Message: Unable to open the key Settings.  HKEY_CURRENT_USER\\Software\\Jeskola\\Buzz\\Settings not found in "
    "Windows Registry.  Using current directory of %1 as temporary Buzz path.  Try running Buzz usually corrects "
    "Buzz Registry settings.";
const QString kValueMissing =
    "Message: Buzz Settings subkey BuzzPath not found.  HKEY_CURRENT_USER\\Software\\Jeskola\\Buzz\\Settings\\BuzzPath "
    "not found in Windows Registry.  Using current directory of %1 as temporary Buzz path.  Try running Buzz usually "
    "corrects Buzzpath Registry setting.";
const QString kFromSettings = "Status: Buzz path from Buzz registry settings is %2";
const QString kNoFolder = "Message: Buzz path %2 does not exists. Using current directory of %1 as temporary Buzz "
                          "path.  Try running Buzz usually corrects Buzz Registry settings automatically.";
const QString kTemporary = "Status: Temporarily using %1 as buzz path";

} // namespace

/** Where the host keeps songs and machines, what its gear folders hold, and which machines songs need are missing. */
class TestHostDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void settingsFolders()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("file"));
        QVERIFY(QDir(dir.path()).mkpath("program") && file.open(QIODevice::WriteOnly));
        const QString program = native(dir.filePath("program/"));
        // Whether the key is there; BuzzPath and OpenSongDir (null: absent), neither standing in for the other; the
        // notices about BuzzPath, which is used only if it names a folder; and whether OpenSongDir is used.
        const std::tuple<bool, QString, QString, QStringList, bool> cases[] = {
            {false, "<dir>", "<dir>", {kKeyMissing, kTemporary}, false},
            {true, QString(), "<dir>", {kValueMissing, kTemporary}, true},
            {true, "<dir>", QString(), {kFromSettings}, false},
            {true, "<dir>/", "<dir>/file", {kFromSettings}, false},
            {true, "<dir>/Buzz", "<dir>/Buzz", {kFromSettings, kNoFolder, kTemporary}, false},
        };
        for (auto [key, buzzPath, songDir, notices, songDirUsed] : cases) {
            gw::MemoryHostSettings settings(key);
            for (auto [name, value] : {std::pair{"BuzzPath", &buzzPath}, std::pair{"OpenSongDir", &songDir}}) {
                *value = native(value->replace("<dir>", dir.path()));
                if (!value->isNull()) {
                    settings.setValue(name, value->toStdString());
                }
            }
            const gw::HostFolder host = gw::findHostFolder(settings, program.toStdString());
            const QString folder = buzzPath.endsWith(native("/")) ? buzzPath : buzzPath + native("/");
            const bool used = notices.size() == 1;
            QCOMPARE(describe(host.notices), notices.replaceInStrings("%1", program).replaceInStrings("%2", folder));
            QCOMPARE(QString::fromStdString(host.folder), used ? folder : program);
            QCOMPARE(host.fromSettings, used);
            // A notice names every OpenSongDir read.
            std::vector<gw::Notice> songNotices;
            const std::string songs = gw::findSongFolder(settings, program.toStdString(), songNotices);
            QCOMPARE(QString::fromStdString(songs), songDirUsed ? songDir : program);
            const bool read = key && !songDir.isNull();
            QCOMPARE(describe(songNotices),
                     read ? QStringList{"Status: Open song dir from Buzz settings is " + songDir} : QStringList{});
        }
    }

    void gearFolders()
    {
        QTemporaryDir dir;
        const std::string host = native(dir.path() + "/").toStdString();
        const auto expect = [&](const QString& path) { return native(dir.path() + "/" + path).toStdString(); };
        // The names the window creates when there are none, and a listing of no folder, are tst_appmodel's.
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
        // A disk that ignores letter case (Windows) holds one of two names that differ only in it, and no twins.
        const bool caseSensitive = !QFileInfo::exists(dir.filePath("GEAR"));
        std::vector<std::string> dlls{"Alpha.DLL", "beta.Dll", "Beta.dll", "\u00c9cho.dll", "zeta.dll"};
        if (!caseSensitive) {
            dlls.erase(dlls.begin() + 2);
        }
        QCOMPARE(gw::listDlls(gw::generatorsFolder(host)), dlls);
        if (!caseSensitive) {
            return;
        }
        // The exact name wins over a twin in another case.
        QVERIFY(QDir(dir.path()).mkpath("gear/generators"));
        QCOMPARE(gw::generatorsFolder(host), expect("gear/generators"));
        QCOMPARE(gw::effectsFolder(host), expect("gear/effects"));
    }

    void findMissing()
    {
        const auto gen = MachineKind::Generator, eff = MachineKind::Effect;
        const struct
        {
            MachineKind kind;
            Names used, own, other, missing; // used DLL names without ".dll"; the kind's own and the other folder
        } cases[] = {
            // Listings ignore letter case as Windows does, beyond ASCII too; accents are not case.
            {gen, {"\u0161um \u0152uvre"}, {"\u0160UM \u0153UVRE.DLL"}, {}, {}},
            {gen, {"\u00c9cho"}, {"echo.dll"}, {}, {"\u00c9cho.dll"}},
            // In the other kind's folder: marked, and not missing as well.
            {gen, {"Kick"}, {}, {"kick.Dll"}, {"(eff dir)Kick.dll"}},
            {eff, {"\u0428\u0443\u043c"}, {}, {"\u0448\u0443\u043c.DLL"}, {"(gen dir)\u0428\u0443\u043c.dll"}},
            {gen, {"Kick"}, {"Kick.dll"}, {"Kick.dll"}, {"(eff dir)Kick.dll"}}, // in both: the mark only
            {gen, {"Kick"}, {"Kick", "Kick.dll.bak"}, {}, {"Kick.dll"}},        // only the whole file name counts
            // In order of use; duplicates compared exactly, so names differing in case are both kept.
            {eff, {"Z", "a", "B", "Z", "z", "B"}, {}, {"B.DLL"}, {"Z.dll", "a.dll", "(gen dir)B.dll", "z.dll"}},
            // Built-ins are compared exactly: the other kind's, another case or a trailing blank is none.
            {gen, {"Jeskola Raverb", "jeskola bass 3"}, {}, {}, {"Jeskola Raverb.dll", "jeskola bass 3.dll"}},
            {eff, {"Jeskola Bass 3", "Jeskola Raverb "}, {}, {}, {"Jeskola Bass 3.dll", "Jeskola Raverb .dll"}},
        };
        for (const auto& c : cases) {
            QCOMPARE(listed(gw::findMissing(c.kind, c.used, c.own, c.other), c.kind), listed(c.missing));
        }
    }

    void builtInsNeverMissing()
    {
        // Not even when the other kind's folder holds a copy.
        const Names generators = {"Jeskola Bass 3", "Jeskola Aux Return", "Jeskola C1", "Jeskola O1"};
        const Names effects = {"Jeskola AuxSend", "Jeskola AM 3000", "Jeskola Hiiri",
                               "Jeskola Karhu",   "Jeskola Raverb",  "Jeskola Freeverb"};
        for (const auto& [kind, builtIn] :
             {std::pair{MachineKind::Generator, generators}, std::pair{MachineKind::Effect, effects}}) {
            Names dlls;
            for (const std::string& name : builtIn) {
                dlls.push_back(name + ".dll");
            }
            QCOMPARE(listed(gw::findMissing(kind, builtIn, {}, dlls), kind), QString());
        }
    }
};

QTEST_GUILESS_MAIN(TestHostDiscovery)
#include "tst_hostdiscovery.moc"
