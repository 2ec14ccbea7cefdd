#include "gui/SortedList.h"

#include "base/TextCodec.h"

#include <QListWidget>

SortedListItem::SortedListItem(const QString& text)
    : QListWidgetItem(text)
    , m_key(gw::collationKey(text.toStdString()))
{
}

bool SortedListItem::operator<(const QListWidgetItem& other) const
{
    const auto* sorted = dynamic_cast<const SortedListItem*>(&other);
    if (!sorted) {
        return QListWidgetItem::operator<(other);
    }
    if (m_key != sorted->m_key) {
        return m_key < sorted->m_key;
    }
    return text() < other.text();
}

namespace SortedList {

void setUp(QListWidget* list)
{
    list->setSortingEnabled(true);
    list->setUniformItemSizes(true);
}

int add(QListWidget* list, const QString& text, bool checkable)
{
    auto* item = new SortedListItem(text);
    if (checkable) {
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    list->addItem(item);
    return list->row(item);
}

int findExactly(const QListWidget* list, const QString& text)
{
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text() == text) {
            return row;
        }
    }
    return -1;
}

std::vector<std::string> entries(const QListWidget* list)
{
    std::vector<std::string> result;
    result.reserve(static_cast<std::size_t>(list->count()));
    for (int row = 0; row < list->count(); ++row) {
        result.push_back(list->item(row)->text().toStdString());
    }
    return result;
}

QStringList texts(const QListWidget* list)
{
    QStringList result;
    for (int row = 0; row < list->count(); ++row) {
        result << list->item(row)->text();
    }
    return result;
}

} // namespace SortedList
