#include "gui/InstalledTable.h"

#include "gear/GearInventory.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLocale>

namespace {

/** A row ordered within the size and use columns by number, elsewhere by text. */
class InstalledRow : public QTreeWidgetItem
{
public:
    InstalledRow(const QStringList& texts, qint64 size, int usedBy)
        : QTreeWidgetItem(texts)
        , m_size(size)
        , m_usedBy(usedBy)
    {
    }

    bool operator<(const QTreeWidgetItem& other) const override
    {
        const auto& row = static_cast<const InstalledRow&>(other);
        switch (treeWidget() ? treeWidget()->sortColumn() : 0) {
        case InstalledTable::Size:
            return m_size < row.m_size;
        case InstalledTable::UsedBy:
            return m_usedBy < row.m_usedBy;
        default:
            return QTreeWidgetItem::operator<(other);
        }
    }

private:
    qint64 m_size;
    int m_usedBy;
};

QString text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

} // namespace

InstalledTable::InstalledTable(QWidget* parent)
    : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("installedTable"));
    setColumnCount(ColumnCount);
    setHeaderLabels({QStringLiteral("Kind"), QStringLiteral("File"), QStringLiteral("Size"), QStringLiteral("Modified"),
                     QStringLiteral("Architecture"), QStringLiteral("Used by"), QStringLiteral("Flags"),
                     QStringLiteral("SHA-256")});
    const int widths[] = {70, 200, 80, 130, 140, 60, 220, 420};
    for (int column = 0; column < ColumnCount; ++column) {
        setColumnWidth(column, widths[column]);
    }
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(true);
    sortByColumn(File, Qt::AscendingOrder);
}

void InstalledTable::showInventory(const gw::GearInventory& inventory)
{
    setUpdatesEnabled(false);
    clear();
    QList<QTreeWidgetItem*> rows;
    for (const gw::InstalledMachine& machine : inventory.machines) {
        QStringList flags;
        for (const std::string& flag : gw::flagTexts(machine.flags)) {
            flags << text(flag);
        }
        const auto modified =
            std::chrono::duration_cast<std::chrono::milliseconds>(machine.modified.time_since_epoch());
        const QString when =
            QDateTime::fromMSecsSinceEpoch(modified.count()).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        const QStringList texts = {text(gw::kindText(machine.kind)),
                                   text(machine.file),
                                   QLocale::system().formattedDataSize(static_cast<qint64>(machine.size)),
                                   when,
                                   text(gw::architectureText(machine.architecture)),
                                   machine.usedBy < 0 ? QString() : QString::number(machine.usedBy),
                                   flags.join(QStringLiteral(", ")),
                                   text(machine.sha256)};
        auto* row = new InstalledRow(texts, static_cast<qint64>(machine.size), machine.usedBy);
        row->setToolTip(File, text(machine.path));
        rows << row;
    }
    addTopLevelItems(rows);
    setUpdatesEnabled(true);
}
