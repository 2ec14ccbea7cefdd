#pragma once

#include "model/AppModel.h"

#include <QWidget>

class QLabel;
class StatusLine;
class QListWidget;
class QTreeWidget;

/**
 * The detailed view: one catalogue (all generators or all effects) as an eight-column table that sorts by any
 * column, the selected row's fields, and the missing machines of the same kind. Its selected row is the model's
 * selected machine, so it and the main window's lists always show the same one.
 */
class CatalogueWindow : public QWidget
{
    Q_OBJECT
public:
    static const QString kCaption;

    explicit CatalogueWindow(AppModel& model, QWidget* parent = nullptr);

    /** Sorts the table by a column as a click on its heading does: a second click on it reverses the order. */
    void sortByColumn(int column);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void fillTable();
    void showKind();
    void showSelection();
    void showFields();
    void rowClicked();
    /** Fills the installed machines' table when it shows and they changed. */
    void showInstalled();
    /** Hides the rows without the filter's text; typed is true when the user changed the filter. */
    void applyFilter(bool typed = false);

    AppModel& m_model;
    bool m_sorted = false;
    int m_sortColumn = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    bool m_selectingByCode = false;

    QLabel* m_caption;
    class QLineEdit* m_filter;
    QTreeWidget* m_table;
    class QTabWidget* m_tabs;
    class InstalledTable* m_installed;
    bool m_installedDirty = true;
    QLabel* m_fields[8];
    QLabel* m_missingLabel;
    StatusLine* m_statusLine;
    QLabel* m_fetchStep;
    class QProgressBar* m_progress;
    QListWidget* m_missing;
};
