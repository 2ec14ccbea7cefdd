#include "detail/MDIForm1.h"

#include "app/Platform.h"
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

const QString MDIForm1::kCaption = QStringLiteral("Gearwarden 1.0 - Detailed File View");

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

MDIForm1::MDIForm1(Form1& mainWindow, QWidget* parent)
    : QWidget(parent)
    , m_main(mainWindow)
{
    setObjectName(QStringLiteral("MDIForm1"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kCaption);
    buildControls();
    programFolder = m_main.getApp();
    fileToView = 0;
}

void MDIForm1::buildControls()
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
    connect(ListView1->header(), &QHeaderView::sectionClicked, this, &MDIForm1::ColumnClick);
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this, &MDIForm1::onTableSelectionChanged);

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
        void (MDIForm1::*handler)();
    } actions[] = {
        {"Command1", "View All Generators", &MDIForm1::Command1_Click},
        {"Command2", "View All Effects", &MDIForm1::Command2_Click},
        {"Command3", "Download", &MDIForm1::Command3_Click},
        {"Command5", "Cancel Download", &MDIForm1::Command5_Click},
        {"Command4", "Show Main View", &MDIForm1::Command4_Click},
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

void MDIForm1::setFileToView(bool Gen) { fileToView = Gen ? 1 : 2; }

void MDIForm1::CopyMissingList()
{
    const bool generators = fileToView == 1;
    Label8->setText(generators ? QStringLiteral("Missing Generators") : QStringLiteral("Missing Effects"));
    Label9->setText(generators ? QStringLiteral("All Generators available from Plugvault")
                               : QStringLiteral("All Effects available from Plugvault"));
    List1->clear();
    List1->addItems(m_main.missingEntries(generators));
}

void MDIForm1::LoadFile()
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

void MDIForm1::RefreshTableView()
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

void MDIForm1::SyncMainView()
{
    if (ListView1->topLevelItemCount() == 0) {
        return;
    }
    RefreshTableView();
    m_main.selectDownloadEntry(fileToView == 1, m_fieldLabels[0]->text());
}

void MDIForm1::selectRowFromMainView(int row)
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

void MDIForm1::onTableSelectionChanged()
{
    // A click or a key in the table leads the main window; selections made by code do not.
    if (!m_selectingByCode) {
        SyncMainView();
    }
}

void MDIForm1::viewAll(bool generators)
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

void MDIForm1::Command1_Click() { viewAll(true); }

void MDIForm1::Command2_Click() { viewAll(false); }

void MDIForm1::Command3_Click()
{
    // The download waits with the event loop running: the view may be closed, and so deleted, meanwhile.
    const QPointer<MDIForm1> self(this);
    m_main.Command19_Click();
    if (self) {
        CopyMissingList();
    }
}

void MDIForm1::Command4_Click() { lower(); }

void MDIForm1::Command5_Click() { m_main.Command20_Click(); }

void MDIForm1::ColumnClick(int column)
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

void MDIForm1::closeEvent(QCloseEvent* event)
{
    m_main.setDetailedFormShowing(false);
    event->accept();
}
