#include "catalogue/CatalogueText.h"

#include <QtTest>

#include <string>

namespace {

std::string bytes(const QByteArray& data) { return data.toStdString(); }

QStringList linesOf(const std::string& text)
{
    QStringList result;
    gw::CatalogueLines reader(text);
    std::string_view line;
    while (reader.next(line) && result.size() < 100) {
        result << QString::fromStdString(std::string(line));
    }
    return result;
}

} // namespace

class TestCatalogueText : public QObject
{
    Q_OBJECT

private slots:
    void linesEndAtCarriageReturns_data();
    void linesEndAtCarriageReturns();
    void entryBetweenMarkers_data();
    void entryBetweenMarkers();
    void dosLinesFromPage_data();
    void dosLinesFromPage();
};

void TestCatalogueText::linesEndAtCarriageReturns_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("empty") << QByteArray() << QStringList();
    QTest::newRow("lone LF stays in the next line") << QByteArray("a\r\n\nb") << QStringList{"a", "\nb"};
    QTest::newRow("last line without CR") << QByteArray("a\r\nlast") << QStringList{"a", "last"};
    QTest::newRow("ends in CRLF: no empty line after") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
    QTest::newRow("CR alone ends a line") << QByteArray("a\rb\r") << QStringList{"a", "b"};
    QTest::newRow("empty lines kept") << QByteArray("\r\n\r\nx") << QStringList{"", "", "x"};
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << QStringList{"a", "", "b"};
    QTest::newRow("LF only is one line") << QByteArray("a\nb\n") << QStringList{"a\nb\n"};
}

void TestCatalogueText::linesEndAtCarriageReturns()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, lines);
    QCOMPARE(linesOf(bytes(text)), lines);
}

void TestCatalogueText::entryBetweenMarkers_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("entry");

    QTest::newRow("plain") << QByteArray("<a href=\"machines/download.php?get=Jeskola Bass.dll&newid=12\">")
                           << true << QByteArray("Jeskola Bass.dll");
    QTest::newRow("get marker in other case")
        << QByteArray("href=\"MACHINES/Download.PHP?GET=Kick.dll&newid=3\"") << true << QByteArray("Kick.dll");
    QTest::newRow("upper-case newid does not end it")
        << QByteArray("machines/download.php?get=A&NEWID=1&newid=2") << true << QByteArray("A&NEWID=1");
    QTest::newRow("only upper-case newid") << QByteArray("machines/download.php?get=A&NEWID=1") << false
                                           << QByteArray();
    QTest::newRow("first get marker only")
        << QByteArray("machines/download.php?get=One&newid=1 machines/download.php?get=Two&newid=2") << true
        << QByteArray("One");
    QTest::newRow("empty entry") << QByteArray("x machines/download.php?get=&newid=5") << true << QByteArray("");
    QTest::newRow("no newid after the marker")
        << QByteArray("&newid=0 machines/download.php?get=Orphan.dll") << false << QByteArray();
    QTest::newRow("verbatim") << QByteArray("machines/download.php?get=My%20Synth&amp;Co.dll&newid=9") << true
                              << QByteArray("My%20Synth&amp;Co.dll");
    QTest::newRow("no marker") << QByteArray("<td>download.php?get=x&newid=1</td>") << false << QByteArray();
    QTest::newRow("marker cut short") << QByteArray("machines/download.php?ge") << false << QByteArray();
}

void TestCatalogueText::entryBetweenMarkers()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, present);
    QFETCH(QByteArray, entry);
    const std::string text = bytes(line);
    const std::optional<std::string_view> found = gw::catalogueEntry(text);
    QCOMPARE(found.has_value(), present);
    if (found) {
        QCOMPARE(QByteArray::fromStdString(std::string(*found)), entry);
    }
}

void TestCatalogueText::dosLinesFromPage_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QByteArray>("lines");

    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("one line per LF") << QByteArray("a\nbc\n") << QByteArray("a\r\nbc\r\n");
    QTest::newRow("empty line kept") << QByteArray("a\n\nb\n") << QByteArray("a\r\n\r\nb\r\n");
    QTest::newRow("last line without LF") << QByteArray("a\nb") << QByteArray("a\r\nb\r\n");
    QTest::newRow("CR before LF stays") << QByteArray("a\r\nb\r\n") << QByteArray("a\r\r\nb\r\r\n");
    QTest::newRow("LF alone") << QByteArray("\n") << QByteArray("\r\n");
}

void TestCatalogueText::dosLinesFromPage()
{
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, lines);
    QCOMPARE(QByteArray::fromStdString(gw::toDosLines(bytes(page))), lines);
}

QTEST_GUILESS_MAIN(TestCatalogueText)
#include "tst_cataloguetext.moc"
