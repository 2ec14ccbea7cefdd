#include "host/ProgramFolder.h"

#include "catalogue/CatalogueText.h"
#include "host/ArchiveAddress.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace gw {

QString withSeparator(const QString& folder)
{
    QString native = QDir::toNativeSeparators(folder);
    if (!native.endsWith(QDir::separator())) {
        native += QDir::separator();
    }
    return native;
}

QString shippedDataFolder()
{
    const QDir app(QCoreApplication::applicationDirPath());
    const QString installed = app.absoluteFilePath(QStringLiteral("../share/gearwarden"));
    return QFileInfo(installed).isDir() ? QDir::cleanPath(installed) : QString();
}

namespace {
/**
 * Whether a file can be created in folder. Asked by trying: Windows grants writes under Program Files by access
 * lists that the file's attributes, which QFileInfo::isWritable reads, do not show.
 */
bool canWriteIn(const QString& folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral("write-probe-XXXXXX")));
    return probe.open();
}
} // namespace

QString resolveProgramFolder(const QString& requested)
{
    if (!requested.isEmpty()) {
        return withSeparator(QFileInfo(requested).absoluteFilePath());
    }
    // An installed copy has its shared files beside it and may not write its own folder; a portable copy has
    // neither and keeps everything in its folder while it may write there, else in the per-user data folder,
    // seeded from its own.
    const QString own = QCoreApplication::applicationDirPath();
    QString shipped = shippedDataFolder();
    if (shipped.isEmpty() && canWriteIn(own)) {
        return withSeparator(own);
    }
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (data.isEmpty() || !QDir().mkpath(data)) {
        return withSeparator(own);
    }
    if (shipped.isEmpty()) {
        shipped = own;
    }
    for (const char* name : {catalogueFiles(true).list, catalogueFiles(false).list}) {
        const QString target = QDir(data).filePath(QLatin1String(name));
        const QString source = QDir(shipped).filePath(QLatin1String(name));
        if (!QFileInfo::exists(target) && QFileInfo::exists(source)) {
            QFile::copy(source, target);
            QFile(target).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        }
    }
    return withSeparator(data);
}

QString archiveBaseUrl(const QString& requested)
{
    QString url = requested.trimmed();
    if (url.isEmpty()) {
        url = QSettings().value(QStringLiteral("archiveUrl")).toString().trimmed();
    }
    // An address kept by an earlier version may be one that cannot work: then it is asked for again.
    return url.isEmpty() ? QString() : checkedArchiveUrl(url);
}

void rememberArchiveBaseUrl(const QString& url)
{
    QSettings().setValue(QStringLiteral("archiveUrl"), url);
}

QString rememberedHostFolder()
{
    return QSettings().value(QStringLiteral("hostFolder")).toString();
}

void rememberHostFolder(const QString& folder)
{
    QSettings().setValue(QStringLiteral("hostFolder"), folder);
}

} // namespace gw
