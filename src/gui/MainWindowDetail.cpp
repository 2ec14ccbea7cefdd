// The main window's side of the detailed view: opening it and keeping the two windows on the same machine.
#include "gui/MainWindow.h"

#include "gui/SortedList.h"
#include "gui/CatalogueWindow.h"

#include <QListWidget>
#include <QTreeWidget>

CatalogueWindow* MainWindow::detailedView() const { return m_detail; }

QStringList MainWindow::missingEntries(bool generators) const { return SortedList::texts(generators ? List4 : List7); }

void MainWindow::selectDownloadEntry(bool generators, const QString& filename)
{
    QListWidget* target = generators ? List2 : List6;
    for (int row = 0; row < target->count(); ++row) {
        if (target->item(row)->text() == filename) {
            target->setCurrentRow(row);
        }
    }
}

void MainWindow::List2_Click() { downloadListClicked(List2, List6, true); }

void MainWindow::List6_Click() { downloadListClicked(List6, List2, false); }

void MainWindow::downloadListClicked(QListWidget* list, QListWidget* other, bool generators)
{
    // Clearing the other list and restoring this one raise the handlers again; the guard stands in for those nested
    // runs, which end where this one does: only this list keeps a selection.
    if (m_syncingDownloadLists) {
        return;
    }
    m_syncingDownloadLists = true;
    const int saved = list->selectedItems().isEmpty() ? -1 : list->currentRow();
    if (!other->selectedItems().isEmpty()) {
        other->clearSelection();
        other->setCurrentRow(-1);
    }
    if (saved >= 0) {
        list->setCurrentRow(saved);
    }
    list->repaint();
    m_syncingDownloadLists = false;

    const QList<QListWidgetItem*> selected = list->selectedItems();
    const QString entry = selected.isEmpty() ? QString() : selected.first()->text();
    setStatus(QStringLiteral("Selected ") + entry, true);
    if (selected.isEmpty() || !detailedFormShowing || !m_detail) {
        return;
    }
    const qint16 kind = generators ? 1 : 2;
    if (m_detail->getFileToView() != kind) {
        setStatus(generators ? QStringLiteral("Loading detailed generators form")
                             : QStringLiteral("Loading detailed effects form"),
                  true);
        m_detail->setFileToView(generators);
        m_detail->LoadFile();
        m_detail->CopyMissingList();
        setStatus(generators ? QStringLiteral("Complete loaded detailed generators form")
                             : QStringLiteral("Complete loaded detailed effects form"),
                  true);
    }
    setStatus(QStringLiteral("Syncing main view with detailed view"), true);
    QTreeWidget* table = m_detail->table();
    const int rows = table->topLevelItemCount();
    for (int row = 0; row < rows; ++row) {
        if (table->topLevelItem(row)->text(0) == entry) {
            m_detail->selectRowFromMainView(row);
        }
    }
    setStatus(QStringLiteral("Completed syncing main view with detailed view"), true);
}

void MainWindow::Command21_Click()
{
    const bool showing = true;
    setDetailedFormShowing(showing);
    if (!m_detail) {
        m_detail = new CatalogueWindow(*this);
        setDetailedViewLink(m_detail);
    }
    m_detail->show();
    m_detail->raise();
    m_detail->activateWindow();

    if (!List2->selectedItems().isEmpty()) {
        List2_Click();
    }
    if (!List6->selectedItems().isEmpty()) {
        List6_Click();
    }
    if (List2->count() > 0 && List2->selectedItems().isEmpty() && List6->selectedItems().isEmpty()) {
        List2->setCurrentRow(0);
        List2_Click();
    }
    m_detail->CopyMissingList();
}
