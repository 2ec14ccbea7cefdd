#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace gw {

/** The host's settings key under HKEY_CURRENT_USER: the one place that names it. */
inline constexpr std::string_view kHostSettingsKey = "Software\\Jeskola\\Buzz\\Settings";

/**
 * The host's own settings under HKEY_CURRENT_USER\Software\Jeskola\Buzz\Settings, read (never written) afresh on
 * every call: from the Windows registry on Windows, from Wine's registry file elsewhere, from memory in tests.
 */
class HostSettings
{
public:
    enum class Status {
        Ok,
        KeyMissing,   // the settings key cannot be opened
        ValueMissing, // the value is absent, not a string, or longer than 259 characters
    };

    struct Value
    {
        Status status = Status::KeyMissing;
        /** The value as a local path in UTF-8 (on Linux, the Windows path mapped through Wine's drives). */
        std::string text;
    };

    virtual ~HostSettings() = default;

    /** Reads a string value of the settings key, such as "BuzzPath" or "OpenSongDir". */
    virtual Value read(std::string_view valueName) const = 0;
};

/** The settings source of this platform: the registry on Windows, else Wine's user.reg under $WINEPREFIX. */
std::unique_ptr<HostSettings> makePlatformHostSettings();

} // namespace gw
