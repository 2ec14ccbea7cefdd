// The flat unzip on hostile archives: whatever the archive holds, nothing is written outside the gear folder and its
// backup folder, a file that a link in the gear folder points to is never touched, and nothing crashes.
// An input whose first byte is odd describes an archive (names, sizes, methods), which is built with libzip, so
// the run reaches the entries instead of stopping at the archive's directory; any other input is the archive itself.
#include "unzip/Unzip.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <zip.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

QStringList everything(const QString& root)
{
    QStringList found;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        found << it.next();
    }
    found.sort();
    return found;
}

/** Reads the fuzz bytes as small numbers; past the end, zeros. */
class Bytes
{
public:
    Bytes(const std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {
    }
    unsigned next() { return m_at < m_size ? m_data[m_at++] : 0; }
    unsigned below(unsigned count) { return next() % count; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

/** An archive described by the bytes: up to 8 entries of hostile or plain names, stored or deflated. */
bool buildArchive(Bytes& bytes, const QString& path, std::vector<QByteArray>& contents)
{
    static const char* const parts[] = {"..", ".",  "",       "a.dll", "A.DLL",      "sub",       "C:", "c:x.dll",
                                        "/",  "\\", "..\\..", "x.dll", "readme.txt", "m\x01.dll", " ",  "gear"};
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, nullptr);
    if (!archive) {
        return false;
    }
    const unsigned count = bytes.below(8) + 1;
    contents.reserve(count); // the buffers must not move before zip_close reads them
    for (unsigned i = 0; i < count; ++i) {
        QByteArray name;
        const unsigned pieces = bytes.below(4) + 1;
        for (unsigned p = 0; p < pieces; ++p) {
            name += parts[bytes.below(std::size(parts))];
            if (p + 1 < pieces) {
                name += bytes.below(2) ? "/" : "\\";
            }
        }
        const unsigned size = bytes.next() * bytes.below(64);
        QByteArray& data = contents.emplace_back(static_cast<qsizetype>(size), char(bytes.below(3) ? 0 : bytes.next()));
        zip_source_t* source = zip_source_buffer(archive, data.constData(), data.size(), 0);
        const zip_int64_t index = source ? zip_file_add(archive, name.constData(), source, ZIP_FL_ENC_RAW) : -1;
        if (index < 0) {
            zip_source_free(source);
            continue; // libzip refuses some names, or a name twice
        }
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                 bytes.below(2) ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
    }
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_unzip";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    QTemporaryDir root;
    if (!root.isValid() || size == 0) {
        return 0;
    }
    const QString zipPath = root.filePath(QStringLiteral("machine.zip"));
    const QString folder = root.filePath(QStringLiteral("a/b/gear/generators"));
    const QString backup = root.filePath(QStringLiteral("a/b/gear/backup"));
    const QString mine = root.filePath(QStringLiteral("mine.dll"));
    QDir().mkpath(folder);
    QFile own(mine);
    if (!own.open(QIODevice::WriteOnly) || own.write("user's own") != 10) {
        return 0;
    }
    own.close();
    QFile::link(mine, folder + QStringLiteral("/x.dll"));
    QFile::link(root.filePath(QStringLiteral("nowhere.dll")), folder + QStringLiteral("/readme.txt"));

    Bytes bytes(data, size);
    std::vector<QByteArray> contents;
    gw::UnzipOptions options;
    if (data[0] % 2 == 1) {
        bytes.next();
        if (!buildArchive(bytes, zipPath, contents)) {
            return 0;
        }
        options.overwrite = bytes.below(4) != 0;
    } else {
        QFile zip(zipPath);
        if (!zip.open(QIODevice::WriteOnly)) {
            return 0;
        }
        zip.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    options.backupFolder = backup;
    options.backupSubfolder = QStringLiteral("generators");
    // Small limits, so a run stays quick and the limits themselves are reached.
    options.limits.maxEntrySize = 1 << 16;
    options.limits.maxTotalSize = 1 << 18;
    options.limits.ratioFloor = 1 << 12;
    const QStringList before = everything(root.path());

    // Twice, so the second run meets the files of the first: replaced, backed up or kept.
    for (int run = 0; run < 2; ++run) {
        const gw::UnzipReport report = gw::unzipFlat(zipPath, folder, options);
        for (const gw::UnzippedEntry& entry : report.entries) {
            if (entry.result != gw::EntryResult::Skipped &&
                !QDir::fromNativeSeparators(entry.path).startsWith(folder)) {
                std::abort();
            }
        }
    }
    // Everything new lies in the gear folder or the backup folder; the file the link points to is untouched.
    for (const QString& path : everything(root.path())) {
        if (!before.contains(path) && !path.startsWith(folder + QLatin1Char('/')) &&
            !(path + QLatin1Char('/')).startsWith(backup + QLatin1Char('/'))) {
            std::abort();
        }
    }
    if (!own.open(QIODevice::ReadOnly) || own.readAll() != "user's own" ||
        QFile::exists(root.filePath(QStringLiteral("nowhere.dll")))) {
        std::abort();
    }
    return 0;
}
