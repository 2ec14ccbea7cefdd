#pragma once

#include <QString>
#include <QStringList>

class ZipExtractor;

/** The extraction runs behind ZipExtractor, over libzip. */
namespace ZipExtraction {

struct Options
{
    bool extractOnlyNewer = false;
    bool spaceToUnderScore = false;
    bool promptToOverwrite = false;
    bool testZip = false;
    bool useFolderNames = false;
    bool overwriteExisting = false;
    bool convertCRToCRLF = false;
    bool caseSensitiveFileNames = false;
};

/** Results of a run, with the classic unzip library's meanings. */
enum Result {
    Ok = 0,
    Warning = 1,   // some entries were skipped
    Error = 2,     // some entries could not be extracted
    NotAZip = 9,   // the archive cannot be opened or read
    NotFound = 11, // none of the named entries is in the archive
    Cancelled = 80,
};

/** An entry that claims more than this is refused, so a forged size cannot fill the disk. */
constexpr qint64 kMaxEntrySize = qint64(1) << 30;

/**
 * Extracts the archive, raising the extractor's signals as it goes. Every file is written under folder only: to a
 * temporary name first, renamed into place when the entry was read whole and checked, so a damaged archive never
 * leaves a half-written file over a good one. An empty include list means every entry.
 */
int run(ZipExtractor& extractor, const Options& options, const QString& zipPath, const QString& folder,
        const QStringList& include);

} // namespace ZipExtraction
