#include "app/TextCodec.h"

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


} // namespace

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

std::string listSortKey(std::string_view utf8)
{
    std::string key(utf8);
    for (std::size_t i = 0; i < key.size(); ++i) {
        const auto b = static_cast<std::uint8_t>(key[i]);
        if (b >= 'A' && b <= 'Z') {
            key[i] = static_cast<char>(b + 0x20);
        } else if (b == 0xC3 && i + 1 < key.size()) {
            // U+00C0..U+00DE (but U+00D7, the multiplication sign) are the Latin-1 capitals; their small letters
            // lie 0x20 higher, in the same two-byte block.
            const auto next = static_cast<std::uint8_t>(key[i + 1]);
            if (next >= 0x80 && next <= 0x9E && next != 0x97) {
                key[i + 1] = static_cast<char>(next + 0x20);
            }
            ++i;
        }
    }
    return key;
}

bool listLess(std::string_view a, std::string_view b)
{
    const std::string ka = listSortKey(a);
    const std::string kb = listSortKey(b);
    if (ka != kb) {
        return ka < kb;
    }
    return a < b;
}

} // namespace gw
