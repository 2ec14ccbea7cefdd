#include "base/NumberText.h"
#include "base/TextCodec.h"

#include <QSet>
#include <QTest>

#include <limits>

namespace {

QString decoded(std::string_view bytes)
{
    const std::string utf8 = gw::windows1252ToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

} // namespace

class TestTextCodec : public QObject
{
    Q_OBJECT

private slots:
    void numberText()
    {
        QCOMPARE(gw::NumberText(0), " 0");
        QCOMPARE(gw::NumberText(-5), "-5");
        QCOMPARE(gw::NumberText(2147483648), " 2147483648");
        QCOMPARE(gw::NumberText(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
    }

    void windows1252()
    {
        // Each byte is one character and no two bytes share it, so exact comparisons survive decoding; outside
        // 80..9F the code page is Latin-1.
        QSet<QString> seen;
        for (int b = 0; b < 256; ++b) {
            const char c = char(b);
            const QString text = decoded(std::string_view(&c, 1));
            QVERIFY2(text.size() == 1 && text != QChar::ReplacementCharacter && !seen.contains(text),
                     qPrintable(QString::number(b, 16)));
            QVERIFY2((b >= 0x80 && b < 0xA0) || text.at(0).unicode() == b, qPrintable(QString::number(b, 16)));
            seen.insert(text);
        }
        // The undefined 81, 8D, 8F, 90 and 9D stay the C1 controls of the same value.
        QCOMPARE(decoded("\x80\x81\x85\x8a\x8d\x8f\x90\x99\x9d\x9f"),
                 QString::fromUtf8("\u20ac\u0081\u2026\u0160\u008d\u008f\u0090\u2122\u009d\u0178"));
    }

    void foldCaseBeyondAscii()
    {
        // Every capital of Latin-1, Windows-1252, Latin Extended-A, Greek, Cyrillic and Armenian folds to Unicode's
        // small letter (Windows opens "Šum.dll" for "šum.dll"); every other character there stays as it is. Left out:
        // the Turkish dotted I, most of Latin Extended-B, archaic Greek and the palochka, which are not folded.
        const auto covered = [](char32_t cp) {
            return (cp < 0x180 && cp != 0x130) || (cp >= 0x1CD && cp < 0x1F0) || (cp >= 0x386 && cp < 0x3CF) ||
                   (cp >= 0x400 && cp < 0x590 && cp != 0x4C0);
        };
        for (char32_t cp = 0; cp < 0x590; ++cp) {
            QVERIFY2(!covered(cp) || gw::foldCase(cp) == QChar(char16_t(cp)).toLower().unicode(),
                     qPrintable(QString::number(cp, 16)));
        }
        QCOMPARE(gw::foldCase("\xc5\xa0UM.dll\xc5\xb8"), "\xc5\xa1um.dll\xc3\xbf"); // Š and Ÿ from Windows-1252
        QCOMPARE(gw::foldCase("A\xff\xc3"), "a\xff\xc3");                           // stray bytes stay
        QVERIFY(gw::equalsIgnoringCase("\xc5\x92uvre.DLL", "\xc5\x93uvre.dll"));
        QVERIFY(!gw::equalsIgnoringCase("\u00c9cho.dll", "echo.dll")); // accents are not case
    }

    void windowsListOrder()
    {
        // As a Windows list box shows names: blanks and punctuation before digits before letters; letters by their
        // base letter, accents and then case breaking ties, small letter first; hyphens passed over; ligatures and
        // sharp s spelt out; Latin before Greek.
        const QStringList sorted = {
            "_under",     "2nd",         "a b",         "ab",       "alpha", "Alpha", "ALPHA",     "\u00e4rger",
            "\u00c4rger", "b",           "beta",        "Beta",     "coat",  "co-op", "coor",      "\u00c9cho",
            "eclair",     "\u00e9clair", "\u00c9clair", "Fast",     "Kick",  "kick2", "Ma\u00dfe", "Mast",
            "\u0152uvre", "Ozone",       "\u0161um",    "\u0160um", "zulu",  "Zulu",  "\u0391lpha"};
        for (qsizetype i = 0; i < sorted.size(); ++i) {
            for (qsizetype j = 0; j < sorted.size(); ++j) {
                QVERIFY2(gw::listLess(sorted[i].toStdString(), sorted[j].toStdString()) == (i < j),
                         qPrintable(sorted[i] + (i < j ? " < " : " !< ") + sorted[j]));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestTextCodec)
#include "tst_textcodec.moc"
