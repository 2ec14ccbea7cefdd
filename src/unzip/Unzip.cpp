#include "unzip/Unzip.h"

#include "base/PathText.h"
#include "base/TextCodec.h"
#include "unzip/EntryName.h"
#include "unzip/ZipHandle.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <zip.h>

#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <thread>

namespace gw {

namespace {

/**
 * The folder's entries, listed once, for the letter-case-blind lookups of a whole archive: an archive's name finds
 * the file Windows would open for it, as findEntryIgnoringCase does, without listing the folder again per entry.
 */
class FolderNames
{
public:
    explicit FolderNames(const QString& folder)
    {
        const QStringList names =
            QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& name : names) {
            add(name.toStdString());
        }
    }

    /** The name on disk for name: itself when present, else the first in byte order equal ignoring case. */
    QString find(const QString& name) const
    {
        const std::string wanted = name.toStdString();
        if (m_exact.count(wanted)) {
            return name;
        }
        const auto found = m_folded.find(foldCase(wanted));
        return found == m_folded.end() ? name : QString::fromStdString(found->second);
    }

    void add(const std::string& name)
    {
        m_exact.insert(name);
        const std::string folded = foldCase(name);
        const auto [at, added] = m_folded.emplace(folded, name);
        if (!added && name < at->second) {
            at->second = name;
        }
    }

private:
    std::set<std::string> m_exact;
    std::map<std::string, std::string> m_folded;
};

// Files renamed into place together, and the threads that wait for them to reach the disk: every commit waits for
// its file's sync, and one after the other 5,000 small files took 25 s here; side by side the waits overlap.
constexpr std::size_t kCommitBatch = 128;
constexpr std::size_t kCommitThreads = 32;

class Unzipper
{
public:
    Unzipper(zip_t* archive, const QString& folder, const UnzipOptions& options)
        : m_archive(archive)
        , m_folder(folder)
        , m_options(options)
        , m_names(folder)
    {
    }

    void entry(zip_uint64_t index, const zip_stat_t& stat, UnzippedEntry& done);
    /** Renames the files still waiting into place. */
    void finish();

private:
    void copy(zip_file_t* file, const zip_stat_t& stat, UnzippedEntry& done);

    /** A file written whole and checked, waiting for its rename. */
    struct Pending
    {
        std::unique_ptr<SafeWrite> file;
        UnzippedEntry* entry;
        std::string folded;
        bool committed = false;
    };

    zip_t* m_archive;
    QString m_folder;
    const UnzipOptions& m_options;
    FolderNames m_names;
    std::set<std::string> m_written; // folded names written by this run: replacing them backs up nothing of the user's
    std::vector<Pending> m_pending;
    std::set<std::string> m_pendingNames;
};

void skip(UnzippedEntry& done, SkipReason reason, const QString& detail = {})
{
    done.result = EntryResult::Skipped;
    done.skip = reason;
    done.detail = detail;
}

void Unzipper::entry(zip_uint64_t index, const zip_stat_t& stat, UnzippedEntry& done)
{
    const std::optional<std::string> fileName = safeEntryTarget(stat.name);
    if (!fileName) {
        skip(done, SkipReason::UnsafeName);
        return;
    }
    const qint64 size = static_cast<qint64>(stat.size);
    if (!entryWithinLimits(m_options.limits, size, static_cast<qint64>(stat.comp_size), done.skip, done.detail)) {
        done.result = EntryResult::Skipped;
        return;
    }
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
        skip(done, SkipReason::Encrypted);
        return;
    }
    const QString name = m_names.find(QString::fromStdString(*fileName));
    if (m_pendingNames.count(foldCase(name.toStdString()))) {
        finish(); // a second entry for one file sees the first on disk
    }
    done.path = QDir::toNativeSeparators(m_folder + QLatin1Char('/') + name);
    const QString target = m_folder + QLatin1Char('/') + name;
    if (QFileInfo::exists(target) && !m_options.overwrite) {
        done.result = EntryResult::Kept;
        return;
    }
    ZipEntry file(zip_fopen_index(m_archive, index, 0));
    if (!file) {
        skip(done, SkipReason::Damaged, QString::fromLocal8Bit(zip_strerror(m_archive)));
        return;
    }
    copy(file.get(), stat, done);
    if (done.result != EntryResult::Skipped) {
        m_names.add(name.toStdString());
        m_written.insert(foldCase(name.toStdString()));
    }
}

void Unzipper::copy(zip_file_t* file, const zip_stat_t& stat, UnzippedEntry& done)
{
    const QString target = m_folder + QLatin1Char('/') + QFileInfo(done.path).fileName();
    const qint64 declared = static_cast<qint64>(stat.size);
    // The file there is compared as the entry comes, so only a file of other content is backed up.
    QFile existing(target);
    const bool there = existing.exists();
    bool identical = there && existing.size() == declared && existing.open(QIODevice::ReadOnly);

    auto written = std::make_unique<SafeWrite>(target);
    SafeWrite& out = *written;
    if (!out.open()) {
        skip(done, out.outcome().failure == WriteFailure::IsLink ? SkipReason::TargetIsLink : SkipReason::WriteFailed,
             out.outcome().reason);
        done.write = out.outcome().failure;
        return;
    }
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const zip_int64_t got = zip_fread(file, buffer.data(), static_cast<zip_uint64_t>(buffer.size()));
        if (got < 0) {
            // libzip checks the CRC when the last byte is read.
            skip(done, SkipReason::Damaged, QString::fromLocal8Bit(zip_error_strerror(zip_file_get_error(file))));
            return;
        }
        if (got == 0) {
            break;
        }
        total += got;
        // A header that declares less than the data holds is forged or damaged: stop before the disk fills.
        if (total > declared) {
            skip(done, SkipReason::Damaged,
                 QStringLiteral("it holds more than the %1 bytes it declares").arg(declared));
            return;
        }
        if (identical && existing.read(got) != QByteArrayView(buffer.constData(), got)) {
            identical = false;
        }
        if (!out.write(buffer.constData(), got)) {
            skip(done, SkipReason::WriteFailed, out.outcome().reason);
            done.write = out.outcome().failure;
            return;
        }
    }
    if (total != declared) {
        skip(done, SkipReason::Damaged, QStringLiteral("it holds less than the %1 bytes it declares").arg(declared));
        return;
    }
    existing.close();
    done.result = !there ? EntryResult::Written : identical ? EntryResult::ReplacedIdentical : EntryResult::Replaced;
    const bool ours = m_written.count(foldCase(QFileInfo(target).fileName().toStdString())) != 0;
    if (done.result == EntryResult::Replaced && !ours && !m_options.backupFolder.isEmpty()) {
        QString error;
        done.backup =
            keepBackup(target, m_options.backupFolder, m_options.backupSubfolder, m_options.backupTime, &error);
        if (done.backup.isEmpty()) {
            // Without its backup the user's file is not replaced.
            out.refuse(error);
            skip(done, SkipReason::WriteFailed, QStringLiteral("its backup failed: ") + error);
            done.write = WriteFailure::Refused;
            return;
        }
        done.result = EntryResult::BackedUp;
    }
    const std::string folded = foldCase(QFileInfo(target).fileName().toStdString());
    m_pendingNames.insert(folded);
    m_pending.push_back({std::move(written), &done, folded});
    if (m_pending.size() >= kCommitBatch) {
        finish();
    }
}

void Unzipper::finish()
{
    std::atomic<std::size_t> next = 0;
    std::vector<std::thread> workers;
    for (std::size_t i = 0; i < std::min(m_pending.size(), kCommitThreads); ++i) {
        workers.emplace_back([this, &next] {
            for (std::size_t at; (at = next++) < m_pending.size();) {
                m_pending[at].committed = m_pending[at].file->commit();
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    for (Pending& pending : m_pending) {
        if (pending.committed) {
            continue;
        }
        UnzippedEntry& done = *pending.entry;
        const WriteOutcome& outcome = pending.file->outcome();
        const EntryResult was = done.result;
        skip(done, outcome.failure == WriteFailure::IsLink ? SkipReason::TargetIsLink : SkipReason::WriteFailed,
             outcome.reason);
        done.write = outcome.failure;
        if (was == EntryResult::BackedUp) {
            done.detail +=
                QStringLiteral(" (the previous file is still there; a copy went to ") + done.backup + QLatin1Char(')');
        }
        m_written.erase(pending.folded); // what is there is still the user's
    }
    m_pending.clear();
    m_pendingNames.clear();
}

} // namespace

bool UnzipReport::complete() const
{
    return state == ArchiveState::Read && std::none_of(entries.begin(), entries.end(), [](const UnzippedEntry& entry) {
               return entry.result == EntryResult::Skipped;
           });
}

int UnzipReport::installed() const
{
    return int(std::count_if(entries.begin(), entries.end(), [](const UnzippedEntry& entry) {
        return entry.result != EntryResult::Skipped && entry.result != EntryResult::Kept;
    }));
}

bool entryWithinLimits(const UnzipLimits& limits, qint64 size, qint64 packedSize, SkipReason& skip, QString& detail)
{
    if (size < 0 || size > limits.maxEntrySize) {
        skip = SkipReason::TooLarge;
        detail = QStringLiteral("it claims %1 bytes, more than the %2 a machine may have")
                     .arg(static_cast<quint64>(size))
                     .arg(limits.maxEntrySize);
        return false;
    }
    const double ratio = static_cast<double>(size) / static_cast<double>(std::max<qint64>(packedSize, 1));
    if (size > limits.ratioFloor && ratio > limits.maxRatio) {
        skip = SkipReason::PackedTight;
        detail = QStringLiteral("packed %1 to 1, more than a machine can be").arg(ratio, 0, 'f', 0);
        return false;
    }
    return true;
}

UnzipReport unzipFlat(const QString& zipPath, const QString& folder, const UnzipOptions& options)
{
    UnzipReport report;
    int error = 0;
    const ZipArchive archive = openZip(zipPath, ZIP_RDONLY, &error);
    if (!archive) {
        // A zip cut short is no zip to libzip either; it still begins as one, which a web page does not.
        QFile file(zipPath);
        const bool zipStart = file.open(QIODevice::ReadOnly) && file.read(2) == "PK";
        report.state = error == ZIP_ER_NOZIP && !zipStart ? ArchiveState::NotAZip : ArchiveState::Unreadable;
        report.detail = zipErrorText(error);
        return report;
    }
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    if (count > options.limits.maxEntries) {
        report.state = ArchiveState::TooManyEntries;
        report.detail = QStringLiteral("it holds %1 entries, more than %2").arg(count).arg(options.limits.maxEntries);
        return report;
    }
    // The entries to go through, with their declared sizes summed before anything is written.
    struct Taken
    {
        zip_uint64_t index;
        zip_stat_t stat;
    };
    std::vector<Taken> taken;
    const QSet<QString> only(options.only.begin(), options.only.end());
    qint64 total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        Taken entry{static_cast<zip_uint64_t>(i), {}};
        if (zip_stat_index(archive.get(), entry.index, 0, &entry.stat) != 0 || !(entry.stat.valid & ZIP_STAT_NAME)) {
            report.state = ArchiveState::Unreadable;
            report.detail = QString::fromLocal8Bit(zip_strerror(archive.get()));
            return report;
        }
        const QString name = QString::fromUtf8(entry.stat.name);
        if (name.endsWith(QLatin1Char('/')) || (!only.isEmpty() && !only.contains(name))) {
            continue; // a folder entry, or not asked for
        }
        const qint64 size = static_cast<qint64>(entry.stat.size);
        SkipReason skip = SkipReason::None;
        QString detail;
        const qint64 packed = static_cast<qint64>(entry.stat.comp_size);
        if ((entry.stat.valid & ZIP_STAT_SIZE) && entryWithinLimits(options.limits, size, packed, skip, detail)) {
            total += size; // entries refused on their own add nothing
        }
        taken.push_back(entry);
    }
    if (total > options.limits.maxTotalSize) {
        report.state = ArchiveState::TooLarge;
        report.detail =
            QStringLiteral("it unpacks to %1 bytes, more than %2").arg(total).arg(options.limits.maxTotalSize);
        return report;
    }

    report.state = ArchiveState::Read;
    // Resolved once: the folder may be a link, the files in it may not.
    const QFileInfo folderInfo(folder);
    const QString resolved = folderInfo.exists() ? folderInfo.canonicalFilePath() : folderInfo.absoluteFilePath();
    Unzipper unzipper(archive.get(), resolved, options);
    report.entries.reserve(taken.size());
    for (const Taken& entry : taken) {
        UnzippedEntry& done = report.entries.emplace_back();
        done.name = QString::fromUtf8(entry.stat.name);
        if ((entry.stat.valid & (ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE)) != (ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE)) {
            skip(done, SkipReason::Damaged, QStringLiteral("its sizes cannot be read"));
            continue;
        }
        unzipper.entry(entry.index, entry.stat, done);
    }
    unzipper.finish();
    return report;
}

} // namespace gw
