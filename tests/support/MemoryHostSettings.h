#pragma once

#include "base/HostSettings.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace gw {

/** Host settings held in memory, for tests: the key can be made absent, and values are returned as set. */
class MemoryHostSettings : public HostSettings
{
public:
    explicit MemoryHostSettings(bool keyPresent = true)
        : m_keyPresent(keyPresent)
    {
    }

    void setKeyPresent(bool present) { m_keyPresent = present; }
    void setValue(std::string name, std::string text) { m_values[std::move(name)] = std::move(text); }
    void removeValue(std::string_view name)
    {
        if (const auto it = m_values.find(name); it != m_values.end()) {
            m_values.erase(it);
        }
    }

    Value read(std::string_view valueName) const override
    {
        if (!m_keyPresent) {
            return {Status::KeyMissing, {}};
        }
        const auto it = m_values.find(valueName);
        if (it == m_values.end()) {
            return {Status::ValueMissing, {}};
        }
        return {Status::Ok, it->second};
    }

private:
    bool m_keyPresent;
    std::map<std::string, std::string, std::less<>> m_values;
};

} // namespace gw
