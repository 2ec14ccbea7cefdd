// The archive's catalogue: the page as text, the machine rows read from it, and which row is a missing machine.
#include "CatalogueWriter.h"
#include "catalogue/CatalogueRows.h"
#include "catalogue/CatalogueText.h"
#include "catalogue/MachineMatch.h"

#include <QtTest>

using gw::CatalogueRow;
using gw::test::CatalogueMachine;
using Lines = std::vector<std::string>;

namespace {

const CatalogueMachine kKick = {"Acme_Kick.zip", "2003-01-02", "Acme", "Acme Kick",
                                "A kick drum",   "Generator",  "1.1",  "Stable"};
// An entry as uploads named by hand have them, not a plain file name.
const CatalogueMachine kLast = {
    "Zed Last%20&amp;1.zip", "2009-09-09", "Zed", "Last", "The end", "Effect", "2.0", "Beta"};
// Lines of a record as catalogueRecord lays it out.
enum { DateLine = 1, DeveloperLine, DownloadLine, StatusLine = 6, DescriptionLine = 12 };

Lines record(const CatalogueMachine& machine = kKick)
{
    return gw::test::catalogueRecord(machine, 12);
}

/** The lines, each ended by CR LF as the program keeps the page. */
std::string page(const Lines& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

/** Each row found, its fields joined by '|'. */
QStringList rows(const std::string& text)
{
    QStringList found;
    gw::forEachCatalogueRow(text, [&](const CatalogueRow& row) {
        QStringList fields;
        for (const std::string& field : row.fields) {
            fields << QString::fromStdString(field);
        }
        found << fields.join('|');
    });
    return found;
}

QString fieldsOf(const CatalogueMachine& m)
{
    return QString::fromStdString(m.filename + '|' + m.date + '|' + m.developer + '|' + m.name + '|' + m.description +
                                  '|' + m.type + '|' + m.version + '|' + m.status);
}

/** kKick's row with one field changed (emptied by default). */
QString kick(int field = -1, const QString& value = {})
{
    QStringList fields = fieldsOf(kKick).split('|');
    if (field >= 0) {
        fields[field] = value;
    }
    return fields.join('|');
}

CatalogueRow matchRow(const std::string& file, const std::string& name, const char* date = "2004-01-01")
{
    CatalogueRow row;
    row.fields[CatalogueRow::Filename] = file;
    row.fields[CatalogueRow::Name] = name;
    row.fields[CatalogueRow::Date] = date;
    return row;
}

} // namespace

class TestCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void lineEnds()
    {
        // Read: a line feed right after a carriage return belongs to that line end; anywhere else it is a character.
        const std::pair<std::string, QStringList> read[] = {
            {"a\r\n\nb", {"a", "\nb"}},
            {"a\rb\r", {"a", "b"}},
            {"a\r\r\n\r\nb", {"a", "", "", "b"}},
        };
        for (const auto& [text, expected] : read) {
            gw::CatalogueLines reader(text);
            QStringList lines;
            for (std::string_view line; lines.size() < 10 && reader.next(line);) {
                lines << QString::fromStdString(std::string(line));
            }
            QCOMPARE(lines, expected);
        }
        // Kept: every line feed of the page as served ends a line with CR LF, the last line too.
        const std::pair<std::string, std::string> kept[] = {
            {"a\n\nbc\n", "a\r\n\r\nbc\r\n"},
            {"a\nb", "a\r\nb\r\n"},
            {"a\r\nb\r\n", "a\r\r\nb\r\r\n"}, // a carriage return before a line feed stays in its line
        };
        for (const auto& [served, lines] : kept) {
            QCOMPARE(gw::toDosLines(served), lines);
        }
    }

    void entryBetweenMarkers()
    {
        // The get marker in any letter case, "&newid=" only as written; the entry verbatim, even when empty.
        const std::pair<std::string, const char*> cases[] = {
            {"<a href=\"MACHINES/Download.PHP?GET=My%20Synth&amp;Co.dll&newid=12\">", "My%20Synth&amp;Co.dll"},
            {"machines/download.php?get=A&NEWID=1&newid=2", "A&NEWID=1"},
            {"x machines/download.php?get=&newid=5", ""},
            {"&newid=0 machines/download.php?get=Orphan.dll", nullptr},
        };
        for (const auto& [line, expected] : cases) {
            // "none", or the entry after an equals sign, so an empty entry differs from none.
            const std::optional<std::string_view> entry = gw::catalogueEntry(line);
            QCOMPARE(entry ? "=" + QByteArray::fromStdString(std::string(*entry)) : QByteArray("none"),
                     expected ? "=" + QByteArray(expected) : QByteArray("none"));
        }
        // Whatever lies beyond the end of the text does not complete a marker.
        const std::string whole = "x machines/download.php?get=";
        QCOMPARE(gw::findIgnoringCase(std::string_view(whole).substr(0, whole.size() - 1), gw::kGetMarker),
                 std::string_view::npos);
        QCOMPARE(gw::findIgnoringCase(whole, gw::kGetMarker), std::size_t(2));
    }

    void changedLine()
    {
        const struct
        {
            int line;
            const char* text;
            QString row; // null: no row
        } cases[] = {
            // Start markers match in any letter case, end markers only as written.
            {DeveloperLine, "<A HREF='DEVELOPER.PHP?NAAMAUTHOR=Acme'>Acme</A>", kick()},
            {StatusLine, "<TD><CENTER>Stable</Center></TD>", kick(CatalogueRow::Status)},
            {DownloadLine, "<A HREF='machines/download.php?get=Acme_Kick.zip&NEWID=1'>x</A>", QString()},
            // The date is the line above the developer link, from its first '>' to the first "</TD>".
            {DateLine, "<TD NOWRAP><B>2003-01-02</TD><TD>x</TD>", kick(CatalogueRow::Date, "<B>2003-01-02")},
            // The download link is searched from the line after the developer link.
            {DeveloperLine,
             "<A HREF='developer.php?naamauthor=Acme'>Acme</A><A HREF='machines/download.php?get=W&newid=3'>W</A>",
             kick()},
            // The name runs from "'>" after the identifier to "</A>" after that.
            {DownloadLine, "<A HREF='machines/download.php?get=Acme_Kick.zip&newid=12>Acme Kick</A>",
             kick(CatalogueRow::Name)},
            // The description is cut by position: four characters off the front, five off the back.
            {DescriptionLine, "<td>Lower</td>", kick(CatalogueRow::Description, "Lower")},
            {DescriptionLine, "12345678", kick(CatalogueRow::Description)},
        };
        for (const auto& c : cases) {
            Lines lines = record();
            lines[std::size_t(c.line)] = c.text;
            QCOMPARE(rows(page(lines)), c.row.isNull() ? QStringList() : QStringList{c.row});
        }
    }

    void brokenRecords()
    {
        // Records without a download identifier give no row but use up their own lines.
        CatalogueMachine empty = kKick;
        empty.filename.clear();
        Lines noNewId = record();
        noNewId[DownloadLine] = "<A HREF='machines/download.php?get=NoId.zip'>No id</A>";
        Lines lines = record();
        for (const Lines& more : {record(empty), noNewId, record(kLast)}) {
            lines.insert(lines.end(), more.begin(), more.end());
        }
        QCOMPARE(rows(page(lines)), (QStringList{kick(), fieldsOf(kLast)}));

        // A text that ends inside a record gives what it has.
        lines = record();
        lines[DescriptionLine - 1] = "<TD>Not the description</TD>";
        const auto upTo = [&](int count) { return page(Lines(lines.begin(), lines.begin() + count)); };
        QCOMPARE(rows(upTo(DownloadLine + 1)), QStringList{"Acme_Kick.zip|2003-01-02|Acme|Acme Kick||||"});
        // Five of the six lines to the description (the fifth is not it), then the description without its line end.
        QCOMPARE(rows(upTo(DescriptionLine)), QStringList{kick(CatalogueRow::Description)});
        const std::string text = upTo(DescriptionLine + 1);
        QCOMPARE(rows(text.substr(0, text.size() - 2)), QStringList{kick()});
    }

    void closeKeys()
    {
        QCOMPARE(gw::closeKey("acme_kick-2"), std::string("acmekick"));
        QCOMPARE(gw::closeKey("Kick2"), std::string("kick2")); // glued digits belong to the name
        QCOMPARE(gw::closeKey("v2"), std::string("v2"));       // a version alone is the name
        QCOMPARE(gw::closeKey("\xc5\xa0UM 3"), std::string("\xc5\xa1um"));
    }

    void matchBestWayThenNewestThenFirst_data()
    {
        QTest::addColumn<QString>("dll");
        QTest::addColumn<QString>("entry"); // empty: no match
        QTest::addColumn<QString>("how");
        QTest::newRow("name, case ignored") << "acme KICK"
                                            << "Acme_Kick.zip"
                                            << "name";
        QTest::newRow("name beats close") << "Echo"
                                          << "Echo_Exact.zip"
                                          << "name";
        QTest::newRow("close: blanks, punctuation, version") << "Lunar-Pad v2"
                                                             << "LunarPad.zip"
                                                             << "close";
        QTest::newRow("file name with %20 and _") << "Glass Chorus"
                                                  << "Glass%20Chorus_1.2.zip"
                                                  << "file name";
        QTest::newRow("newest date wins") << "Twin"
                                          << "Twin_New.zip"
                                          << "name";
        QTest::newRow("equal dates: first row") << "Same"
                                                << "Same_First.zip"
                                                << "name";
        QTest::newRow("no match") << "Nothing Like It"
                                  << ""
                                  << "";
        QTest::newRow("empty name: no match") << ""
                                              << ""
                                              << "";
    }
    void matchBestWayThenNewestThenFirst()
    {
        QFETCH(QString, dll);
        const gw::CatalogueMatcher matcher(
            {matchRow("Acme_Kick.zip", "Acme Kick"), matchRow("Echo_Close.zip", "E.C.H.O."),
             matchRow("Echo_Exact.zip", "echo"), matchRow("LunarPad.zip", "Lunar Pad 1.0"),
             matchRow("Glass%20Chorus_1.2.zip", "Chorus by Glass"), matchRow("Twin_Old.zip", "Twin", "2001-02-03"),
             matchRow("Twin_New.zip", "Twin", "2006-07-08"), matchRow("Twin_Undated.zip", "Twin", "sometime"),
             matchRow("Same_First.zip", "Same", "2003-03-03"), matchRow("Same_Second.zip", "Same", "2003-03-03"),
             matchRow("Nameless.zip", "")});
        const gw::CatalogueMatcher::Result result = matcher.match(dll.toStdString());
        QTEST(result.row ? QString::fromStdString(result.row->fields[CatalogueRow::Filename]) : QString(), "entry");
        QTEST(QString::fromLatin1(gw::matchWayText(result.way)), "how");
    }
};

QTEST_GUILESS_MAIN(TestCatalogue)
#include "tst_cataloguerows.moc"
