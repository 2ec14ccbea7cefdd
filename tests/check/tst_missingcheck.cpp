#include "check/MissingCheck.h"

#include <QTest>

#include <string>
#include <vector>

using gw::MachineKind;
Q_DECLARE_METATYPE(gw::MachineKind)

namespace {

std::vector<std::string> toStd(const QStringList& list)
{
    std::vector<std::string> out;
    for (const QString& s : list) {
        out.push_back(s.toStdString());
    }
    return out;
}

QStringList toQt(const std::vector<std::string>& list)
{
    QStringList out;
    for (const std::string& s : list) {
        out << QString::fromStdString(s);
    }
    return out;
}

} // namespace

class TestMissingCheck : public QObject
{
    Q_OBJECT

private slots:
    void findMissing_data();
    void findMissing();
    void builtInsNeverMissing_data();
    void builtInsNeverMissing();
    void statusText_data();
    void statusText();
};

void TestMissingCheck::findMissing_data()
{
    QTest::addColumn<MachineKind>("kind");
    QTest::addColumn<QStringList>("used");  // DLL names from songs, without ".dll"
    QTest::addColumn<QStringList>("own");   // the kind's own gear folder
    QTest::addColumn<QStringList>("other"); // the other kind's gear folder
    QTest::addColumn<QStringList>("missing");

    const auto gen = MachineKind::Generator;
    const auto eff = MachineKind::Effect;
    QTest::newRow("nothing used") << gen << QStringList{} << QStringList{"A.dll"} << QStringList{} << QStringList{};
    QTest::newRow("in own folder") << gen << QStringList{"Kick"} << QStringList{"Kick.dll"} << QStringList{}
                                   << QStringList{};
    QTest::newRow("in neither folder") << eff << QStringList{"Delay"} << QStringList{"Kick.dll"}
                                       << QStringList{"Kick.dll"} << QStringList{"Delay.dll"};
    QTest::newRow("own folder ignores case") << eff << QStringList{"My Delay"} << QStringList{"MY DELAY.DLL"}
                                             << QStringList{} << QStringList{};
    QTest::newRow("Latin-1 case ignored") << gen << QStringList{"\u00c9cho"} << QStringList{"\u00e9cho.dll"}
                                          << QStringList{} << QStringList{};
    QTest::newRow("Windows-1252 letters beyond Latin-1") << gen << QStringList{"\u0160um \u0152uvre"}
                                                         << QStringList{"\u0161um \u0153uvre.dll"} << QStringList{}
                                                         << QStringList{};
    QTest::newRow("Cyrillic case ignored") << eff << QStringList{"\u0428\u0443\u043c"} << QStringList{}
                                           << QStringList{"\u0448\u0443\u043c.DLL"}
                                           << QStringList{"(gen dir)\u0428\u0443\u043c.dll"};
    QTest::newRow("accents are not case") << gen << QStringList{"\u00c9cho"} << QStringList{"echo.dll"}
                                          << QStringList{} << QStringList{"\u00c9cho.dll"};
    QTest::newRow("generator in effects folder") << gen << QStringList{"Kick"} << QStringList{}
                                                 << QStringList{"kick.Dll"} << QStringList{"(eff dir)Kick.dll"};
    QTest::newRow("effect in generators folder") << eff << QStringList{"Delay"} << QStringList{}
                                                 << QStringList{"Delay.dll"} << QStringList{"(gen dir)Delay.dll"};
    QTest::newRow("in both folders: only the marked entry")
        << gen << QStringList{"Kick"} << QStringList{"Kick.dll"} << QStringList{"Kick.dll"}
        << QStringList{"(eff dir)Kick.dll"};
    QTest::newRow("name without .dll in folder") << gen << QStringList{"Kick"} << QStringList{"Kick", "Kick.dll.bak"}
                                                 << QStringList{} << QStringList{"Kick.dll"};
    QTest::newRow("same name twice") << gen << QStringList{"Kick", "Kick"} << QStringList{} << QStringList{}
                                     << QStringList{"Kick.dll"};
    QTest::newRow("same marked name twice") << eff << QStringList{"Delay", "Delay"} << QStringList{}
                                            << QStringList{"Delay.dll"} << QStringList{"(gen dir)Delay.dll"};
    QTest::newRow("names differing in case both kept")
        << gen << QStringList{"Foo", "foo"} << QStringList{} << QStringList{} << QStringList{"Foo.dll", "foo.dll"};
    QTest::newRow("order of use, not sorted")
        << eff << QStringList{"Zeta", "Found", "alpha", "Beta", "Zeta"} << QStringList{"found.dll"}
        << QStringList{"BETA.dll"} << QStringList{"Zeta.dll", "alpha.dll", "(gen dir)Beta.dll"};
}

void TestMissingCheck::findMissing()
{
    QFETCH(MachineKind, kind);
    QFETCH(QStringList, used);
    QFETCH(QStringList, own);
    QFETCH(QStringList, other);
    QFETCH(QStringList, missing);
    QCOMPARE(toQt(gw::findMissing(kind, toStd(used), toStd(own), toStd(other))), missing);
}

void TestMissingCheck::builtInsNeverMissing_data()
{
    QTest::addColumn<MachineKind>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("builtIn");

    const auto gen = MachineKind::Generator;
    const auto eff = MachineKind::Effect;
    for (const char* name : {"Jeskola Bass 3", "Jeskola Aux Return", "Jeskola C1", "Jeskola O1"}) {
        QTest::addRow("generator %s", name) << gen << QString(name) << true;
        QTest::addRow("%s as effect", name) << eff << QString(name) << false;
    }
    for (const char* name : {"Jeskola AuxSend", "Jeskola AM 3000", "Jeskola Hiiri", "Jeskola Karhu",
                             "Jeskola Raverb", "Jeskola Freeverb"}) {
        QTest::addRow("effect %s", name) << eff << QString(name) << true;
        QTest::addRow("%s as generator", name) << gen << QString(name) << false;
    }
    QTest::newRow("other case") << gen << "jeskola bass 3" << false;
    QTest::newRow("trailing blank") << eff << "Jeskola Raverb " << false;
    QTest::newRow("similar name") << gen << "Jeskola Bass" << false;
}

void TestMissingCheck::builtInsNeverMissing()
{
    QFETCH(MachineKind, kind);
    QFETCH(QString, name);
    QFETCH(bool, builtIn);

    const std::vector<std::string> used = {name.toStdString()};
    const QString dll = name + ".dll";
    QCOMPARE(toQt(gw::findMissing(kind, used, {}, {})), builtIn ? QStringList{} : QStringList{dll});
    // Not even when the other kind's folder holds the file.
    const QString marked = (kind == MachineKind::Generator ? "(eff dir)" : "(gen dir)") + dll;
    QCOMPARE(toQt(gw::findMissing(kind, used, {}, {dll.toStdString()})),
             builtIn ? QStringList{} : QStringList{marked});
}

void TestMissingCheck::statusText_data()
{
    QTest::addColumn<int>("generators");
    QTest::addColumn<int>("effects");
    QTest::addColumn<QString>("text");

    QTest::newRow("none") << 0 << 0 << "Completed checking missing machines.  No missing machines.";
    QTest::newRow("3, 0") << 3 << 0 << "Completed checking missing machines.   3 generators  0 effects missing";
    QTest::newRow("0, 2") << 0 << 2 << "Completed checking missing machines.   0 generators  2 effects missing";
    QTest::newRow("12, 1") << 12 << 1 << "Completed checking missing machines.   12 generators  1 effects missing";
}

void TestMissingCheck::statusText()
{
    QFETCH(int, generators);
    QFETCH(int, effects);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(gw::missingStatusText(std::size_t(generators), std::size_t(effects))), text);
}

QTEST_GUILESS_MAIN(TestMissingCheck)
#include "tst_missingcheck.moc"
