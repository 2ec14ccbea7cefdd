#pragma once

#include <QTreeWidget>

namespace gw {
struct GearInventory;
}

/**
 * The installed machines as a table: kind, file, size, modified, architecture, used by, flags and SHA-256, one row
 * a DLL, sortable by any column (numbers as numbers).
 */
class InstalledTable : public QTreeWidget
{
    Q_OBJECT
public:
    enum Column { Kind, File, Size, Modified, Architecture, UsedBy, Flags, Sha256, ColumnCount };

    explicit InstalledTable(QWidget* parent = nullptr);

    void showInventory(const gw::GearInventory& inventory);
};
