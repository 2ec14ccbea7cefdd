#include "catalogue/CatalogueText.h"

#include <QTest>

class TestCatalogueText : public QObject
{
    Q_OBJECT

private slots:
    void linesEndAtCarriageReturns()
    {
        // A line feed right after a carriage return belongs to that line end; anywhere else it is a character.
        const std::pair<std::string, QStringList> cases[] = {
            {"", {}},
            {"a\r\n\nb", {"a", "\nb"}},
            {"a\r\nlast", {"a", "last"}},
            {"a\r\nb\r\n", {"a", "b"}},
            {"a\rb\r", {"a", "b"}},
            {"a\r\r\n\r\nb", {"a", "", "", "b"}},
        };
        for (const auto& [text, expected] : cases) {
            gw::CatalogueLines reader(text);
            QStringList lines;
            for (std::string_view line; lines.size() < 10 && reader.next(line);) {
                lines << QString::fromStdString(std::string(line));
            }
            QCOMPARE(lines, expected);
            QVERIFY(reader.atEnd());
        }
    }

    void entryBetweenMarkers()
    {
        // The get marker in any letter case, "&newid=" only as written; the entry verbatim, even when empty.
        const std::pair<std::string, const char*> cases[] = {
            {"<a href=\"MACHINES/Download.PHP?GET=My%20Synth&amp;Co.dll&newid=12\">", "My%20Synth&amp;Co.dll"},
            {"machines/download.php?get=A&NEWID=1&newid=2", "A&NEWID=1"},
            {"machines/download.php?get=One&newid=1 machines/download.php?get=Two&newid=2", "One"},
            {"x machines/download.php?get=&newid=5", ""},
            {"machines/download.php?get=A&NEWID=1", nullptr},
            {"&newid=0 machines/download.php?get=Orphan.dll", nullptr},
            {"<td>download.php?get=x&newid=1</td>", nullptr},
            {"machines/download.php?ge", nullptr},
        };
        for (const auto& [line, expected] : cases) {
            // "none", or the entry after an equals sign, so an empty entry differs from none.
            const std::optional<std::string_view> entry = gw::catalogueEntry(line);
            QCOMPARE(entry ? "=" + QByteArray::fromStdString(std::string(*entry)) : QByteArray("none"),
                     expected ? "=" + QByteArray(expected) : QByteArray("none"));
        }
    }

    void markerCutShortByTheEnd()
    {
        // Whatever lies beyond the end of the text does not complete a marker.
        const std::string whole = "x machines/download.php?get=";
        QCOMPARE(gw::findIgnoringCase(std::string_view(whole).substr(0, whole.size() - 1), gw::kGetMarker),
                 std::string_view::npos);
        QCOMPARE(gw::findIgnoringCase(whole, gw::kGetMarker), std::size_t(2));
    }

    void dosLinesFromPage()
    {
        const std::pair<std::string, std::string> cases[] = {
            {"", ""},
            {"a\n\nbc\n", "a\r\n\r\nbc\r\n"},
            {"a\nb", "a\r\nb\r\n"},
            {"a\r\nb\r\n", "a\r\r\nb\r\r\n"}, // a carriage return before a line feed stays in its line
        };
        for (const auto& [page, lines] : cases) {
            QCOMPARE(gw::toDosLines(page), lines);
        }
    }
};

QTEST_GUILESS_MAIN(TestCatalogueText)
#include "tst_cataloguetext.moc"
