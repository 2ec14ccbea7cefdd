#include "CatalogueWriter.h"
#include "catalogue/CatalogueRows.h"

#include <QTest>

using gw::CatalogueRow;
using gw::test::CatalogueMachine;
using Lines = std::vector<std::string>;

namespace {

const CatalogueMachine kKick = {"Acme_Kick.zip", "2003-01-02", "Acme", "Acme Kick",
                                "A kick drum",   "Generator",  "1.1",  "Stable"};
const CatalogueMachine kLast = {"Last.zip", "2009-09-09", "Zed", "Last", "The end", "Effect", "2.0", "Beta"};
// Lines of a record as catalogueRecord lays it out.
enum { DateLine = 1, DeveloperLine, DownloadLine, TypeLine, StatusLine = 6, FillerLine = 8, DescriptionLine = 12 };

Lines record(const CatalogueMachine& machine = kKick)
{
    return gw::test::catalogueRecord(machine, 12);
}

std::string page(const Lines& lines, const std::string& end = "\r\n")
{
    std::string text;
    for (const std::string& line : lines) {
        text += line + end;
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

} // namespace

class TestCatalogueRows : public QObject
{
    Q_OBJECT

private slots:
    void pageInFileOrder()
    {
        // Names with blanks and escapes, as the archive's uploads have them.
        const std::vector<CatalogueMachine> machines = gw::test::fictionalMachines(120, true);
        QStringList expected;
        for (const CatalogueMachine& m : machines) {
            expected << fieldsOf(m);
        }
        QCOMPARE(rows(gw::test::catalogueText(machines)), expected);
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
            {DownloadLine, "<a href='MACHINES/DOWNLOAD.PHP?GET=Acme_Kick.zip&newid=1'>Acme Kick</A>", kick()},
            {TypeLine, "<td><center>Generator</CENTER></td>", kick()},
            {StatusLine, "<TD><CENTER>Stable</Center></TD>", kick(CatalogueRow::Status)},
            {DateLine, "<TD>2003-01-02</td>", kick(CatalogueRow::Date)},
            {DownloadLine, "<A HREF='machines/download.php?get=Acme_Kick.zip&NEWID=1'>x</A>", QString()},
            // The date is the line above the developer link, from its first '>' to the first "</TD>".
            {DateLine, "<TD NOWRAP><B>2003-01-02</TD><TD>x</TD>", kick(CatalogueRow::Date, "<B>2003-01-02")},
            {DateLine, "2003-01-02", kick(CatalogueRow::Date)},
            // The download link is searched from the line after the developer link.
            {DeveloperLine,
             "<A HREF='developer.php?naamauthor=Acme'>Acme</A><A HREF='machines/download.php?get=W&newid=3'>W</A>",
             kick()},
            // The name runs from "'>" after the identifier to "</A>" after that.
            {DownloadLine, "<A HREF='machines/download.php?get=Acme_Kick.zip&newid=12>Acme Kick</A>",
             kick(CatalogueRow::Name)},
            {DownloadLine, "</A><A HREF='machines/download.php?get=Acme_Kick.zip&newid=12'>Acme Kick",
             kick(CatalogueRow::Name)},
            // The description is cut by position: four characters off the front, five off the back.
            {DescriptionLine, "<td>Lower</td>", kick(CatalogueRow::Description, "Lower")},
            {DescriptionLine, "<TD></TD>", kick(CatalogueRow::Description)},
            {DescriptionLine, "12345678", kick(CatalogueRow::Description)},
            // A line feed alone is an ordinary character: a filler line holding one is still one line.
            {FillerLine, "<TR>\n<TD>", kick()},
            {DescriptionLine, "<TD>two\nlines</TD>", kick(CatalogueRow::Description, "two\nlines")},
        };
        for (const auto& c : cases) {
            Lines lines = record();
            lines[std::size_t(c.line)] = c.text;
            QCOMPARE(rows(page(lines)), c.row.isNull() ? QStringList() : QStringList{c.row});
        }
    }

    void recordBoundaries()
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

        // A developer link on the first line has no date; one right after a description line takes that line.
        const Lines kickLines = record(), lastLines = record(kLast);
        lines.assign(kickLines.begin() + DeveloperLine, kickLines.end() - 1);
        lines.insert(lines.end(), lastLines.begin() + DeveloperLine, lastLines.end());
        QCOMPARE(rows(page(lines)),
                 (QStringList{kick(CatalogueRow::Date), fieldsOf(kLast).replace(kLast.date.c_str(), "A kick drum")}));

        // A lone CR ends a line as CR LF does; LF alone does not, so a record in LF lines is one line and no row.
        QCOMPARE(rows(page(record(), "\r")), QStringList{kick()});
        QCOMPARE(rows(page(record(), "\n")), QStringList());
    }

    void textEndingInsideARecord()
    {
        Lines lines = record();
        lines[DescriptionLine - 1] = "<TD>Not the description</TD>";
        const auto upTo = [&](int count) { return page(Lines(lines.begin(), lines.begin() + count)); };
        QCOMPARE(rows(upTo(DeveloperLine + 1)), QStringList());
        QCOMPARE(rows(upTo(DownloadLine + 1)), QStringList{"Acme_Kick.zip|2003-01-02|Acme|Acme Kick||||"});
        // Five of the six lines to the description (the fifth is no description), then the description line without
        // its line end.
        QCOMPARE(rows(upTo(DescriptionLine)), QStringList{kick(CatalogueRow::Description)});
        const std::string text = upTo(DescriptionLine + 1);
        QCOMPARE(rows(text.substr(0, text.size() - 2)), QStringList{kick()});
    }
};

QTEST_GUILESS_MAIN(TestCatalogueRows)
#include "tst_cataloguerows.moc"
