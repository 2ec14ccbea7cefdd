#include "base/PathText.h"

#include <algorithm>

namespace gw {

namespace {

constexpr char16_t kKeptByte = 0xDC00;

/** The length of a valid UTF-8 sequence at bytes[at], or 0 when none starts there. */
std::size_t validSequence(std::string_view bytes, std::size_t at, char32_t& codePoint)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, codePoint = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, codePoint = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, codePoint = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (at + length > bytes.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (byte(at + i) & 0x3F);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return codePoint < minimum || codePoint > 0x10FFFF || surrogate ? 0 : length;
}

} // namespace

QString textFromPathBytes(std::string_view bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t at = 0; at < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[at]);
        char32_t codePoint = 0;
        if (lead < 0x80) {
            text += QChar(lead);
            ++at;
        } else if (const std::size_t length = validSequence(bytes, at, codePoint)) {
            text += QString::fromUcs4(&codePoint, 1);
            at += length;
        } else {
            text += QChar(char16_t(kKeptByte + lead));
            ++at;
        }
    }
    return text;
}

std::string pathBytesFromText(const QString& text)
{
    const auto kept = [](QChar c) { return c.unicode() >= kKeptByte + 0x80 && c.unicode() <= kKeptByte + 0xFF; };
    if (std::none_of(text.begin(), text.end(), kept)) {
        return text.toStdString();
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (qsizetype at = 0; at < text.size(); ++at) {
        const char16_t unit = text.at(at).unicode();
        const bool paired = QChar::isHighSurrogate(unit) && at + 1 < text.size() && text.at(at + 1).isLowSurrogate();
        if (unit >= kKeptByte + 0x80 && unit <= kKeptByte + 0xFF) {
            bytes += static_cast<char>(unit - kKeptByte);
        } else {
            bytes += text.mid(at, paired ? 2 : 1).toStdString();
            at += paired ? 1 : 0;
        }
    }
    return bytes;
}

std::filesystem::path fileSystemPath(const QString& text)
{
    const std::string bytes = pathBytesFromText(text);
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(bytes.data()), bytes.size()));
}

QString displayPath(const QString& text)
{
    QString shown = text;
    for (QChar& c : shown) {
        if (c.unicode() >= kKeptByte + 0x80 && c.unicode() <= kKeptByte + 0xFF) {
            c = QChar(char16_t(c.unicode() - kKeptByte));
        }
    }
    return shown;
}

} // namespace gw
