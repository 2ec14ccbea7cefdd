#include "base/WineRegistry.h"

#include "base/FolderEntries.h"
#include "base/TextCodec.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

namespace gw {

namespace {

namespace fs = std::filesystem;

// user.reg holds HKEY_CURRENT_USER, so its section names are relative to it.
constexpr std::string_view kHeader = "WINE REGISTRY Version 2";
// The host reads its settings into a MAX_PATH buffer; a value that does not fit is, for it, not there.
constexpr std::size_t kHostBufferSize = 260;

fs::path toPath(std::string_view utf8)
{
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string toUtf8(const fs::path& path)
{
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

// ---- text ----------------------------------------------------------------------------------------------------

void appendUtf16(std::u16string& out, char32_t cp)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<char16_t>(cp);
    }
}

/** Decodes one well-formed UTF-8 sequence at pos and advances past it; leaves pos alone on anything else. */
/** Appends the byte or UTF-8 sequence at pos. Wine writes pure ASCII, but a hand-edited file may hold UTF-8 or
 *  Latin-1; a byte that does not start valid UTF-8 is taken as Latin-1. */
void appendRawCharacter(std::u16string& out, std::string_view text, std::size_t& pos)
{
    if (const std::optional<char32_t> cp = decodeUtf8(text, pos)) {
        appendUtf16(out, *cp);
    } else {
        out += static_cast<char16_t>(static_cast<std::uint8_t>(text[pos++]));
    }
}

std::u16string utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    for (std::size_t pos = 0; pos < text.size();) {
        appendRawCharacter(out, text, pos);
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, unit);
        }
    }
    return out;
}

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char16_t x, char16_t y) { return foldCase(char32_t{x}) == foldCase(char32_t{y}); });
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

// ---- user.reg ------------------------------------------------------------------------------------------------

bool isOctal(char c)
{
    return c >= '0' && c <= '7';
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

/**
 * Reads Wine's escaped text from pos up to the unescaped terminator, leaving pos just past it. The escapes are
 * Wine's own: C letters, \xHHHH (a UTF-16 unit), up to three octal digits; any other escaped character stands for
 * itself. Returns false when the line ends first.
 */
bool parseEscaped(std::string_view line, std::size_t& pos, char terminator, std::u16string& out)
{
    while (pos < line.size()) {
        const char c = line[pos];
        if (c == terminator) {
            ++pos;
            return true;
        }
        if (c != '\\') {
            appendRawCharacter(out, line, pos);
            continue;
        }
        if (++pos == line.size()) {
            return false;
        }
        const char e = line[pos++];
        switch (e) {
        case 'a':
            out += u'\a';
            break;
        case 'b':
            out += u'\b';
            break;
        case 'e':
            out += char16_t{0x1B};
            break;
        case 'f':
            out += u'\f';
            break;
        case 'n':
            out += u'\n';
            break;
        case 'r':
            out += u'\r';
            break;
        case 't':
            out += u'\t';
            break;
        case 'v':
            out += u'\v';
            break;
        case 'x': {
            unsigned value = 0;
            int digits = 0;
            for (; digits < 4 && pos < line.size() && hexDigit(line[pos]) >= 0; ++digits) {
                value = value * 16 + static_cast<unsigned>(hexDigit(line[pos++]));
            }
            out += digits == 0 ? u'x' : static_cast<char16_t>(value);
            break;
        }
        default:
            if (isOctal(e)) {
                unsigned value = static_cast<unsigned>(e - '0');
                for (int digits = 1; digits < 3 && pos < line.size() && isOctal(line[pos]); ++digits) {
                    value = value * 8 + static_cast<unsigned>(line[pos++] - '0');
                }
                out += static_cast<char16_t>(value);
            } else {
                --pos;
                appendRawCharacter(out, line, pos);
            }
        }
    }
    return false;
}

struct RegistryValue
{
    bool isString = false;
    std::u16string data;
};

struct Lookup
{
    bool keyFound = false;
    std::optional<RegistryValue> value; // the last definition wins, as when Wine loads the file
};

std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

std::string_view trimLeft(std::string_view text)
{
    const std::size_t start = text.find_first_not_of(" \t");
    return start == std::string_view::npos ? std::string_view{} : text.substr(start);
}

std::string_view trimRight(std::string_view text)
{
    const std::size_t last = text.find_last_not_of(" \t");
    return last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
}

/** Parses the data after "name=". Returns nothing for a line Wine would reject, so it changes no value. */
std::optional<RegistryValue> parseData(std::string_view data)
{
    std::size_t pos = 0;
    RegistryValue value;
    if (data.starts_with('"')) {
        pos = 1;
        value.isString = true;
    } else if (data.starts_with("str(")) {
        // REG_SZ and REG_EXPAND_SZ are strings; other types written this way (7: multi-string) are not.
        const std::size_t close = data.find("):\"");
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view type = data.substr(4, close - 4);
        value.isString = type == "1" || type == "2";
        pos = close + 3;
    } else if (data.starts_with("dword:") || data.starts_with("hex")) {
        return value;
    } else {
        return std::nullopt;
    }
    if (!parseEscaped(data, pos, '"', value.data)) {
        return std::nullopt;
    }
    return value;
}

Lookup findValue(std::string_view file, std::u16string_view keyName, std::u16string_view valueName)
{
    Lookup lookup;
    const std::vector<std::string_view> lines = splitLines(file);
    // Wine loads nothing from a file without this first line.
    if (lines.empty() || trimRight(lines.front()) != kHeader) {
        return lookup;
    }
    bool inKey = false;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string_view line = trimLeft(lines[i]);
        if (line.empty() || line.front() == ';' || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            std::size_t pos = 1;
            std::u16string section;
            // A broken header still ends the previous section, so its values are not taken for the key's.
            inKey = parseEscaped(line, pos, ']', section) && equalsIgnoringCase(section, keyName);
            lookup.keyFound = lookup.keyFound || inKey;
            continue;
        }
        if (!inKey) {
            continue;
        }
        // "@" names the default value, whose name is empty.
        std::u16string name;
        std::size_t pos = 1;
        if (line.front() != '@' && (line.front() != '"' || !parseEscaped(line, pos, '"', name))) {
            continue;
        }
        pos = line.find_first_not_of(" \t", pos);
        if (pos == std::string_view::npos || line[pos] != '=') {
            continue;
        }
        // Binary data may go on over lines that end in a backslash; those hold only hex digits and commas and so
        // are passed over like any other line that is neither a section nor a value.
        const std::optional<RegistryValue> value = parseData(trimLeft(line.substr(pos + 1)));
        if (value && equalsIgnoringCase(name, valueName)) {
            lookup.value = value;
        }
    }
    return lookup;
}

std::optional<std::string> readFile(const fs::path& path)
{
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        return std::nullopt;
    }
    std::ifstream stream(path, std::ios::binary);
    if (!stream) {
        return std::nullopt;
    }
    std::string content{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    if (stream.bad()) {
        return std::nullopt;
    }
    return content;
}

// ---- paths ---------------------------------------------------------------------------------------------------

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool isDrivePath(std::string_view path)
{
    return path.size() >= 2 && path[1] == ':' && asciiLower(path[0]) >= 'a' && asciiLower(path[0]) <= 'z';
}

/** The entry of dir that Windows would open for name. */
std::string matchEntry(const fs::path& dir, const std::string& name)
{
    return entryNameIgnoringCase(utf8FromPath(dir), name);
}

fs::path driveRoot(const std::string& prefix, char drive)
{
    const fs::path devices = toPath(prefix) / "dosdevices";
    const fs::path link = devices / toPath(matchEntry(devices, std::string{drive, ':'}));
    std::error_code error;
    if (fs::exists(link, error)) {
        // Show where the drive really is, e.g. .../drive_c rather than .../dosdevices/c:.
        fs::path resolved = fs::canonical(link, error);
        if (error) {
            resolved = fs::weakly_canonical(link, error);
        }
        return error ? link : resolved;
    }
    return drive == 'c' ? toPath(prefix) / "drive_c" : link;
}

void appendComponent(std::string& path, std::string_view name)
{
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    path += name;
}

/** Maps a Windows path to the local path Wine opens for it in the prefix. */
std::string mapWinePath(const std::string& prefix, std::string_view windowsPath)
{
    if (!isDrivePath(windowsPath)) {
        std::string path(windowsPath);
        std::replace(path.begin(), path.end(), '\\', '/');
        return path;
    }
    // Windows resolves "." and ".." by text before it looks at the disk, so do the same.
    std::vector<std::string> parts;
    std::string_view rest = windowsPath.substr(2);
    const bool trailingSeparator = !rest.empty() && isSeparator(rest.back());
    while (!rest.empty()) {
        const auto end = std::find_if(rest.begin(), rest.end(), isSeparator);
        const std::string_view part(rest.data(), static_cast<std::size_t>(end - rest.begin()));
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.emplace_back(part);
        }
        rest.remove_prefix(std::min(part.size() + 1, rest.size()));
    }

    fs::path current = driveRoot(prefix, asciiLower(windowsPath[0]));
    std::string path = toUtf8(current);
    for (const std::string& part : parts) {
        const std::string name = matchEntry(current, part);
        current /= toPath(name);
        appendComponent(path, name);
    }
    if (trailingSeparator && !path.ends_with('/')) {
        path += '/';
    }
    return path;
}

} // namespace

WineRegistrySettings::WineRegistrySettings(std::string prefix)
    : m_prefix(std::move(prefix))
{
}

HostSettings::Value WineRegistrySettings::read(std::string_view valueName) const
{
    const std::optional<std::string> file = readFile(toPath(m_prefix) / "user.reg");
    if (!file) {
        return {Status::KeyMissing, {}};
    }
    const Lookup lookup = findValue(*file, utf8ToUtf16(kHostSettingsKey), utf8ToUtf16(valueName));
    if (!lookup.keyFound) {
        return {Status::KeyMissing, {}};
    }
    if (!lookup.value || !lookup.value->isString) {
        return {Status::ValueMissing, {}};
    }
    // Each UTF-16 unit becomes one byte of the 8-bit code page, plus the terminating zero.
    const std::u16string& data = lookup.value->data;
    if (data.size() + 1 > kHostBufferSize) {
        return {Status::ValueMissing, {}};
    }
    // The host sees a C string: it ends at the first zero.
    const std::u16string_view text = std::u16string_view(data).substr(0, data.find(u'\0'));
    return {Status::Ok, mapWinePath(m_prefix, utf16ToUtf8(text))};
}

std::string winePrefixFromEnvironment()
{
    const char* prefix = std::getenv("WINEPREFIX");
    if (prefix && *prefix) {
        return prefix;
    }
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.wine";
}

} // namespace gw
