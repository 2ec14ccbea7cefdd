#pragma once

#include <QStringList>

#include <string>
#include <vector>

/**
 * Names in the order of the program's sorted lists: a Windows list box's order (see collationKey), ties broken by
 * the exact text. Inserting keeps one copy of each exact text; a whole list can be taken with its repeats.
 */
class SortedNames
{
public:
    /** Puts text at its sorted place unless it is there already; returns its index. */
    int insert(const QString& text, bool* added = nullptr);
    /** Replaces the names with these, sorted; keepRepeats keeps names that occur more than once. */
    void assign(const QStringList& names, bool keepRepeats = false);
    void clear();

    /** The index of the name exactly equal to text (letter case included), or -1. */
    int indexOf(const QString& text) const;

    int size() const { return static_cast<int>(m_names.size()); }
    bool isEmpty() const { return m_names.isEmpty(); }
    const QString& at(int index) const { return m_names.at(index); }
    const QStringList& names() const { return m_names; }
    /** The names as UTF-8, in order. */
    std::vector<std::string> utf8() const;

private:
    int lowerBound(const std::u32string& key, const QString& text) const;

    QStringList m_names;
    std::vector<std::u32string> m_keys;
};
