#include "unzip/ZipExtraction.h"

#include "base/FolderEntries.h"
#include "unzip/EntryName.h"
#include "unzip/ZipExtractor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <zip.h>

#include <memory>

namespace ZipExtraction {

namespace {

// The run in progress: one at a time.
ZipExtractor* currentExtractor = nullptr;
bool passwordRefused = false;

struct ZipCloser
{
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
struct FileCloser
{
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};

void report(const QString& message) { emit currentExtractor->progress(1, QDir::toNativeSeparators(message)); }

/** Asks for the password of an encrypted entry; empty when the user gave none, now or earlier in the run. */
QString askPassword()
{
    if (passwordRefused) {
        return {};
    }
    QString password;
    bool cancel = false;
    emit currentExtractor->passwordRequest(password, cancel);
    password = password.trimmed();
    if (password.isEmpty() || cancel) {
        passwordRefused = true;
        return {};
    }
    return password;
}

bool included(const QStringList& include, const QString& name, bool caseSensitive)
{
    // Named entries have '/' between folders; the archive may hold '\'.
    QString path = name;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return include.isEmpty() || include.contains(path, caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive);
}

/** Turns lone line feeds into carriage return and line feed; previousCR carries a CR from the last chunk. */
QByteArray toCrLf(const QByteArray& chunk, bool& previousCR)
{
    QByteArray out;
    out.reserve(chunk.size() + chunk.size() / 16);
    for (const char c : chunk) {
        if (c == '\n' && !previousCR) {
            out += '\r';
        }
        out += c;
        previousCR = c == '\r';
    }
    return out;
}

class Extraction
{
public:
    Extraction(const Options& options, zip_t* archive, const QString& folder)
        : m_options(options)
        , m_archive(archive)
        , m_folder(folder)
    {
    }

    /** Extracts (or tests) one entry; returns the run result it contributes. */
    int entry(zip_uint64_t index, const zip_stat_t& stat);

private:
    bool mayWrite(const QString& target, const zip_stat_t& stat);
    int copy(zip_file_t* file, const zip_stat_t& stat, const QString& target, const QString& name);

    const Options& m_options;
    zip_t* m_archive;
    QString m_folder;
    bool m_replaceAll = false;
    bool m_replaceNone = false;
};

bool Extraction::mayWrite(const QString& target, const zip_stat_t& stat)
{
    const QFileInfo existing(target);
    if (!existing.exists()) {
        return true;
    }
    if (m_options.extractOnlyNewer && (stat.valid & ZIP_STAT_MTIME) &&
        existing.lastModified() >= QDateTime::fromSecsSinceEpoch(stat.mtime)) {
        return false;
    }
    if (m_options.promptToOverwrite) {
        if (m_replaceAll) {
            return true;
        }
        if (m_replaceNone) {
            return false;
        }
        int response = ZipExtractor::ReplaceNo;
        emit currentExtractor->overwritePrompt(QDir::toNativeSeparators(target), response);
        m_replaceAll = response == ZipExtractor::ReplaceAll;
        m_replaceNone = response == ZipExtractor::ReplaceNone;
        return response == ZipExtractor::ReplaceYes || m_replaceAll;
    }
    return m_options.overwriteExisting;
}

int Extraction::copy(zip_file_t* file, const zip_stat_t& stat, const QString& target, const QString& name)
{
    const qint64 declared = (stat.valid & ZIP_STAT_SIZE) ? static_cast<qint64>(stat.size) : kMaxEntrySize;
    QSaveFile out(target);
    if (!m_options.testZip) {
        out.setDirectWriteFallback(false);
        if (!out.open(QIODevice::WriteOnly)) {
            report(QStringLiteral("error:  cannot create ") + target + QStringLiteral(": ") + out.errorString());
            return Error;
        }
    }
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    qint64 total = 0;
    bool previousCR = false;
    bool text = true;
    bool first = true;
    for (;;) {
        const zip_int64_t got = zip_fread(file, buffer.data(), static_cast<zip_uint64_t>(buffer.size()));
        if (got < 0) {
            report(QStringLiteral("error:  ") + name + QStringLiteral(": ") +
                   QString::fromLocal8Bit(zip_error_strerror(zip_file_get_error(file))));
            out.cancelWriting();
            return Error;
        }
        if (got == 0) {
            break;
        }
        total += got;
        // More data than the entry declares means a forged or damaged header: stop before the disk fills.
        if (total > declared) {
            report(QStringLiteral("error:  ") + name + QStringLiteral(" holds more data than it declares"));
            out.cancelWriting();
            return Error;
        }
        QByteArray chunk = buffer.left(static_cast<qsizetype>(got));
        if (first) {
            text = !chunk.contains('\0');
            first = false;
        }
        if (m_options.convertCRToCRLF && text) {
            chunk = toCrLf(chunk, previousCR);
        }
        if (!m_options.testZip && out.write(chunk) != chunk.size()) {
            report(QStringLiteral("error:  cannot write ") + target + QStringLiteral(": ") + out.errorString());
            out.cancelWriting();
            return Error;
        }
    }
    if (total != declared) {
        report(QStringLiteral("error:  ") + name + QStringLiteral(" is shorter than it declares"));
        out.cancelWriting();
        return Error;
    }
    if (m_options.testZip) {
        report(QStringLiteral("    testing: ") + name + QStringLiteral("   OK"));
        return Ok;
    }
    if (!out.commit()) {
        report(QStringLiteral("error:  cannot write ") + target + QStringLiteral(": ") + out.errorString());
        return Error;
    }
    if (stat.valid & ZIP_STAT_MTIME) {
        QFile written(target);
        if (written.open(QIODevice::ReadWrite)) {
            written.setFileTime(QDateTime::fromSecsSinceEpoch(stat.mtime), QFileDevice::FileModificationTime);
        }
    }
    report(QStringLiteral("  inflating: ") + target);
    return Ok;
}

int Extraction::entry(zip_uint64_t index, const zip_stat_t& stat)
{
    const QString name = QString::fromUtf8(stat.name);
    if (name.endsWith(QLatin1Char('/'))) {
        return Ok; // a folder; files create what they need
    }
    std::optional<std::string> relative = gw::safeEntryTarget(stat.name, m_options.useFolderNames);
    if (!relative) {
        report(QStringLiteral("warning:  skipped ") + name + QStringLiteral(": its name leads outside the folder"));
        return Warning;
    }
    QString targetName = QString::fromStdString(*relative);
    if (m_options.spaceToUnderScore) {
        targetName.replace(QLatin1Char(' '), QLatin1Char('_'));
    }
    if ((stat.valid & ZIP_STAT_SIZE) && stat.size > static_cast<zip_uint64_t>(kMaxEntrySize)) {
        report(QStringLiteral("warning:  skipped ") + name + QStringLiteral(": it claims %1 bytes").arg(stat.size));
        return Warning;
    }
    if (!m_options.useFolderNames) {
        // A file that differs only in letter case is the same file to the host: replace it, do not add a twin.
        targetName = QString::fromStdString(
            gw::entryNameIgnoringCase(QDir::toNativeSeparators(m_folder).toStdString(), targetName.toStdString()));
    }
    const QString target = QDir(m_folder).filePath(targetName);
    if (!m_options.testZip) {
        if (!mayWrite(target, stat)) {
            report(QStringLiteral("warning:  kept the existing ") + target);
            return Ok;
        }
        if (m_options.useFolderNames && !QDir().mkpath(QFileInfo(target).absolutePath())) {
            report(QStringLiteral("error:  cannot create the folder of ") + target);
            return Error;
        }
    }

    std::unique_ptr<zip_file_t, FileCloser> file;
    const bool encrypted = (stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE;
    if (encrypted) {
        const QString password = askPassword();
        if (password.isEmpty()) {
            report(QStringLiteral("warning:  skipped ") + name + QStringLiteral(": no password"));
            return Warning;
        }
        file.reset(zip_fopen_index_encrypted(m_archive, index, 0, password.toLocal8Bit().constData()));
    } else {
        file.reset(zip_fopen_index(m_archive, index, 0));
    }
    if (!file) {
        report(QStringLiteral("error:  ") + name + QStringLiteral(": ") +
               QString::fromLocal8Bit(zip_strerror(m_archive)));
        return Error;
    }
    return copy(file.get(), stat, target, name);
}

} // namespace

int run(ZipExtractor& extractor, const Options& options, const QString& zipPath, const QString& folder,
        const QStringList& include)
{
    currentExtractor = &extractor;
    passwordRefused = false;

    int error = 0;
    // libzip takes UTF-8 file names on every platform; QFile::encodeName would give Windows' ANSI code page.
    std::unique_ptr<zip_t, ZipCloser> archive(zip_open(zipPath.toUtf8().constData(), ZIP_RDONLY, &error));
    if (!archive) {
        zip_error_t zipError;
        zip_error_init_with_code(&zipError, error);
        report(QStringLiteral("error:  cannot open ") + zipPath + QStringLiteral(": ") +
               QString::fromLocal8Bit(zip_error_strerror(&zipError)));
        zip_error_fini(&zipError);
        return NotAZip;
    }

    int result = Ok;
    int matched = 0;
    Extraction extraction(options, archive.get(), folder);
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t stat;
        if (zip_stat_index(archive.get(), index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME)) {
            report(QStringLiteral("error:  entry %1 of ").arg(i + 1) + zipPath + QStringLiteral(" cannot be read"));
            result = std::max<int>(result, Error);
            continue;
        }
        const QString name = QString::fromUtf8(stat.name);
        if (!included(include, name, options.caseSensitiveFileNames)) {
            continue;
        }
        ++matched;
        bool cancel = false;
        emit extractor.cancelRequested(name, cancel);
        if (cancel) {
            report(QStringLiteral("stopped before ") + name);
            return Cancelled;
        }
        result = std::max(result, extraction.entry(index, stat));
    }
    if (!include.isEmpty() && matched == 0) {
        report(QStringLiteral("caution: none of the named files was found in ") + zipPath);
        return NotFound;
    }
    return result;
}

} // namespace ZipExtraction
