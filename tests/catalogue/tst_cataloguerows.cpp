#include "catalogue/CatalogueRows.h"

#include <QtTest>

#include <string>
#include <vector>

namespace {

/** What one generated record holds, in the table's column order. */
struct Record
{
    std::string date = "2003-01-02";
    std::string developer = "Acme";
    std::string filename = "Acme_Kick.zip";
    std::string name = "Acme Kick";
    std::string description = "A kick drum";
    std::string type = "Generator";
    std::string version = "1.1";
    std::string status = "Stable";
};

/** The lines of one record as a catalogue page lays it out. */
std::vector<std::string> recordLines(const Record& r)
{
    return {
        "<TR>",
        "<TD>" + r.date + "</TD>",
        "<TD><A HREF='developer.php?naamauthor=" + r.developer + "'>" + r.developer + "</A></TD>",
        "<TD><A HREF='machines/download.php?get=" + r.filename + "&newid=12'>" + r.name + "</A></TD>",
        "<TD><CENTER>" + r.type + "</CENTER></TD>",
        "<TD><CENTER>" + r.version + "</CENTER></TD>",
        "<TD><CENTER>" + r.status + "</CENTER></TD>",
        "</TR>",
        "<TR>",
        "<TD COLSPAN=6>",
        "<SMALL>",
        "</SMALL>",
        "<TD>" + r.description + "</TD>",
        "</TR>",
    };
}

// Indexes into recordLines.
constexpr std::size_t kDeveloperLine = 2;
constexpr std::size_t kDownloadLine = 3;
constexpr std::size_t kTypeLine = 4;
constexpr std::size_t kStatusLine = 6;
constexpr std::size_t kDescriptionLine = 12;

std::string joined(const std::vector<std::string>& lines, const std::string& end = "\r\n")
{
    std::string text;
    for (const std::string& line : lines) {
        text += line + end;
    }
    return text;
}

void append(std::vector<std::string>& lines, const std::vector<std::string>& more)
{
    lines.insert(lines.end(), more.begin(), more.end());
}

QStringList fields(const Record& r)
{
    return {QString::fromStdString(r.filename),    QString::fromStdString(r.date),
            QString::fromStdString(r.developer),   QString::fromStdString(r.name),
            QString::fromStdString(r.description), QString::fromStdString(r.type),
            QString::fromStdString(r.version),     QString::fromStdString(r.status)};
}

QList<QStringList> rows(const std::string& text)
{
    QList<QStringList> result;
    gw::forEachCatalogueRow(text, [&](const gw::CatalogueRow& row) {
        QStringList row8;
        for (const std::string& field : row.fields) {
            row8 << QString::fromStdString(field);
        }
        result << row8;
    });
    return result;
}

/** A page head, count records with distinct values, and a page foot. */
std::string page(int count)
{
    std::vector<std::string> lines{"<HTML><BODY>", "<TABLE>"};
    for (int i = 0; i < count; ++i) {
        Record r;
        const std::string n = std::to_string(i);
        r.date = "2004-02-" + n;
        r.developer = "Dev" + n;
        r.filename = "Machine_" + n + ".zip";
        r.name = "Machine " + n;
        r.description = "Description number " + n;
        r.type = i % 2 ? "Effect" : "Generator";
        r.version = "0." + n;
        r.status = "S" + n;
        append(lines, recordLines(r));
    }
    append(lines, {"</TABLE>", "</BODY></HTML>"});
    return joined(lines);
}

} // namespace

class TestCatalogueRows : public QObject
{
    Q_OBJECT

private slots:
    void normalRecordGivesAllFields();
    void manyRecordsInFileOrder();
    void markerLetterCase();
    void downloadLinkOnDeveloperLineIsNotUsed();
    void dateIsTheLineAboveTheDeveloperLine();
    void filenameDecidesWhetherARowIsAdded();
    void missingNameMarkersLeaveNameEmpty();
    void textEndingInsideARecord_data();
    void textEndingInsideARecord();
    void descriptionCutByPosition();
    void lineEnds();
};

void TestCatalogueRows::normalRecordGivesAllFields()
{
    const Record r;
    std::vector<std::string> lines{"<HTML>", "<P>No machines here</P>"};
    append(lines, recordLines(r));
    lines.push_back("</HTML>");
    QCOMPARE(rows(joined(lines)), (QList<QStringList>{{"Acme_Kick.zip", "2003-01-02", "Acme", "Acme Kick",
                                                       "A kick drum", "Generator", "1.1", "Stable"}}));

    QVERIFY(rows("").isEmpty());
    QVERIFY(rows(joined({"<HTML>", "<TD><CENTER>x</CENTER>", "</HTML>"})).isEmpty());
}

void TestCatalogueRows::manyRecordsInFileOrder()
{
    const QList<QStringList> found = rows(page(120));
    QCOMPARE(found.size(), 120);
    QCOMPARE(found.first(), (QStringList{"Machine_0.zip", "2004-02-0", "Dev0", "Machine 0", "Description number 0",
                                         "Generator", "0.0", "S0"}));
    QCOMPARE(found.at(57), (QStringList{"Machine_57.zip", "2004-02-57", "Dev57", "Machine 57", "Description number 57",
                                        "Effect", "0.57", "S57"}));
    QCOMPARE(found.last().first(), QStringLiteral("Machine_119.zip"));
    for (int i = 0; i < found.size(); ++i) {
        QCOMPARE(found.at(i).at(0), QStringLiteral("Machine_%1.zip").arg(i));
    }
}

void TestCatalogueRows::markerLetterCase()
{
    // Start markers in capitals are still found.
    std::vector<std::string> lines = recordLines(Record{});
    lines[kDeveloperLine] = "<TD><A HREF='DEVELOPER.PHP?NAAMAUTHOR=Acme'>Acme</A></TD>";
    lines[kDownloadLine] = "<td><a href='MACHINES/DOWNLOAD.PHP?GET=Acme_Kick.zip&newid=12'>Acme Kick</A></td>";
    lines[kTypeLine] = "<td><center>Generator</CENTER></td>";
    QCOMPARE(rows(joined(lines)), (QList<QStringList>{{"Acme_Kick.zip", "2003-01-02", "Acme", "Acme Kick",
                                                       "A kick drum", "Generator", "1.1", "Stable"}}));

    // End markers count only as written: a field whose end marker differs is empty, the record still a row.
    lines = recordLines(Record{});
    lines[1] = "<TD>2003-01-02</td>";
    lines[kDownloadLine] = "<A HREF='machines/download.php?get=Acme_Kick.zip&newid=12'>Acme Kick</a>";
    lines[kTypeLine] = "<TD><CENTER>Generator</center></TD>";
    lines[kStatusLine] = "<TD><CENTER>Stable</Center></TD>";
    QCOMPARE(rows(joined(lines)),
             (QList<QStringList>{{"Acme_Kick.zip", "", "Acme", "", "A kick drum", "", "1.1", ""}}));

    // "&newid=" too: in capitals the link has no identifier, so there is no row.
    lines = recordLines(Record{});
    lines[kDownloadLine] = "<A HREF='machines/download.php?get=Acme_Kick.zip&NEWID=12'>Acme Kick</A>";
    QVERIFY(rows(joined(lines)).isEmpty());
}

void TestCatalogueRows::downloadLinkOnDeveloperLineIsNotUsed()
{
    std::vector<std::string> lines = recordLines(Record{});
    lines[kDeveloperLine] = "<A HREF='developer.php?naamauthor=Acme'>Acme</A>"
                            "<A HREF='machines/download.php?get=Wrong.zip&newid=3'>Wrong</A>";
    QCOMPARE(rows(joined(lines)), (QList<QStringList>{{"Acme_Kick.zip", "2003-01-02", "Acme", "Acme Kick",
                                                       "A kick drum", "Generator", "1.1", "Stable"}}));
}

void TestCatalogueRows::dateIsTheLineAboveTheDeveloperLine()
{
    // Whatever the line above holds, from its first '>' to "</TD>".
    std::vector<std::string> lines = recordLines(Record{});
    lines[1] = "<TD NOWRAP>2003-01-02</TD><TD>x</TD>";
    QCOMPARE(rows(joined(lines)).value(0).value(1), QStringLiteral("2003-01-02"));
    lines[1] = "<TD>Not a date</TD>";
    QCOMPARE(rows(joined(lines)).value(0).value(1), QStringLiteral("Not a date"));
    lines[1] = "2003-01-02";
    QCOMPARE(rows(joined(lines)).value(0).value(1), QString());
    lines[1] = "<TD>2003-01-02";
    QCOMPARE(rows(joined(lines)).value(0).value(1), QString());

    // A developer line on the first line has nothing above it.
    lines.erase(lines.begin(), lines.begin() + kDeveloperLine);
    QCOMPARE(rows(joined(lines)).value(0).value(1), QString());

    // A record right after the previous one's description line takes that line.
    Record second;
    second.filename = "Second.zip";
    lines = recordLines(Record{});
    lines.pop_back(); // the description line is now the last one
    std::vector<std::string> next = recordLines(second);
    append(lines, {next.begin() + kDeveloperLine, next.end()});
    const QList<QStringList> found = rows(joined(lines));
    QCOMPARE(found.size(), 2);
    QCOMPARE(found.at(1).at(0), QStringLiteral("Second.zip"));
    QCOMPARE(found.at(1).at(1), QStringLiteral("A kick drum"));
}

void TestCatalogueRows::filenameDecidesWhetherARowIsAdded()
{
    Record first;
    first.filename = "First.zip";
    Record empty;
    empty.filename = "";
    Record last;
    last.filename = "Last.zip";
    std::vector<std::string> lines = recordLines(first);
    append(lines, recordLines(empty));
    std::vector<std::string> noNewId = recordLines(last);
    noNewId[kDownloadLine] = "<A HREF='machines/download.php?get=NoId.zip'>No id</A>";
    append(lines, noNewId);
    append(lines, recordLines(last));

    const QList<QStringList> found = rows(joined(lines));
    QCOMPARE(found.size(), 2);
    QCOMPARE(found.at(0).at(0), QStringLiteral("First.zip"));
    QCOMPARE(found.at(1).at(0), QStringLiteral("Last.zip"));
    // Records without a row still use up their own lines: the last one keeps its own fields.
    QCOMPARE(found.at(1), fields(last));
}

void TestCatalogueRows::missingNameMarkersLeaveNameEmpty()
{
    const std::string links[] = {
        "<A HREF='machines/download.php?get=Acme_Kick.zip&newid=12>Acme Kick</A>",
        "<A HREF='machines/download.php?get=Acme_Kick.zip&newid=12'>Acme Kick",
        // The name's end must follow its start.
        "</A><A HREF='machines/download.php?get=Acme_Kick.zip&newid=12'>Acme Kick",
    };
    for (const std::string& link : links) {
        std::vector<std::string> lines = recordLines(Record{});
        lines[kDownloadLine] = link;
        QCOMPARE(rows(joined(lines)), (QList<QStringList>{{"Acme_Kick.zip", "2003-01-02", "Acme", "", "A kick drum",
                                                           "Generator", "1.1", "Stable"}}));
    }
}

void TestCatalogueRows::textEndingInsideARecord_data()
{
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<QStringList>("expected"); // empty: no row

    const QStringList none;
    QTest::newRow("developer line only") << int(kDeveloperLine + 1) << none;
    QTest::newRow("download line") << int(kDownloadLine + 1)
                                   << QStringList{"Acme_Kick.zip", "2003-01-02", "Acme", "Acme Kick", "", "", "", ""};
    QTest::newRow("type cell") << int(kTypeLine + 1)
                               << QStringList{"Acme_Kick.zip", "2003-01-02", "Acme", "Acme Kick", "",
                                              "Generator",     "",           ""};
    QTest::newRow("status cell") << int(kStatusLine + 1)
                                 << QStringList{"Acme_Kick.zip", "2003-01-02", "Acme",  "Acme Kick", "",
                                                "Generator",     "1.1",        "Stable"};
    QTest::newRow("five lines after status")
        << int(kDescriptionLine)
        << QStringList{"Acme_Kick.zip", "2003-01-02", "Acme", "Acme Kick", "", "Generator", "1.1", "Stable"};
    QTest::newRow("description, no line end") << -1 << QStringList{"Acme_Kick.zip", "2003-01-02", "Acme", "Acme Kick",
                                                                   "A kick drum",   "Generator",  "1.1",  "Stable"};
}

void TestCatalogueRows::textEndingInsideARecord()
{
    QFETCH(int, lineCount);
    QFETCH(QStringList, expected);
    std::vector<std::string> lines = recordLines(Record{});
    std::string text;
    if (lineCount < 0) {
        lines.resize(kDescriptionLine + 1);
        text = joined(lines);
        text.resize(text.size() - 2);
    } else {
        lines.resize(static_cast<std::size_t>(lineCount));
        text = joined(lines);
    }
    const QList<QStringList> found = rows(text);
    QCOMPARE(found, expected.isEmpty() ? QList<QStringList>{} : QList<QStringList>{expected});
}

void TestCatalogueRows::descriptionCutByPosition()
{
    const struct
    {
        std::string line;
        QString description;
    } cases[] = {
        {"<TD></TD>", ""},   // 9 characters
        {"<TD>x</TD>", "x"}, // 10
        {"12345678", ""},    // 8: too short, and no failure
        {"", ""},
        {"<td>Lower</td>", "Lower"}, // cut by position, not by marker
        {"<TD>  padded  </TD>", "  padded  "},
    };
    for (const auto& c : cases) {
        std::vector<std::string> lines = recordLines(Record{});
        lines[kDescriptionLine] = c.line;
        const QList<QStringList> found = rows(joined(lines));
        QCOMPARE(found.size(), 1);
        QCOMPARE(found.first().at(4), c.description);
    }
}

void TestCatalogueRows::lineEnds()
{
    const QList<QStringList> one{fields(Record{})};
    // A lone CR ends a line as CR LF does.
    QCOMPARE(rows(joined(recordLines(Record{}), "\r")), one);

    // A lone LF is part of its line: a record in LF lines is one long line, and holds no row.
    QVERIFY(rows(joined(recordLines(Record{}), "\n")).isEmpty());

    // A filler line holding an LF counts once towards the six lines to the description.
    std::vector<std::string> lines = recordLines(Record{});
    lines[kStatusLine + 2] = "<TR>\n<TD>";
    QCOMPARE(rows(joined(lines)), one);
    lines = recordLines(Record{});
    lines[kDescriptionLine] = "<TD>two\nlines</TD>";
    QCOMPARE(rows(joined(lines)).value(0).value(4), QStringLiteral("two\nlines"));
}

QTEST_GUILESS_MAIN(TestCatalogueRows)
#include "tst_cataloguerows.moc"
