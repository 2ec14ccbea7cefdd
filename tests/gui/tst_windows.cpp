// The two windows as a user meets them: real widgets, real clicks, bound to one model.
#include "SongWriter.h"
#include "TestApp.h"
#include "TestHttpServer.h"

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

using namespace Qt::StringLiterals;
using gw::test::ZipWriter;

namespace {

/** The texts of a list's or a table's column, row by row as shown. */
QStringList column(const QAbstractItemView* view, int index = 0)
{
    QStringList texts;
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        texts << view->model()->index(row, index).data().toString();
    }
    return texts;
}

/** A click on a row, scrolled into sight first, as the user clicks it. */
void clickRow(QAbstractItemView* view, int row)
{
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
}

} // namespace

class TestWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }
    void init() { m_app = std::make_unique<TestApp>(); }
    void cleanup()
    {
        m_window.reset();
        m_app.reset();
    }
    void controlsInFixedPlacesScanByClicksAndAbout()
    {
        gw::test::SongWriter one;
        one.addSimple("K", "Acme Kick", 1).addSimple("E", "Acme Delay", 2);
        QVERIFY(one.writeTo(m_app->path("one.bmx").toStdString()));
        QVERIFY(gw::test::SongWriter().addSimple("P", "Lunar Pad", 1).writeTo(m_app->path("two.bmx").toStdString()));
        QVERIFY(m_app->write("host/gear/generators/Lunar Pad.dll", "x"));
        QVERIFY(m_app->write("host/gear/effects/A.dll", "x"));
        open();
        // Every control in its fixed place.
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Gearwarden 1.0"));
        QCOMPARE(m_window->size(), QSize(632, 426));
        QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
        const std::pair<const char*, QRect> lists[] = {
            {"songList", {0, 16, 553, 64}},           {"generatorFiles", {184, 104, 185, 109}},
            {"effectFiles", {368, 104, 185, 109}},    {"generatorsUsed", {0, 232, 185, 69}},
            {"missingGenerators", {184, 232, 185, 69}}, {"generatorCatalogue", {368, 232, 185, 69}},
            {"effectsUsed", {0, 320, 185, 85}},       {"missingEffects", {184, 320, 185, 85}},
            {"effectCatalogue", {368, 320, 185, 85}},
        };
        for (const auto& [name, geometry] : lists) {
            QVERIFY2(list(name), name);
            QCOMPARE(list(name)->geometry(), geometry);
        }
        QCOMPARE(find<QPlainTextEdit>("scanLog")->geometry(), QRect(0, 104, 185, 109));
        const std::pair<const char*, const char*> buttons[] = {
            {"openSongsButton", "Open bmx or bmw files"}, {"scanButton", "Scan bmx or bmw"},
            {"refreshGearButton", "Refresh Buzz Gear Dirs"}, {"moveToEffectsButton", "Gen>>>>Eff"},
            {"moveToGeneratorsButton", "Gen<<<<Eff"}, {"downloadButton", "Download"},
            {"cancelDownloadButton", "Cancel download"}, {"catalogueViewButton", "Detailed machine view"},
            {"fetchCataloguesButton", "Download Machine Lists"}};
        for (int i = 0; i < 9; ++i) {
            QCOMPARE(button(buttons[i].first)->text(), QString::fromLatin1(buttons[i].second));
            QCOMPARE(button(buttons[i].first)->geometry(), QRect(560, 16 + 43 * i, 68, 40));
        }
        auto* status = find<QLabel>("statusLine");
        QCOMPARE(status->geometry(), QRect(0, 408, 632, 18));
        QVERIFY(status->font().bold());
        // Start-up ends with the catalogue summary.
        QCOMPARE(status->text(), u"Generator list contains  0 machines.  Effects list contains  0 machines."_s);

        // Songs from the dialog, scanned by clicks.
        m_app->dialogs.openResults << m_app->path(QString()) + QChar(0) + "two.bmx" + QChar(0) + "one.bmx";
        button("openSongsButton")->click();
        QListWidget* songs = list("songList");
        QCOMPARE(column(songs), (QStringList{m_app->path("one.bmx"), m_app->path("two.bmx")}));
        songs->item(1)->setCheckState(Qt::Checked);
        button("scanButton")->click();

        // Only the ticked song was read; the window shows the model's lists, log and status.
        QCOMPARE(column(list("generatorsUsed")), QStringList{"Lunar Pad"});
        QCOMPARE(songs->currentRow(), 1);
        QVERIFY(find<QPlainTextEdit>("scanLog")->toPlainText().startsWith("Scanning " + m_app->path("two.bmx") + '\n'));
        QCOMPARE(find<QLabel>("statusLine")->text(), u"Completed checking missing machines.  No missing machines."_s);
        button("selectAllButton")->click();
        button("scanButton")->click();
        QCOMPARE(column(list("missingGenerators")), QStringList{"Acme Kick.dll"});
        QCOMPARE(column(list("missingEffects")), QStringList{"Acme Delay.dll"});

        // One gear DLL selected across both listings; the move acts on it.
        clickRow(list("effectFiles"), 0);
        clickRow(list("generatorFiles"), 0);
        QVERIFY(list("effectFiles")->selectedItems().isEmpty());
        m_app->dialogs.messages.clear();
        button("moveToEffectsButton")->click();
        QCOMPARE(m_app->dialogs.messages, QStringList{"Moving Lunar Pad.dll from Generators to Effects directory."});
        QCOMPARE(column(list("effectFiles")), (QStringList{"A.dll", "Lunar Pad.dll"}));

        // One About box at a time; OK unloads it, and closing the main window closes it too.
        button("aboutButton")->click();
        QPointer<AboutBox> first = m_window->aboutBox();
        QVERIFY(first);
        QCOMPARE(first->windowTitle(), QStringLiteral("About Gearwarden 1.0"));
        QCOMPARE(first->findChild<QLabel*>(QStringLiteral("aboutVersion"))->text(), QStringLiteral("Version 1.0"));
        button("aboutButton")->click();
        QCOMPARE(m_window->aboutBox(), first.data());
        first->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        QTRY_VERIFY(first.isNull());
        button("aboutButton")->click();
        QVERIFY(m_window->aboutBox());
        m_window->close();
        QTRY_VERIFY(!m_window->aboutBox());
    }

    void openDialogShowsSongsInAnyLetterCase()
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
        int polls = 0;
        QTimer poll;
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
            if (shown.size() == 3 || ++polls > 250) { // the folder is read in the background; give up after 5 s
                dialog->reject();
            }
        });
        poll.start(20);
        QVERIFY(QtUserDialogs().openFiles(request).isEmpty());
        shown.sort();
        QCOMPARE(shown, (QStringList{"Demo.Bmx", "loud.BMW", "plain.bmx"}));
        QCOMPARE(filterText, QStringLiteral("bmx and bmw files (*.bmx;*.bmw)"));
    }

    void bothWindowsFollowTheOneSelectedMachine()
    {
        TestHttpServer server;
        QVERIFY(server.listen());
        QVERIFY(m_app->write("prog/allgenerators.txt",
                             catalogueOf({{"Zeta.zip", "2003-01-02", "Z", "Zeta", "Last", "", "1.0", ""},
                                          {"alpha.zip", "2001-05-06", "A", "Alpha", "First", "", "2.0", ""}})));
        QVERIFY(m_app->write("prog/alleffects.txt",
                             catalogueOf({{"Echo.zip", "2002-02-02", "E", "Echo", "Wet", "Effect", "1.1", ""},
                                          {"Chorus.zip", "2002-03-03", "C", "Chorus", "Wide", "Effect", "1.2", ""}})));
        open(server.baseUrl());

        // Opened with nothing selected, the view shows the generators on the first of the main list.
        button("catalogueViewButton")->click();
        QPointer<CatalogueWindow> view = m_window->catalogueWindow();
        QVERIFY(view);
        QCOMPARE(view->windowTitle(), QStringLiteral("Gearwarden 1.0 - Detailed File View"));
        QCOMPARE(column(table()), (QStringList{"Zeta.zip", "alpha.zip"}));
        QCOMPARE(table()->currentItem()->text(0), QStringLiteral("alpha.zip"));
        QCOMPARE(field("fieldDescription"), QStringLiteral("First"));
        QCOMPARE(field("catalogueCaption"), QStringLiteral("All Generators available from Plugvault"));
        QCOMPARE(list("generatorCatalogue")->currentItem()->text(), QStringLiteral("alpha.zip"));

        // A click in the table leads the main window; a click in the other main list turns the table to effects.
        clickRow(table(), 0);
        QCOMPARE(list("generatorCatalogue")->selectedItems().value(0)->text(), QStringLiteral("Zeta.zip"));
        clickRow(list("effectCatalogue"), 1);
        QCOMPARE(field("catalogueCaption"), QStringLiteral("All Effects available from Plugvault"));
        QCOMPARE(field("missingLabel"), QStringLiteral("Missing Effects"));
        QCOMPARE(table()->currentItem()->text(0), QStringLiteral("Echo.zip"));
        QVERIFY(list("generatorCatalogue")->selectedItems().isEmpty());

        // "Refresh" drops the selection: the table shows none, so clicking the same row again selects it, and
        // "Download" acts on what the table shows.
        button("refreshCataloguesButton")->click();
        QVERIFY(table()->selectedItems().isEmpty());
        clickRow(table(), column(table()).indexOf("Echo.zip"));
        QCOMPARE(list("effectCatalogue")->selectedItems().value(0)->text(), QStringLiteral("Echo.zip"));
        server.setReply("/machines/Echo.zip", {.body = ZipWriter().add("Echo.dll", "echo").bytes()});
        find("downloadButton", true)->click();
        QCOMPARE(server.requestedPaths(), QList<QByteArray>{"/machines/Echo.zip"});
        QCOMPARE(m_app->read("host/gear/effects/Echo.dll"), QByteArray("echo"));

        // The view may be closed while its download waits; Cancel in the main window then ends the wait.
        server.setReply("/machines/Chorus.zip", {.behaviour = TestHttpServer::Behaviour::Stall});
        clickRow(table(), column(table()).indexOf("Chorus.zip"));
        connect(&server, &TestHttpServer::requestReceived, this, [&] {
            QTimer::singleShot(0, this, [&] { view->close(); });
            QTimer::singleShot(200, this, [&] { button("cancelDownloadButton")->click(); });
        }, Qt::SingleShotConnection);
        find("downloadButton", true)->click();
        QVERIFY(!view);
        QVERIFY(!m_app->model->catalogueViewOpen());
        QCOMPARE(m_app->model->status(), QStringLiteral("Connected?  Did not download Chorus.zip"));
        QCOMPARE(server.expired(), 0);
    }

    void headerClicksSortFilterAndFetchAllMissing()
    {
        TestHttpServer server;
        QVERIFY(server.listen());
        std::vector<gw::test::CatalogueMachine> rows;
        for (int i = 0; i < 5000; ++i) {
            const std::string name = "Machine " + std::to_string(i);
            rows.push_back({"M" + std::to_string(i) + ".zip", "2005-01-01", "Dev", name, "A machine", "", "", ""});
        }
        rows.push_back({"Acme_Kick.zip", "2005-01-01", "Acme", "Acme Kick", "Kick drum", "Generator", "1", ""});
        rows.push_back({"c.zip", "2003-03-03", "D", "beta", "", "", "", ""});
        rows.push_back({"a.zip", "2001-01-01", "D", "Zulu", "", "", "", ""});
        rows.push_back({"b.zip", "2002-02-02", "D", "\xc9lan", "", "", "", ""});
        QVERIFY(m_app->write("prog/allgenerators.txt", catalogueOf(rows)));
        QVERIFY(gw::test::SongWriter().addSimple("K", "Acme Kick", 1).writeTo(m_app->path("song.bmx").toStdString()));
        server.setReply("/machines/Acme_Kick.zip", {.body = ZipWriter().add("Acme Kick.dll", "kick").bytes()});
        open(server.baseUrl());
        m_app->model->scanSongs({m_app->path("song.bmx")});
        button("catalogueViewButton")->click();

        // A heading click sorts by its column, a second one reverses; by Name as a Windows list sorts it, the accented
        // letter with its base letter (Windows-1252 page).
        QHeaderView* header = table()->header();
        const auto clickHeader = [&](int section) {
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                                     header->height() / 2));
        };
        clickHeader(3);
        QCOMPARE(column(table()).mid(0, 3), (QStringList{"Acme_Kick.zip", "c.zip", "b.zip"}));
        QCOMPARE(column(table()).last(), QStringLiteral("a.zip"));
        clickHeader(3);
        QCOMPARE(column(table()).mid(5001), (QStringList{"b.zip", "c.zip", "Acme_Kick.zip"}));
        clickHeader(1);
        QCOMPARE(column(table()).mid(0, 3), (QStringList{"a.zip", "b.zip", "c.zip"}));
        // The sort stays on when the table is filled anew.
        find("viewGeneratorsButton", true)->click();
        QCOMPARE(column(table(), 1).mid(0, 4), (QStringList{"2001-01-01", "2002-02-02", "2003-03-03", "2005-01-01"}));

        // The filter keeps the rows that hold its text in any column, as the user types, keeping the sort.
        clickHeader(3);
        const QStringList sorted = column(table());
        QTest::keyClicks(find<QLineEdit>("catalogueFilter", true), QStringLiteral("KICK d"));
        QStringList shown;
        for (int row = 0; row < table()->topLevelItemCount(); ++row) {
            if (!table()->topLevelItem(row)->isHidden()) {
                shown << table()->topLevelItem(row)->text(0);
            }
        }
        QCOMPARE(shown, QStringList{"Acme_Kick.zip"});
        QCOMPARE(column(table()), sorted);

        // A click on the missing machine selects its row; "Fetch all missing" installs it and checks again.
        auto* missing = find<QListWidget>("missingList", true);
        QCOMPARE(column(missing), QStringList{"Acme Kick.dll"});
        clickRow(missing, 0);
        QCOMPARE(table()->currentItem()->text(0), QStringLiteral("Acme_Kick.zip"));
        QCOMPARE(list("generatorCatalogue")->currentItem()->text(), QStringLiteral("Acme_Kick.zip"));
        find("fetchAllButton", true)->click();
        QCOMPARE(m_app->read("host/gear/generators/Acme Kick.dll"), QByteArray("kick"));
        QCOMPARE(missing->count(), 0);
        QCOMPARE(m_app->model->status(), QStringLiteral("Completed checking missing machines.  No missing machines."));
    }

private:
    void open(const QString& archiveUrl = QStringLiteral("http://127.0.0.1:1/"))
    {
        m_app->start(archiveUrl);
        m_window = std::make_unique<MainWindow>(*m_app->model);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    template <class T = QPushButton> T* find(const char* name, bool inView = false)
    {
        const QWidget* in = inView ? static_cast<QWidget*>(m_window->catalogueWindow()) : m_window.get();
        return in->findChild<T*>(QLatin1String(name));
    }
    QPushButton* button(const char* name) { return find(name); }
    QListWidget* list(const char* name) { return find<QListWidget>(name); }
    QTreeWidget* table() { return find<QTreeWidget>("catalogueTable", true); }
    QString field(const char* name) { return find<QLabel>(name, true)->text(); }

    std::unique_ptr<TestApp> m_app;
    std::unique_ptr<MainWindow> m_window;
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
