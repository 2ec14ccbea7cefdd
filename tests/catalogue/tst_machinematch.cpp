// Which catalogue row is a missing machine.
#include "catalogue/MachineMatch.h"

#include <QtTest>

namespace {

gw::CatalogueRow row(const std::string& file, const std::string& name, const char* date = "2004-01-01")
{
    gw::CatalogueRow row;
    row.fields[gw::CatalogueRow::Filename] = file;
    row.fields[gw::CatalogueRow::Name] = name;
    row.fields[gw::CatalogueRow::Date] = date;
    return row;
}

} // namespace

class TestMachineMatch : public QObject
{
    Q_OBJECT

private slots:
    void keysAndEntries()
    {
        QCOMPARE(gw::closeKey("Acme Kick v1.1"), std::string("acmekick"));
        QCOMPARE(gw::closeKey("acme_kick-2"), std::string("acmekick"));
        QCOMPARE(gw::closeKey("Kick2"), std::string("kick2")); // glued digits belong to the name
        QCOMPARE(gw::closeKey("v2"), std::string("v2"));       // a version alone is the name
        QCOMPARE(gw::closeKey("\xc5\xa0UM 3"), std::string("\xc5\xa1um"));
        const gw::MissingEntry moved = gw::parseMissingEntry("(eff dir)Lunar Pad.DLL");
        QVERIFY(moved.dll == "Lunar Pad" && moved.wrongFolder);
        QVERIFY(!gw::parseMissingEntry("Lunar Pad.dll").wrongFolder);
    }

    void bestWayThenNewestThenFirst_data()
    {
        QTest::addColumn<QString>("dll");
        QTest::addColumn<QString>("entry"); // empty: no match
        QTest::addColumn<QString>("how");
        QTest::newRow("name, case ignored") << "acme KICK" << "Acme_Kick.zip" << "name";
        QTest::newRow("name beats close") << "Echo" << "Echo_Exact.zip" << "name";
        QTest::newRow("close: blanks, punctuation, version") << "Lunar-Pad v2" << "LunarPad.zip" << "close";
        QTest::newRow("file name with %20 and _") << "Glass Chorus" << "Glass%20Chorus_1.2.zip" << "file name";
        QTest::newRow("newest date wins") << "Twin" << "Twin_New.zip" << "name";
        QTest::newRow("equal dates: first row") << "Same" << "Same_First.zip" << "name";
        QTest::newRow("no match") << "Nothing Like It" << "" << "";
    }
    void bestWayThenNewestThenFirst()
    {
        QFETCH(QString, dll);
        const gw::CatalogueMatcher matcher(
            {row("Acme_Kick.zip", "Acme Kick"), row("Echo_Close.zip", "E.C.H.O."), row("Echo_Exact.zip", "echo"),
             row("LunarPad.zip", "Lunar Pad 1.0"), row("Glass%20Chorus_1.2.zip", "Chorus by Glass"),
             row("Twin_Old.zip", "Twin", "2001-02-03"), row("Twin_New.zip", "Twin", "2006-07-08"),
             row("Twin_Undated.zip", "Twin", "sometime"), row("Same_First.zip", "Same", "2003-03-03"),
             row("Same_Second.zip", "Same", "2003-03-03")});
        const gw::CatalogueMatcher::Result result = matcher.match(dll.toStdString());
        QTEST(result.row ? QString::fromStdString(result.row->fields[gw::CatalogueRow::Filename]) : QString(), "entry");
        QTEST(QString::fromLatin1(gw::matchWayText(result.way)), "how");
    }

    void hostileCataloguesStayBounded()
    {
        // Thousands of near-identical names, empty names and a 10,000-character name: built and searched in one pass.
        std::vector<gw::CatalogueRow> rows;
        for (int i = 0; i < 5000; ++i) {
            rows.push_back(row("Kick_" + std::to_string(i) + ".zip", i % 2 ? "" : "Kick"));
        }
        const std::string huge(10000, 'k');
        rows.push_back(row("Huge.zip", huge));
        const gw::CatalogueMatcher matcher(std::move(rows));
        QCOMPARE(matcher.match("Kick").row->fields[gw::CatalogueRow::Filename], std::string("Kick_0.zip"));
        QCOMPARE(matcher.match(huge).row->fields[gw::CatalogueRow::Filename], std::string("Huge.zip"));
        QCOMPARE(matcher.match("").way, gw::MatchWay::None);
    }
};

QTEST_GUILESS_MAIN(TestMachineMatch)
#include "tst_machinematch.moc"
