#pragma once

#include "model/SortedNames.h"

#include <QList>
#include <QString>
#include <QStringList>

/** The songs the user works on, in list order, each ticked or not, and the current one. */
class SongList
{
public:
    const SortedNames& paths() const { return m_paths; }
    int size() const { return m_paths.size(); }
    bool isTicked(int row) const { return m_ticks.value(row); }
    /** The current song's row, or -1. */
    int current() const { return m_current; }

    /** Adds a song unless the list holds it; returns its row. The current song keeps its place by name. */
    int add(const QString& path, bool* added = nullptr);
    /** Returns whether the tick changed. */
    bool setTicked(int row, bool ticked);
    /** Returns whether the current song changed; a row out of range makes none current. */
    bool setCurrent(int row);
    void clear();
    /** The ticked songs, or the current one when none is ticked, in list order. */
    QStringList tickedOrCurrent() const;

private:
    SortedNames m_paths;
    QList<bool> m_ticks;
    int m_current = -1;
};
