#pragma once

#include <QListWidgetItem>
#include <QString>

#include <string>
#include <vector>

class QListWidget;

/**
 * An entry of the program's sorted list boxes. With sorting switched on, QListWidget puts each new item at its
 * sorted place in the order of the Windows list box (see collationKey), ties broken by exact text.
 */
class SortedListItem : public QListWidgetItem
{
public:
    explicit SortedListItem(const QString& text);
    bool operator<(const QListWidgetItem& other) const override;

private:
    std::u32string m_key;
};

namespace SortedList {

/** Prepares a list box for sorted entries. */
void setUp(QListWidget* list);
/** Adds text at its sorted place and returns its row. */
int add(QListWidget* list, const QString& text, bool checkable = false);
/** The row of the entry exactly equal to text (letter case included), or -1. */
int findExactly(const QListWidget* list, const QString& text);
/** The entries' texts in list order, as UTF-8. */
std::vector<std::string> entries(const QListWidget* list);
/** The entries' texts in list order. */
QStringList texts(const QListWidget* list);

} // namespace SortedList
