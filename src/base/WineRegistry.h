#pragma once

#include "base/HostSettings.h"

#include <string>
#include <string_view>

namespace gw {

/**
 * The host settings of a Wine prefix: parsed from <prefix>/user.reg on every read, the Windows paths they hold
 * mapped to local paths through the prefix's drives (dosdevices). Values go through the same 260-byte limit the
 * host applies on Windows, before mapping.
 */
class WineRegistrySettings : public HostSettings
{
public:
    /** @param prefix the Wine prefix folder as a UTF-8 path, e.g. "/home/u/.wine". */
    explicit WineRegistrySettings(std::string prefix);

    Value read(std::string_view valueName) const override;

    const std::string& prefix() const { return m_prefix; }

private:
    std::string m_prefix;
};

/** The prefix Wine itself would use: $WINEPREFIX when set and not empty, else $HOME/.wine. */
std::string winePrefixFromEnvironment();

} // namespace gw
