#include "TestHost.h"
#include "TestFiles.h"
#include "RecordingDialogs.h"
#include "ZipWriter.h"

#include "gui/MainWindow.h"
#include "MemoryHostSettings.h"
#include "unzip/ZipExtractor.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using gw::test::ZipWriter;

namespace {

QStringList texts(const QListWidget* list)
{
    QStringList result;
    for (int row = 0; row < list->count(); ++row) {
        result << list->item(row)->text();
    }
    return result;
}

using TestFiles::contents;
using TestFiles::writeBytes;

} // namespace

class TestForm1Install : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void installWritesFlatIntoTheGearFolder_data();
    void installWritesFlatIntoTheGearFolder();
    void eachInstallHasItsOwnUnzip();
    void installOverwritesWithoutAsking();
    void damagedZipStillCompletes();
    void moveToTheOtherFolder_data();
    void moveToTheOtherFolder();
    void moveWhenPresentInBoth_data();
    void moveWhenPresentInBoth();
    void moveWithoutSelection_data();
    void moveWithoutSelection();

private:
    void makeForm();
    QString path(const QString& name) const { return m_dir->path() + QLatin1Char('/') + name; }
    QString generators() const { return path(QStringLiteral("host/gear/generators")); }
    QString effects() const { return path(QStringLiteral("host/gear/effects")); }
    QString writeZip(const QString& name, const ZipWriter& writer);
    QListWidget* list(const QString& name) { return m_form->findChild<QListWidget*>(name); }
    QPushButton* button(const QString& name) { return m_form->findChild<QPushButton*>(name); }
    void select(QListWidget* listing, const QString& text);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::shared_ptr<gw::MemoryHostSettings> m_settings;
    RecordingDialogs m_dialogs;
    std::unique_ptr<MainWindow> m_form;
};

void TestForm1Install::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_settings = hostSettingsAt(path(QStringLiteral("host")));
    QVERIFY(m_settings);
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("host/gear/generators")));
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("host/gear/effects")));
    m_dialogs.reset();
}

void TestForm1Install::cleanup()
{
    m_form.reset();
    m_dialogs.reset();
    m_dir.reset();
}

void TestForm1Install::makeForm()
{
    MainWindow::Setup setup;
    setup.programFolder = m_dir->path();
    setup.archiveBaseUrl = QStringLiteral("http://archive.invalid/");
    setup.dialogs = &m_dialogs;
    setup.hostSettings = m_settings;
    m_form = std::make_unique<MainWindow>(setup);
    // Only what the handlers under test show counts.
    m_dialogs.reset();
}

QString TestForm1Install::writeZip(const QString& name, const ZipWriter& writer)
{
    QString error;
    const QString file = path(name);
    if (!writer.writeTo(file, &error)) {
        qWarning("%s", qPrintable(error));
        return {};
    }
    return file;
}

void TestForm1Install::select(QListWidget* listing, const QString& text)
{
    const QList<QListWidgetItem*> found = listing->findItems(text, Qt::MatchExactly);
    QCOMPARE(found.size(), 1);
    listing->setCurrentItem(found.first());
    QVERIFY(found.first()->isSelected());
}

void TestForm1Install::installWritesFlatIntoTheGearFolder_data()
{
    QTest::addColumn<bool>("toGenerators");
    QTest::newRow("generators") << true;
    QTest::newRow("effects") << false;
}

void TestForm1Install::installWritesFlatIntoTheGearFolder()
{
    QFETCH(bool, toGenerators);

    const QString zip = writeZip(QStringLiteral("Machine.zip"), ZipWriter()
                                                                    .add("Machine.dll", "machine")
                                                                    .add("docs/Machine.txt", "about")
                                                                    .add("../Escape.dll", "escape"));
    QVERIFY(!zip.isEmpty());
    makeForm();
    QSignalSpy statuses(m_form.get(), &MainWindow::statusChanged);
    const QString logBefore = m_form->logText();
    if (toGenerators) {
        m_form->UnzipToGenerators(zip);
    } else {
        m_form->UnzipToEffects(zip);
    }

    const QString target = toGenerators ? generators() : effects();
    const QString other = toGenerators ? effects() : generators();
    QCOMPARE(QDir(target).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList({QStringLiteral("Escape.dll"), QStringLiteral("Machine.dll"), QStringLiteral("Machine.txt")}));
    QCOMPARE(contents(target + QStringLiteral("/Machine.dll")), QByteArray("machine"));
    QVERIFY(QDir(other).isEmpty());
    QVERIFY(!QFileInfo::exists(path(QStringLiteral("host/gear/Escape.dll"))));

    const QString destination = QDir::toNativeSeparators(target);
    const QString started = QStringLiteral("Unzipping ") + zip + QStringLiteral(" to ") + destination;
    const QString done = QStringLiteral("Complete unzipped ") + zip + QStringLiteral(" to ") + destination;
    QCOMPARE(m_form->logText(), logBefore + started + QStringLiteral("\r\n") + done + QStringLiteral("\r\n"));
    QCOMPARE(statuses.size(), 2);
    QCOMPARE(statuses.at(0).at(0).toString(), started);
    QCOMPARE(statuses.at(1).at(0).toString(), done);
    QCOMPARE(m_form->statusText(), done);
    QVERIFY(m_dialogs.messages.isEmpty());
}

void TestForm1Install::eachInstallHasItsOwnUnzip()
{
    const QString first = writeZip(QStringLiteral("First.zip"), ZipWriter().add("First.dll", "1"));
    const QString second = writeZip(QStringLiteral("Second.zip"), ZipWriter().add("Second.dll", "2"));
    makeForm();
    m_form->UnzipToGenerators(first);
    QPointer<ZipExtractor> old = m_form->unzipObject();
    QVERIFY(old);
    QCOMPARE(old->ZipFile(), first);
    QCOMPARE(old->UnzipFolder(), QDir::toNativeSeparators(generators()));
    m_form->UnzipToEffects(second);
    QVERIFY(old.isNull());
    QVERIFY(m_form->unzipObject());
    QCOMPARE(m_form->unzipObject()->ZipFile(), second);
    QCOMPARE(m_form->unzipObject()->UnzipFolder(), QDir::toNativeSeparators(effects()));
    QVERIFY(QFileInfo::exists(generators() + QStringLiteral("/First.dll")));
    QVERIFY(QFileInfo::exists(effects() + QStringLiteral("/Second.dll")));
}

void TestForm1Install::installOverwritesWithoutAsking()
{
    // The old copy's name differs in letter case: it is replaced, not joined by a twin.
    QVERIFY(writeBytes(generators() + QStringLiteral("/machine.DLL"), "old version"));
    const QString zip = writeZip(QStringLiteral("Machine.zip"), ZipWriter().add("Machine.dll", "new version"));
    makeForm();
    m_form->UnzipToGenerators(zip);
    QCOMPARE(contents(generators() + QStringLiteral("/machine.DLL")), QByteArray("new version"));
    QCOMPARE(QDir(generators()).entryList(QDir::Files), QStringList({QStringLiteral("machine.DLL")}));
    QVERIFY(m_dialogs.messages.isEmpty());
    QVERIFY(!m_form->logText().contains(QLatin1String("warning")));
}

void TestForm1Install::damagedZipStillCompletes()
{
    const QString zip = path(QStringLiteral("Broken.zip"));
    QVERIFY(writeBytes(zip, "PK\x03\x04 this archive ends before it begins"));
    makeForm();
    const QString logBefore = m_form->logText();
    m_form->UnzipToGenerators(zip);

    const QString destination = QDir::toNativeSeparators(generators());
    QStringList lines = m_form->logText().mid(logBefore.size()).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.takeLast(), QString());
    QCOMPARE(lines.at(0), QStringLiteral("Unzipping ") + zip + QStringLiteral(" to ") + destination);
    QVERIFY2(lines.at(1).startsWith(QLatin1String("error")), qPrintable(lines.at(1)));
    QVERIFY(lines.at(1).contains(zip));
    QCOMPARE(lines.at(2), QStringLiteral("Complete unzipped ") + zip + QStringLiteral(" to ") + destination);
    QCOMPARE(m_form->statusText(), lines.at(2));
    QVERIFY(QDir(generators()).isEmpty());
}

void TestForm1Install::moveToTheOtherFolder_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<QString>("fromListing");
    QTest::addColumn<bool>("fromGenerators");
    QTest::addColumn<QString>("direction");

    QTest::newRow("Command9") << "Command9" << "File1" << true
                              << QStringLiteral(" from Generators to Effects directory.");
    QTest::newRow("Command10") << "Command10" << "File2" << false
                               << QStringLiteral(" from Effects to Generators directory.");
}

void TestForm1Install::moveToTheOtherFolder()
{
    QFETCH(QString, buttonName);
    QFETCH(QString, fromListing);
    QFETCH(bool, fromGenerators);
    QFETCH(QString, direction);

    const QString from = fromGenerators ? generators() : effects();
    const QString to = fromGenerators ? effects() : generators();
    QVERIFY(writeBytes(from + QStringLiteral("/Mover.dll"), "mover"));
    QVERIFY(writeBytes(from + QStringLiteral("/Stayer.dll"), "stayer"));
    QVERIFY(writeBytes(to + QStringLiteral("/Resident.dll"), "resident"));
    makeForm();
    QListWidget* source = list(fromListing);
    QListWidget* destination = list(fromListing == QLatin1String("File1") ? QStringLiteral("File2")
                                                                            : QStringLiteral("File1"));
    select(source, QStringLiteral("Mover.dll"));
    button(buttonName)->click();

    QCOMPARE(m_dialogs.messages.size(), 1);
    QCOMPARE(m_dialogs.messages.first().text, QStringLiteral("Moving Mover.dll") + direction);
    QCOMPARE(m_dialogs.messages.first().title, QStringLiteral("Gearwarden 1.0"));
    QCOMPARE(m_form->statusText(), QStringLiteral("Moved Mover.dll") + direction);
    QVERIFY(!QFileInfo::exists(from + QStringLiteral("/Mover.dll")));
    QCOMPARE(contents(to + QStringLiteral("/Mover.dll")), QByteArray("mover"));
    QCOMPARE(texts(source), QStringList({QStringLiteral("Stayer.dll")}));
    QCOMPARE(texts(destination), QStringList({QStringLiteral("Mover.dll"), QStringLiteral("Resident.dll")}));
}

void TestForm1Install::moveWhenPresentInBoth_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<QString>("fromListing");
    QTest::addColumn<bool>("fromGenerators");
    QTest::addColumn<QString>("boxText");
    QTest::addColumn<QString>("statusText");

    QTest::newRow("Command9") << "Command9" << "File1" << true
                              << QStringLiteral("File Twin.dll exists in Effects directory already. "
                                                "Deleting from Generators directory.")
                              << QStringLiteral("File Twin.dll exists in Effects directory already. "
                                                "Deleted from Generators directory.");
    QTest::newRow("Command10") << "Command10" << "File2" << false
                               << QStringLiteral("File Twin.dll exists in Generators directory already. "
                                                 "Deleting from Effects directory.")
                               << QStringLiteral("File Twin.dll exists in Generators directory already. "
                                                 "Deleted from Effects directory.");
}

void TestForm1Install::moveWhenPresentInBoth()
{
    QFETCH(QString, buttonName);
    QFETCH(QString, fromListing);
    QFETCH(bool, fromGenerators);
    QFETCH(QString, boxText);
    QFETCH(QString, statusText);

    const QString from = fromGenerators ? generators() : effects();
    const QString to = fromGenerators ? effects() : generators();
    QVERIFY(writeBytes(from + QStringLiteral("/Twin.dll"), "the copy to delete"));
    // The platform ignores letter case, so "twin.dll" there is the same machine.
    QVERIFY(writeBytes(to + QStringLiteral("/twin.dll"), "the copy to keep"));
    makeForm();
    select(list(fromListing), QStringLiteral("Twin.dll"));
    button(buttonName)->click();

    QCOMPARE(m_dialogs.messageTexts(), QStringList({boxText}));
    QCOMPARE(m_dialogs.messages.first().title, QStringLiteral("Gearwarden 1.0"));
    QCOMPARE(m_form->statusText(), statusText);
    QVERIFY(!QFileInfo::exists(from + QStringLiteral("/Twin.dll")));
    QCOMPARE(contents(to + QStringLiteral("/twin.dll")), QByteArray("the copy to keep"));
    QCOMPARE(QDir(to).entryList(QDir::Files), QStringList({QStringLiteral("twin.dll")}));
    QVERIFY(texts(list(fromListing)).isEmpty());
}

void TestForm1Install::moveWithoutSelection_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::newRow("Command9") << "Command9";
    QTest::newRow("Command10") << "Command10";
}

void TestForm1Install::moveWithoutSelection()
{
    QFETCH(QString, buttonName);

    QVERIFY(writeBytes(generators() + QStringLiteral("/Gen.dll"), "g"));
    QVERIFY(writeBytes(effects() + QStringLiteral("/Eff.dll"), "e"));
    makeForm();
    QVERIFY(list(QStringLiteral("File1"))->selectedItems().isEmpty());
    QVERIFY(list(QStringLiteral("File2"))->selectedItems().isEmpty());
    // Files that arrived after the listings were read show up once a move button is pressed.
    QVERIFY(writeBytes(generators() + QStringLiteral("/NewGen.dll"), "n"));
    QVERIFY(writeBytes(effects() + QStringLiteral("/NewEff.dll"), "n"));
    QVERIFY(QFile::remove(effects() + QStringLiteral("/Eff.dll")));
    const QString status = m_form->statusText();
    button(buttonName)->click();

    QVERIFY(m_dialogs.messages.isEmpty());
    QCOMPARE(m_form->statusText(), status);
    QCOMPARE(texts(list(QStringLiteral("File1"))), QStringList({QStringLiteral("Gen.dll"), QStringLiteral("NewGen.dll")}));
    QCOMPARE(texts(list(QStringLiteral("File2"))), QStringList({QStringLiteral("NewEff.dll")}));
    QCOMPARE(QDir(generators()).entryList(QDir::Files), QStringList({QStringLiteral("Gen.dll"), QStringLiteral("NewGen.dll")}));
    QCOMPARE(QDir(effects()).entryList(QDir::Files), QStringList({QStringLiteral("NewEff.dll")}));
}

QTEST_MAIN(TestForm1Install)
#include "tst_form1install.moc"
