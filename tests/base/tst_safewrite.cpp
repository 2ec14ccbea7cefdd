#include "base/SafeWrite.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSafeWrite : public QObject
{
    Q_OBJECT

    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

private slots:
    void failuresKeepTheOldFileAndLeaveNothing()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("gear/m.dll"));
        QVERIFY(gw::writeFileSafely(target, "old").ok()); // makes the folder too
        {
            gw::SafeWrite refused(target);
            QVERIFY(refused.open());
            QVERIFY(refused.write("new, but damaged"));
            refused.refuse(QStringLiteral("not a zip"));
            QVERIFY(!refused.commit());
            QCOMPARE(refused.outcome().failure, gw::WriteFailure::Refused);
        }
        QCOMPARE(read(target), QByteArray("old"));
        QCOMPARE(QDir(dir.filePath(QStringLiteral("gear"))).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("m.dll")});
    }

    void backupsKeepEveryCopyUnderTheirTime()
    {
        QTemporaryDir dir;
        const QString dll = dir.filePath(QStringLiteral("Kick.dll"));
        const QDateTime when(QDate(2026, 12, 6), QTime(14, 30, 5));
        QStringList kept;
        for (const char* content : {"first", "second"}) {
            QVERIFY(gw::writeFileSafely(dll, content).ok());
            kept << gw::keepBackup(dll, dir.filePath(QStringLiteral("backup")), QStringLiteral("generators"), when);
        }
        const QString folder = dir.filePath(QStringLiteral("backup/2026-12-06 14.30.05/generators/"));
        QCOMPARE(kept, (QStringList{QDir::toNativeSeparators(folder + QStringLiteral("Kick.dll")),
                                    QDir::toNativeSeparators(folder + QStringLiteral("Kick (2).dll"))}));
        QCOMPARE(read(folder + QStringLiteral("Kick (2).dll")), QByteArray("second"));
        QVERIFY(gw::sameContent(dll, folder + QStringLiteral("Kick (2).dll")));
        QVERIFY(!gw::sameContent(dll, folder + QStringLiteral("Kick.dll")));
    }
};

QTEST_GUILESS_MAIN(TestSafeWrite)
#include "tst_safewrite.moc"
