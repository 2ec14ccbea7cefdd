#include "TestHost.h"
#include "CatalogueWriter.h"
#include "RecordingDialogs.h"
#include "SongWriter.h"
#include "TestHttpServer.h"

#include "gui/MainWindow.h"
#include "MemoryHostSettings.h"
#include "gui/CatalogueWindow.h"

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace {

struct Machine
{
    QByteArray file;
    QByteArray name;
    QByteArray date = "2003-01-02";
    QByteArray description = "A machine";
};

} // namespace

Q_DECLARE_METATYPE(Machine)

namespace {

QByteArray catalogue(const QList<Machine>& machines)
{
    std::vector<gw::test::CatalogueMachine> rows;
    for (const Machine& m : machines) {
        rows.push_back({m.file.toStdString(), m.date.toStdString(), "Dev " + m.name.toStdString(), m.name.toStdString(),
                        m.description.toStdString(), "Generator", "1.0", "Stable"});
    }
    return QByteArray::fromStdString(gw::test::catalogueText(rows));
}

QStringList fields(const Machine& m)
{
    return {m.file, m.date, "Dev " + m.name, m.name, m.description, "Generator", "1.0", "Stable"};
}

QStringList texts(const QListWidget* list)
{
    QStringList result;
    for (int row = 0; row < list->count(); ++row) {
        result << list->item(row)->text();
    }
    return result;
}

QStringList column(const QTreeWidget* table, int c)
{
    QStringList result;
    for (int row = 0; row < table->topLevelItemCount(); ++row) {
        result << table->topLevelItem(row)->text(c);
    }
    return result;
}

int selectedRow(const QTreeWidget* table)
{
    const QList<QTreeWidgetItem*> selected = table->selectedItems();
    return selected.size() == 1 ? table->indexOfTopLevelItem(selected.first()) : -selected.size() - 1;
}

QStringList statusTexts(const QSignalSpy& spy)
{
    QStringList result;
    for (const QList<QVariant>& arguments : spy) {
        result << arguments.first().toString();
    }
    return result;
}

const QString kSyncing = QStringLiteral("Syncing main view with detailed view");
const QString kSynced = QStringLiteral("Completed syncing main view with detailed view");

} // namespace

class TestDetailView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openingSelectsTheFirstGenerator();
    void opening250Rows();
    void openingWithEmptyListsShowsMissingEffects();
    void clickInOtherListReloadsOnce();
    void clicksWithTheViewClosedOrLowered();
    void tableClickSelectsTheMainEntry();
    void headerClicksSort();
    void viewAllGenerators_data();
    void viewAllGenerators();
    void closingTheViewWhileItsDownloadWaits();
    void missingCatalogueKeepsTheOldTable();

private:
    void makeForm(const QList<Machine>& generators, const QList<Machine>& effects = {},
                  const QString& archive = QStringLiteral("http://127.0.0.1:1/"));
    QString path(const QString& name) const { return m_dir->path() + QLatin1Char('/') + name; }
    QListWidget* list(const char* name) const { return m_form->findChild<QListWidget*>(QLatin1String(name)); }
    CatalogueWindow* openView();
    QTreeWidget* table() const { return m_form->detailedView()->table(); }
    QString label(int i) const
    {
        return m_form->detailedView()->findChild<QLabel*>(QStringLiteral("Label%1").arg(i))->text();
    }
    QStringList labels() const;
    void clickView(const char* name);
    void clickRow(int row);
    void clickHeader(int section);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::shared_ptr<gw::MemoryHostSettings> m_settings;
    RecordingDialogs m_dialogs;
    std::unique_ptr<MainWindow> m_form;
};

void TestDetailView::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_settings = hostSettingsAt(path(QStringLiteral("host")));
    QVERIFY(m_settings);
    m_dialogs.reset();
}

void TestDetailView::cleanup()
{
    // The view is a window of its own; it must go before the main window it refers to.
    if (m_form) {
        delete m_form->detailedView();
    }
    m_form.reset();
    m_dir.reset();
}

void TestDetailView::makeForm(const QList<Machine>& generators, const QList<Machine>& effects, const QString& archive)
{
    for (const auto& [name, machines] :
         {std::pair{"allgenerators.txt", generators}, std::pair{"alleffects.txt", effects}}) {
        if (!machines.isEmpty()) {
            QFile file(path(QLatin1String(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(catalogue(machines));
        }
    }
    MainWindow::Setup setup;
    setup.programFolder = m_dir->path();
    setup.archiveBaseUrl = archive;
    setup.dialogs = &m_dialogs;
    setup.hostSettings = m_settings;
    m_form = std::make_unique<MainWindow>(setup);
}

CatalogueWindow* TestDetailView::openView()
{
    m_form->findChild<QPushButton*>(QStringLiteral("Command21"))->click();
    CatalogueWindow* view = m_form->detailedView();
    if (view && !QTest::qWaitForWindowExposed(view)) {
        return nullptr;
    }
    return view;
}

QStringList TestDetailView::labels() const
{
    QStringList result;
    for (int i = 0; i < 8; ++i) {
        result << label(i);
    }
    return result;
}

void TestDetailView::clickView(const char* name)
{
    m_form->detailedView()->findChild<QPushButton*>(QLatin1String(name))->click();
}

void TestDetailView::clickRow(int row)
{
    QTreeWidgetItem* item = table()->topLevelItem(row);
    table()->scrollToItem(item);
    QTest::mouseClick(table()->viewport(), Qt::LeftButton, {}, table()->visualItemRect(item).center());
}

void TestDetailView::clickHeader(int section)
{
    QHeaderView* header = table()->header();
    const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

void TestDetailView::openingSelectsTheFirstGenerator()
{
    const QList<Machine> generators{
        {"Zeta.zip", "Zeta"}, {"alpha.zip", "Alpha", "2001-05-06", "First"}, {"Mid.zip", "Mid"}};
    makeForm(generators, {{"Fx.zip", "Fx"}});
    CatalogueWindow* view = openView();
    QVERIFY(view);
    QVERIFY(m_form->getDetailedFormShowing());
    QCOMPARE(view->windowTitle(), QStringLiteral("Gearwarden 1.0 - Detailed File View"));
    QCOMPARE(view->getFileToView(), 1);
    QTreeWidgetItem* heading = table()->headerItem();
    QCOMPARE(table()->columnCount(), 8);
    QCOMPARE((QStringList{heading->text(0), heading->text(1), heading->text(2), heading->text(3), heading->text(4),
                          heading->text(5), heading->text(6), heading->text(7)}),
             (QStringList{"Filename", "Date", "Developer", "Name", "Description", "Type", "Version", "Status"}));

    QCOMPARE(list("List2")->selectedItems().value(0)->text(), QStringLiteral("alpha.zip"));
    QCOMPARE(column(table(), 0), (QStringList{"Zeta.zip", "alpha.zip", "Mid.zip"}));
    QCOMPARE(selectedRow(table()), 1);
    QCOMPARE(labels(), fields(generators.at(1)));
    QCOMPARE(label(8), QStringLiteral("Missing Generators"));
    QCOMPARE(label(9), QStringLiteral("All Generators available from Plugvault"));
}

void TestDetailView::opening250Rows()
{
    QList<Machine> generators;
    for (int i = 249; i >= 0; --i) {
        generators.append({"M" + QByteArray::number(i).rightJustified(3, '0') + ".zip", "Machine"});
    }
    makeForm(generators);
    QVERIFY(openView());
    QCOMPARE(list("List2")->count(), 250);
    QCOMPARE(table()->topLevelItemCount(), 250);
    QCOMPARE(selectedRow(table()), 249);
    QCOMPARE(label(0), QStringLiteral("M000.zip"));
}

void TestDetailView::openingWithEmptyListsShowsMissingEffects()
{
    makeForm({});
    gw::test::SongWriter song;
    song.addSimple("Echo", "Acme Delay", 2);
    const QString songPath = QDir::toNativeSeparators(path(QStringLiteral("song.bmx")));
    QVERIFY(song.writeTo(songPath.toStdString()));
    m_dialogs.setNextOpenResult(songPath);
    m_form->findChild<QPushButton*>(QStringLiteral("Command5"))->click();
    m_form->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QCOMPARE(texts(list("List7")), QStringList{"Acme Delay.dll"});

    CatalogueWindow* view = openView();
    QVERIFY(view);
    QCOMPARE(view->getFileToView(), 0);
    QCOMPARE(table()->topLevelItemCount(), 0);
    QCOMPARE(label(8), QStringLiteral("Missing Effects"));
    QCOMPARE(label(9), QStringLiteral("All Effects available from Plugvault"));
    auto* missing = view->findChild<QListWidget*>(QStringLiteral("List1"));
    QCOMPARE(texts(missing), QStringList{"Acme Delay.dll"});

    // The view's Download is the main window's, and the missing list is copied afresh after it.
    missing->clear();
    missing->addItem(QStringLiteral("stale"));
    clickView("Command3");
    QCOMPARE(m_dialogs.messageTexts(),
             QStringList{"No file selected from 'Download Generators' or 'Download Effects' machine lists"});
    QCOMPARE(m_dialogs.messages.first().title, QStringLiteral("Gearwarden 1.0"));
    QCOMPARE(texts(missing), QStringList{"Acme Delay.dll"});
}

void TestDetailView::clickInOtherListReloadsOnce()
{
    const QList<Machine> effects{{"Reverb.zip", "Reverb"}, {"Chorus.zip", "Chorus"}};
    makeForm({{"Kick.zip", "Kick"}}, effects);
    QVERIFY(openView());
    QSignalSpy statuses(m_form.get(), &MainWindow::statusChanged);
    list("List6")->setCurrentRow(1);
    QCOMPARE(statusTexts(statuses), (QStringList{"Selected Reverb.zip", "Loading detailed effects form",
                                                 "Complete loaded detailed effects form", kSyncing, kSynced}));
    QCOMPARE(m_form->detailedView()->getFileToView(), 2);
    QCOMPARE(column(table(), 0), (QStringList{"Reverb.zip", "Chorus.zip"}));
    QCOMPARE(selectedRow(table()), 0);
    QCOMPARE(labels(), fields(effects.at(0)));
    QCOMPARE(label(8), QStringLiteral("Missing Effects"));
    QVERIFY(list("List2")->selectedItems().isEmpty());

    statuses.clear();
    list("List6")->setCurrentRow(0);
    QCOMPARE(statusTexts(statuses), (QStringList{"Selected Chorus.zip", kSyncing, kSynced}));
    QCOMPARE(selectedRow(table()), 1);
    QCOMPARE(label(0), QStringLiteral("Chorus.zip"));
    QCOMPARE(list("List6")->selectedItems().size(), 1);
    QVERIFY(list("List2")->selectedItems().isEmpty());
}

void TestDetailView::clicksWithTheViewClosedOrLowered()
{
    makeForm({{"Kick.zip", "Kick"}, {"Bass.zip", "Bass"}}, {{"Echo.zip", "Echo"}});
    list("List6")->setCurrentRow(0);
    QCOMPARE(m_form->statusText(), QStringLiteral("Selected Echo.zip"));
    QVERIFY(!m_form->detailedView());

    QPointer<CatalogueWindow> view = openView();
    QVERIFY(view);
    clickView("Command4");
    QVERIFY(m_form->getDetailedFormShowing());
    QVERIFY(view);

    view->close();
    QVERIFY(!m_form->getDetailedFormShowing());
    QTRY_VERIFY(!view);
    list("List2")->setCurrentRow(1);
    QCOMPARE(m_form->statusText(), QStringLiteral("Selected Kick.zip"));
    QVERIFY(!m_form->detailedView());
}

void TestDetailView::tableClickSelectsTheMainEntry()
{
    makeForm(
        {{"Dup.zip", "Dup", "2001-01-01", "first"}, {"Other.zip", "Other"}, {"Dup.zip", "Dup", "2002-02-02", "second"}},
        {{"Echo.zip", "Echo"}});
    QVERIFY(openView());
    QCOMPARE(texts(list("List2")), (QStringList{"Dup.zip", "Dup.zip", "Other.zip"}));

    clickRow(1);
    QCOMPARE(list("List2")->selectedItems(), QList<QListWidgetItem*>{list("List2")->item(2)});
    QCOMPARE(label(0), QStringLiteral("Other.zip"));

    {
        const QSignalBlocker blocker(list("List6"));
        list("List6")->setCurrentRow(0);
    }
    clickRow(0);
    QCOMPARE(list("List2")->selectedItems(), QList<QListWidgetItem*>{list("List2")->item(1)});
    QCOMPARE(list("List2")->currentRow(), 1);
    QVERIFY(list("List6")->selectedItems().isEmpty());
    QCOMPARE(label(0), QStringLiteral("Dup.zip"));
}

void TestDetailView::headerClicksSort()
{
    makeForm({{"c.zip", "beta", "2003-03-03"}, {"a.zip", "Zulu", "2001-01-01"}, {"b.zip", "alpha", "2002-02-02"}});
    QVERIFY(openView());
    clickHeader(3);
    QCOMPARE(column(table(), 0), (QStringList{"b.zip", "c.zip", "a.zip"}));
    clickHeader(3);
    QCOMPARE(column(table(), 0), (QStringList{"a.zip", "c.zip", "b.zip"}));
    clickHeader(1);
    QCOMPARE(column(table(), 0), (QStringList{"a.zip", "b.zip", "c.zip"}));
    QCOMPARE(column(table(), 1), (QStringList{"2001-01-01", "2002-02-02", "2003-03-03"}));
}

void TestDetailView::viewAllGenerators_data()
{
    QTest::addColumn<QList<Machine>>("generators");
    QTest::addColumn<int>("selected"); // -1: no row
    QTest::newRow("one row") << QList<Machine>{{"Only.zip", "Only"}} << -1;
    QTest::newRow("two rows") << QList<Machine>{{"b.zip", "B"}, {"a.zip", "A"}} << 0;
}

void TestDetailView::viewAllGenerators()
{
    QFETCH(QList<Machine>, generators);
    QFETCH(int, selected);
    makeForm(generators);
    QVERIFY(openView());
    clickView("Command1");
    QCOMPARE(table()->topLevelItemCount(), generators.size());
    if (selected < 0) {
        QVERIFY(table()->selectedItems().isEmpty());
    } else {
        QCOMPARE(selectedRow(table()), selected);
        QCOMPARE(labels(), fields(generators.at(selected)));
        QCOMPARE(list("List2")->selectedItems().value(0)->text(), QString::fromLatin1(generators.at(selected).file));
    }
}

void TestDetailView::closingTheViewWhileItsDownloadWaits()
{
    TestHttpServer server;
    QVERIFY(server.listen());
    TestHttpServer::Reply stall;
    stall.behaviour = TestHttpServer::Behaviour::Stall;
    server.setReply("/machines/Kick.zip", stall);
    makeForm({{"Kick.zip", "Kick"}}, {}, server.baseUrl());
    QPointer<CatalogueWindow> view = openView();
    QVERIFY(view);
    // Closed first, the view is gone by the time the wait ends.
    connect(
        &server, &TestHttpServer::requestReceived, this,
        [&] {
            QTimer::singleShot(0, this, [&] { view->close(); });
            QTimer::singleShot(200, this,
                               [&] { m_form->findChild<QPushButton*>(QStringLiteral("Command20"))->click(); });
        },
        Qt::SingleShotConnection);
    clickView("Command3");
    QVERIFY(!view);
    QVERIFY(!m_form->getDetailedFormShowing());
    QCOMPARE(m_form->statusText(), QStringLiteral("Connected?  Did not download Kick.zip"));
}

void TestDetailView::missingCatalogueKeepsTheOldTable()
{
    // No alleffects.txt: "View All Effects" switches the headings and the missing list, but the table stays.
    makeForm({{"One.zip", "One"}, {"Two.zip", "Two"}}, {});
    QVERIFY(openView());
    QCOMPARE(column(table(), 0), (QStringList{"One.zip", "Two.zip"}));
    clickView("Command2");
    QCOMPARE(m_form->detailedView()->getFileToView(), 2);
    QCOMPARE(column(table(), 0), (QStringList{"One.zip", "Two.zip"}));
    QCOMPARE(label(8), QStringLiteral("Missing Effects"));
    QCOMPARE(label(9), QStringLiteral("All Effects available from Plugvault"));
}

QTEST_MAIN(TestDetailView)
#include "tst_detailview.moc"
