#include "base/NumberText.h"
#include "base/TextCodec.h"

#include <QSet>
#include <QTest>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

class TestTextCodec : public QObject
{
    Q_OBJECT

private slots:
    void numberText();
    void windows1252_data();
    void windows1252();
    void windows1252IsOneToOne();
    void foldCaseAgreesWithUnicode();
    void listLessPairs_data();
    void listLessPairs();
    void listLessSortsShuffledSet();
};

void TestTextCodec::numberText()
{
    QCOMPARE(gw::NumberText(0), std::string(" 0"));
    QCOMPARE(gw::NumberText(5), std::string(" 5"));
    QCOMPARE(gw::NumberText(-5), std::string("-5"));
    QCOMPARE(gw::NumberText(2147483648), std::string(" 2147483648"));
    QCOMPARE(gw::NumberText(std::numeric_limits<std::int64_t>::min()), std::string("-9223372036854775808"));
}

void TestTextCodec::windows1252_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("ascii") << QByteArray("Rout 909 (v1.1)") << QString("Rout 909 (v1.1)");
    QTest::newRow("control and DEL") << QByteArray("\x01\x1f\x7f") << QString::fromUtf8("\x01\x1f\x7f");
    QTest::newRow("euro") << QByteArray("\x80") << QString(QChar(0x20AC));
    QTest::newRow("e acute") << QByteArray("\xe9") << QString(QChar(0xE9));
    QTest::newRow("undefined 81") << QByteArray("\x81") << QString(QChar(0x81));
    QTest::newRow("undefined 8D 8F 90 9D") << QByteArray("\x8d\x8f\x90\x9d")
                                         << QString::fromUtf8("\u008d\u008f\u0090\u009d");
    QTest::newRow("ellipsis, S caron, trade mark, Y diaeresis")
        << QByteArray("\x85\x8a\x99\x9f") << QString::fromUtf8("\u2026\u0160\u2122\u0178");
    QTest::newRow("nbsp and y diaeresis") << QByteArray("\xa0\xff") << QString::fromUtf8("\u00a0\u00ff");
    // A machine name from a real song.
    QTest::newRow("mixed") << QByteArray("Gur\xfa 2 ") << QString::fromUtf8("Gur\u00fa 2 ");
}

void TestTextCodec::windows1252()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    const std::string utf8 = gw::windows1252ToUtf8(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    QCOMPARE(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())), text);
}

void TestTextCodec::windows1252IsOneToOne()
{
    QSet<QString> seen;
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        const std::string utf8 = gw::windows1252ToUtf8(std::string_view(&c, 1));
        const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
        // Each byte is one character of valid UTF-8, and no two bytes share it.
        QVERIFY2(text.size() == 1 && text.toUtf8() == QByteArray(utf8.data(), qsizetype(utf8.size())),
                 qPrintable(QString::number(b, 16)));
        QVERIFY2(text.at(0) != QChar::ReplacementCharacter, qPrintable(QString::number(b, 16)));
        if (b < 0x80 || b >= 0xA0) {
            QCOMPARE(text.at(0).unicode(), char16_t(b));
        }
        QVERIFY2(!seen.contains(text), qPrintable(QString::number(b, 16)));
        seen.insert(text);
    }
}

void TestTextCodec::foldCaseAgreesWithUnicode()
{
    // Every capital of Latin-1, Windows-1252, Latin Extended-A, Greek and Cyrillic folds to Unicode's small letter
    // (Windows compares "\u0160um.dll" and "\u0161um.dll" as one name); every other character stays as it is.
    const auto irregular = [](char32_t cp) { return cp == 0x130 || (cp >= 0x180 && cp < 0x1CD) || cp >= 0x1F0; };
    for (char32_t cp = 0; cp < 0x530; ++cp) {
        if ((cp >= 0x250 && cp < 0x370) || (cp >= 0x1F0 && cp < 0x250) || irregular(cp)) {
            continue;
        }
        const char32_t lower = QChar(char16_t(cp)).toLower().unicode();
        QVERIFY2(gw::foldCase(cp) == lower, qPrintable(QString::number(cp, 16)));
    }
    QCOMPARE(gw::foldCase(std::string("\xc5\xa0UM.dll")), std::string("\xc5\xa1um.dll"));
    QCOMPARE(gw::foldCase(std::string("\xc5\xb8")), std::string("\xc3\xbf")); // Y diaeresis
    QCOMPARE(gw::foldCase(std::string("A\xff\xc3")), std::string("a\xff\xc3")); // stray bytes stay
    QVERIFY(gw::equalsIgnoringCase("\xc5\x92uvre.DLL", "\xc5\x93uvre.dll"));
    QVERIFY(!gw::equalsIgnoringCase("\xc3\x89" "cho.dll", "echo.dll")); // accents are not case
}

void TestTextCodec::listLessPairs_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");

    // Each row: a sorts strictly before b, as a Windows list box shows them.
    QTest::newRow("small before capital") << "alpha" << "Beta";
    QTest::newRow("capital before small") << "Alpha" << "beta";
    QTest::newRow("punctuation before digits") << "_x" << "0x";
    QTest::newRow("digits before letters") << "9x" << "ax";
    QTest::newRow("blank before letters") << "a b" << "ab";
    QTest::newRow("prefix first") << "Kick" << "kick2";
    QTest::newRow("tie: small letter first") << "abc" << "ABC";
    QTest::newRow("tie: mixed") << "fOO" << "Foo";
    QTest::newRow("hyphen passed over") << "co-op" << "coor";
    QTest::newRow("accent only breaks ties") << "eclair" << QString::fromUtf8("\u00c9clair");
    QTest::newRow("E acute with the E's") << QString::fromUtf8("\u00c9cho") << "Fast";
    QTest::newRow("A umlaut with the A's") << QString::fromUtf8("\u00c4rger") << "Bass";
    QTest::newRow("S caron with the S's") << QString::fromUtf8("\u0160um") << "Tape";
    QTest::newRow("ligature spelt out") << QString::fromUtf8("\u0152uvre") << "Ozone";
    QTest::newRow("sharp s as ss") << QString::fromUtf8("Ma\u00dfe") << "Mast";
    QTest::newRow("Latin before Greek") << "zzz" << QString::fromUtf8("\u0391lpha");
    QTest::newRow("Latin-1 tie") << QString::fromUtf8("\u00e9clair") << QString::fromUtf8("\u00c9clair");
}

void TestTextCodec::listLessPairs()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    const std::string ua = a.toStdString();
    const std::string ub = b.toStdString();
    QVERIFY(gw::listLess(ua, ub));
    QVERIFY(!gw::listLess(ub, ua));
    QVERIFY(!gw::listLess(ua, ua));
}

void TestTextCodec::listLessSortsShuffledSet()
{
    const std::vector<std::string> expected = {
        "_under", "2nd",   "alpha",  "Alpha",  "ALPHA",  "\xc3\xa4rger", "\xc3\x84rger", "b",
        "beta",   "Beta",  "eclair", "\xc3\xa9" "clair", "\xc3\x89" "clair", "\xc5\xa1um", "\xc5\xa0um",
        "zulu",   "Zulu",
    };
    std::vector<std::string> names = expected;
    std::mt19937 random(20240601);
    for (int round = 0; round < 20; ++round) {
        std::shuffle(names.begin(), names.end(), random);
        std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            return gw::listLess(a, b);
        });
        QCOMPARE(names, expected);
    }
    // Strict weak ordering: irreflexive, asymmetric, transitive over every triple.
    for (const std::string& a : expected) {
        QVERIFY(!gw::listLess(a, a));
        for (const std::string& b : expected) {
            QVERIFY(!(gw::listLess(a, b) && gw::listLess(b, a)));
            for (const std::string& c : expected) {
                if (gw::listLess(a, b) && gw::listLess(b, c)) {
                    QVERIFY(gw::listLess(a, c));
                }
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestTextCodec)
#include "tst_textcodec.moc"
