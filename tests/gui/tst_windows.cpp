// The two windows as a user meets them: real widgets, real clicks, bound to one model.
#include "CatalogueWriter.h"
#include "SongWriter.h"
#include "TestApp.h"
#include "TestHttpServer.h"
#include "ZipWriter.h"

#include "gui/AboutBox.h"
#include "gui/CatalogueWindow.h"
#include "gui/MainWindow.h"
#include "gui/QtUserDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QNetworkProxy>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

namespace {

QStringList texts(const QListWidget* list)
{
    QStringList result;
    for (int row = 0; row < list->count(); ++row) {
        result << list->item(row)->text();
    }
    return result;
}

QStringList column(const QTreeWidget* table, int index)
{
    QStringList result;
    for (int row = 0; row < table->topLevelItemCount(); ++row) {
        result << table->topLevelItem(row)->text(index);
    }
    return result;
}

QByteArray catalogueOf(const std::vector<gw::test::CatalogueMachine>& rows)
{
    return QByteArray::fromStdString(gw::test::catalogueText(rows));
}

} // namespace

class TestWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }
    void init();
    void cleanup();
    void controlsSitInTheirFixedPlaces();
    void scanByClicks();
    void openDialogShowsSongsInAnyLetterCase();
    void bothWindowsFollowTheOneSelectedMachine();
    void headerClicksSortTheTable();
    void filterAndFetchAllMissing();
    void closingTheCatalogueWindowWhileItsDownloadWaits();
    void aboutBoxOpensOnce();

private:
    void open(const QString& archiveUrl = QStringLiteral("http://127.0.0.1:1/"));
    QPushButton* button(const char* name) { return m_window->findChild<QPushButton*>(QLatin1String(name)); }
    QListWidget* list(const char* name) { return m_window->findChild<QListWidget*>(QLatin1String(name)); }
    QTreeWidget* table() { return m_window->catalogueWindow()->findChild<QTreeWidget*>(QStringLiteral("catalogueTable")); }
    void clickRow(int row);
    void clickItem(QListWidget* list, int row);
    QString field(const char* name)
    {
        return m_window->catalogueWindow()->findChild<QLabel*>(QLatin1String(name))->text();
    }

    std::unique_ptr<TestApp> m_app;
    std::unique_ptr<MainWindow> m_window;
};

void TestWindows::init() { m_app = std::make_unique<TestApp>(); }

void TestWindows::cleanup()
{
    m_window.reset();
    m_app.reset();
}

void TestWindows::open(const QString& archiveUrl)
{
    m_app->start(archiveUrl);
    m_window = std::make_unique<MainWindow>(*m_app->model);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestWindows::clickRow(int row)
{
    QTreeWidgetItem* item = table()->topLevelItem(row);
    table()->scrollToItem(item);
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, table()->visualItemRect(item).center());
}

void TestWindows::clickItem(QListWidget* list, int row)
{
    list->scrollToItem(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

void TestWindows::controlsSitInTheirFixedPlaces()
{
    open();
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Gearwarden 1.0"));
    QCOMPARE(m_window->size(), QSize(632, 426));
    QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
    const struct
    {
        const char* name;
        QRect geometry;
    } lists[] = {
        {"songList", {0, 16, 553, 64}},         {"generatorFiles", {184, 104, 185, 109}},
        {"effectFiles", {368, 104, 185, 109}},  {"generatorsUsed", {0, 232, 185, 69}},
        {"missingGenerators", {184, 232, 185, 69}}, {"generatorCatalogue", {368, 232, 185, 69}},
        {"effectsUsed", {0, 320, 185, 85}},     {"missingEffects", {184, 320, 185, 85}},
        {"effectCatalogue", {368, 320, 185, 85}},
    };
    for (const auto& expected : lists) {
        QVERIFY2(list(expected.name), expected.name);
        QCOMPARE(list(expected.name)->geometry(), expected.geometry);
    }
    QCOMPARE(m_window->findChild<QPlainTextEdit*>(QStringLiteral("scanLog"))->geometry(), QRect(0, 104, 185, 109));
    const char* const actions[] = {"openSongsButton", "scanButton", "refreshGearButton", "moveToEffectsButton",
                                   "moveToGeneratorsButton", "downloadButton", "cancelDownloadButton",
                                   "catalogueViewButton", "fetchCataloguesButton"};
    const char* const captions[] = {"Open bmx or bmw files", "Scan bmx or bmw", "Refresh Buzz Gear Dirs",
                                    "Gen>>>>Eff", "Gen<<<<Eff", "Download", "Cancel download",
                                    "Detailed machine view", "Download Machine Lists"};
    for (int i = 0; i < 9; ++i) {
        QCOMPARE(button(actions[i])->text(), QString::fromLatin1(captions[i]));
        QCOMPARE(button(actions[i])->geometry(), QRect(560, 16 + 43 * i, 68, 40));
    }
    auto* status = m_window->findChild<QLabel*>(QStringLiteral("statusLine"));
    QCOMPARE(status->geometry(), QRect(0, 408, 632, 18));
    QVERIFY(status->font().bold());
    // Start-up ends with the catalogue summary.
    QCOMPARE(status->text(), QStringLiteral("Generator list contains  0 machines.  Effects list contains  0 machines."));
}

void TestWindows::scanByClicks()
{
    gw::test::SongWriter one;
    one.addSimple("Kick", "Acme Kick", 1).addSimple("Echo", "Acme Delay", 2);
    gw::test::SongWriter two;
    two.addSimple("Pad", "Lunar Pad", 1);
    QVERIFY(one.writeTo(m_app->path(QStringLiteral("one.bmx")).toStdString()));
    QVERIFY(two.writeTo(m_app->path(QStringLiteral("two.bmx")).toStdString()));
    QVERIFY(m_app->write(QStringLiteral("host/gear/generators/Lunar Pad.dll"), "x"));
    QVERIFY(m_app->write(QStringLiteral("host/gear/effects/A.dll"), "x"));
    open();
    m_app->dialogs.setNextOpenResult(m_app->path(QString()) + QChar(0) + QStringLiteral("two.bmx") + QChar(0) +
                                     QStringLiteral("one.bmx"));
    button("openSongsButton")->click();
    QListWidget* songs = list("songList");
    QCOMPARE(texts(songs), (QStringList{m_app->path(QStringLiteral("one.bmx")), m_app->path(QStringLiteral("two.bmx"))}));
    songs->item(1)->setCheckState(Qt::Checked);
    button("scanButton")->click();

    // Only the ticked song was read; the window shows the model's lists, log and status.
    QCOMPARE(texts(list("generatorsUsed")), QStringList{"Lunar Pad"});
    QCOMPARE(songs->currentRow(), 1);
    QVERIFY(m_window->findChild<QPlainTextEdit*>(QStringLiteral("scanLog"))
                ->toPlainText()
                .startsWith(QStringLiteral("Scanning ") + m_app->path(QStringLiteral("two.bmx")) + QLatin1Char('\n')));
    QCOMPARE(m_window->findChild<QLabel*>(QStringLiteral("statusLine"))->text(),
             QStringLiteral("Completed checking missing machines.  No missing machines."));
    button("selectAllButton")->click();
    button("scanButton")->click();
    QCOMPARE(texts(list("missingGenerators")), QStringList{"Acme Kick.dll"});
    QCOMPARE(texts(list("missingEffects")), QStringList{"Acme Delay.dll"});

    // One gear DLL selected across both listings; the move acts on it.
    clickItem(list("effectFiles"), 0);
    clickItem(list("generatorFiles"), 0);
    QVERIFY(list("effectFiles")->selectedItems().isEmpty());
    m_app->dialogs.reset();
    button("moveToEffectsButton")->click();
    QCOMPARE(m_app->dialogs.messageTexts(), QStringList{"Moving Lunar Pad.dll from Generators to Effects directory."});
    QCOMPARE(texts(list("effectFiles")), (QStringList{"A.dll", "Lunar Pad.dll"}));
}

void TestWindows::openDialogShowsSongsInAnyLetterCase()
{
    // The real dialog, as the program opens it: Windows shows "Demo.Bmx" under "*.bmx", so must we.
    for (const char* name : {"Demo.Bmx", "loud.BMW", "plain.bmx", "notes.txt"}) {
        QVERIFY(m_app->write(QLatin1String(name), ""));
    }
    UserDialogs::OpenRequest request;
    request.filter = QStringLiteral("bmx and bmw files (*.bmx;*.bmw)|*.bmx;*.bmw|bmx only (*.bmx)|*.bmx");
    request.initialFolder = m_app->dir.path();
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
            if (QFileInfo(m_app->dir.filePath(name)).isFile()) {
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
    QVERIFY(dialogs.openFiles(request).isEmpty());
    shown.sort();
    QCOMPARE(shown, (QStringList{"Demo.Bmx", "loud.BMW", "plain.bmx"}));
    QCOMPARE(filterText, QStringLiteral("bmx and bmw files (*.bmx;*.bmw)"));
}

void TestWindows::bothWindowsFollowTheOneSelectedMachine()
{
    TestHttpServer server;
    QVERIFY(server.listen());
    QVERIFY(m_app->write(QStringLiteral("prog/allgenerators.txt"),
                         catalogueOf({{"Zeta.zip", "2003-01-02", "Dev Z", "Zeta", "Last", "Generator", "1.0", "Stable"},
                                      {"alpha.zip", "2001-05-06", "Dev A", "Alpha", "First", "Generator", "2.0", "Beta"}})));
    QVERIFY(m_app->write(QStringLiteral("prog/alleffects.txt"),
                         catalogueOf({{"Echo.zip", "2002-02-02", "Dev E", "Echo", "Wet", "Effect", "1.1", "Stable"},
                                      {"Chorus.zip", "2002-03-03", "Dev C", "Chorus", "Wide", "Effect", "1.2", "Stable"}})));
    open(server.baseUrl());

    // Opened with nothing selected, the view shows the generators on the first of the main list.
    button("catalogueViewButton")->click();
    CatalogueWindow* view = m_window->catalogueWindow();
    QVERIFY(view);
    QCOMPARE(view->windowTitle(), QStringLiteral("Gearwarden 1.0 - Detailed File View"));
    QCOMPARE(column(table(), 0), (QStringList{"Zeta.zip", "alpha.zip"}));
    QCOMPARE(table()->currentItem()->text(0), QStringLiteral("alpha.zip"));
    QCOMPARE(field("fieldDescription"), QStringLiteral("First"));
    QCOMPARE(field("catalogueCaption"), QStringLiteral("All Generators available from Plugvault"));
    QCOMPARE(list("generatorCatalogue")->currentItem()->text(), QStringLiteral("alpha.zip"));

    // A click in the table leads the main window; a click in the other main list turns the table to effects.
    clickRow(0);
    QCOMPARE(list("generatorCatalogue")->selectedItems().value(0)->text(), QStringLiteral("Zeta.zip"));
    clickItem(list("effectCatalogue"), 1);
    QCOMPARE(field("catalogueCaption"), QStringLiteral("All Effects available from Plugvault"));
    QCOMPARE(field("missingLabel"), QStringLiteral("Missing Effects"));
    QCOMPARE(table()->currentItem()->text(0), QStringLiteral("Echo.zip"));
    QVERIFY(list("generatorCatalogue")->selectedItems().isEmpty());

    // "Refresh" drops the selection: the table shows none, so clicking the same row again selects it, and
    // "Download" acts on what the table shows.
    button("refreshCataloguesButton")->click();
    QVERIFY(table()->selectedItems().isEmpty());
    const int echoRow = column(table(), 0).indexOf(QStringLiteral("Echo.zip"));
    clickRow(echoRow);
    QCOMPARE(list("effectCatalogue")->selectedItems().value(0)->text(), QStringLiteral("Echo.zip"));
    TestHttpServer::Reply reply;
    reply.body = [] {
        QTemporaryDir scratch;
        const QString file = scratch.filePath(QStringLiteral("e.zip"));
        return gw::test::ZipWriter().add("Echo.dll", "echo").writeTo(file) ? TestFiles::contents(file) : QByteArray();
    }();
    server.setReply("/machines/Echo.zip", reply);
    view->findChild<QPushButton*>(QStringLiteral("downloadButton"))->click();
    QCOMPARE(server.requestedPaths(), QList<QByteArray>{"/machines/Echo.zip"});
    QCOMPARE(m_app->read(QStringLiteral("host/gear/effects/Echo.dll")), QByteArray("echo"));
}

void TestWindows::headerClicksSortTheTable()
{
    QVERIFY(m_app->write(QStringLiteral("prog/allgenerators.txt"),
                         catalogueOf({{"c.zip", "2003-03-03", "D", "beta", "", "", "", ""},
                                      {"a.zip", "2001-01-01", "D", "Zulu", "", "", "", ""},
                                      {"b.zip", "2002-02-02", "D", "\xc9lan", "", "", "", ""}})));
    open();
    button("catalogueViewButton")->click();
    QHeaderView* header = table()->header();
    const auto clickHeader = [&](int section) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                                 header->height() / 2));
    };
    clickHeader(3); // by Name, as a Windows list sorts it: the accented letter with its base letter (Windows-1252 page)
    QCOMPARE(column(table(), 0), (QStringList{"c.zip", "b.zip", "a.zip"}));
    clickHeader(3);
    QCOMPARE(column(table(), 0), (QStringList{"a.zip", "b.zip", "c.zip"}));
    clickHeader(1);
    QCOMPARE(column(table(), 1), (QStringList{"2001-01-01", "2002-02-02", "2003-03-03"}));
    // The sort stays on when the table is filled anew.
    m_window->catalogueWindow()->findChild<QPushButton*>(QStringLiteral("viewGeneratorsButton"))->click();
    QCOMPARE(column(table(), 1), (QStringList{"2001-01-01", "2002-02-02", "2003-03-03"}));
}

void TestWindows::filterAndFetchAllMissing()
{
    TestHttpServer server;
    QVERIFY(server.listen());
    std::vector<gw::test::CatalogueMachine> rows;
    for (int i = 0; i < 5000; ++i) {
        const std::string name = "Machine " + std::to_string(i);
        rows.push_back({"M" + std::to_string(i) + ".zip", "2005-01-01", "Dev", name, "A machine", "Generator", "1", ""});
    }
    rows.push_back({"Acme_Kick.zip", "2005-01-01", "Acme", "Acme Kick", "Kick drum", "Generator", "1", ""});
    QVERIFY(m_app->write(QStringLiteral("prog/allgenerators.txt"), catalogueOf(rows)));
    gw::test::SongWriter song;
    song.addSimple("Kick", "Acme Kick", 1);
    QVERIFY(song.writeTo(m_app->path(QStringLiteral("song.bmx")).toStdString()));
    TestHttpServer::Reply reply;
    QTemporaryDir scratch;
    QVERIFY(gw::test::ZipWriter().add("Acme Kick.dll", "kick").writeTo(scratch.filePath(QStringLiteral("k.zip"))));
    reply.body = TestFiles::contents(scratch.filePath(QStringLiteral("k.zip")));
    server.setReply("/machines/Acme_Kick.zip", reply);
    open(server.baseUrl());
    m_app->model->scanSongs({m_app->path(QStringLiteral("song.bmx"))});
    button("catalogueViewButton")->click();
    CatalogueWindow* view = m_window->catalogueWindow();

    // The filter keeps the rows that hold its text in any column, as the user types, keeping the sort.
    view->sortByColumn(3);
    const QString firstBefore = table()->topLevelItem(0)->text(0);
    QTest::keyClicks(view->findChild<QLineEdit*>(QStringLiteral("catalogueFilter")), QStringLiteral("KICK d"));
    int shown = 0;
    for (int row = 0; row < table()->topLevelItemCount(); ++row) {
        shown += table()->topLevelItem(row)->isHidden() ? 0 : 1;
    }
    QCOMPARE(shown, 1);
    QCOMPARE(table()->topLevelItemCount(), 5001);
    QCOMPARE(table()->topLevelItem(0)->text(0), firstBefore);

    // A click on the missing machine selects its row; "Fetch all missing" installs it and checks again.
    auto* missing = view->findChild<QListWidget*>(QStringLiteral("missingList"));
    QCOMPARE(texts(missing), QStringList{"Acme Kick.dll"});
    clickItem(missing, 0);
    QCOMPARE(table()->currentItem()->text(0), QStringLiteral("Acme_Kick.zip"));
    QCOMPARE(list("generatorCatalogue")->currentItem()->text(), QStringLiteral("Acme_Kick.zip"));
    view->findChild<QPushButton*>(QStringLiteral("fetchAllButton"))->click();
    QCOMPARE(m_app->read(QStringLiteral("host/gear/generators/Acme Kick.dll")), QByteArray("kick"));
    QCOMPARE(missing->count(), 0);
    QCOMPARE(m_app->model->status(), QStringLiteral("Completed checking missing machines.  No missing machines."));
}

void TestWindows::closingTheCatalogueWindowWhileItsDownloadWaits()
{
    TestHttpServer server;
    QVERIFY(server.listen());
    TestHttpServer::Reply stall;
    stall.behaviour = TestHttpServer::Behaviour::Stall;
    server.setReply("/machines/Kick.zip", stall);
    QVERIFY(m_app->write(QStringLiteral("prog/allgenerators.txt"),
                         catalogueOf({{"Kick.zip", "", "", "Kick", "", "", "", ""}})));
    open(server.baseUrl());
    button("catalogueViewButton")->click();
    QPointer<CatalogueWindow> view = m_window->catalogueWindow();
    connect(&server, &TestHttpServer::requestReceived, this, [&] {
        QTimer::singleShot(0, this, [&] { view->close(); });
        QTimer::singleShot(200, this, [&] { button("cancelDownloadButton")->click(); });
    }, Qt::SingleShotConnection);
    view->findChild<QPushButton*>(QStringLiteral("downloadButton"))->click();
    QVERIFY(!view);
    QVERIFY(!m_app->model->catalogueViewOpen());
    QCOMPARE(m_app->model->status(), QStringLiteral("Connected?  Did not download Kick.zip"));
}

void TestWindows::aboutBoxOpensOnce()
{
    open();
    button("aboutButton")->click();
    QPointer<AboutBox> first = m_window->aboutBox();
    QVERIFY(first);
    QCOMPARE(first->windowTitle(), QStringLiteral("About Gearwarden 1.0"));
    QCOMPARE(first->findChild<QLabel*>(QStringLiteral("aboutVersion"))->text(), QStringLiteral("Version 1.0"));
    button("aboutButton")->click();
    QCOMPARE(m_window->aboutBox(), first.data());
    // OK unloads the box; closing the main window closes it too.
    first->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
    QTRY_VERIFY(first.isNull());
    button("aboutButton")->click();
    QVERIFY(m_window->aboutBox());
    m_window->close();
    QTRY_VERIFY(!m_window->aboutBox());
}

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
