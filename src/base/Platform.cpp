#include "base/Platform.h"

#include "base/HostSettings.h"
#include "base/TextCodec.h"
#include "base/WineRegistry.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs; the blank line keeps clang-format from sorting it first.

#include <shellapi.h>
#endif

namespace gw::platform {

#ifdef _WIN32

char pathSeparator()
{
    return '\\';
}

namespace {
std::wstring toWide(std::string_view text, UINT codePage)
{
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
    return wide;
}
std::string toUtf8(std::wstring_view wide)
{
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}
} // namespace

std::string ansiToUtf8(std::string_view bytes)
{
    return toUtf8(toWide(bytes, CP_ACP));
}

std::vector<std::string> commandLineArguments(int, char*[])
{
    // The narrow argv holds the ANSI code page's approximation of each argument; the wide command line is exact.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide && i < count; ++i) {
        arguments.push_back(toUtf8(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

std::FILE* openForReading(const std::string& utf8Path)
{
    return _wfopen(toWide(utf8Path, CP_UTF8).c_str(), L"rb");
}

void attachParentConsole()
{
    // A window application has no console of its own; borrow the one of the shell that started it, if any.
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::FILE* stream = nullptr;
        freopen_s(&stream, "CONOUT$", "w", stdout);
        freopen_s(&stream, "CONOUT$", "w", stderr);
    }
}

#else

char pathSeparator()
{
    return '/';
}

std::string ansiToUtf8(std::string_view bytes)
{
    return windows1252ToUtf8(bytes);
}

std::FILE* openForReading(const std::string& utf8Path)
{
    return std::fopen(utf8Path.c_str(), "rb");
}

std::vector<std::string> commandLineArguments(int argc, char* argv[])
{
    return {argv + std::min(argc, 1), argv + argc};
}

void attachParentConsole() {}

#endif

} // namespace gw::platform

namespace gw {

#ifdef _WIN32

namespace {

class RegistryHostSettings final : public HostSettings
{
public:
    Value read(std::string_view valueName) const override
    {
        HKEY key = nullptr;
        const wchar_t* path = L"Software\\Jeskola\\Buzz\\Settings";
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
            return {Status::KeyMissing, {}};
        }
        // The host's own buffer: MAX_PATH characters with the zero. A longer value fails for it, so it fails here
        // too. Read wide, so a folder named outside the ANSI code page arrives whole.
        std::array<wchar_t, 260> buffer{};
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        const std::wstring name = platform::toWide(valueName, CP_UTF8);
        const LSTATUS result =
            RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<LPBYTE>(buffer.data()), &size);
        RegCloseKey(key);
        if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
            return {Status::ValueMissing, {}};
        }
        // The length counts the terminating zero when there is one; the host stops at the first zero anyway.
        const std::wstring_view stored(buffer.data(), std::min<std::size_t>(size / sizeof(wchar_t), buffer.size()));
        return {Status::Ok, platform::toUtf8(stored.substr(0, stored.find(L'\0')))};
    }
};

} // namespace

std::unique_ptr<HostSettings> makePlatformHostSettings()
{
    return std::make_unique<RegistryHostSettings>();
}

#else

std::unique_ptr<HostSettings> makePlatformHostSettings()
{
    return std::make_unique<WineRegistrySettings>(winePrefixFromEnvironment());
}

#endif

} // namespace gw
