#include "gui/CatalogueWindow.h"

#include "base/TextCodec.h"
#include "base/Version.h"
#include "gui/InstalledTable.h"
#include "gui/StatusLine.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <array>

// Built from the version itself: another file's static may not be made yet.
const QString CatalogueWindow::kCaption =
    QStringLiteral("Gearwarden ") + QLatin1String(gw::kVersion) + QStringLiteral(" - Detailed File View");

namespace {

using Kind = AppModel::Kind;

const char* const kColumns[] = {"Filename", "Date", "Developer", "Name", "Description", "Type", "Version", "Status"};
// Relative widths: Description twice Filename, Name and Status; Date and Version the narrowest.
constexpr int kColumnWidths[] = {120, 80, 100, 120, 240, 90, 64, 120};

/** A table row, ordered within a column as the sorted lists are; each column's sort key is made once. */
class TableRow : public QTreeWidgetItem
{
public:
    explicit TableRow(const QStringList& fields)
        : QTreeWidgetItem(fields)
    {
    }

    bool operator<(const QTreeWidgetItem& other) const override
    {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        const auto& row = static_cast<const TableRow&>(other);
        const std::u32string& a = key(column);
        const std::u32string& b = row.key(column);
        return a != b ? a < b : text(column) < other.text(column);
    }

private:
    const std::u32string& key(int column) const
    {
        std::u32string& cached = m_keys[static_cast<std::size_t>(column)];
        if (cached.empty()) {
            cached = gw::collationKey(text(column).toStdString());
        }
        return cached;
    }

    mutable std::array<std::u32string, 8> m_keys;
};

} // namespace

CatalogueWindow::CatalogueWindow(AppModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
{
    setObjectName(QStringLiteral("catalogueWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kCaption);
    buildControls();
    connect(&m_model, &AppModel::catalogueTableChanged, this, &CatalogueWindow::fillTable);
    connect(&m_model, &AppModel::selectionChanged, this, &CatalogueWindow::showSelection);
    connect(&m_model, &AppModel::listChanged, this, [this](AppModel::List which) {
        if (which == AppModel::List::MissingGenerators || which == AppModel::List::MissingEffects) {
            showKind();
        }
    });
    fillTable();
}

void CatalogueWindow::buildControls()
{
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("catalogueCaption"));
    QFont bold = m_caption->font();
    bold.setBold(true);
    m_caption->setFont(bold);

    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("catalogueFilter"));
    m_filter->setPlaceholderText(QStringLiteral("Filter: rows that contain this text in any column"));
    m_filter->setClearButtonEnabled(true);
    connect(m_filter, &QLineEdit::textChanged, this, [this] { applyFilter(true); });

    m_table = new QTreeWidget(this);
    m_table->setObjectName(QStringLiteral("catalogueTable"));
    m_table->setColumnCount(8);
    QStringList headings;
    for (const char* column : kColumns) {
        headings << QString::fromLatin1(column);
    }
    m_table->setHeaderLabels(headings);
    for (int c = 0; c < 8; ++c) {
        m_table->setColumnWidth(c, kColumnWidths[c]);
    }
    m_table->setRootIsDecorated(false);
    m_table->setUniformRowHeights(true);
    m_table->setAllColumnsShowFocus(true);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->header()->setSectionsClickable(true);
    m_table->header()->setSortIndicatorShown(false);
    connect(m_table->header(), &QHeaderView::sectionClicked, this, &CatalogueWindow::sortByColumn);
    connect(m_table, &QTreeWidget::itemSelectionChanged, this, &CatalogueWindow::rowClicked);

    auto* fields = new QFormLayout;
    for (int i = 0; i < 8; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("field%1").arg(QLatin1String(kColumns[i])));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        label->setMinimumWidth(260);
        if (i == 0) {
            label->setFont(bold);
        }
        if (i == 4) {
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setMinimumHeight(4 * label->fontMetrics().lineSpacing());
        }
        m_fields[i] = label;
        fields->addRow(QString::fromLatin1(kColumns[i]), label);
    }

    m_missingLabel = new QLabel(this);
    m_missingLabel->setObjectName(QStringLiteral("missingLabel"));
    m_missing = new QListWidget(this);
    m_missing->setObjectName(QStringLiteral("missingList"));
    // A click on a missing machine finds its row in the catalogue.
    connect(m_missing, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const bool generators = m_model.catalogueViewLoaded() && m_model.catalogueViewKind() == Kind::Generator;
        m_model.selectMissing(generators ? Kind::Generator : Kind::Effect, item->text());
    });
    auto* missing = new QVBoxLayout;
    missing->addWidget(m_missingLabel);
    missing->addWidget(m_missing);

    auto* buttons = new QVBoxLayout;
    const auto addButton = [&](const char* name, const char* caption, auto handler) {
        auto* button = new QPushButton(QString::fromLatin1(caption), this);
        button->setObjectName(QLatin1String(name));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, handler);
        buttons->addWidget(button);
    };
    addButton("viewGeneratorsButton", "View All Generators", [this] { m_model.viewCatalogue(Kind::Generator); });
    addButton("viewEffectsButton", "View All Effects", [this] { m_model.viewCatalogue(Kind::Effect); });
    // A transfer outlives a click: this window may be closed, and so deleted, before it ends.
    addButton("downloadButton", "Download", [model = &m_model] { model->downloadSelected(); });
    addButton("fetchAllButton", "Fetch all missing", [model = &m_model] { model->fetchAllMissing(); });
    addButton("fetchFromFolderButton", "Look in a folder...",
              [model = &m_model] { model->fetchAllMissingFromFolder(); });
    addButton("cancelDownloadButton", "Cancel Download", [this] { m_model.cancelTransfer(); });
    addButton("showMainButton", "Show Main View", [this] { lower(); });
    buttons->addStretch();

    auto* grid = new QGridLayout(this);
    auto* top = new QVBoxLayout;
    top->addWidget(m_caption);
    top->addWidget(m_filter);
    grid->addLayout(top, 0, 0, 1, 2);
    // The installed machines beside the catalogue, under the same filter.
    m_installed = new InstalledTable(this);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("viewTabs"));
    m_tabs->addTab(m_table, QStringLiteral("Catalogue"));
    m_tabs->addTab(m_installed, QStringLiteral("Installed"));
    connect(m_tabs, &QTabWidget::currentChanged, this, &CatalogueWindow::showInstalled);
    // One operation lists the gear folders several times (a scan's check, an install, the recheck): the table is
    // read once, when the event loop next runs.
    connect(&m_model, &AppModel::installedChanged, this, [this] {
        if (!m_installedDirty) {
            m_installedDirty = true;
            QTimer::singleShot(0, this, &CatalogueWindow::showInstalled);
        }
    });
    grid->addWidget(m_tabs, 1, 0, 1, 2);
    grid->addLayout(buttons, 0, 2, 3, 1);
    grid->addLayout(fields, 2, 0);
    grid->addLayout(missing, 2, 1);
    // What the model reports shows here too: this window often covers the main one.
    m_statusLine = new StatusLine(this);
    m_statusLine->setObjectName(QStringLiteral("viewStatusLine"));
    m_statusLine->setStatus(m_model.status());
    connect(&m_model, &AppModel::statusChanged, m_statusLine, &StatusLine::setStatus);
    connect(&m_model, &AppModel::busy, m_statusLine, [this] { m_statusLine->repaint(); });
    // A transfer's progress: the bytes of the current download, and how far "Fetch all missing" is.
    m_fetchStep = new QLabel(this);
    m_fetchStep->setObjectName(QStringLiteral("fetchAllStep"));
    m_fetchStep->hide();
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("transferProgress"));
    m_progress->setFormat(QStringLiteral("%v of %m bytes"));
    m_progress->hide();
    connect(&m_model, &AppModel::fetchAllStepChanged, this, [this](const QString& step) {
        m_fetchStep->setText(QStringLiteral("Fetching missing machines: ") + step);
        m_fetchStep->setVisible(!step.isEmpty());
    });
    connect(&m_model, &AppModel::transferProgress, this, [this](qint64 received, qint64 total) {
        // Bytes as the bar's int allows: machine zips stay far below 2 GB, and so does the cap on them.
        m_progress->setRange(0, total > 0 ? int(std::min<qint64>(total, INT32_MAX)) : 0);
        m_progress->setValue(int(std::min<qint64>(received, INT32_MAX)));
        m_progress->show();
    });
    connect(&m_model, &AppModel::transferFinished, m_progress, &QWidget::hide);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_statusLine, 1);
    bottom->addWidget(m_fetchStep);
    bottom->addWidget(m_progress);
    grid->addLayout(bottom, 3, 0, 1, 3);
    grid->setRowStretch(1, 3);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 1);
    resize(1100, 660);
}

void CatalogueWindow::showKind()
{
    const bool generators = m_model.catalogueViewLoaded() && m_model.catalogueViewKind() == Kind::Generator;
    m_missingLabel->setText(generators ? QStringLiteral("Missing Generators") : QStringLiteral("Missing Effects"));
    m_caption->setText(generators ? QStringLiteral("All Generators available from Plugvault")
                                  : QStringLiteral("All Effects available from Plugvault"));
    m_missing->clear();
    m_missing->addItems(m_model.missing(generators ? Kind::Generator : Kind::Effect).names());
}

void CatalogueWindow::fillTable()
{
    m_selectingByCode = true;
    m_table->clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(m_model.catalogueTable().size());
    for (const QStringList& fields : m_model.catalogueTable()) {
        rows << new TableRow(fields);
    }
    m_table->addTopLevelItems(rows);
    // Sorting, once chosen, stays on: the new rows take the chosen order.
    if (m_sorted) {
        m_table->sortItems(m_sortColumn, m_sortOrder);
    }
    m_selectingByCode = false;
    applyFilter();
    showKind();
    showSelection();
}

void CatalogueWindow::showInstalled()
{
    if (m_installedDirty && m_tabs->currentWidget() == m_installed) {
        m_installedDirty = false;
        m_installed->showInventory(m_model.installedMachines());
        applyFilter();
    }
}

void CatalogueWindow::applyFilter(bool typed)
{
    // Rows are hidden, not removed: the sort and the selection stay as they are.
    const QString wanted = m_filter->text();
    for (QTreeWidget* table : {m_table, static_cast<QTreeWidget*>(m_installed)}) {
        for (int row = 0; row < table->topLevelItemCount(); ++row) {
            QTreeWidgetItem* item = table->topLevelItem(row);
            bool shown = wanted.isEmpty();
            for (int column = 0; column < table->columnCount() && !shown; ++column) {
                shown = item->text(column).contains(wanted, Qt::CaseInsensitive);
            }
            item->setHidden(!shown);
        }
    }
    // A machine the user's filter hides is not the one a download acts on.
    const AppModel::Selection selection = m_model.selection();
    if (typed && selection.isValid() && m_model.catalogueViewLoaded() &&
        selection.kind == m_model.catalogueViewKind()) {
        bool visible = false;
        for (int row = 0; row < m_table->topLevelItemCount() && !visible; ++row) {
            const QTreeWidgetItem* item = m_table->topLevelItem(row);
            visible = !item->isHidden() && item->text(0) == selection.entry;
        }
        if (!visible) {
            m_model.deselect(QStringLiteral("The filter hides ") + selection.entry +
                             QStringLiteral(": nothing is selected"));
        }
    }
}

void CatalogueWindow::showSelection()
{
    const AppModel::Selection selection = m_model.selection();
    QTreeWidgetItem* found = nullptr;
    if (selection.isValid() && m_model.catalogueViewLoaded() && selection.kind == m_model.catalogueViewKind()) {
        for (int row = 0; row < m_table->topLevelItemCount(); ++row) {
            if (m_table->topLevelItem(row)->text(0) == selection.entry) {
                found = m_table->topLevelItem(row);
            }
        }
    }
    m_selectingByCode = true;
    if (found) {
        m_table->setCurrentItem(found);
    } else {
        // No row stands for the selected machine: none looks selected, so a click on any row selects it anew.
        m_table->clearSelection();
    }
    m_selectingByCode = false;
    if (found) {
        // Chosen elsewhere (the main window, a missing machine): the filter gives way, so the row shows.
        if (found->isHidden()) {
            m_filter->clear();
        }
        showFields();
        m_table->scrollToItem(found);
    }
}

void CatalogueWindow::showFields()
{
    const QList<QTreeWidgetItem*> selected = m_table->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    for (int i = 0; i < 8; ++i) {
        m_fields[i]->setText(selected.first()->text(i));
    }
}

void CatalogueWindow::rowClicked()
{
    // A click or a key in the table chooses the machine; selections made to follow the model do not.
    if (m_selectingByCode || m_table->selectedItems().isEmpty()) {
        return;
    }
    showFields();
    m_model.selectMachine(m_model.catalogueViewKind(), m_table->selectedItems().first()->text(0));
}

void CatalogueWindow::sortByColumn(int column)
{
    if (m_sorted && m_sortColumn == column) {
        m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    } else {
        m_sortOrder = Qt::AscendingOrder;
        m_sortColumn = column;
    }
    m_sorted = true;
    m_table->header()->setSortIndicatorShown(true);
    m_table->header()->setSortIndicator(m_sortColumn, m_sortOrder);
    m_table->sortItems(m_sortColumn, m_sortOrder);
}

void CatalogueWindow::closeEvent(QCloseEvent* event)
{
    m_model.closeCatalogueView();
    event->accept();
}
