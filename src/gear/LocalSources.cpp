#include "gear/LocalSources.h"

#include "base/FolderEntries.h"
#include "base/SafeWrite.h"
#include "base/TextCodec.h"
#include "transfer/MachineInstall.h"
#include "unzip/EntryName.h"
#include "unzip/ZipHandle.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <zip.h>

#include <algorithm>
#include <memory>
#include <span>

namespace gw {

namespace {

using Zip = ZipArchive;
using EntryCloser = ZipEntryCloser;

QString folded(const QString& name)
{
    return QString::fromStdString(foldCase(name.toStdString()));
}

Zip openZip(const QString& path)
{
    int error = 0;
    return gw::openZip(path, ZIP_RDONLY, &error);
}

/** The bytes the install would write, read within the limits; false with why otherwise. */
bool readFound(const LocalFind& found, const UnzipLimits& limits, QByteArray& bytes, QString& why)
{
    SkipReason skip = SkipReason::None;
    if (found.entry.isEmpty()) {
        QFile file(found.file);
        if (!entryWithinLimits(limits, file.size(), file.size(), skip, why)) {
            return false;
        }
        if (!file.open(QIODevice::ReadOnly)) {
            why = file.errorString();
            return false;
        }
        bytes = file.readAll();
        return true;
    }
    const Zip archive = openZip(found.file);
    zip_stat_t stat;
    const zip_int64_t index = archive ? zip_name_locate(archive.get(), found.entry.toUtf8().constData(), 0) : -1;
    if (index < 0 || zip_stat_index(archive.get(), zip_uint64_t(index), 0, &stat) != 0) {
        why = QStringLiteral("the zip cannot be read");
        return false;
    }
    if (!entryWithinLimits(limits, qint64(stat.size), qint64(stat.comp_size), skip, why)) {
        return false;
    }
    std::unique_ptr<zip_file_t, EntryCloser> file(zip_fopen_index(archive.get(), zip_uint64_t(index), 0));
    bytes.resize(qsizetype(stat.size));
    if (!file || zip_fread(file.get(), bytes.data(), stat.size) != zip_int64_t(stat.size)) {
        why = QStringLiteral("it is damaged or encrypted");
        return false;
    }
    return true;
}

} // namespace

LocalSources::LocalSources(const QStringList& folders, const UnzipLimits& limits)
{
    QStringList files;
    for (const QString& folder : folders) {
        QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            files << it.next();
        }
    }
    std::sort(files.begin(), files.end());
    const auto isDll = [](const QString& name) { return name.endsWith(QLatin1String(".dll"), Qt::CaseInsensitive); };
    for (const QString& file : files) {
        if (isDll(file)) {
            m_byName[folded(QFileInfo(file).fileName())] << LocalFind{file, {}};
        }
    }
    for (const QString& file : files) {
        const Zip archive = file.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive) ? openZip(file) : Zip();
        const zip_int64_t count = archive ? zip_get_num_entries(archive.get(), 0) : 0;
        for (zip_int64_t i = 0; i < count && count <= limits.maxEntries; ++i) {
            const char* name = zip_get_name(archive.get(), zip_uint64_t(i), 0);
            const std::optional<std::string> target = name ? safeEntryTarget(name) : std::nullopt;
            if (target && isDll(QString::fromStdString(*target))) {
                m_byName[folded(QString::fromStdString(*target))] << LocalFind{file, QString::fromUtf8(name)};
            }
        }
    }
}

QList<LocalFind> LocalSources::find(const QString& dll) const
{
    return m_byName.value(folded(dll));
}

LocalInstall installLocal(const LocalFind& found, const QString& gearFolder, const UnzipLimits& limits,
                          const QDateTime& now)
{
    LocalInstall done;
    QByteArray bytes;
    if (!readFound(found, limits, bytes, done.reason)) {
        return done;
    }
    done.architecture = readArchitecture(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.constData()), size_t(bytes.size())));
    if (done.architecture == Architecture::NotWindows) {
        done.result = LocalInstall::Result::NotADll;
        return done;
    }
    UnzipOptions options = machineUnzipOptions(gearFolder, true, now);
    options.limits = limits;
    if (!found.entry.isEmpty()) {
        options.only = QStringList{found.entry};
        const UnzipReport unzipped = unzipFlat(found.file, gearFolder, options);
        if (unzipped.state != ArchiveState::Read || unzipped.entries.empty()) {
            done.reason = QStringLiteral("the zip cannot be read (") + unzipped.detail + QLatin1Char(')');
            return done;
        }
        const UnzippedEntry& entry = unzipped.entries.front();
        done.path = entry.path;
        done.backup = entry.backup;
        done.reason = entry.result == EntryResult::Skipped ? skipText(entry) : QString();
        done.result = done.reason.isEmpty() ? LocalInstall::Result::Installed : LocalInstall::Result::Failed;
        return done;
    }
    // A loose file: the name there in any letter case is the one replaced, as an unzip does.
    const std::string name = QFileInfo(found.file).fileName().toStdString();
    const std::string there = findEntryIgnoringCase(gearFolder.toStdString(), name);
    const QString target = gearFolder + QLatin1Char('/') + QString::fromStdString(there.empty() ? name : there);
    done.path = QDir::toNativeSeparators(target);
    if (!there.empty() && !isLink(target) && !sameContent(target, found.file)) {
        done.backup = keepBackup(target, options.backupFolder, options.backupSubfolder, now, &done.reason);
        if (done.backup.isEmpty()) {
            done.reason = QStringLiteral("its backup failed: ") + done.reason;
            return done;
        }
    }
    const WriteOutcome written = writeFileSafely(target, bytes);
    done.reason = written.ok()               ? QString()
                  : written.reason.isEmpty() ? QStringLiteral("it could not be written")
                                             : written.reason;
    done.result = written.ok() ? LocalInstall::Result::Installed : LocalInstall::Result::Failed;
    return done;
}

} // namespace gw
