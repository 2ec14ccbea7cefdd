#include "TestHost.h"
#include "RecordingDialogs.h"
#include "TestHttpServer.h"

#include "gui/MainWindow.h"
#include "MemoryHostSettings.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QNetworkProxy>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

using Reply = TestHttpServer::Reply;

QStringList texts(const QListWidget* list)
{
    QStringList result;
    for (int row = 0; row < list->count(); ++row) {
        result << list->item(row)->text();
    }
    return result;
}

QByteArray entryLine(const QByteArray& name)
{
    return "<td><a href=\"machines/download.php?get=" + name + "&newid=7\">" + name + "</a></td>";
}

/** A catalogue page as the archive serves it, LF line ends; the lines are returned so tests can join them. */
QList<QByteArray> pageLines(const QByteArray& kind, int entries)
{
    QList<QByteArray> lines{"<html><head><title>All " + kind + "</title></head>", "<body><table>", ""};
    for (int i = 0; i < entries; ++i) {
        lines << entryLine(kind + " Machine " + QByteArray::number(i) + ".dll");
    }
    // A line already ending in CR and bytes outside ASCII, which must reach the file unchanged.
    lines << "<!-- \xE9t\xE9 -->\r" << "</table></body></html>";
    return lines;
}

QByteArray joined(const QList<QByteArray>& lines, const QByteArray& end) { return lines.join(end) + end; }

} // namespace

class TestForm1Catalogue : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startUpReadsBothLists();
    void refreshReadsWithItsTexts();
    void refreshWithoutGeneratorsKeepsThem();
    void downloadFetchesSavesAndConverts();
    void firstPageWithoutContentType_data();
    void firstPageWithoutContentType();
    void secondPageWithoutContentTypeConvertsNothing();
    void emptySecondPageIsDeleted();
    void secondClickWhileFetching();

private:
    void makeForm();
    QString path(const QString& name) const { return m_dir->path() + QLatin1Char('/') + name; }
    void write(const QString& name, const QByteArray& content);
    QByteArray read(const QString& name);
    void click(const char* name);
    QStringList logLines() const;
    /** Answers both pages; the generators page is exactly 2500 bytes. */
    void serveBothPages();
    /** After any way out of a download, another one starts and fetches both pages again. */
    void downloadAgainWorks();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::shared_ptr<gw::MemoryHostSettings> m_settings;
    RecordingDialogs m_dialogs;
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<MainWindow> m_form;
    QList<QByteArray> m_generatorLines;
    QByteArray m_generatorsPage;
    QByteArray m_effectsPage;
};

void TestForm1Catalogue::initTestCase()
{
    // Only the local test server may be reached, whatever proxy the environment names.
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
}

void TestForm1Catalogue::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_settings = hostSettingsAt(path(QStringLiteral("host")));
    QVERIFY(m_settings);
    m_dialogs.reset();
    m_server = std::make_unique<TestHttpServer>();
    QVERIFY(m_server->listen());
}

void TestForm1Catalogue::cleanup()
{
    m_form.reset();
    m_server.reset();
    m_dir.reset();
}

void TestForm1Catalogue::makeForm()
{
    MainWindow::Setup setup;
    setup.programFolder = m_dir->path();
    setup.archiveBaseUrl = m_server->baseUrl();
    setup.dialogs = &m_dialogs;
    setup.hostSettings = m_settings;
    m_form = std::make_unique<MainWindow>(setup);
}

void TestForm1Catalogue::write(const QString& name, const QByteArray& content)
{
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

QByteArray TestForm1Catalogue::read(const QString& name)
{
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void TestForm1Catalogue::click(const char* name)
{
    auto* button = m_form->findChild<QPushButton*>(QLatin1String(name));
    QVERIFY2(button, name);
    button->click();
}

QStringList TestForm1Catalogue::logLines() const
{
    QString log = m_form->logText();
    if (!log.endsWith(QStringLiteral("\r\n"))) {
        return {QStringLiteral("<log does not end in CRLF>"), log};
    }
    log.chop(2);
    return log.split(QStringLiteral("\r\n"));
}

void TestForm1Catalogue::serveBothPages()
{
    m_generatorLines = pageLines("Generators", 20);
    m_generatorsPage = joined(m_generatorLines, "\n");
    // Padded to 2500 bytes so the chunks are 1024, 1024 and 452.
    QVERIFY(m_generatorsPage.size() < 2500);
    m_generatorLines.last() += QByteArray(2500 - int(m_generatorsPage.size()), ' ');
    m_generatorsPage = joined(m_generatorLines, "\n");
    QCOMPARE(m_generatorsPage.size(), 2500);
    m_effectsPage = joined(pageLines("Effects", 3), "\n");

    Reply generators;
    generators.body = m_generatorsPage;
    m_server->setReply("/allgenerators.php", generators);
    Reply effects;
    effects.body = m_effectsPage;
    m_server->setReply("/alleffects.php", effects);
}

void TestForm1Catalogue::downloadAgainWorks()
{
    serveBothPages();
    const qsizetype before = m_server->requests().size();
    const qsizetype messages = m_dialogs.messages.size();
    click("DownloadMachineLists");
    QCOMPARE(m_server->requestedPaths().mid(before),
             (QList<QByteArray>{"/allgenerators.php", "/alleffects.php"}));
    QCOMPARE(m_dialogs.messages.size(), messages);
    QCOMPARE(logLines().last(),
             QStringLiteral("Completed converting allgenerators.htm and alleffects.htm from UNIX to DOS"));
}

void TestForm1Catalogue::startUpReadsBothLists()
{
    write(QStringLiteral("allgenerators.txt"),
          joined({"<html>", entryLine("zeta.dll"), entryLine("Alpha.dll"), entryLine("beta.dll"), "</html>"},
                 "\r\n"));
    write(QStringLiteral("alleffects.txt"), joined({entryLine("Reverb.dll"), entryLine("delay.dll")}, "\r\n"));
    makeForm();
    QCOMPARE(texts(m_form->findChild<QListWidget*>(QStringLiteral("List2"))),
             (QStringList{"Alpha.dll", "beta.dll", "zeta.dll"}));
    QCOMPARE(texts(m_form->findChild<QListWidget*>(QStringLiteral("List6"))),
             (QStringList{"delay.dll", "Reverb.dll"}));
    QCOMPARE(m_form->statusText(),
             QStringLiteral("Generator list contains  3 machines.  Effects list contains  2 machines."));
}

void TestForm1Catalogue::refreshReadsWithItsTexts()
{
    makeForm();
    // A lone LF does not end a line; duplicates are all listed.
    write(QStringLiteral("allgenerators.txt"), "head\r\n" + entryLine("Kick.dll") + "\r\n" + entryLine("Bass.dll") +
                                                   "\n" + entryLine("Kick.dll") + "\r\n" + entryLine("Kick.dll") +
                                                   "\r\n\r\nfoot");
    write(QStringLiteral("alleffects.txt"), entryLine("Echo.dll") + "\r\n");
    QSignalSpy statuses(m_form.get(), &MainWindow::statusChanged);
    click("Command4");

    QStringList seen;
    for (const QList<QVariant>& arguments : statuses) {
        seen << arguments.first().toString();
    }
    QCOMPARE(seen, (QStringList{
                       "Reading Plugvault generators list",
                       "Completed reading allgenerators.txt  list.  3 machines.  6 lines.",
                       "Reading Plugvault effects list",
                       "Completed reading alleffects.txt list.  1 machines.  1 lines.",
                       "Generator list contains  3 machines.  Effects list contains  1 machines.",
                   }));
    QCOMPARE(texts(m_form->findChild<QListWidget*>(QStringLiteral("List2"))),
             (QStringList{"Bass.dll", "Kick.dll", "Kick.dll"}));
}

void TestForm1Catalogue::refreshWithoutGeneratorsKeepsThem()
{
    write(QStringLiteral("allgenerators.txt"), joined({entryLine("Old.dll"), entryLine("Older.dll")}, "\r\n"));
    makeForm();
    QVERIFY(QFile::remove(path(QStringLiteral("allgenerators.txt"))));
    QList<QByteArray> lines;
    for (int i = 0; i < 40; ++i) {
        lines << (i % 13 == 5 ? entryLine("Fx" + QByteArray::number(i) + ".dll") : "<p>line</p>");
    }
    write(QStringLiteral("alleffects.txt"), joined(lines, "\r\n"));
    QSignalSpy statuses(m_form.get(), &MainWindow::statusChanged);
    click("Command4");

    QStringList seen;
    for (const QList<QVariant>& arguments : statuses) {
        seen << arguments.first().toString();
    }
    QCOMPARE(seen, (QStringList{
                       "Reading Plugvault effects list",
                       "Completed reading alleffects.txt list.  3 machines.  40 lines.",
                       "Generator list contains  2 machines.  Effects list contains  3 machines.",
                   }));
    QCOMPARE(texts(m_form->findChild<QListWidget*>(QStringLiteral("List2"))), (QStringList{"Old.dll", "Older.dll"}));
    QCOMPARE(texts(m_form->findChild<QListWidget*>(QStringLiteral("List6"))),
             (QStringList{"Fx18.dll", "Fx31.dll", "Fx5.dll"}));
}

void TestForm1Catalogue::downloadFetchesSavesAndConverts()
{
    makeForm();
    serveBothPages();
    QSignalSpy statuses(m_form.get(), &MainWindow::statusChanged);
    click("DownloadMachineLists");

    const QString base = m_server->baseUrl();
    const QString effectsSize = QString::number(m_effectsPage.size());
    QCOMPARE(m_server->requestedPaths(), (QList<QByteArray>{"/allgenerators.php", "/alleffects.php"}));
    QCOMPARE(logLines(), (QStringList{
                             "Downloading " + base + "allgenerators.php",
                             "allgenerators.php",
                             "Content-Type is text/html",
                             "Completed download of allgenerators.php   2500 bytes",
                             "Downloading " + base + "alleffects.php",
                             "alleffects.php",
                             "Content-Type is text/html",
                             "Completed download of alleffects.php   " + effectsSize + " bytes",
                             "Converting allgenerators.htm from UNIX to DOS",
                             "Converting alleffects.htm from UNIX to DOS",
                             "Completed converting allgenerators.htm and alleffects.htm from UNIX to DOS",
                         }));
    QCOMPARE(read(QStringLiteral("allgenerators.php")), m_generatorsPage);
    QCOMPARE(read(QStringLiteral("alleffects.php")), m_effectsPage);
    QCOMPARE(read(QStringLiteral("alleffects.txt")), joined(pageLines("Effects", 3), "\r\n"));
    QCOMPARE(read(QStringLiteral("allgenerators.txt")), joined(m_generatorLines, "\r\n"));

    QStringList progress;
    for (const QList<QVariant>& arguments : statuses) {
        if (arguments.first().toString().startsWith(QStringLiteral("Downloading allgenerators.php"))) {
            progress << arguments.first().toString();
        }
    }
    QCOMPARE(progress, (QStringList{
                           "Downloading allgenerators.php   1024 bytes downloaded",
                           "Downloading allgenerators.php   2048 bytes downloaded",
                           "Downloading allgenerators.php   2500 bytes downloaded",
                           "Downloading allgenerators.php   2500 bytes downloaded",
                       }));
    downloadAgainWorks();
}

void TestForm1Catalogue::firstPageWithoutContentType_data()
{
    QTest::addColumn<bool>("earlierPage");
    QTest::newRow("earlier page converted") << true;
    QTest::newRow("no earlier page") << false;
}

void TestForm1Catalogue::firstPageWithoutContentType()
{
    QFETCH(bool, earlierPage);
    if (earlierPage) {
        write(QStringLiteral("allgenerators.php"), "old\nlist\n");
    }
    makeForm();
    serveBothPages();
    Reply untyped;
    untyped.contentType.clear();
    untyped.body = "fresh\n";
    m_server->setReply("/allgenerators.php", untyped);
    click("DownloadMachineLists");

    QCOMPARE(m_server->requestedPaths(), (QList<QByteArray>{"/allgenerators.php", "/alleffects.php"}));
    QStringList expected{
        "Downloading " + m_server->baseUrl() + "allgenerators.php",
        "allgenerators.php",
        "Connected?  Did not download allgenerators.php",
        "Downloading " + m_server->baseUrl() + "alleffects.php",
        "alleffects.php",
        "Content-Type is text/html",
        "Completed download of alleffects.php   " + QString::number(m_effectsPage.size()) + " bytes",
        "Converting allgenerators.htm from UNIX to DOS",
        "Converting alleffects.htm from UNIX to DOS",
        "Completed converting allgenerators.htm and alleffects.htm from UNIX to DOS",
    };
    if (!earlierPage) {
        expected.insert(8, QStringLiteral("allgenerators.php not found"));
    }
    QCOMPARE(logLines(), expected);
    QCOMPARE(read(QStringLiteral("allgenerators.txt")),
             earlierPage ? QByteArray("old\r\nlist\r\n") : QByteArray("<missing>"));
    QCOMPARE(read(QStringLiteral("alleffects.txt")), joined(pageLines("Effects", 3), "\r\n"));
    downloadAgainWorks();
}

void TestForm1Catalogue::secondPageWithoutContentTypeConvertsNothing()
{
    makeForm();
    serveBothPages();
    Reply untyped;
    untyped.contentType.clear();
    untyped.body = "fresh\n";
    m_server->setReply("/alleffects.php", untyped);
    click("DownloadMachineLists");

    QCOMPARE(m_server->requestedPaths(), (QList<QByteArray>{"/allgenerators.php", "/alleffects.php"}));
    const QStringList log = logLines();
    QCOMPARE(log.last(), QStringLiteral("Connected?  Did not download alleffects.php"));
    QCOMPARE(log.filter(QStringLiteral("Converting")), QStringList());
    QCOMPARE(read(QStringLiteral("allgenerators.php")), m_generatorsPage);
    QCOMPARE(read(QStringLiteral("allgenerators.txt")), QByteArray("<missing>"));
    downloadAgainWorks();
}

void TestForm1Catalogue::emptySecondPageIsDeleted()
{
    write(QStringLiteral("alleffects.php"), "earlier\n");
    makeForm();
    serveBothPages();
    m_server->setReply("/alleffects.php", Reply{});
    QSignalSpy statuses(m_form.get(), &MainWindow::statusChanged);
    click("DownloadMachineLists");

    QVERIFY(!QFile::exists(path(QStringLiteral("alleffects.php"))));
    QCOMPARE(logLines().mid(5), (QStringList{
                                    "alleffects.php",
                                    "Content-Type is text/html",
                                    "Did not complete download of alleffects.php",
                                    "Converting allgenerators.htm from UNIX to DOS",
                                    "Converting alleffects.htm from UNIX to DOS",
                                    "alleffects.php not found",
                                }));
    QVERIFY(statuses.contains({QStringLiteral("Downloading alleffects.php   0 bytes downloaded")}));
    QCOMPARE(read(QStringLiteral("allgenerators.txt")), joined(m_generatorLines, "\r\n"));
    downloadAgainWorks();
}

void TestForm1Catalogue::secondClickWhileFetching()
{
    makeForm();
    serveBothPages();
    Reply slow;
    slow.body = m_generatorsPage;
    slow.delayMs = 1000;
    m_server->setReply("/allgenerators.php", slow);

    QList<QByteArray> pathsAtSecondClick;
    QTimer::singleShot(100, m_form.get(), [&] {
        click("DownloadMachineLists");
        pathsAtSecondClick = m_server->requestedPaths();
    });
    click("DownloadMachineLists");

    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(m_dialogs.messages.first().text, QStringLiteral("There is already a download in progress"));
    QCOMPARE(m_dialogs.messages.first().title, QStringLiteral("Gearwarden 1.0"));
    QCOMPARE(pathsAtSecondClick, QList<QByteArray>{"/allgenerators.php"});
    QCOMPARE(m_server->requestedPaths(), (QList<QByteArray>{"/allgenerators.php", "/alleffects.php"}));
    QCOMPARE(read(QStringLiteral("allgenerators.php")), m_generatorsPage);
    downloadAgainWorks();
}

QTEST_MAIN(TestForm1Catalogue)
#include "tst_form1catalogue.moc"
