#include "gui/MainWindow.h"

#include "host/HostDiscovery.h"
#include "base/NumberText.h"
#include "base/Platform.h"
#include "gui/SortedList.h"
#include "gui/WrapButton.h"
#include "gui/AboutBox.h"
#include "check/MissingCheck.h"
#include "gui/CatalogueWindow.h"
#include "transfer/HttpTransfer.h"
#include "unzip/ZipExtractor.h"
#include "song/SongScan.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTimer>

const QString MainWindow::kAppTitle = QStringLiteral("Gearwarden 1.0");

namespace {

// The layout is given in twips; the window shows 15 twips to a pixel.
constexpr int kTwipsPerPixel = 15;

void place(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
                        height / kTwipsPerPixel);
}

QString fromUtf8(const std::string& text) { return QString::fromStdString(text); }

std::string toUtf8(const QString& text) { return text.toStdString(); }

constexpr int kColumnWidth = 2775;
constexpr int kColumnLeft[3] = {0, 2760, 5520};
constexpr int kLabelHeight = 240;
// One screen frame: the most often a long loop repaints what it reports.
constexpr int kFrameMs = 16;

} // namespace

/** Puts what a song scan reports into the window's status line, scan log, message boxes and used lists. */
class MainWindow::ScanToWindow : public gw::ScanSink
{
public:
    explicit ScanToWindow(MainWindow& form)
        : m_form(form)
    {
    }

    void setStatus(const std::string& text, bool paintNow) override { m_form.setStatus(fromUtf8(text), paintNow); }
    void startLog(const std::string& line) override { m_form.startLog(fromUtf8(line)); }
    void log(const std::string& line) override { m_form.appendLog(fromUtf8(line)); }
    void showMessage(const std::string& text) override { m_form.showMessage(fromUtf8(text)); }
    void addUsed(const gw::MachineRef& machine) override
    {
        QListWidget* target = machine.isGenerator() ? m_form.List1 : m_form.List5;
        const QString dll = fromUtf8(gw::platform::ansiToUtf8(machine.dll));
        if (SortedList::findExactly(target, dll) < 0) {
            SortedList::add(target, dll);
        }
    }
    void paraMachineRead() override
    {
        m_form.paintNow(m_form.List1);
        m_form.paintNow(m_form.Text1);
    }

private:
    MainWindow& m_form;
};

MainWindow::MainWindow(const Setup& setup, QWidget* parent)
    : QWidget(parent)
    , m_archiveBaseUrl(setup.archiveBaseUrl)
    , m_dialogs(setup.dialogs)
    , m_settings(setup.hostSettings)
{
    Q_ASSERT(m_dialogs && m_settings);
    buildControls();
    Inet1 = new HttpTransfer(this);
    lineEnd = QStringLiteral("\r\n");
    SetProgramFolder(setup.programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : setup.programFolder);
    startUp();
}

MainWindow::~MainWindow()
{
    // The windows opened from this one live on their own; the detailed view refers to this window, so it goes too.
    delete m_detail;
    delete m_about;
}

void MainWindow::buildControls()
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(kAppTitle);
    // Close to the 8-point system font the layout was drawn for, so captions fit their fixed places.
    QFont windowFont = font();
    windowFont.setPixelSize(11);
    setFont(windowFont);
    setFixedSize(9480 / kTwipsPerPixel, 6390 / kTwipsPerPixel);

    const auto makeLabel = [this](const char* name, const QString& text, int left, int top, int width) {
        auto* label = new QLabel(text, this);
        label->setObjectName(QLatin1String(name));
        place(label, left, top, width, kLabelHeight);
        return label;
    };
    const auto makeList = [this](QListWidget*& list, const char* name, int left, int top, int height) {
        list = new QListWidget(this);
        list->setObjectName(QLatin1String(name));
        SortedList::setUp(list);
        place(list, left, top, kColumnWidth, height);
    };
    const auto makeButton = [this](const char* name, const QString& caption, int left, int top, int width,
                                   int height, void (MainWindow::*handler)()) {
        auto* button = new WrapButton(caption, this);
        button->setObjectName(QLatin1String(name));
        button->setAutoDefault(false);
        place(button, left, top, width, height);
        connect(button, &QPushButton::clicked, this, handler);
        return button;
    };

    // Song list across the top, its buttons on its label row.
    makeLabel("Label1", QStringLiteral("Buzz BMX or BMW files"), 0, 0, 2700);
    makeButton("Command14", QStringLiteral("Select All"), 2760, 0, 1095, kLabelHeight, &MainWindow::Command14_Click);
    makeButton("Command15", QStringLiteral("Select None"), 3900, 0, 1095, kLabelHeight, &MainWindow::Command15_Click);
    makeButton("Command16", QStringLiteral("Clear"), 5040, 0, 735, kLabelHeight, &MainWindow::Command16_Click);
    makeButton("Aboutbox", QStringLiteral("About"), 7560, 0, 735, kLabelHeight, &MainWindow::Aboutbox_Click);
    List3 = new QListWidget(this);
    List3->setObjectName(QStringLiteral("List3"));
    SortedList::setUp(List3);
    place(List3, 0, 240, kColumnLeft[2] + kColumnWidth, 960);

    // Log and gear folder listings.
    makeLabel("Label3", QStringLiteral("Scan BMX Log"), kColumnLeft[0], 1320, kColumnWidth);
    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    place(Text1, kColumnLeft[0], 1560, kColumnWidth, 1635);
    makeLabel("Label4", QStringLiteral("Buzz Generators Directory"), kColumnLeft[1], 1320, kColumnWidth);
    makeList(File1, "File1", kColumnLeft[1], 1560, 1635);
    makeLabel("Label5", QStringLiteral("Buzz Effects Directory"), kColumnLeft[2], 1320, kColumnWidth);
    makeList(File2, "File2", kColumnLeft[2], 1560, 1635);
    for (QListWidget* listing : {File1, File2}) {
        listing->setSelectionMode(QAbstractItemView::SingleSelection);
    }
    connect(File1, &QListWidget::itemSelectionChanged, this, &MainWindow::File1_Click);
    connect(File2, &QListWidget::itemSelectionChanged, this, &MainWindow::File2_Click);

    // Generators row.
    makeLabel("Label6", QStringLiteral("Generators used"), kColumnLeft[0], 3240, 2000);
    makeButton("Command11", QStringLiteral("Clear"), 2040, 3240, 735, kLabelHeight, &MainWindow::Command11_Click);
    makeList(List1, "List1", kColumnLeft[0], 3480, 1035);
    makeLabel("Label7", QStringLiteral("Missing Generators"), kColumnLeft[1], 3240, 2000);
    makeButton("Command7", QStringLiteral("Recheck"), 4800, 3240, 735, kLabelHeight, &MainWindow::Command7_Click);
    makeList(List4, "List4", kColumnLeft[1], 3480, 1035);
    makeLabel("Label8", QStringLiteral("Download Generators"), kColumnLeft[2], 3240, 2000);
    makeButton("Command4", QStringLiteral("Refresh"), 7560, 3240, 735, kLabelHeight, &MainWindow::Command4_Click);
    makeList(List2, "List2", kColumnLeft[2], 3480, 1035);
    connect(List2, &QListWidget::itemSelectionChanged, this, &MainWindow::List2_Click);

    // Effects row.
    makeLabel("Label9", QStringLiteral("Effects used"), kColumnLeft[0], 4560, kColumnWidth);
    makeList(List5, "List5", kColumnLeft[0], 4800, 1275);
    makeLabel("Label10", QStringLiteral("Missing Effects"), kColumnLeft[1], 4560, kColumnWidth);
    makeList(List7, "List7", kColumnLeft[1], 4800, 1275);
    makeLabel("Label11", QStringLiteral("Download Effects"), kColumnLeft[2], 4560, kColumnWidth);
    makeList(List6, "List6", kColumnLeft[2], 4800, 1275);
    connect(List6, &QListWidget::itemSelectionChanged, this, &MainWindow::List6_Click);

    // The column of action buttons.
    struct Action
    {
        const char* name;
        const char* caption;
        void (MainWindow::*handler)();
    };
    const Action actions[] = {
        {"Command5", "Open bmx or bmw files", &MainWindow::Command5_Click},
        {"Command1", "Scan bmx or bmw", &MainWindow::Command1_Click},
        {"Command6", "Refresh Buzz Gear Dirs", &MainWindow::Command6_Click},
        {"Command9", "Gen>>>>Eff", &MainWindow::Command9_Click},
        {"Command10", "Gen<<<<Eff", &MainWindow::Command10_Click},
        {"Command19", "Download", &MainWindow::Command19_Click},
        {"Command20", "Cancel download", &MainWindow::Command20_Click},
        {"Command21", "Detailed machine view", &MainWindow::Command21_Click},
        {"DownloadMachineLists", "Download Machine Lists", &MainWindow::DownloadMachineLists_Click},
    };
    int top = 240;
    for (const Action& action : actions) {
        QPushButton* button =
            makeButton(action.name, QString::fromLatin1(action.caption), 8400, top, 1020, 600, action.handler);
        if (qstrcmp(action.name, "Command9") == 0) {
            button->setToolTip(QStringLiteral("Move selected file from generators to effects directory"));
        } else if (qstrcmp(action.name, "DownloadMachineLists") == 0) {
            button->setToolTip(QStringLiteral("Download allgenerators.php and alleffects.php lists from Plugvault"));
        }
        top += 645;
    }

    Label2 = new QLabel(QStringLiteral("Status line"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    QFont bold = Label2->font();
    bold.setBold(true);
    Label2->setFont(bold);
    place(Label2, 0, 6120, 9480, 270);
}

void MainWindow::startUp()
{
    machinesBaseUrl = m_archiveBaseUrl + QStringLiteral("machines/");
    RefreshGearFolders();
    Command4_Click();
    downloadInProgress = false;
    const bool notShowing = false;
    setDetailedFormShowing(notShowing);
}

void MainWindow::SetProgramFolder(const QString& folder)
{
    programFolder = QDir::toNativeSeparators(folder);
    if (!programFolder.endsWith(QDir::separator())) {
        programFolder += QDir::separator();
    }
    setStatus(programFolder + QStringLiteral(" is current directory"));
}

// --- status line, scan log, messages -------------------------------------------------------------------------

QString MainWindow::statusText() const { return m_status; }

QString MainWindow::logText() const
{
    const QString text = Text1->toPlainText();
    if (Text1->document()->isEmpty()) {
        return {};
    }
    return text.split(QLatin1Char('\n')).join(lineEnd) + lineEnd;
}

void MainWindow::setStatus(const QString& text, bool paintNow)
{
    m_status = text;
    emit statusChanged(text);
    if (!paintNow) {
        Label2->setText(text);
        return;
    }
    // Loops that report every step (chunks, machines) would spend their time laying out and painting texts nobody
    // can read: the label takes the newest text at most once per screen frame, and the last one when the loop ends.
    QElapsedTimer& last = m_lastPaint[Label2];
    if (last.isValid() && last.elapsed() < kFrameMs) {
        if (!m_statusFlushPending) {
            m_statusFlushPending = true;
            QTimer::singleShot(0, this, [this] {
                m_statusFlushPending = false;
                Label2->setText(m_status);
            });
        }
        return;
    }
    Label2->setText(text);
    Label2->repaint();
    last.restart();
}

void MainWindow::paintNow(QWidget* widget)
{
    QElapsedTimer& last = m_lastPaint[widget];
    if (!last.isValid() || last.elapsed() >= kFrameMs) {
        widget->repaint();
        last.restart();
    }
}

void MainWindow::startLog(const QString& line)
{
    Text1->setPlainText(line);
}

void MainWindow::clearLog() { Text1->clear(); }

void MainWindow::appendLog(const QString& line)
{
    if (Text1->document()->isEmpty()) {
        Text1->setPlainText(line);
    } else {
        Text1->appendPlainText(line);
    }
}

void MainWindow::logStatus(const QString& text, bool paintNow)
{
    setStatus(text, paintNow);
    appendLog(text);
}

void MainWindow::showMessage(const QString& text)
{
    m_dialogs->message(this, text, kAppTitle, UserDialogs::Buttons::Ok);
}

void MainWindow::showNotices(const std::vector<gw::Notice>& notices)
{
    for (const gw::Notice& notice : notices) {
        if (notice.kind == gw::Notice::Kind::Message) {
            showMessage(fromUtf8(notice.text));
        } else {
            setStatus(fromUtf8(notice.text));
        }
    }
}

// --- host installation -----------------------------------------------------------------------------------------

void MainWindow::ReadHostFolder()
{
    const gw::HostFolder found = gw::findHostFolder(*m_settings, toUtf8(programFolder));
    hostFolder = fromUtf8(found.folder);
    showNotices(found.notices);
}

bool MainWindow::makeFolder(const QString& path)
{
    if (QDir(path).exists()) {
        return true;
    }
    return QDir().mkdir(path);
}

QString MainWindow::generatorsPath() const { return fromUtf8(gw::generatorsFolder(toUtf8(hostFolder))); }

QString MainWindow::effectsPath() const { return fromUtf8(gw::effectsFolder(toUtf8(hostFolder))); }

void MainWindow::RefreshGearFolders()
{
    ReadHostFolder();
    const QString gear = fromUtf8(gw::gearFolder(toUtf8(hostFolder)));
    const struct
    {
        QListWidget* listing;
        QString folder;
    } gearFolders[] = {
        {File1, generatorsPath()},
        {File2, effectsPath()},
    };
    for (const auto& gearFolder : gearFolders) {
        // One level at a time: the gear folder first, then the kind's folder in it.
        if (!QDir(gearFolder.folder).exists() && !(makeFolder(gear) && makeFolder(gearFolder.folder))) {
            setStatus(QStringLiteral("Unable to create ") + gearFolder.folder +
                      QStringLiteral(".  Its machines cannot be listed; check the rights on ") + hostFolder);
        }
        refreshListing(gearFolder.listing, gearFolder.folder);
    }
}

void MainWindow::refreshListing(QListWidget* listing, const QString& folder)
{
    const QSignalBlocker blocker(listing);
    listing->clear();
    for (const std::string& name : gw::listDlls(toUtf8(folder))) {
        SortedList::add(listing, fromUtf8(name));
    }
}

void MainWindow::ReadSongFolder()
{
    std::vector<gw::Notice> notices;
    songFolder = fromUtf8(gw::findSongFolder(*m_settings, toUtf8(programFolder), notices));
    showNotices(notices);
}

void MainWindow::Command6_Click() { RefreshGearFolders(); }

void MainWindow::Command7_Click() { CheckMissingMachines(); }

void MainWindow::File1_Click() { keepSingleFileSelection(File1, File2); }

void MainWindow::File2_Click() { keepSingleFileSelection(File2, File1); }

void MainWindow::keepSingleFileSelection(QListWidget* clicked, QListWidget* other)
{
    // Clearing the other listing raises its own handler; the guard gives the end state the nested handlers reach:
    // the clicked listing keeps its selection and the other has none.
    if (m_syncingListings) {
        return;
    }
    m_syncingListings = true;
    const int remembered = clicked->currentRow();
    const bool hasSelection = !clicked->selectedItems().isEmpty();
    if (!other->selectedItems().isEmpty()) {
        other->clearSelection();
    }
    if (hasSelection) {
        clicked->setCurrentRow(remembered);
    }
    m_syncingListings = false;
}

// --- song list -------------------------------------------------------------------------------------------------

void MainWindow::Command5_Click()
{
    UserDialogs::OpenRequest request;
    request.filter = QStringLiteral(
        "bmx and bmw files (*.bmx;*.bmw)|*.bmx;*.bmw|bmx only (*.bmx)|*.bmx|bmw only (*.bmw)|*.bmw");
    request.filterIndex = 0;
    request.defaultExtension = QStringLiteral("bmx");
    request.title = QStringLiteral("Select one or more bmx or bmw file to add to list");
    request.multiSelect = true;
    request.mustExist = true;
    request.maxLength = 20240;
    ReadSongFolder();
    request.initialFolder = songFolder.isEmpty() ? programFolder : songFolder;
    setStatus(QStringLiteral("Select one or more bmx or bmw files to add to list"));

    const QString chosen = m_dialogs->openFiles(this, request);
    if (chosen.isEmpty()) {
        setStatus(QStringLiteral("No bmx or bmw selected"));
        return;
    }
    QStringList parts = chosen.split(QChar(0));
    // The classic dialog ends its list with extra NUL characters; they name no file.
    while (parts.size() > 1 && parts.last().isEmpty()) {
        parts.removeLast();
    }
    int chosenCount = 0;
    if (parts.size() > 1) {
        QString folder = parts.first();
        if (!folder.endsWith(QDir::separator())) {
            folder += QDir::separator();
        }
        for (qsizetype i = 1; i < parts.size(); ++i) {
            const QString path = folder + parts.at(i);
            if (SortedList::findExactly(List3, path) < 0) {
                SortedList::add(List3, path, true);
            }
            ++chosenCount;
        }
    } else {
        const QString& path = parts.first();
        int row = SortedList::findExactly(List3, path);
        if (row < 0) {
            row = SortedList::add(List3, path, true);
        }
        List3->setCurrentRow(row);
        chosenCount = 1;
    }
    setStatus(QStringLiteral("Selected ") + fromUtf8(gw::NumberText(chosenCount)) +
              QStringLiteral(" bmx files added to list"));
}

void MainWindow::Command14_Click()
{
    for (int row = 0; row < List3->count(); ++row) {
        List3->item(row)->setCheckState(Qt::Checked);
    }
    setStatus(QStringLiteral("Selected all from bmx files list"));
}

void MainWindow::Command15_Click()
{
    for (int row = 0; row < List3->count(); ++row) {
        List3->item(row)->setCheckState(Qt::Unchecked);
    }
    setStatus(QStringLiteral("Selected none from bmx files list"));
}

void MainWindow::Command16_Click()
{
    List3->clear();
    setStatus(QStringLiteral("Cleared bmx files list"));
}

void MainWindow::Command11_Click()
{
    List1->clear();
    List5->clear();
    setStatus(QStringLiteral("Cleared lists for used generators and effects"));
}

// --- scan and check --------------------------------------------------------------------------------------------

void MainWindow::Command1_Click()
{
    bool anyTicked = false;
    for (int row = 0; row < List3->count(); ++row) {
        if (List3->item(row)->checkState() == Qt::Checked) {
            anyTicked = true;
            List3->setCurrentRow(row);
            ScanSong();
        }
    }
    if (!anyTicked && List3->currentRow() >= 0) {
        ScanSong();
    }
    CheckMissingMachines();
}

void MainWindow::ScanSong()
{
    const QListWidgetItem* current = List3->currentItem();
    ScanToWindow sink(*this);
    gw::scanSong(current ? toUtf8(current->text()) : std::string(), sink);
}

void MainWindow::CheckMissingMachines()
{
    setStatus(QStringLiteral("Checking missing machines"), true);
    RefreshGearFolders();
    const std::vector<std::string> generatorsUsed = SortedList::entries(List1);
    const std::vector<std::string> effectsUsed = SortedList::entries(List5);
    const std::vector<std::string> generatorFiles = SortedList::entries(File1);
    const std::vector<std::string> effectFiles = SortedList::entries(File2);

    List4->clear();
    paintNow(List4);
    for (const std::string& entry :
         gw::findMissing(gw::MachineKind::Generator, generatorsUsed, generatorFiles, effectFiles)) {
        SortedList::add(List4, fromUtf8(entry));
    }
    List7->clear();
    paintNow(List7);
    for (const std::string& entry : gw::findMissing(gw::MachineKind::Effect, effectsUsed, effectFiles, generatorFiles)) {
        SortedList::add(List7, fromUtf8(entry));
    }
    setStatus(fromUtf8(gw::missingStatusText(static_cast<std::size_t>(List4->count()),
                                             static_cast<std::size_t>(List7->count()))));
    if (getDetailedFormShowing() && m_detailedView) {
        m_detailedView->CopyMissingList();
    }
}

// --- About box and shut-down -----------------------------------------------------------------------------------

void MainWindow::Aboutbox_Click()
{
    if (!m_about) {
        m_about = new AboutBox(kAppTitle);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void MainWindow::Form_Unload()
{
    if (m_detail) {
        m_detail->close();
    }
    if (m_about) {
        m_about->close();
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}
