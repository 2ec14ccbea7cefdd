#include "model/SongList.h"

int SongList::add(const QString& path, bool* added)
{
    bool inserted = false;
    const int row = m_paths.insert(path, &inserted);
    if (inserted) {
        m_ticks.insert(row, false);
        if (m_current >= row) {
            ++m_current;
        }
    }
    if (added) {
        *added = inserted;
    }
    return row;
}

bool SongList::setTicked(int row, bool ticked)
{
    if (row < 0 || row >= m_ticks.size() || m_ticks.at(row) == ticked) {
        return false;
    }
    m_ticks[row] = ticked;
    return true;
}

bool SongList::setCurrent(int row)
{
    row = row >= 0 && row < m_paths.size() ? row : -1;
    if (row == m_current) {
        return false;
    }
    m_current = row;
    return true;
}

void SongList::clear()
{
    m_paths.clear();
    m_ticks.clear();
    m_current = -1;
}

QStringList SongList::tickedOrCurrent() const
{
    QStringList songs;
    for (int row = 0; row < m_paths.size(); ++row) {
        if (m_ticks.at(row)) {
            songs << m_paths.at(row);
        }
    }
    if (songs.isEmpty() && m_current >= 0) {
        songs << m_paths.at(m_current);
    }
    return songs;
}
