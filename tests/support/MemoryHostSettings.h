#pragma once

#include "base/HostSettings.h"

#include <map>
#include <string>

namespace gw {

/** Host settings held in memory, for tests: the key can be made absent, and values are returned as set. */
class MemoryHostSettings : public HostSettings
{
public:
    explicit MemoryHostSettings(bool keyPresent = true) { m_keyPresent = keyPresent; }

    void setKeyPresent(bool present) { m_keyPresent = present; }
    void setValue(std::string name, std::string text) { m_values[std::move(name)] = std::move(text); }

    Value read(std::string_view valueName) const override
    {
        const auto it = m_values.find(valueName);
        return !m_keyPresent          ? Value{Status::KeyMissing, {}}
               : it == m_values.end() ? Value{Status::ValueMissing, {}}
                                      : Value{Status::Ok, it->second};
    }

private:
    bool m_keyPresent;
    std::map<std::string, std::string, std::less<>> m_values;
};

} // namespace gw
