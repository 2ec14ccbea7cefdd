#pragma once

#include <QDateTime>
#include <QSaveFile>
#include <QString>

namespace gw {

/** Why a file was not written. */
enum class WriteFailure {
    None,
    IsLink,       // the target is a symbolic link: writing would land wherever it points
    CannotCreate, // the folder cannot be made, or the temporary file beside the target cannot be opened
    WriteFailed,  // the disk refused the bytes (full, gone, …)
    CommitFailed, // the finished file could not replace the target (in use, no rights, …)
    Refused,      // the content failed the caller's check, so nothing replaced the target
};

/** What a write did: whether the target now holds the new content, and why not. */
struct WriteOutcome
{
    WriteFailure failure = WriteFailure::None;
    QString path;
    QString reason; // the system's words for a failure, when it gave any
    bool ok() const { return failure == WriteFailure::None; }
};

/**
 * The one way Gearwarden writes a file: into a temporary file beside the target, renamed over it only by commit()
 * once the caller has checked what was written. A failure or a destroyed writer leaves the previous file as it was
 * and no temporary behind. A target that is a symbolic link (dangling or not) is refused rather than followed, so
 * a write never lands outside the folder it was aimed at.
 */
class SafeWrite
{
public:
    explicit SafeWrite(const QString& target);
    ~SafeWrite();
    SafeWrite(const SafeWrite&) = delete;
    SafeWrite& operator=(const SafeWrite&) = delete;

    /** Makes the target's folder when missing and opens the temporary file; false says why in outcome(). */
    bool open();
    bool write(const char* data, qint64 size);
    bool write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }
    /** Renames the checked file over the target. */
    bool commit();
    /** Drops what was written: the target stays as it was. reason is kept for outcome(). */
    void refuse(const QString& reason);
    const WriteOutcome& outcome() const { return m_outcome; }

private:
    void fail(WriteFailure failure, const QString& reason);

    QSaveFile m_file;
    WriteOutcome m_outcome;
};

/** Writes bytes to target through SafeWrite. */
WriteOutcome writeFileSafely(const QString& target, const QByteArray& bytes);

/** Whether path is a symbolic link, dangling or not. */
bool isLink(const QString& path);

/** Whether two files hold the same bytes (false when either cannot be read). */
bool sameContent(const QString& first, const QString& second);

/**
 * Keeps a copy of file in backupFolder/<when>/<subfolder>/ under its own name, so a person can see what it was and
 * when it was put aside, and returns the copy's path; empty when the copy failed (why in error).
 */
QString keepBackup(const QString& file, const QString& backupFolder, const QString& subfolder, const QDateTime& when,
                   QString* error = nullptr);

} // namespace gw
