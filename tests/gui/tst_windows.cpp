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
#include <QMenu>
#include <QMimeData>
#include <QNetworkProxy>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
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
    void cleanup() { m_window.reset(); } // before the model it shows

    void controlsInFixedPlacesScanByClicksAndAbout()
    {
        QVERIFY(m_app->write("one.bmx", "")); // not a song: scanning it would show
        QVERIFY(gw::test::SongWriter()
                    .addSimple("K", "Acme Kick", 1)
                    .addSimple("E", "Acme Delay", 2)
                    .writeTo(m_app->path("two.bmx").toStdString()));
        QVERIFY(m_app->write("host/gear/generators/Lunar Pad.dll", "x"));
        QVERIFY(m_app->write("host/gear/effects/A.dll", "x"));
        open();
        // Every control in its fixed place, and start-up ends with the catalogue summary.
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Gearwarden 1.0"));
        QCOMPARE(m_window->size(), QSize(632, 426));
        QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
        QCOMPARE(list("songList")->geometry(), QRect(0, 16, 553, 64));
        const char* const boxes[] = {"scanLog",        "generatorFiles",    "effectFiles",
                                     "generatorsUsed", "missingGenerators", "generatorCatalogue",
                                     "effectsUsed",    "missingEffects",    "effectCatalogue"};
        const int tops[] = {104, 232, 320};
        const int heights[] = {109, 69, 85};
        for (int i = 0; i < 9; ++i) {
            QVERIFY2(find<QWidget>(boxes[i]), boxes[i]);
            QCOMPARE(find<QWidget>(boxes[i])->geometry(), QRect(184 * (i % 3), tops[i / 3], 185, heights[i / 3]));
        }
        const char* const captions[] = {"Open bmx or bmw files",
                                        "Scan bmx or bmw",
                                        "Refresh Buzz Gear Dirs",
                                        "Gen>>>>Eff",
                                        "Gen<<<<Eff",
                                        "Download",
                                        "Cancel download",
                                        "Detailed machine view",
                                        "Download Machine Lists"};
        for (int i = 0; i < 9; ++i) {
            const auto* action = qobject_cast<QPushButton*>(m_window->childAt(560, 16 + 43 * i));
            QVERIFY2(action && action->text() == QLatin1String(captions[i]), captions[i]);
            QCOMPARE(action->geometry(), QRect(560, 16 + 43 * i, 68, 40));
        }
        auto* status = find<QLabel>("statusLine");
        QCOMPARE(status->geometry(), QRect(0, 408, 632, 18));
        QVERIFY(status->font().bold());
        QCOMPARE(status->text(), u"Generator list contains  0 machines.  Effects list contains  0 machines."_s);

        // Songs from the dialog, in order; only the ticked one is scanned, and the window shows the model's lists.
        m_app->dialogs.openResults << m_app->path(QString()) + QChar(0) + "two.bmx" + QChar(0) + "one.bmx";
        button("openSongsButton")->click();
        QCOMPARE(column(list("songList")), (QStringList{m_app->path("one.bmx"), m_app->path("two.bmx")}));
        list("songList")->item(1)->setCheckState(Qt::Checked);
        button("scanButton")->click();
        QCOMPARE(list("songList")->currentRow(), 1);
        QVERIFY(find<QPlainTextEdit>("scanLog")->toPlainText().startsWith("Scanning " + m_app->path("two.bmx") + '\n'));
        QCOMPARE(column(list("generatorsUsed")), QStringList{"Acme Kick"});
        QCOMPARE(column(list("missingGenerators")), QStringList{"Acme Kick.dll"});
        QCOMPARE(column(list("missingEffects")), QStringList{"Acme Delay.dll"});

        // One gear DLL selected across both listings; the move acts on it, and the status line follows.
        clickRow(list("effectFiles"), 0);
        clickRow(list("generatorFiles"), 0);
        QVERIFY(list("effectFiles")->selectedItems().isEmpty());
        button("moveToEffectsButton")->click();
        QCOMPARE(column(list("effectFiles")), (QStringList{"A.dll", "Lunar Pad.dll"}));
        QCOMPARE(status->text(), u"Moved Lunar Pad.dll from Generators to Effects directory."_s);

        // A right click on the songs offers to save the ticked one with its machines, where the save dialog says
        // (".zip" added when the name lacks it).
        m_app->dialogs.texts << m_app->path("shared");
        QWidget* songs = list("songList")->viewport();
        const auto songMenu = [&](int action) {
            QTimer::singleShot(0, this, [action] {
                if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                    menu->actions().value(action)->trigger();
                    menu->close();
                }
            });
            QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(5, 5), songs->mapToGlobal(QPoint(5, 5)));
            QApplication::sendEvent(songs, &rightClick);
        };
        songMenu(0);
        QCOMPARE(m_app->dialogs.textQuestions, QStringList{"Save songs with their machines"});
        QCOMPARE(status->text(), "Saved 1 songs and 0 machines to " + m_app->path("shared.zip") +
                                     "; 2 machines are missing here and not in it");
        // The same menu installs a bundle received, asking before it replaces what is here (its song, beside it).
        m_app->dialogs.openResults << m_app->path("shared.zip");
        m_app->dialogs.answers << UserDialogs::Answer::Yes;
        songMenu(1);
        QVERIFY(m_app->dialogs.messages.last().startsWith("1 files of the bundle are here already:\n" +
                                                          m_app->path("two.bmx")));
        QCOMPARE(status->text(), "Installed 1 files from " + m_app->path("shared.zip"));
        // Songs dropped on the list join it.
        QVERIFY(m_app->write("three.bmw", ""));
        QMimeData dropped;
        dropped.setUrls({QUrl::fromLocalFile(m_app->path("three.bmw")), QUrl::fromLocalFile(m_app->path("x.txt"))});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, {});
        QApplication::sendEvent(songs, &enter); // Qt delivers a drop to the widget the drag entered
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dropped, Qt::LeftButton, {});
        QApplication::sendEvent(songs, &drop);
        QCOMPARE(column(list("songList")).size(), 3);
        QVERIFY(drop.isAccepted());

        // One About box at a time; closing the main window closes, and so unloads, it too.
        button("aboutButton")->click();
        QPointer<AboutBox> about = m_window->aboutBox();
        QCOMPARE(about->windowTitle(), QStringLiteral("About Gearwarden 1.0"));
        QCOMPARE(about->findChild<QLabel*>(QStringLiteral("aboutVersion"))->text(), QStringLiteral("Version 1.0"));
        button("aboutButton")->click();
        QCOMPARE(m_window->aboutBox(), about.data());
        // The host folder is chosen there: one without a gear folder is refused, one with it wins over the settings,
        // and the settings' own can be had back.
        QVERIFY(m_app->write("other/gear/generators/Kick.dll", "k"));
        m_app->dialogs.texts << m_app->path("prog") << m_app->path("other");
        for (int i = 0; i < 2; ++i) {
            about->findChild<QPushButton*>(QStringLiteral("hostFolderButton"))->click();
        }
        QVERIFY(m_app->dialogs.messages.last().contains("holds no gear folder"));
        QCOMPARE(m_app->model->hostFolder(), m_app->path("other/"));
        QTRY_COMPARE(column(list("generatorFiles")), QStringList{"Kick.dll"});
        about->findChild<QPushButton*>(QStringLiteral("hostFromRegistryButton"))->click();
        QCOMPARE(m_app->model->hostFolder(), m_app->path("host/"));
        m_window->close();
        QTRY_VERIFY(about.isNull());
    }

    void openDialogShowsSongsInAnyLetterCase()
    {
        // The real dialog, as the program opens it: Windows shows "Demo.Bmx" under "*.bmx", so must we.
        for (const char* name : {"songs/Demo.Bmx", "songs/loud.BMW", "songs/plain.bmx", "songs/notes.txt"}) {
            QVERIFY(m_app->write(QLatin1String(name), ""));
        }
        UserDialogs::OpenRequest request;
        request.filter = QStringLiteral("bmx and bmw files (*.bmx;*.bmw)|*.bmx;*.bmw|bmx only (*.bmx)|*.bmx");
        request.initialFolder = m_app->path("songs");
        QStringList shown;
        QString filterText;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            const auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            filterText = types->currentText();
            // Qt's own dialog ignores letter case; a native one does not, so the chosen filter is matched as given.
            const QString patterns = dialog->nameFilters().value(types->currentIndex()).section(u'(', -1).chopped(1);
            shown = dialog->directory().entryList(patterns.split(u' '), QDir::Files | QDir::CaseSensitive, QDir::Name);
            dialog->reject();
        });
        QVERIFY(QtUserDialogs().openFiles(request).isEmpty());
        QCOMPARE(shown, (QStringList{"Demo.Bmx", "loud.BMW", "plain.bmx"}));
        QCOMPARE(filterText, QStringLiteral("bmx and bmw files (*.bmx;*.bmw)"));
    }

    void catalogueViewFollowsTheSelectionSortsFiltersAndFetches()
    {
        TestHttpServer server;
        QVERIFY(server.listen());
        QVERIFY(m_app->write("prog/allgenerators.txt",
                             catalogueOf({{"Acme_Kick.zip", "2005-01-01", "Acme", "Acme Kick", "Kick drum", "", "", ""},
                                          {"c.zip", "2001-01-01", "D", "beta", "Bass", "", "", ""},
                                          {"a.zip", "2003-03-03", "D", "Zulu", "Pad", "", "", ""},
                                          {"b.zip", "2002-02-02", "D", "\xc9lan", "Lead", "", "", ""}})));
        QVERIFY(m_app->write("prog/alleffects.txt",
                             catalogueOf({{"Echo.zip", "2002-02-02", "E", "Echo", "Wet", "Effect", "1.1", ""},
                                          {"Chorus.zip", "2002-03-03", "C", "Chorus", "Wide", "Effect", "1.2", ""}})));
        QVERIFY(gw::test::SongWriter().addSimple("K", "Acme Kick", 1).writeTo(m_app->path("song.bmx").toStdString()));
        server.setReply("/machines/Acme_Kick.zip", {.body = ZipWriter().add("Acme Kick.dll", "kick").bytes()});
        open(server.baseUrl());
        m_app->model->scanSongs({m_app->path("song.bmx")});

        // Opened with nothing selected, the view shows the generators on the first of the main list.
        button("catalogueViewButton")->click();
        QPointer<CatalogueWindow> view = m_window->catalogueWindow();
        QVERIFY(view);
        QCOMPARE(view->windowTitle(), QStringLiteral("Gearwarden 1.0 - Detailed File View"));
        QCOMPARE(table()->currentItem()->text(0), QStringLiteral("a.zip"));
        QCOMPARE(field("fieldDescription"), QStringLiteral("Pad"));
        QCOMPARE(field("catalogueCaption"), QStringLiteral("All Generators available from Plugvault"));
        auto* missing = find<QListWidget>("missingList", true);
        QCOMPARE(column(missing), QStringList{"Acme Kick.dll"});

        // A heading click sorts by its column (Name as Windows sorts it, Élan among the E); a second one reverses.
        clickHeader(3);
        QCOMPARE(column(table()), (QStringList{"Acme_Kick.zip", "c.zip", "b.zip", "a.zip"}));
        clickHeader(3);
        QCOMPARE(column(table()), (QStringList{"a.zip", "b.zip", "c.zip", "Acme_Kick.zip"}));
        clickHeader(1);

        // Clicks on the missing machine or on a row lead the main window; one in its effects list turns the table.
        clickRow(missing, 0);
        QCOMPARE(table()->currentItem()->text(0), QStringLiteral("Acme_Kick.zip"));
        // The view shows the status line too; too long for it, the text is cut in the middle and whole in the tooltip.
        auto* viewStatus = find<QLabel>("viewStatusLine", true);
        QCOMPARE(viewStatus->text(), m_app->model->status());
        QVERIFY(viewStatus->toolTip().isEmpty());
        viewStatus->resize(40, viewStatus->height());
        QCOMPARE(viewStatus->toolTip(), m_app->model->status());
        clickRow(table(), 0);
        QCOMPARE(list("generatorCatalogue")->selectedItems().value(0)->text(), QStringLiteral("c.zip"));
        clickRow(list("effectCatalogue"), 1);
        QCOMPARE(field("catalogueCaption"), QStringLiteral("All Effects available from Plugvault"));
        QCOMPARE(missing->count(), 0);
        QCOMPARE(table()->currentItem()->text(0), QStringLiteral("Echo.zip"));
        QVERIFY(list("generatorCatalogue")->selectedItems().isEmpty());
        // "Refresh" drops the selection: the table shows none, so clicking the same row again selects it.
        button("refreshCataloguesButton")->click();
        QVERIFY(table()->selectedItems().isEmpty());
        clickRow(table(), column(table()).indexOf("Echo.zip"));
        QCOMPARE(list("effectCatalogue")->selectedItems().value(0)->text(), QStringLiteral("Echo.zip"));

        // The sort stays on when the table is filled anew; the filter hides the rows without its text in any column.
        find("viewGeneratorsButton", true)->click();
        QCOMPARE(column(table()), (QStringList{"c.zip", "b.zip", "a.zip", "Acme_Kick.zip"}));
        clickRow(table(), 0);
        QTest::keyClicks(find<QLineEdit>("catalogueFilter", true), QStringLiteral("KICK d"));
        for (int row = 0; row < 4; ++row) {
            QCOMPARE(table()->topLevelItem(row)->isHidden(), row != 3);
        }
        // It hid the selected machine, so none is selected in either window, and "Download" says so.
        QVERIFY(list("generatorCatalogue")->selectedItems().isEmpty() && table()->selectedItems().isEmpty());
        find("downloadButton", true)->click();
        QCOMPARE(m_app->dialogs.messages.last().left(16), QStringLiteral("No file selected"));

        // "Fetch all missing" installs the missing machine and checks again; the installed machines' table follows.
        auto* tabs = find<QTabWidget>("viewTabs", true);
        auto* installed = find<QTreeWidget>("installedTable", true);
        tabs->setCurrentIndex(1);
        QCOMPARE(installed->topLevelItemCount(), 0);
        // While it runs the main window's title and the view say how far it is, and a bar counts the bytes; at the
        // end a table of what it did stays on screen.
        QStringList shown;
        connect(m_app->model.get(), &AppModel::transferProgress, this, [&] {
            shown << m_window->windowTitle() + '|' + field("fetchAllStep") + '|' +
                         QString::number(find<QProgressBar>("transferProgress", true)->maximum());
        });
        // "Look in a folder..." asks for the folder through the dialogs; cancelled, it fetches nothing.
        find("fetchFromFolderButton", true)->click();
        QVERIFY(m_app->dialogs.textQuestions.endsWith("Look in a folder for the missing machines") &&
                !m_app->model->transferInProgress());
        find("fetchAllButton", true)->click();
        QTRY_VERIFY(m_window->fetchResults());
        QCOMPARE(shown.value(0), "Gearwarden 1.0 - fetching 1 of 1, Acme Kick.dll|Fetching missing machines: 1 of 1, "
                                 "Acme Kick.dll|" +
                                     QString::number(server.replyFor("/machines/Acme_Kick.zip").body.size()));
        auto* results = m_window->fetchResults()->findChild<QTableWidget*>("fetchResultsTable");
        QStringList row;
        for (int column = 0; column < results->columnCount(); ++column) {
            row << results->item(0, column)->text();
        }
        QCOMPARE(row, (QStringList{"Acme Kick.dll", "generator", "Acme_Kick.zip", "installed"}));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Gearwarden 1.0"));
        QVERIFY(find<QProgressBar>("transferProgress", true)->isHidden());
        QCOMPARE(missing->count(), 0);
        QCOMPARE(m_app->read("host/gear/generators/Acme Kick.dll"), QByteArray("kick"));
        QTRY_COMPARE(installed->topLevelItemCount(), 1); // a file that is no DLL at all, and flagged so
        QCOMPARE(installed->topLevelItem(0)->text(1) + '|' + installed->topLevelItem(0)->text(6),
                 "Acme Kick.dll|not a Windows DLL");
        tabs->setCurrentIndex(0);

        // The view may be closed while its download waits; Cancel in the main window then ends the wait.
        server.setReply("/machines/Chorus.zip", {.behaviour = TestHttpServer::Behaviour::Stall});
        clickRow(list("effectCatalogue"), 0);
        QVERIFY(find<QLineEdit>("catalogueFilter", true)->text().isEmpty()); // it would hide the machine chosen
        connect(&server, &TestHttpServer::requestReceived, view, &QWidget::close);
        connect(view, &QObject::destroyed, button("cancelDownloadButton"), &QPushButton::click);
        find("downloadButton", true)->click();
        QTRY_COMPARE(m_app->model->status(), QStringLiteral("Connected?  Did not download Chorus.zip"));
        QVERIFY(!m_app->model->catalogueViewOpen());
        QCOMPARE(server.expired(), 0); // Cancel ended the wait, not the server
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
    void clickHeader(int section)
    {
        QHeaderView* header = table()->header(); // a click a few pixels into the heading
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, {header->sectionViewportPosition(section) + 8, 8});
    }

    std::unique_ptr<TestApp> m_app;
    std::unique_ptr<MainWindow> m_window;
};

QTEST_MAIN(TestWindows)
#include "tst_windows.moc"
