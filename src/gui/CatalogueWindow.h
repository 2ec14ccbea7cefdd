#pragma once

#include "gui/MainWindow.h"

#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

/**
 * The detailed view: one catalogue (all generators or all effects) as an eight-column table, the selected row's
 * fields, and the main window's missing list of the same kind. Its selection follows the main window's download
 * lists and leads them.
 */
class CatalogueWindow : public QWidget, public DetailedViewLink
{
    Q_OBJECT
public:
    static const QString kCaption;

    explicit CatalogueWindow(MainWindow& mainWindow, QWidget* parent = nullptr);

    /** Chooses the kind: generators when Gen is true, else effects. */
    void setFileToView(bool Gen);
    /** 0 before a kind was chosen, 1 generators, 2 effects. */
    qint16 getFileToView() const { return fileToView; }
    void CopyMissingList() override;
    /** Rebuilds the table from the catalogue file of the current kind; a missing file keeps the table. */
    void LoadFile();
    /** Shows the selected row's fields in the labels. */
    void RefreshTableView();

    /** The table, for the main window's synchronisation. */
    QTreeWidget* table() const { return ListView1; }
    /** Selects a row as the main window's sync does: the labels follow and the row is scrolled into view. */
    void selectRowFromMainView(int row);

public slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void ColumnClick(int column);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void viewAll(bool generators);
    void SyncMainView();
    void onTableSelectionChanged();

    MainWindow& m_main;
    QString programFolder;
    qint16 fileToView = 0;
    bool m_sorted = false;
    int m_sortKey = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    bool m_selectingByCode = false;

    QTreeWidget* ListView1;
    QLabel* m_fieldLabels[8];
    QLabel* Label8;
    QLabel* Label9;
    QListWidget* List1;
};
