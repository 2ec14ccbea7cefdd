#include "check/MissingCheck.h"

#include <QTest>

using gw::MachineKind;
using Names = std::vector<std::string>;

namespace {

/** The names in one text, so a failed comparison shows them. */
QString listed(const Names& names)
{
    QStringList list;
    for (const std::string& name : names) {
        list << QString::fromStdString(name);
    }
    return list.join(" | ");
}

} // namespace

class TestMissingCheck : public QObject
{
    Q_OBJECT

private slots:
    void findMissing()
    {
        const auto gen = MachineKind::Generator, eff = MachineKind::Effect;
        const struct
        {
            MachineKind kind;
            Names used, own, other, missing; // used DLL names without ".dll"; the kind's own and the other folder
        } cases[] = {
            {eff, {"Delay"}, {"Kick.dll"}, {"Kick.dll"}, {"Delay.dll"}},
            // Listings ignore letter case as Windows does, beyond ASCII too; accents are not case.
            {eff, {"My Delay"}, {"MY DELAY.DLL"}, {}, {}},
            {gen, {"\u0161um \u0152uvre"}, {"\u0160UM \u0153UVRE.DLL"}, {}, {}},
            {gen, {"\u00c9cho"}, {"echo.dll"}, {}, {"\u00c9cho.dll"}},
            // In the other kind's folder: marked, and not missing as well.
            {gen, {"Kick"}, {}, {"kick.Dll"}, {"(eff dir)Kick.dll"}},
            {eff, {"\u0428\u0443\u043c"}, {}, {"\u0448\u0443\u043c.DLL"}, {"(gen dir)\u0428\u0443\u043c.dll"}},
            {gen, {"Kick"}, {"Kick.dll"}, {"Kick.dll"}, {"(eff dir)Kick.dll"}}, // in both: the mark only
            {gen, {"Kick"}, {"Kick", "Kick.dll.bak"}, {}, {"Kick.dll"}},        // only the whole file name counts
            // In order of use; duplicates compared exactly, so names differing in case are both kept.
            {eff,
             {"Zeta", "Found", "alpha", "Beta", "Zeta", "zeta", "Beta"},
             {"found.dll"},
             {"BETA.dll"},
             {"Zeta.dll", "alpha.dll", "(gen dir)Beta.dll", "zeta.dll"}},
        };
        for (const auto& c : cases) {
            QCOMPARE(listed(gw::findMissing(c.kind, c.used, c.own, c.other)), listed(c.missing));
        }
    }

    void builtInsNeverMissing()
    {
        // Compared exactly: another case, a trailing blank or a near name is no built-in.
        const Names generators = {"Jeskola Bass 3", "Jeskola Aux Return", "Jeskola C1", "Jeskola O1"};
        const Names effects = {"Jeskola AuxSend", "Jeskola AM 3000", "Jeskola Hiiri",
                               "Jeskola Karhu",   "Jeskola Raverb",  "Jeskola Freeverb"};
        const Names others = {"jeskola bass 3", "Jeskola Raverb ", "Jeskola Bass"};
        for (const auto& [kind, builtIn, notBuiltIn] : {std::tuple{MachineKind::Generator, generators, effects},
                                                        std::tuple{MachineKind::Effect, effects, generators}}) {
            Names used = builtIn, dlls;
            used.insert(used.end(), notBuiltIn.begin(), notBuiltIn.end());
            used.insert(used.end(), others.begin(), others.end());
            for (const std::string& name : used) {
                dlls.push_back(name + ".dll");
            }
            const Names expected(dlls.begin() + std::ptrdiff_t(builtIn.size()), dlls.end());
            QCOMPARE(listed(gw::findMissing(kind, used, {}, {})), listed(expected));
            // Not even when the other kind's folder holds them.
            const std::string mark = kind == MachineKind::Generator ? "(eff dir)" : "(gen dir)";
            Names marked;
            for (const std::string& dll : expected) {
                marked.push_back(mark + dll);
            }
            QCOMPARE(listed(gw::findMissing(kind, used, {}, dlls)), listed(marked));
        }
    }

    void statusText()
    {
        QCOMPARE(gw::missingStatusText(0, 0), "Completed checking missing machines.  No missing machines.");
        QCOMPARE(gw::missingStatusText(3, 0), "Completed checking missing machines.   3 generators  0 effects missing");
        QCOMPARE(gw::missingStatusText(0, 12),
                 "Completed checking missing machines.   0 generators  12 effects missing");
    }
};

QTEST_GUILESS_MAIN(TestMissingCheck)
#include "tst_missingcheck.moc"
