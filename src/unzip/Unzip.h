#pragma once

#include "base/SafeWrite.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

namespace gw {

/**
 * What an archive may hold before it is taken for a zip bomb or a forgery. Machine zips and bundles share these; a
 * test passes smaller ones. Sizes are checked as the archive declares them before anything is written, and the
 * bytes that really come out are counted while they are inflated, so a lying header gets no further.
 */
struct UnzipLimits
{
    /** An entry over ratioFloor unpacked that is packed tighter than this (unpacked : packed) is refused. */
    double maxRatio = 200.0;
    qint64 ratioFloor = qint64(1) << 20;
    /** No machine comes near this; an entry larger is refused. */
    qint64 maxEntrySize = qint64(64) << 20;
    /** The archive is refused whole when the entries it would write unpack to more than this together, */
    qint64 maxTotalSize = qint64(1) << 30;
    /** or when it holds more entries than this. */
    qint64 maxEntries = 10000;
};

/** How the archive as a whole fared. */
enum class ArchiveState {
    Read,           // its entries were gone through; each entry says what became of it
    NotAZip,        // it is no zip at all (a web page, an empty file, …)
    Unreadable,     // a zip that cannot be opened or read (damaged directory, missing, no rights)
    TooManyEntries, // refused whole: more entries than maxEntries
    TooLarge,       // refused whole: the entries to write unpack to more than maxTotalSize
};

/** What became of one entry. */
enum class EntryResult {
    Written,           // a new file
    ReplacedIdentical, // a file of the same content was there and was replaced
    BackedUp,          // a file of other content was there: kept in the backup folder, then replaced
    Replaced,          // replaced without a backup: none was asked for, or this run had written the file
    Kept,              // a file was there and overwrite is off: left as it was
    Skipped,           // nothing written; skip says why
};

/** Why an entry was skipped. */
enum class SkipReason {
    None,
    UnsafeName,   // "..", an absolute path, a drive, a control character: it could name a place outside the folder
    TooLarge,     // declares more than maxEntrySize
    PackedTight,  // packed tighter than maxRatio
    Damaged,      // its data cannot be read whole, fails its CRC, or is longer or shorter than it declares
    Encrypted,    // no password is ever given
    TargetIsLink, // the file it would replace is a symbolic link
    WriteFailed,  // the write or the backup failed: write says how, detail in the system's words
};

struct UnzippedEntry
{
    QString name; // as the archive names it
    EntryResult result = EntryResult::Skipped;
    QString path;   // the file written, replaced or kept (native separators); empty for a skip before a target
    QString backup; // for BackedUp: where the previous file went
    SkipReason skip = SkipReason::None;
    WriteFailure write = WriteFailure::None;
    QString detail; // the library's or the system's words, or the figures of a refused size
};

struct UnzipReport
{
    ArchiveState state = ArchiveState::Unreadable;
    QString detail; // the library's words, or the figures of a refused limit
    std::vector<UnzippedEntry> entries;

    /** Read, and no entry skipped. */
    bool complete() const;
    /** Entries whose file now holds the archive's content. */
    int installed() const;
};

struct UnzipOptions
{
    /** Archive entry names to take, as the archive names them; empty: every file entry. */
    QStringList only;
    bool overwrite = true;
    UnzipLimits limits;
    /**
     * When set, a file of other content about to be replaced is first copied to
     * backupFolder/<backupTime>/<backupSubfolder>/ (see keepBackup); without it, it is replaced as it is.
     */
    QString backupFolder;
    QString backupSubfolder;
    QDateTime backupTime = QDateTime::currentDateTime();
};

/**
 * Unzips flat: every file entry straight into folder under its own file name, the folders the archive records
 * dropped. A name that differs from a file in folder only in letter case names that file, as on Windows. Each file
 * is written through SafeWrite and renamed into place only once read whole with its CRC checked, so a damaged entry
 * leaves the previous file as it was; nothing is written outside folder (resolved once, so it may be a link), and a
 * target that is a link is refused. An archive refused by a limit writes nothing.
 */
UnzipReport unzipFlat(const QString& zipPath, const QString& folder, const UnzipOptions& options = {});

/** Whether an entry of these declared sizes breaks the per-entry limits; why in skip and detail. */
bool entryWithinLimits(const UnzipLimits& limits, qint64 size, qint64 packedSize, SkipReason& skip, QString& detail);

} // namespace gw
