#include "gui/MainWindow.h"

#include "base/PathText.h"
#include "gui/AboutBox.h"
#include "gui/CatalogueWindow.h"
#include "gui/FetchResultsDialog.h"
#include "gui/StatusLine.h"
#include "gui/WrapButton.h"

#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTimer>

namespace {

using List = AppModel::List;
using Kind = AppModel::Kind;

// The layout is given in twips; the window shows 15 twips to a pixel.
constexpr int kTwipsPerPixel = 15;

void place(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel);
}

constexpr int kColumnWidth = 2775;
constexpr int kColumnLeft[3] = {0, 2760, 5520};
constexpr int kLabelHeight = 240;
// One screen frame: the most often a long step repaints the window.
constexpr int kFrameMs = 16;

} // namespace

MainWindow::MainWindow(AppModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
{
    buildControls();
    bindModel();
    m_sincePaint.start();
    for (const List which :
         {List::Songs, List::GeneratorsUsed, List::EffectsUsed, List::GeneratorFiles, List::EffectFiles,
          List::MissingGenerators, List::MissingEffects, List::GeneratorCatalogue, List::EffectCatalogue}) {
        m_dirtyLists.insert(which);
    }
    m_statusDirty = !m_model.status().isEmpty();
    m_logReset = true;
    m_pendingLog = m_model.logLines();
    showModelNow();
}

MainWindow::~MainWindow()
{
    // The windows opened from this one live on their own; the catalogue window shows this one's model, so it goes.
    delete m_catalogueWindow;
    delete m_about;
}

CatalogueWindow* MainWindow::catalogueWindow() const
{
    return m_catalogueWindow;
}

AboutBox* MainWindow::aboutBox() const
{
    return m_about;
}

void MainWindow::buildControls()
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(AppModel::kAppTitle);
    // Close to the 8-point system font the layout was drawn for, so captions fit their fixed places.
    QFont windowFont = font();
    windowFont.setPixelSize(11);
    setFont(windowFont);
    setFixedSize(9480 / kTwipsPerPixel, 6390 / kTwipsPerPixel);

    const auto makeLabel = [this](const char* name, const QString& text, int left, int top, int width) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QLatin1String(name));
        place(label, left, top, width, kLabelHeight);
    };
    const auto makeList = [this](const char* name, int left, int top, int width, int height) {
        auto* list = new QListWidget(this);
        list->setObjectName(QLatin1String(name));
        list->setUniformItemSizes(true);
        place(list, left, top, width, height);
        return list;
    };
    const auto makeButton = [this](const char* name, const QString& caption, int left, int top, int width, int height,
                                   auto handler) {
        auto* button = new WrapButton(caption, this);
        button->setObjectName(QLatin1String(name));
        button->setAutoDefault(false);
        place(button, left, top, width, height);
        connect(button, &QPushButton::clicked, this, [this, handler] {
            handler();
            showModelNow();
        });
        return button;
    };

    // Song list across the top, its buttons on its label row.
    makeLabel("songsLabel", QStringLiteral("Buzz BMX or BMW files"), 0, 0, 2700);
    makeButton("selectAllButton", QStringLiteral("Select All"), 2760, 0, 1095, kLabelHeight,
               [this] { m_model.tickAll(); });
    makeButton("selectNoneButton", QStringLiteral("Select None"), 3900, 0, 1095, kLabelHeight,
               [this] { m_model.tickNone(); });
    makeButton("clearSongsButton", QStringLiteral("Clear"), 5040, 0, 735, kLabelHeight,
               [this] { m_model.clearSongs(); });
    makeButton("aboutButton", QStringLiteral("About"), 7560, 0, 735, kLabelHeight, [this] { openAboutBox(); });
    m_songList = makeList("songList", 0, 240, kColumnLeft[2] + kColumnWidth, 960);

    // Log and gear folder listings.
    makeLabel("logLabel", QStringLiteral("Scan BMX Log"), kColumnLeft[0], 1320, kColumnWidth);
    m_log = new QPlainTextEdit(this);
    m_log->setObjectName(QStringLiteral("scanLog"));
    m_log->setReadOnly(true);
    m_log->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    place(m_log, kColumnLeft[0], 1560, kColumnWidth, 1635);
    makeLabel("generatorFilesLabel", QStringLiteral("Buzz Generators Directory"), kColumnLeft[1], 1320, kColumnWidth);
    m_generatorFiles = makeList("generatorFiles", kColumnLeft[1], 1560, kColumnWidth, 1635);
    makeLabel("effectFilesLabel", QStringLiteral("Buzz Effects Directory"), kColumnLeft[2], 1320, kColumnWidth);
    m_effectFiles = makeList("effectFiles", kColumnLeft[2], 1560, kColumnWidth, 1635);

    // Generators row.
    makeLabel("generatorsUsedLabel", QStringLiteral("Generators used"), kColumnLeft[0], 3240, 2000);
    makeButton("clearUsedButton", QStringLiteral("Clear"), 2040, 3240, 735, kLabelHeight,
               [this] { m_model.clearUsed(); });
    m_generatorsUsed = makeList("generatorsUsed", kColumnLeft[0], 3480, kColumnWidth, 1035);
    makeLabel("missingGeneratorsLabel", QStringLiteral("Missing Generators"), kColumnLeft[1], 3240, 2000);
    makeButton("recheckButton", QStringLiteral("Recheck"), 4800, 3240, 735, kLabelHeight,
               [this] { m_model.checkMissing(); });
    m_missingGenerators = makeList("missingGenerators", kColumnLeft[1], 3480, kColumnWidth, 1035);
    makeLabel("generatorCatalogueLabel", QStringLiteral("Download Generators"), kColumnLeft[2], 3240, 2000);
    makeButton("refreshCataloguesButton", QStringLiteral("Refresh"), 7560, 3240, 735, kLabelHeight,
               [this] { m_model.readCatalogues(); });
    m_generatorCatalogue = makeList("generatorCatalogue", kColumnLeft[2], 3480, kColumnWidth, 1035);

    // Effects row.
    makeLabel("effectsUsedLabel", QStringLiteral("Effects used"), kColumnLeft[0], 4560, kColumnWidth);
    m_effectsUsed = makeList("effectsUsed", kColumnLeft[0], 4800, kColumnWidth, 1275);
    makeLabel("missingEffectsLabel", QStringLiteral("Missing Effects"), kColumnLeft[1], 4560, kColumnWidth);
    m_missingEffects = makeList("missingEffects", kColumnLeft[1], 4800, kColumnWidth, 1275);
    makeLabel("effectCatalogueLabel", QStringLiteral("Download Effects"), kColumnLeft[2], 4560, kColumnWidth);
    m_effectCatalogue = makeList("effectCatalogue", kColumnLeft[2], 4800, kColumnWidth, 1275);

    // The column of action buttons.
    int top = 240;
    const auto action = [&](const char* name, const char* caption, auto handler) {
        QPushButton* button = makeButton(name, QString::fromLatin1(caption), 8400, top, 1020, 600, handler);
        top += 645;
        return button;
    };
    action("openSongsButton", "Open bmx or bmw files", [this] { openSongs(); });
    action("scanButton", "Scan bmx or bmw", [this] { scanTickedSongs(); });
    action("refreshGearButton", "Refresh Buzz Gear Dirs", [this] { m_model.refreshGearFolders(); });
    action("moveToEffectsButton", "Gen>>>>Eff", [this] {
        moveSelected(true);
    })->setToolTip(QStringLiteral("Move selected file from generators to effects directory"));
    action("moveToGeneratorsButton", "Gen<<<<Eff", [this] { moveSelected(false); });
    action("downloadButton", "Download", [this] { m_model.downloadSelected(); });
    action("cancelDownloadButton", "Cancel download", [this] { m_model.cancelTransfer(); });
    action("catalogueViewButton", "Detailed machine view", [this] { openCatalogueWindow(); });
    action("fetchCataloguesButton", "Download Machine Lists", [this] {
        m_model.fetchCatalogues();
    })->setToolTip(QStringLiteral("Download allgenerators.php and alleffects.php lists from Plugvault"));

    m_statusLine = new StatusLine(this);
    m_statusLine->setStatus(QStringLiteral("Status line"));
    m_statusLine->setObjectName(QStringLiteral("statusLine"));
    QFont bold = m_statusLine->font();
    bold.setBold(true);
    m_statusLine->setFont(bold);
    place(m_statusLine, 0, 6120, 9480, 270);

    m_lists = {m_songList,          m_generatorsUsed, m_effectsUsed,        m_generatorFiles, m_effectFiles,
               m_missingGenerators, m_missingEffects, m_generatorCatalogue, m_effectCatalogue};
    for (QListWidget* listing : {m_generatorFiles, m_effectFiles}) {
        listing->setSelectionMode(QAbstractItemView::SingleSelection);
    }
    // One DLL at a time across both listings: it is what the move buttons act on.
    connect(m_generatorFiles, &QListWidget::itemSelectionChanged, this,
            [this] { gearListingClicked(m_generatorFiles, m_effectFiles); });
    connect(m_effectFiles, &QListWidget::itemSelectionChanged, this,
            [this] { gearListingClicked(m_effectFiles, m_generatorFiles); });
    connect(m_generatorCatalogue, &QListWidget::itemSelectionChanged, this,
            [this] { catalogueClicked(Kind::Generator); });
    connect(m_effectCatalogue, &QListWidget::itemSelectionChanged, this, [this] { catalogueClicked(Kind::Effect); });
    // The song list's own menu: the ticked songs (or the current one) saved with their machines, for sharing.
    m_songList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_songList, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.addAction(QString::fromUtf8("Save with machines\u2026"), this, [this] {
            m_model.saveBundleFromDialog();
            showModelNow();
        });
        menu.addAction(QString::fromUtf8("Install bundle\u2026"), this, [this] {
            m_model.installBundleFromDialog();
            showModelNow();
        });
        menu.exec(m_songList->viewport()->mapToGlobal(at));
    });
    // A bundle dropped on the songs is installed; dropped songs join the list.
    m_songList->viewport()->setAcceptDrops(true);
    m_songList->viewport()->installEventFilter(this);
    connect(m_songList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        m_model.setTicked(m_songList->row(item), item->checkState() == Qt::Checked);
    });
    connect(m_songList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_showingModel) {
            m_model.setCurrentSong(row);
        }
    });
}

void MainWindow::bindModel()
{
    // While "Fetch all missing" runs, the title says how far it is: the status line follows each download.
    connect(&m_model, &AppModel::fetchAllStepChanged, this, [this](const QString& step) {
        setWindowTitle(step.isEmpty() ? AppModel::kAppTitle
                                      : AppModel::kAppTitle + QStringLiteral(" - fetching ") + step);
    });
    connect(&m_model, &AppModel::transferFinished, this, [this](const TransferOutcome& outcome) {
        if (outcome.job == TransferOutcome::Job::FetchAll && !outcome.fetched.isEmpty()) {
            m_fetchResults = new FetchResultsDialog(outcome.fetched, this);
            m_fetchResults->show();
        }
    });
    connect(&m_model, &AppModel::statusChanged, this, [this] {
        m_statusDirty = true;
        scheduleUpdate();
    });
    connect(&m_model, &AppModel::logReset, this, [this](const QStringList& lines) {
        m_logReset = true;
        m_pendingLog = lines;
        scheduleUpdate();
    });
    connect(&m_model, &AppModel::logAppended, this, [this](const QString& line) {
        m_pendingLog << line;
        scheduleUpdate();
    });
    connect(&m_model, &AppModel::listChanged, this, &MainWindow::markDirty);
    connect(&m_model, &AppModel::tickChanged, this, [this](int row) {
        if (QListWidgetItem* item = m_songList->item(row); item && !m_dirtyLists.contains(List::Songs)) {
            const QSignalBlocker blocker(m_songList);
            item->setCheckState(m_model.isTicked(row) ? Qt::Checked : Qt::Unchecked);
        }
    });
    connect(&m_model, &AppModel::currentSongChanged, this, [this] {
        m_currentSongDirty = true;
        scheduleUpdate();
    });
    connect(&m_model, &AppModel::selectionChanged, this, &MainWindow::showSelection);
    connect(&m_model, &AppModel::busy, this, &MainWindow::onBusy);
}

QListWidget* MainWindow::listWidget(List which) const
{
    return m_lists[static_cast<std::size_t>(which)];
}

void MainWindow::markDirty(List which)
{
    m_dirtyLists.insert(which);
    scheduleUpdate();
}

void MainWindow::scheduleUpdate()
{
    if (!m_updateScheduled) {
        m_updateScheduled = true;
        QTimer::singleShot(0, this, &MainWindow::showModelNow);
    }
}

void MainWindow::showModelNow()
{
    m_updateScheduled = false;
    m_showingModel = true;
    const QSet<List> dirty = std::exchange(m_dirtyLists, {});
    for (const List which : dirty) {
        if (which == List::Songs) {
            fillSongs();
        } else {
            fillList(which);
        }
    }
    if (dirty.contains(List::GeneratorCatalogue) || dirty.contains(List::EffectCatalogue)) {
        showSelection();
    }
    if (m_currentSongDirty || dirty.contains(List::Songs)) {
        m_currentSongDirty = false;
        m_songList->setCurrentRow(m_model.currentSong());
    }
    if (m_statusDirty) {
        m_statusDirty = false;
        m_statusLine->setStatus(m_model.status());
    }
    if (m_logReset) {
        m_logReset = false;
        m_log->setPlainText(m_pendingLog.join(QLatin1Char('\n')));
    } else if (!m_pendingLog.isEmpty()) {
        m_log->appendPlainText(m_pendingLog.join(QLatin1Char('\n')));
    }
    m_pendingLog.clear();
    m_showingModel = false;
}

void MainWindow::fillList(List which)
{
    QListWidget* widget = listWidget(which);
    const QSignalBlocker blocker(widget);
    widget->clear();
    widget->addItems(m_model.list(which).names());
}

void MainWindow::fillSongs()
{
    const QSignalBlocker blocker(m_songList);
    m_songList->clear();
    const SortedNames& songs = m_model.songs();
    for (int row = 0; row < songs.size(); ++row) {
        // A name that is not UTF-8 shows its bytes as Latin-1 letters; the model keeps the bytes themselves.
        auto* item = new QListWidgetItem(gw::displayPath(songs.at(row)), m_songList);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(m_model.isTicked(row) ? Qt::Checked : Qt::Unchecked);
    }
}

void MainWindow::showSelection()
{
    // The two catalogue lists follow the model's one selected machine; the other list has none.
    const AppModel::Selection selection = m_model.selection();
    for (const Kind kind : {Kind::Generator, Kind::Effect}) {
        QListWidget* list = kind == Kind::Generator ? m_generatorCatalogue : m_effectCatalogue;
        if (m_dirtyLists.contains(kind == Kind::Generator ? List::GeneratorCatalogue : List::EffectCatalogue)) {
            continue; // filled later, and its selection shown then
        }
        const QSignalBlocker blocker(list);
        const QListWidgetItem* current = list->currentItem();
        const bool wanted = selection.isValid() && selection.kind == kind;
        if (wanted && current && current->isSelected() && current->text() == selection.entry) {
            continue; // the row the user clicked, even when the entry is listed twice
        }
        list->clearSelection();
        list->setCurrentRow(-1);
        if (wanted) {
            const QList<QListWidgetItem*> found = list->findItems(selection.entry, Qt::MatchExactly);
            if (!found.isEmpty()) {
                list->setCurrentItem(found.last());
            }
        }
    }
}

void MainWindow::onBusy()
{
    // Paint what changed, at most once per screen frame: often enough to follow, rarely enough to stay fast.
    if (m_sincePaint.elapsed() < kFrameMs) {
        return;
    }
    showModelNow();
    repaint();
    m_sincePaint.restart();
}

// --- the user's actions ----------------------------------------------------------------------------------------

void MainWindow::openSongs()
{
    m_model.addSongsFromDialog();
}

void MainWindow::scanTickedSongs()
{
    m_model.scanTickedSongs();
}

void MainWindow::catalogueClicked(Kind kind)
{
    QListWidget* list = kind == Kind::Generator ? m_generatorCatalogue : m_effectCatalogue;
    const QList<QListWidgetItem*> selected = list->selectedItems();
    if (selected.isEmpty() && !(m_model.selection().isValid() && m_model.selection().kind == kind)) {
        return; // the other list was cleared: nothing the user chose
    }
    m_model.selectMachine(kind, selected.isEmpty() ? QString() : selected.first()->text());
    showModelNow();
}

void MainWindow::gearListingClicked(QListWidget* clicked, QListWidget* other)
{
    if (!clicked->selectedItems().isEmpty() && !other->selectedItems().isEmpty()) {
        const QSignalBlocker blocker(other);
        other->clearSelection();
    }
}

void MainWindow::moveSelected(bool toEffects)
{
    QListWidget* listing = toEffects ? m_generatorFiles : m_effectFiles;
    const QList<QListWidgetItem*> selected = listing->selectedItems();
    const QString dll = selected.isEmpty() ? QString() : selected.first()->text();
    if (toEffects) {
        m_model.moveToEffects(dll);
    } else {
        m_model.moveToGenerators(dll);
    }
}

void MainWindow::openCatalogueWindow()
{
    if (!m_catalogueWindow) {
        m_catalogueWindow = new CatalogueWindow(m_model);
    }
    m_catalogueWindow->show();
    m_catalogueWindow->raise();
    m_catalogueWindow->activateWindow();
    m_model.openCatalogueView();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_songList->viewport() ||
        (event->type() != QEvent::DragEnter && event->type() != QEvent::DragMove && event->type() != QEvent::Drop)) {
        return QWidget::eventFilter(watched, event);
    }
    auto* drop = static_cast<QDropEvent*>(event);
    QStringList files;
    for (const QUrl& url : drop->mimeData()->urls()) {
        const QString file = QDir::toNativeSeparators(url.toLocalFile());
        for (const char* suffix : {".zip", ".bmx", ".bmw"}) {
            if (file.endsWith(QLatin1String(suffix), Qt::CaseInsensitive)) {
                files << file;
            }
        }
    }
    if (files.isEmpty()) {
        return false;
    }
    drop->acceptProposedAction();
    if (event->type() == QEvent::Drop) {
        for (const QString& file : files) {
            if (file.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive)) {
                m_model.installReceivedBundle(file);
            } else {
                m_model.addSong(file);
            }
        }
        showModelNow();
    }
    return true;
}

QDialog* MainWindow::fetchResults() const
{
    return m_fetchResults.data();
}

void MainWindow::openAboutBox()
{
    if (!m_about) {
        m_about = new AboutBox(AppModel::kAppTitle);
        connect(m_about, &AboutBox::archiveAddressRequested, this, [this] { m_model.askArchiveUrl(); });
        connect(m_about, &AboutBox::hostFolderRequested, this, [this](bool fromSettings) {
            fromSettings ? void(m_model.chooseHostFolder({})) : m_model.askHostFolder();
        });
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_catalogueWindow) {
        m_catalogueWindow->close();
    }
    if (m_about) {
        m_about->close();
    }
    event->accept();
}
