#include "model/SortedNames.h"

#include "base/TextCodec.h"

#include <algorithm>
#include <numeric>

namespace {

bool less(const std::u32string& keyA, const QString& a, const std::u32string& keyB, const QString& b)
{
    return keyA != keyB ? keyA < keyB : a < b;
}

} // namespace

int SortedNames::lowerBound(const std::u32string& key, const QString& text) const
{
    int low = 0;
    int high = size();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (less(m_keys[static_cast<std::size_t>(middle)], m_names.at(middle), key, text)) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

int SortedNames::insert(const QString& text, bool* added)
{
    std::u32string key = gw::collationKey(text.toStdString());
    const int at = lowerBound(key, text);
    const bool present = at < size() && m_names.at(at) == text;
    if (!present) {
        m_names.insert(at, text);
        m_keys.insert(m_keys.begin() + at, std::move(key));
    }
    if (added) {
        *added = !present;
    }
    return at;
}

void SortedNames::assign(const QStringList& names, bool keepRepeats)
{
    std::vector<std::u32string> keys;
    keys.reserve(static_cast<std::size_t>(names.size()));
    for (const QString& name : names) {
        keys.push_back(gw::collationKey(name.toStdString()));
    }
    std::vector<int> order(static_cast<std::size_t>(names.size()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return less(keys[static_cast<std::size_t>(a)], names.at(a), keys[static_cast<std::size_t>(b)], names.at(b));
    });
    m_names.clear();
    m_keys.clear();
    m_names.reserve(names.size());
    m_keys.reserve(keys.size());
    for (const int index : order) {
        if (!keepRepeats && !m_names.isEmpty() && m_names.constLast() == names.at(index)) {
            continue;
        }
        m_names.append(names.at(index));
        m_keys.push_back(std::move(keys[static_cast<std::size_t>(index)]));
    }
}

void SortedNames::clear()
{
    m_names.clear();
    m_keys.clear();
}

int SortedNames::indexOf(const QString& text) const
{
    const int at = lowerBound(gw::collationKey(text.toStdString()), text);
    return at < size() && m_names.at(at) == text ? at : -1;
}

std::vector<std::string> SortedNames::utf8() const
{
    std::vector<std::string> result;
    result.reserve(static_cast<std::size_t>(m_names.size()));
    for (const QString& name : m_names) {
        result.push_back(name.toStdString());
    }
    return result;
}
