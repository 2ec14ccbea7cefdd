#include "TestHost.h"
#include "RecordingDialogs.h"
#include "SongWriter.h"

#include "gui/MainWindow.h"
#include "MemoryHostSettings.h"
#include "gui/AboutBox.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>

#include <memory>

using gw::test::SongWriter;

namespace {

class CountingDetailedView : public DetailedViewLink
{
public:
    explicit CountingDetailedView(const MainWindow& form)
        : m_form(form)
    {
    }
    void CopyMissingList() override
    {
        ++calls;
        statusAtCall = m_form.statusText();
    }
    int calls = 0;
    QString statusAtCall;

private:
    const MainWindow& m_form;
};

QStringList texts(const QListWidget* list)
{
    QStringList result;
    for (int row = 0; row < list->count(); ++row) {
        result << list->item(row)->text();
    }
    return result;
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void controlsSitInTheirFixedPlaces();
    void startUpWithoutSettingsFallsBackAndCreatesGearFolders();
    void startUpWithSettingsUsesTheHostFolder();
    void gearFolderThatCannotBeMadeIsReported();
    void gearFoldersFoundInAnyLetterCase();
    void listsKeepCaseInsensitiveOrder();
    void openDialogAddsSeveralFilesOnce();
    void openDialogSingleFileBecomesCurrent();
    void openDialogCancelled();
    void openDialogShowsSongsInAnyLetterCase();
    void tickAndClearButtons();
    void scanWithNothingPickedStillChecks();
    void scanTwoSongsFirstBroken();
    void scanTicksWinOverCurrentEntry();
    void checkMarksMachinesInTheOtherFolder();
    void checkCallsDetailedViewOnlyWhenShowing();
    void gearListingsKeepOneSelection();
    void aboutBoxOpensOnce();

private:
    std::unique_ptr<MainWindow> makeForm();
    QString path(const QString& name) const { return m_dir->path() + QLatin1Char('/') + name; }
    QString writeSong(const QString& name, const SongWriter& song);
    QPushButton* button(const char* name) { return m_form->findChild<QPushButton*>(QLatin1String(name)); }
    QListWidget* list(const char* name) { return m_form->findChild<QListWidget*>(QLatin1String(name)); }
    void touch(const QString& file) { QVERIFY(QFile(file).open(QIODevice::WriteOnly)); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::shared_ptr<gw::MemoryHostSettings> m_settings;
    RecordingDialogs m_dialogs;
    std::unique_ptr<MainWindow> m_form;
};

void TestForm1::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_settings = hostSettingsAt(path(QStringLiteral("host")));
    QVERIFY(m_settings);
    m_dialogs.reset();
}

void TestForm1::cleanup()
{
    m_form.reset();
    m_dialogs.reset();
    m_dir.reset();
}

std::unique_ptr<MainWindow> TestForm1::makeForm()
{
    MainWindow::Setup setup;
    setup.programFolder = m_dir->path();
    setup.archiveBaseUrl = QStringLiteral("http://archive.invalid/");
    setup.dialogs = &m_dialogs;
    setup.hostSettings = m_settings;
    return std::make_unique<MainWindow>(setup);
}

QString TestForm1::writeSong(const QString& name, const SongWriter& song)
{
    const QString file = path(name);
    if (!song.writeTo(file.toStdString())) {
        return {};
    }
    return file;
}

void TestForm1::controlsSitInTheirFixedPlaces()
{
    m_form = makeForm();
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Gearwarden 1.0"));
    QCOMPARE(m_form->size(), QSize(632, 426));
    QCOMPARE(m_form->minimumSize(), m_form->maximumSize());

    const struct
    {
        const char* name;
        QRect geometry;
    } lists[] = {
        {"List3", {0, 16, 553, 64}},   {"File1", {184, 104, 185, 109}}, {"File2", {368, 104, 185, 109}},
        {"List1", {0, 232, 185, 69}},  {"List4", {184, 232, 185, 69}},  {"List2", {368, 232, 185, 69}},
        {"List5", {0, 320, 185, 85}},  {"List7", {184, 320, 185, 85}},  {"List6", {368, 320, 185, 85}},
    };
    for (const auto& expected : lists) {
        QListWidget* widget = list(expected.name);
        QVERIFY2(widget, expected.name);
        QCOMPARE(widget->geometry(), expected.geometry);
    }
    QCOMPARE(m_form->findChild<QPlainTextEdit*>(QStringLiteral("Text1"))->geometry(), QRect(0, 104, 185, 109));

    const struct
    {
        const char* name;
        const char* text;
    } labels[] = {
        {"Label1", "Buzz BMX or BMW files"}, {"Label3", "Scan BMX Log"},          {"Label4", "Buzz Generators Directory"},
        {"Label5", "Buzz Effects Directory"}, {"Label6", "Generators used"},      {"Label7", "Missing Generators"},
        {"Label8", "Download Generators"},    {"Label9", "Effects used"},          {"Label10", "Missing Effects"},
        {"Label11", "Download Effects"},
    };
    for (const auto& expected : labels) {
        auto* label = m_form->findChild<QLabel*>(QLatin1String(expected.name));
        QVERIFY2(label, expected.name);
        QCOMPARE(label->text(), QString::fromLatin1(expected.text));
    }

    // The action column, top to bottom, then the buttons on the label rows.
    const char* const column[] = {"Command5",  "Command1",  "Command6",  "Command9",           "Command10",
                                  "Command19", "Command20", "Command21", "DownloadMachineLists"};
    const char* const captions[] = {"Open bmx or bmw files", "Scan bmx or bmw", "Refresh Buzz Gear Dirs",
                                    "Gen>>>>Eff",            "Gen<<<<Eff",      "Download",
                                    "Cancel download",       "Detailed machine view", "Download Machine Lists"};
    int previousTop = -1;
    for (int i = 0; i < 9; ++i) {
        QPushButton* b = button(column[i]);
        QVERIFY2(b, column[i]);
        QCOMPARE(b->text(), QString::fromLatin1(captions[i]));
        QCOMPARE(b->x(), 560);
        QVERIFY(b->y() > previousTop);
        QVERIFY(b->geometry().bottom() < 408);
        previousTop = b->geometry().bottom();
    }
    QCOMPARE(button("Command9")->toolTip(), QStringLiteral("Move selected file from generators to effects directory"));
    QCOMPARE(button("DownloadMachineLists")->toolTip(),
             QStringLiteral("Download allgenerators.php and alleffects.php lists from Plugvault"));
    const struct
    {
        const char* name;
        const char* caption;
        int top;
    } rowButtons[] = {{"Command14", "Select All", 0}, {"Command15", "Select None", 0}, {"Command16", "Clear", 0},
                      {"Aboutbox", "About", 0},       {"Command11", "Clear", 216},     {"Command7", "Recheck", 216},
                      {"Command4", "Refresh", 216}};
    for (const auto& expected : rowButtons) {
        QPushButton* b = button(expected.name);
        QVERIFY2(b, expected.name);
        QCOMPARE(b->text(), QString::fromLatin1(expected.caption));
        QCOMPARE(b->y(), expected.top);
    }

    auto* status = m_form->findChild<QLabel*>(QStringLiteral("Label2"));
    QCOMPARE(status->geometry(), QRect(0, 408, 632, 18));
    QVERIFY(status->font().bold());

    // A fixed layout: resizing moves nothing.
    m_form->resize(900, 700);
    QCOMPARE(m_form->size(), QSize(632, 426));
}

void TestForm1::startUpWithoutSettingsFallsBackAndCreatesGearFolders()
{
    m_settings->setKeyPresent(false);
    m_form = makeForm();
    const QString programFolder = QDir::toNativeSeparators(m_dir->path()) + QDir::separator();
    QCOMPARE(m_form->getApp(), programFolder);
    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(m_dialogs.messages.first().title, QStringLiteral("Gearwarden 1.0"));
    QVERIFY(m_dialogs.messages.first().text.startsWith(QStringLiteral("Unable to open the key Settings.  ")));
    QVERIFY(QDir(path(QStringLiteral("gear/generators"))).exists());
    QVERIFY(QDir(path(QStringLiteral("gear/effects"))).exists());
    QVERIFY(!m_form->statusText().endsWith(QStringLiteral(" is current directory")));

    // Each refresh asks the settings again, so the message comes back.
    button("Command6")->click();
    QCOMPARE(m_dialogs.messages.size(), 2);
    QCOMPARE(m_form->statusText(), QStringLiteral("Temporarily using ") + programFolder + QStringLiteral(" as buzz path"));
}

void TestForm1::startUpWithSettingsUsesTheHostFolder()
{
    m_form = makeForm();
    QVERIFY(m_dialogs.messages.isEmpty());
    QVERIFY(QDir(path(QStringLiteral("host/gear/generators"))).exists());
    QVERIFY(QDir(path(QStringLiteral("host/gear/effects"))).exists());
    QVERIFY(!QDir(path(QStringLiteral("gear"))).exists());
    // Start-up ends with the catalogue summary, which replaces the earlier texts.
    QCOMPARE(m_form->statusText(),
             QStringLiteral("Generator list contains  0 machines.  Effects list contains  0 machines."));
    button("Command6")->click();
    QCOMPARE(m_form->statusText(), QStringLiteral("Buzz path from Buzz registry settings is ") +
                                       QDir::toNativeSeparators(path(QStringLiteral("host"))) + QDir::separator());
}

void TestForm1::gearFoldersFoundInAnyLetterCase()
{
    // A Wine installation on a case-sensitive disk: the window uses these folders and makes no second tree.
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("host/Gear/Generators")));
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("host/Gear/Effects")));
    touch(path(QStringLiteral("host/Gear/Generators/Lunar Pad.dll")));
    m_form = makeForm();
    QVERIFY(!QDir(path(QStringLiteral("host/gear"))).exists());
    QCOMPARE(texts(list("File1")), QStringList({QStringLiteral("Lunar Pad.dll")}));
}

void TestForm1::gearFolderThatCannotBeMadeIsReported()
{
    // A file named "gear" stands where the folder should be, so no folder can be made there, even by root.
    touch(path(QStringLiteral("host/gear")));
    m_form = makeForm();
    QSignalSpy statuses(m_form.get(), &MainWindow::statusChanged);
    button("Command6")->click();
    QStringList seen;
    for (const QList<QVariant>& args : statuses) {
        seen << args.at(0).toString();
    }
    const QString generators = QDir::toNativeSeparators(path(QStringLiteral("host/gear/generators")));
    QVERIFY2(seen.contains(QStringLiteral("Unable to create ") + generators +
                           QStringLiteral(".  Its machines cannot be listed; check the rights on ") +
                           QDir::toNativeSeparators(path(QStringLiteral("host"))) + QDir::separator()),
             qPrintable(seen.join(QLatin1Char('\n'))));
    QCOMPARE(list("File1")->count(), 0);
    QCOMPARE(list("File2")->count(), 0);
    QVERIFY(m_dialogs.messages.isEmpty());
}

void TestForm1::listsKeepCaseInsensitiveOrder()
{
    m_form = makeForm();
    const QString folder = QDir::toNativeSeparators(m_dir->path());
    const QString echo = QString::fromUtf8("\u00c9cho.bmx");
    m_dialogs.setNextOpenResult(folder + QChar(0) + QStringLiteral("beta.bmx") + QChar(0) + QStringLiteral("Alpha.bmx") +
                                QChar(0) + echo + QChar(0) + QStringLiteral("alpha.bmx") + QChar(0) +
                                QStringLiteral("Gamma.bmw"));
    button("Command5")->click();
    // As a Windows list box shows them: small letter first on a tie, accented letters with their base letter.
    const QString prefix = folder + QDir::separator();
    QCOMPARE(texts(list("List3")), QStringList({prefix + QStringLiteral("alpha.bmx"), prefix + QStringLiteral("Alpha.bmx"),
                                                prefix + QStringLiteral("beta.bmx"), prefix + echo,
                                                prefix + QStringLiteral("Gamma.bmw")}));
}

void TestForm1::openDialogAddsSeveralFilesOnce()
{
    m_settings->setValue("OpenSongDir", path(QStringLiteral("host")).toStdString());
    m_form = makeForm();
    const QString folder = QDir::toNativeSeparators(m_dir->path());
    m_dialogs.setNextOpenResult(folder + QChar(0) + QStringLiteral("a.bmx") + QChar(0) + QStringLiteral("b.bmx"));
    button("Command5")->click();
    m_dialogs.setNextOpenResult(folder + QChar(0) + QStringLiteral("a.bmx") + QChar(0) + QStringLiteral("b.bmx") +
                                QChar(0) + QStringLiteral("c.bmw") + QChar(0) + QChar(0));
    QSignalSpy statuses(m_form.get(), &MainWindow::statusChanged);
    button("Command5")->click();

    QCOMPARE(list("List3")->count(), 3);
    QCOMPARE(list("List3")->currentRow(), -1);
    QVERIFY(list("List3")->item(0)->flags() & Qt::ItemIsUserCheckable);
    QCOMPARE(m_form->statusText(), QStringLiteral("Selected  3 bmx files added to list"));
    QCOMPARE(statuses.at(0).at(0).toString(),
             QStringLiteral("Open song dir from Buzz settings is ") + path(QStringLiteral("host")));
    QCOMPARE(statuses.at(1).at(0).toString(), QStringLiteral("Select one or more bmx or bmw files to add to list"));

    const UserDialogs::OpenRequest& request = m_dialogs.openRequests.last();
    QCOMPARE(request.title, QStringLiteral("Select one or more bmx or bmw file to add to list"));
    QCOMPARE(request.filter, QStringLiteral("bmx and bmw files (*.bmx;*.bmw)|*.bmx;*.bmw|bmx only (*.bmx)|*.bmx|"
                                            "bmw only (*.bmw)|*.bmw"));
    QCOMPARE(request.filterIndex, 0);
    QCOMPARE(request.defaultExtension, QStringLiteral("bmx"));
    QVERIFY(request.multiSelect && request.mustExist);
    QCOMPARE(request.maxLength, 20240);
    QCOMPARE(request.initialFolder, path(QStringLiteral("host")));
}

void TestForm1::openDialogSingleFileBecomesCurrent()
{
    m_settings->setValue("OpenSongDir", path(QStringLiteral("nowhere")).toStdString());
    m_form = makeForm();
    const QString song = QDir::toNativeSeparators(path(QStringLiteral("one.bmx")));
    m_dialogs.setNextOpenResult(song);
    button("Command5")->click();
    QCOMPARE(m_dialogs.openRequests.last().initialFolder, m_form->getApp());
    m_dialogs.setNextOpenResult(QDir::toNativeSeparators(path(QStringLiteral("another.bmx"))));
    button("Command5")->click();
    QCOMPARE(list("List3")->currentItem()->text(), QDir::toNativeSeparators(path(QStringLiteral("another.bmx"))));

    // Choosing a listed file again adds nothing and makes it current.
    m_dialogs.setNextOpenResult(song);
    button("Command5")->click();
    QCOMPARE(list("List3")->count(), 2);
    QCOMPARE(list("List3")->currentItem()->text(), song);
    QCOMPARE(m_form->statusText(), QStringLiteral("Selected  1 bmx files added to list"));
}

void TestForm1::openDialogCancelled()
{
    m_form = makeForm();
    button("Command5")->click();
    QCOMPARE(m_dialogs.openRequests.size(), 1);
    QCOMPARE(list("List3")->count(), 0);
    QCOMPARE(m_form->statusText(), QStringLiteral("No bmx or bmw selected"));
}

void TestForm1::openDialogShowsSongsInAnyLetterCase()
{
    // The real dialog, as the program opens it: Windows shows "Demo.Bmx" under "*.bmx", so must we.
    for (const char* name : {"Demo.Bmx", "loud.BMW", "plain.bmx", "notes.txt"}) {
        touch(path(QLatin1String(name)));
    }
    UserDialogs::OpenRequest request;
    request.filter = QStringLiteral("bmx and bmw files (*.bmx;*.bmw)|*.bmx;*.bmw|bmx only (*.bmx)|*.bmx");
    request.initialFolder = m_dir->path();
    request.multiSelect = true;
    QStringList shown;
    QString filterText;
    QTimer poll;
    QElapsedTimer waited;
    waited.start();
    connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            return;
        }
        const auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
        shown.clear();
        for (int row = 0; view && row < view->model()->rowCount(view->rootIndex()); ++row) {
            const QString name = view->model()->index(row, 0, view->rootIndex()).data().toString();
            if (QFileInfo(path(name)).isFile()) {
                shown << name;
            }
        }
        filterText = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))->currentText();
        if (shown.size() == 3 || waited.elapsed() > 5000) {
            dialog->reject();
        }
    });
    poll.start(20);
    QtUserDialogs dialogs;
    QVERIFY(dialogs.openFiles(nullptr, request).isEmpty());
    shown.sort();
    QCOMPARE(shown, QStringList({QStringLiteral("Demo.Bmx"), QStringLiteral("loud.BMW"), QStringLiteral("plain.bmx")}));
    QCOMPARE(filterText, QStringLiteral("bmx and bmw files (*.bmx;*.bmw)"));
}

void TestForm1::tickAndClearButtons()
{
    m_form = makeForm();
    button("Command14")->click();
    QCOMPARE(m_form->statusText(), QStringLiteral("Selected all from bmx files list"));

    const QString folder = QDir::toNativeSeparators(m_dir->path());
    m_dialogs.setNextOpenResult(folder + QChar(0) + QStringLiteral("a.bmx") + QChar(0) + QStringLiteral("b.bmx"));
    button("Command5")->click();
    button("Command14")->click();
    QListWidget* songs = list("List3");
    QCOMPARE(songs->item(0)->checkState(), Qt::Checked);
    QCOMPARE(songs->item(1)->checkState(), Qt::Checked);
    button("Command15")->click();
    QCOMPARE(songs->item(0)->checkState(), Qt::Unchecked);
    QCOMPARE(songs->item(1)->checkState(), Qt::Unchecked);
    QCOMPARE(m_form->statusText(), QStringLiteral("Selected none from bmx files list"));
    QVERIFY(m_form->logText().isEmpty());
    button("Command16")->click();
    QCOMPARE(songs->count(), 0);
    QCOMPARE(m_form->statusText(), QStringLiteral("Cleared bmx files list"));
}

void TestForm1::scanWithNothingPickedStillChecks()
{
    m_form = makeForm();
    QSignalSpy statuses(m_form.get(), &MainWindow::statusChanged);
    button("Command1")->click();
    QVERIFY(m_dialogs.messages.isEmpty());
    QCOMPARE(statuses.first().at(0).toString(), QStringLiteral("Checking missing machines"));
    QCOMPARE(m_form->statusText(), QStringLiteral("Completed checking missing machines.  No missing machines."));
}

void TestForm1::scanTwoSongsFirstBroken()
{
    m_form = makeForm();
    SongWriter old;
    old.withPara = false;
    old.addSimple("Kick", "Old Kick", 1);
    const QString first = QDir::toNativeSeparators(writeSong(QStringLiteral("a-old.bmx"), old));
    SongWriter good;
    good.addSimple("Kick", "Acme Kick", 1).addSimple("Bass", "Jeskola Bass 3", 1).addSimple("Echo", "Acme Delay", 2);
    good.addSimple("Kick 2", "Acme Kick", 1);
    const QString second = QDir::toNativeSeparators(writeSong(QStringLiteral("b-good.bmx"), good));
    QVERIFY(!first.isEmpty() && !second.isEmpty());
    touch(path(QStringLiteral("host/gear/effects/Acme Delay.dll")));

    m_dialogs.setNextOpenResult(QDir::toNativeSeparators(m_dir->path()) + QChar(0) + QStringLiteral("a-old.bmx") +
                                QChar(0) + QStringLiteral("b-good.bmx"));
    button("Command5")->click();
    button("Command14")->click();
    QSignalSpy statuses(m_form.get(), &MainWindow::statusChanged);
    button("Command1")->click();

    QCOMPARE(m_dialogs.messageTexts(),
             QStringList({QStringLiteral("File ") + first +
                          QStringLiteral(" does not contain PARA section, which is required by this program.  "
                                         "Probably created with Buzz version <1.2")}));
    const QStringList log = m_form->logText().split(QStringLiteral("\r\n"));
    QCOMPARE(log.first(), QStringLiteral("Scanning ") + second);
    QCOMPARE(log.at(1), QString(QDir::separator()) + QStringLiteral("b-good.bmx"));
    QVERIFY(log.contains(QStringLiteral("Machine DLL name Acme Delay")));
    QVERIFY(!m_form->logText().contains(QStringLiteral("a-old.bmx")));
    QCOMPARE(log.last(), QString()); // every line ends with the line end

    QStringList seen;
    for (const QList<QVariant>& args : statuses) {
        seen << args.at(0).toString();
    }
    const QStringList expectedOrder = {
        QStringLiteral("Scanning bmx for machines used"),
        QStringLiteral("Scanning bmx for machines used"),
        QStringLiteral("Scanning PARA section for 1 of  5 machines"),
        QStringLiteral("Scanning PARA section for 5 of  5 machines"),
        QStringLiteral("Completed scan of  5 machines in PARA section"),
        QStringLiteral("Scanning MACH section for machine  2 of  5 machines"),
        QStringLiteral("Scanning MACH section for machine  5 of  5 machines"),
        QStringLiteral("Completed scan of  5 machines in MACH section"),
        QStringLiteral("Checking missing machines"),
        QStringLiteral("Completed checking missing machines.   1 generators  0 effects missing"),
    };
    qsizetype at = -1;
    for (const QString& text : expectedOrder) {
        const qsizetype found = seen.indexOf(text, at + 1);
        QVERIFY2(found > at, qPrintable(QStringLiteral("missing or out of order: ") + text));
        at = found;
    }
    QCOMPARE(seen.last(), expectedOrder.last());

    QCOMPARE(texts(list("List1")), QStringList({QStringLiteral("Acme Kick"), QStringLiteral("Jeskola Bass 3")}));
    QCOMPARE(texts(list("List5")), QStringList({QStringLiteral("Acme Delay")}));
    QCOMPARE(texts(list("List4")), QStringList({QStringLiteral("Acme Kick.dll")}));
    QCOMPARE(list("List7")->count(), 0);

    // The used lists gather across scans until "Clear"; the missing lists stay.
    button("Command1")->click();
    QCOMPARE(list("List1")->count(), 2);
    button("Command11")->click();
    QCOMPARE(list("List1")->count() + list("List5")->count(), 0);
    QCOMPARE(list("List4")->count(), 1);
    QCOMPARE(m_form->statusText(), QStringLiteral("Cleared lists for used generators and effects"));
}

void TestForm1::scanTicksWinOverCurrentEntry()
{
    m_form = makeForm();
    SongWriter one;
    one.addSimple("A", "Only In One", 1);
    SongWriter two;
    two.addSimple("B", "Only In Two", 2);
    SongWriter three;
    three.addSimple("C", "Only In Three", 2);
    writeSong(QStringLiteral("1.bmx"), one);
    writeSong(QStringLiteral("2.bmx"), two);
    writeSong(QStringLiteral("3.bmx"), three);
    m_dialogs.setNextOpenResult(QDir::toNativeSeparators(m_dir->path()) + QChar(0) + QStringLiteral("1.bmx") + QChar(0) +
                                QStringLiteral("2.bmx") + QChar(0) + QStringLiteral("3.bmx"));
    button("Command5")->click();
    QListWidget* songs = list("List3");
    songs->setCurrentRow(0);
    songs->item(1)->setCheckState(Qt::Checked);
    songs->item(2)->setCheckState(Qt::Checked);
    button("Command1")->click();
    QCOMPARE(texts(list("List1")), QStringList());
    QCOMPARE(texts(list("List5")), QStringList({QStringLiteral("Only In Three"), QStringLiteral("Only In Two")}));
    QCOMPARE(songs->currentRow(), 2);

    // With nothing ticked, the current entry is scanned.
    button("Command15")->click();
    songs->setCurrentRow(0);
    button("Command1")->click();
    QCOMPARE(texts(list("List1")), QStringList({QStringLiteral("Only In One")}));
}

void TestForm1::checkMarksMachinesInTheOtherFolder()
{
    m_form = makeForm();
    SongWriter song;
    song.addSimple("Infect", "FSM Infector", 1).addSimple("Chorus", "Glass Chorus", 2).addSimple("k", "fsm kick", 1);
    song.addSimple("Both", "Twice", 1);
    const QString file = writeSong(QStringLiteral("song.bmx"), song);
    touch(path(QStringLiteral("host/gear/effects/FSM Infector.dll")));
    touch(path(QStringLiteral("host/gear/generators/Glass Chorus.DLL")));
    touch(path(QStringLiteral("host/gear/generators/FSM Kick.dll")));
    touch(path(QStringLiteral("host/gear/generators/Twice.dll")));
    touch(path(QStringLiteral("host/gear/effects/Twice.dll")));
    touch(path(QStringLiteral("host/gear/effects/readme.txt")));
    m_dialogs.setNextOpenResult(QDir::toNativeSeparators(file));
    button("Command5")->click();
    button("Command1")->click();

    QCOMPARE(texts(list("List4")),
             QStringList({QStringLiteral("(eff dir)FSM Infector.dll"), QStringLiteral("(eff dir)Twice.dll")}));
    QCOMPARE(texts(list("List7")), QStringList({QStringLiteral("(gen dir)Glass Chorus.dll")}));
    QCOMPARE(texts(list("File2")), QStringList({QStringLiteral("FSM Infector.dll"), QStringLiteral("Twice.dll")}));
    QCOMPARE(m_form->statusText(),
             QStringLiteral("Completed checking missing machines.   2 generators  1 effects missing"));

    // Recheck reads the folders again without reading the song.
    QVERIFY(QFile::rename(path(QStringLiteral("host/gear/effects/FSM Infector.dll")),
                          path(QStringLiteral("host/gear/generators/FSM Infector.dll"))));
    QVERIFY(QFile::remove(file));
    button("Command7")->click();
    QCOMPARE(texts(list("List4")), QStringList({QStringLiteral("(eff dir)Twice.dll")}));
    QVERIFY(m_dialogs.messages.isEmpty());
}

void TestForm1::checkCallsDetailedViewOnlyWhenShowing()
{
    m_form = makeForm();
    CountingDetailedView view(*m_form);
    m_form->setDetailedViewLink(&view);
    button("Command7")->click();
    QCOMPARE(view.calls, 0);
    m_form->setDetailedFormShowing(true);
    QVERIFY(m_form->getDetailedFormShowing());
    button("Command7")->click();
    QCOMPARE(view.calls, 1);
    QCOMPARE(view.statusAtCall, QStringLiteral("Completed checking missing machines.  No missing machines."));
}

void TestForm1::gearListingsKeepOneSelection()
{
    QVERIFY(QDir(path(QStringLiteral("host"))).mkpath(QStringLiteral("gear/generators")));
    QVERIFY(QDir(path(QStringLiteral("host"))).mkpath(QStringLiteral("gear/effects")));
    touch(path(QStringLiteral("host/gear/generators/A.dll")));
    touch(path(QStringLiteral("host/gear/generators/B.dll")));
    touch(path(QStringLiteral("host/gear/effects/C.dll")));
    m_form = makeForm();
    m_form->show();
    QListWidget* generators = list("File1");
    QListWidget* effects = list("File2");
    QCOMPARE(generators->count(), 2);
    QCOMPARE(effects->count(), 1);

    QTest::mouseClick(generators->viewport(), Qt::LeftButton, {},
                      generators->visualItemRect(generators->item(1)).center());
    QCOMPARE(generators->selectedItems().size(), 1);
    QTest::mouseClick(effects->viewport(), Qt::LeftButton, {}, effects->visualItemRect(effects->item(0)).center());
    QCOMPARE(effects->selectedItems().size(), 1);
    QVERIFY(generators->selectedItems().isEmpty());
    QTest::mouseClick(generators->viewport(), Qt::LeftButton, {},
                      generators->visualItemRect(generators->item(0)).center());
    QCOMPARE(generators->selectedItems().first()->text(), QStringLiteral("A.dll"));
    QVERIFY(effects->selectedItems().isEmpty());
}

void TestForm1::aboutBoxOpensOnce()
{
    m_form = makeForm();
    m_form->show();
    button("Aboutbox")->click();
    QPointer<AboutBox> first = m_form->aboutBox();
    QVERIFY(first);
    QCOMPARE(first->windowTitle(), QStringLiteral("About Gearwarden 1.0"));
    QCOMPARE(first->findChild<QLabel*>(QStringLiteral("lblVersion"))->text(), QStringLiteral("Version 1.0"));
    QCOMPARE(first->findChild<QLabel*>(QStringLiteral("lblTitle"))->text(), QStringLiteral("Gearwarden 1.0"));
    button("Aboutbox")->click();
    QCOMPARE(m_form->aboutBox(), first.data());
    int boxes = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        boxes += qobject_cast<AboutBox*>(widget) != nullptr ? 1 : 0;
    }
    QCOMPARE(boxes, 1);

    // OK unloads the box; the next click makes a new one.
    first->findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
    QTRY_VERIFY(first.isNull());
    button("Aboutbox")->click();
    QVERIFY(m_form->aboutBox());
    m_form->close();
    QTRY_VERIFY(!m_form->aboutBox());
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
