#include "gui/CatalogueWindow.h"

#include "base/Platform.h"
#include "catalogue/CatalogueRows.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

const QString CatalogueWindow::kCaption = QStringLiteral("Gearwarden 1.0 - Detailed File View");

namespace {

const char* const kColumns[] = {"Filename", "Date", "Developer", "Name", "Description", "Type", "Version", "Status"};
// Relative widths: Description twice Filename, Name and Status; Date and Version the narrowest.
constexpr int kColumnWidths[] = {120, 80, 100, 120, 240, 90, 64, 120};

/** A table row, ordered within a column as the sorted lists are: letter case ignored, ties by exact text. */
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
        const QString a = text(column);
        const QString b = other.text(column);
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    }
};

QString text(const std::string& bytes) { return QString::fromStdString(gw::platform::ansiToUtf8(bytes)); }

} // namespace

CatalogueWindow::CatalogueWindow(MainWindow& mainWindow, QWidget* parent)
    : QWidget(parent)
    , m_main(mainWindow)
{
    setObjectName(QStringLiteral("CatalogueWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kCaption);
    buildControls();
    programFolder = m_main.getApp();
    fileToView = 0;
}

void CatalogueWindow::buildControls()
{
    Label9 = new QLabel(this);
    Label9->setObjectName(QStringLiteral("Label9"));
    QFont bold = Label9->font();
    bold.setBold(true);
    Label9->setFont(bold);

    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setColumnCount(8);
    QStringList headings;
    for (const char* column : kColumns) {
        headings << QString::fromLatin1(column);
    }
    ListView1->setHeaderLabels(headings);
    for (int c = 0; c < 8; ++c) {
        ListView1->setColumnWidth(c, kColumnWidths[c]);
    }
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->header()->setSectionsClickable(true);
    ListView1->header()->setSortIndicatorShown(false);
    connect(ListView1->header(), &QHeaderView::sectionClicked, this, &CatalogueWindow::ColumnClick);
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this, &CatalogueWindow::onTableSelectionChanged);

    auto* fields = new QFormLayout;
    for (int i = 0; i < 8; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("Label%1").arg(i));
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
        m_fieldLabels[i] = label;
        fields->addRow(QString::fromLatin1(kColumns[i]), label);
    }

    Label8 = new QLabel(this);
    Label8->setObjectName(QStringLiteral("Label8"));
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    auto* missing = new QVBoxLayout;
    missing->addWidget(Label8);
    missing->addWidget(List1);

    auto* buttons = new QVBoxLayout;
    const struct
    {
        const char* name;
        const char* caption;
        void (CatalogueWindow::*handler)();
    } actions[] = {
        {"Command1", "View All Generators", &CatalogueWindow::Command1_Click},
        {"Command2", "View All Effects", &CatalogueWindow::Command2_Click},
        {"Command3", "Download", &CatalogueWindow::Command3_Click},
        {"Command5", "Cancel Download", &CatalogueWindow::Command5_Click},
        {"Command4", "Show Main View", &CatalogueWindow::Command4_Click},
    };
    for (const auto& action : actions) {
        auto* button = new QPushButton(QString::fromLatin1(action.caption), this);
        button->setObjectName(QLatin1String(action.name));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, action.handler);
        buttons->addWidget(button);
    }
    buttons->addStretch();

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label9, 0, 0, 1, 2);
    grid->addWidget(ListView1, 1, 0, 1, 2);
    grid->addLayout(buttons, 0, 2, 3, 1);
    grid->addLayout(fields, 2, 0);
    grid->addLayout(missing, 2, 1);
    grid->setRowStretch(1, 3);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 1);
    resize(1100, 660);
}

void CatalogueWindow::setFileToView(bool Gen) { fileToView = Gen ? 1 : 2; }

void CatalogueWindow::CopyMissingList()
{
    const bool generators = fileToView == 1;
    Label8->setText(generators ? QStringLiteral("Missing Generators") : QStringLiteral("Missing Effects"));
    Label9->setText(generators ? QStringLiteral("All Generators available from Plugvault")
                               : QStringLiteral("All Effects available from Plugvault"));
    List1->clear();
    List1->addItems(m_main.missingEntries(generators));
}

void CatalogueWindow::LoadFile()
{
    const QString path =
        programFolder + (fileToView == 1 ? QStringLiteral("allgenerators.txt") : QStringLiteral("alleffects.txt"));
    if (!QFileInfo(path).isFile()) {
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return; // an unreadable catalogue leaves the table as it was, like a missing one
    }
    const QByteArray content = file.readAll();
    file.close();

    m_selectingByCode = true;
    ListView1->clear();
    int sinceRepaint = 0;
    gw::forEachCatalogueRow(std::string_view(content.constData(), static_cast<std::size_t>(content.size())),
                            [&](const gw::CatalogueRow& row) {
                                QStringList fields;
                                for (const std::string& field : row.fields) {
                                    fields << text(field);
                                }
                                ListView1->addTopLevelItem(new TableRow(fields));
                                if (++sinceRepaint > 100) {
                                    ListView1->viewport()->repaint();
                                    sinceRepaint = 0;
                                }
                            });
    // Sorting, once chosen, stays on: the new rows take the chosen order.
    if (m_sorted) {
        ListView1->sortItems(m_sortKey, m_sortOrder);
    }
    m_selectingByCode = false;
}

void CatalogueWindow::RefreshTableView()
{
    if (ListView1->topLevelItemCount() == 0) {
        return;
    }
    const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    for (int i = 0; i < 8; ++i) {
        m_fieldLabels[i]->setText(selected.first()->text(i));
    }
}

void CatalogueWindow::SyncMainView()
{
    if (ListView1->topLevelItemCount() == 0) {
        return;
    }
    RefreshTableView();
    m_main.selectDownloadEntry(fileToView == 1, m_fieldLabels[0]->text());
}

void CatalogueWindow::selectRowFromMainView(int row)
{
    QTreeWidgetItem* item = ListView1->topLevelItem(row);
    if (!item) {
        return;
    }
    m_selectingByCode = true;
    ListView1->setCurrentItem(item);
    m_selectingByCode = false;
    RefreshTableView();
    ListView1->scrollToItem(item);
}

void CatalogueWindow::onTableSelectionChanged()
{
    // A click or a key in the table leads the main window; selections made by code do not.
    if (!m_selectingByCode) {
        SyncMainView();
    }
}

void CatalogueWindow::viewAll(bool generators)
{
    setFileToView(generators);
    LoadFile();
    if (ListView1->topLevelItemCount() > 1) {
        m_selectingByCode = true;
        ListView1->setCurrentItem(ListView1->topLevelItem(0));
        m_selectingByCode = false;
    }
    SyncMainView();
    CopyMissingList();
}

void CatalogueWindow::Command1_Click() { viewAll(true); }

void CatalogueWindow::Command2_Click() { viewAll(false); }

void CatalogueWindow::Command3_Click()
{
    // The download waits with the event loop running: the view may be closed, and so deleted, meanwhile.
    const QPointer<CatalogueWindow> self(this);
    m_main.Command19_Click();
    if (self) {
        CopyMissingList();
    }
}

void CatalogueWindow::Command4_Click() { lower(); }

void CatalogueWindow::Command5_Click() { m_main.Command20_Click(); }

void CatalogueWindow::ColumnClick(int column)
{
    if (m_sorted && m_sortKey == column) {
        m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    } else {
        m_sortOrder = Qt::AscendingOrder;
        m_sortKey = column;
    }
    m_sorted = true;
    ListView1->header()->setSortIndicatorShown(true);
    ListView1->header()->setSortIndicator(m_sortKey, m_sortOrder);
    ListView1->sortItems(m_sortKey, m_sortOrder);
}

void CatalogueWindow::closeEvent(QCloseEvent* event)
{
    m_main.setDetailedFormShowing(false);
    event->accept();
}
