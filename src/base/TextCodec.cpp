#include "base/TextCodec.h"

#include <array>
#include <cstdint>

namespace gw {

namespace {

// Code points of bytes 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char32_t kInvalid = 0xFFFFFFFF;

/** Decodes the code point at pos and moves past it; a byte that starts no valid sequence comes back as kInvalid. */
char32_t nextCodePoint(std::string_view text, std::size_t& pos)
{
    if (const std::optional<char32_t> cp = decodeUtf8(text, pos)) {
        return *cp;
    }
    ++pos;
    return kInvalid;
}

bool inRange(char32_t cp, char32_t first, char32_t last) { return cp >= first && cp <= last; }

/** In blocks where capitals and small letters alternate: the small letter of a capital at an even or odd place. */
char32_t pairFold(char32_t cp, bool capitalIsEven)
{
    return ((cp % 2 == 0) == capitalIsEven) ? cp + 1 : cp;
}

// Base letters of U+00C0..U+00FF and U+0100..U+017F as a Windows sort sees them; '*' marks a sign, not a letter,
// and the ligatures and sharp s are spelt out where they are met.
constexpr std::string_view kLatin1Bases = "aaaaaa?ceeeeiiiidnooooo*ouuuuy??aaaaaa?ceeeeiiiidnooooo*ouuuuy?y";
constexpr std::string_view kExtendedABases =
    "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiii??jjkkkllllllllllnnnnnnnnnoooooo??rrrrrrssssssssttttttuuuuuuuuuu"
    "uuwwyyyzzzzzzs";

/** The letters a Latin letter sorts as, or an empty view when cp is no Latin letter with a base. */
std::string_view latinBase(char32_t cp)
{
    switch (cp) {
    case 0xC6: case 0xE6: return "ae";
    case 0xDE: case 0xFE: return "th";
    case 0xDF: return "ss";
    case 0x132: case 0x133: return "ij";
    case 0x152: case 0x153: return "oe";
    case 0x192: return "f";
    default: break;
    }
    if (inRange(cp, 0xC0, 0xFF) && kLatin1Bases[cp - 0xC0] != '*') {
        return kLatin1Bases.substr(cp - 0xC0, 1);
    }
    if (inRange(cp, 0x100, 0x17F)) {
        return kExtendedABases.substr(cp - 0x100, 1);
    }
    return {};
}

bool isSign(char32_t cp)
{
    return cp < 0x80 ? !((cp >= '0' && cp <= '9') || (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z'))
                     : inRange(cp, 0x80, 0xBF) || cp == 0xD7 || cp == 0xF7 || inRange(cp, 0x2000, 0x2BFF) ||
                           inRange(cp, 0x3000, 0x303F);
}

// Weights of the first level: every sign before every digit, every digit before every letter.
constexpr char32_t kSignWeight = 0x100;
constexpr char32_t kDigitWeight = 0x200000;
constexpr char32_t kLetterWeight = 0x300000;

} // namespace

std::optional<char32_t> decodeUtf8(std::string_view text, std::size_t& pos)
{
    const auto lead = static_cast<std::uint8_t>(text[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    std::size_t length = 0;
    char32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
    }
    if (length == 0 || text.size() - pos < length) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<std::uint8_t>(text[pos + i]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    const bool overlong = (length == 3 && cp < 0x800) || (length == 4 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return std::nullopt;
    }
    pos += length;
    return cp;
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string windows1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b < 0x80) {
            out += c;
        } else if (b < 0xA0) {
            appendUtf8(out, kHighControls[b - 0x80]);
        } else {
            appendUtf8(out, b);
        }
    }
    return out;
}

char32_t foldCase(char32_t cp)
{
    if (cp < 0x80) {
        return (cp >= 'A' && cp <= 'Z') ? cp + 0x20 : cp;
    }
    if (inRange(cp, 0xC0, 0xDE) && cp != 0xD7) {
        return cp + 0x20;
    }
    if (cp == 0x178) {
        return 0xFF; // Ÿ, whose small letter is in Latin-1
    }
    // Latin Extended-A, B and Additional, where capital and small letter sit side by side.
    if (inRange(cp, 0x100, 0x12F) || inRange(cp, 0x132, 0x137) || inRange(cp, 0x14A, 0x177) ||
        inRange(cp, 0x1DE, 0x1EF) || inRange(cp, 0x1F8, 0x21F) || inRange(cp, 0x222, 0x233) ||
        inRange(cp, 0x1E00, 0x1E95) || inRange(cp, 0x1EA0, 0x1EFF)) {
        return pairFold(cp, true);
    }
    if (inRange(cp, 0x139, 0x148) || inRange(cp, 0x179, 0x17E) || inRange(cp, 0x1CD, 0x1DC)) {
        return pairFold(cp, false);
    }
    // Greek.
    if (inRange(cp, 0x391, 0x3AB) && cp != 0x3A2) {
        return cp + 0x20;
    }
    switch (cp) {
    case 0x386: return 0x3AC;
    case 0x388: case 0x389: case 0x38A: return cp + 0x25;
    case 0x38C: return 0x3CC;
    case 0x38E: case 0x38F: return cp + 0x3F;
    default: break;
    }
    // Cyrillic and Armenian.
    if (inRange(cp, 0x410, 0x42F)) {
        return cp + 0x20;
    }
    if (inRange(cp, 0x400, 0x40F)) {
        return cp + 0x50;
    }
    if (inRange(cp, 0x460, 0x481) || inRange(cp, 0x48A, 0x4BF) || inRange(cp, 0x4D0, 0x52F)) {
        return pairFold(cp, true);
    }
    if (inRange(cp, 0x4C1, 0x4CE)) {
        return pairFold(cp, false);
    }
    if (inRange(cp, 0x531, 0x556)) {
        return cp + 0x30;
    }
    // Full-width Latin capitals.
    if (inRange(cp, 0xFF21, 0xFF3A)) {
        return cp + 0x20;
    }
    return cp;
}

std::string foldCase(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const std::size_t start = pos;
        const char32_t cp = nextCodePoint(utf8, pos);
        if (cp == kInvalid) {
            out += utf8[start];
        } else if (cp < 0x80) {
            out += static_cast<char>(foldCase(cp));
        } else {
            appendUtf8(out, foldCase(cp));
        }
    }
    return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) { return foldCase(a) == foldCase(b); }

std::u32string collationKey(std::string_view utf8)
{
    // Three levels one after the other, each ended by 0 (below every weight): base letters, then accents, then
    // letter case, small before capital as Windows sorts them.
    std::u32string primary;
    std::u32string accents;
    std::u32string cases;
    primary.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const std::size_t start = pos;
        char32_t cp = nextCodePoint(utf8, pos);
        if (cp == kInvalid) {
            cp = static_cast<std::uint8_t>(utf8[start]); // read a stray byte as the Latin-1 letter it would be
        }
        if (cp == '-' || cp == '\'' || cp == 0xAD) {
            continue; // Windows' word sort passes over hyphens and apostrophes
        }
        const char32_t folded = foldCase(cp);
        const char32_t caseWeight = folded != cp ? 2 : 1;
        if (cp >= '0' && cp <= '9') {
            primary += kDigitWeight + cp;
            accents += 1;
            cases += caseWeight;
        } else if (folded >= 'a' && folded <= 'z') {
            primary += kLetterWeight + folded;
            accents += 1;
            cases += caseWeight;
        } else if (const std::string_view base = latinBase(folded); !base.empty()) {
            for (std::size_t i = 0; i < base.size(); ++i) {
                primary += kLetterWeight + static_cast<char32_t>(base[i]);
                accents += i == 0 ? folded + 2 : 1;
                cases += caseWeight;
            }
        } else if (isSign(cp)) {
            primary += kSignWeight + cp;
            accents += 1;
            cases += 1;
        } else {
            primary += kLetterWeight + folded;
            accents += 1;
            cases += caseWeight;
        }
    }
    primary += char32_t{0};
    primary += accents;
    primary += char32_t{0};
    primary += cases;
    return primary;
}

bool listLess(std::string_view a, std::string_view b)
{
    const std::u32string ka = collationKey(a);
    const std::u32string kb = collationKey(b);
    if (ka != kb) {
        return ka < kb;
    }
    return a < b;
}

} // namespace gw
