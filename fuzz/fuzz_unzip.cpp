// The machine install on arbitrary archive bytes: whatever the archive holds, nothing is written outside the
// extraction folder and nothing crashes.
#include "unzip/ZipExtractor.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_unzip";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    QTemporaryDir root;
    if (!root.isValid()) {
        return 0;
    }
    const QString zipPath = root.filePath(QStringLiteral("machine.zip"));
    const QString folder = root.filePath(QStringLiteral("a/b/gear"));
    QDir().mkpath(folder);
    QFile zip(zipPath);
    if (!zip.open(QIODevice::WriteOnly)) {
        return 0;
    }
    zip.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    zip.close();
    const QStringList before = everything(root.path());

    for (const bool folders : {false, true}) {
        ZipExtractor unzip;
        unzip.setZipFile(zipPath);
        unzip.setDestinationFolder(folder);
        unzip.setOverwriteExisting(true);
        unzip.setUseFolderNames(folders);
        unzip.extract();
    }

    // Everything new must lie inside the extraction folder.
    for (const QString& path : everything(root.path())) {
        if (!before.contains(path) && !path.startsWith(folder + QLatin1Char('/'))) {
            std::abort();
        }
    }
    return 0;
}
