#include "base/SafeWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace gw {

SafeWrite::SafeWrite(const QString& target)
    : m_file(target)
{
    m_outcome.path = target;
    // A file that cannot be renamed into place must fail, not be written straight over the target.
    m_file.setDirectWriteFallback(false);
}

SafeWrite::~SafeWrite()
{
    if (m_file.isOpen()) {
        m_file.cancelWriting();
        m_file.commit(); // with writing cancelled this only removes the temporary file
    }
}

void SafeWrite::fail(WriteFailure failure, const QString& reason)
{
    if (m_outcome.ok()) {
        m_outcome.failure = failure;
        m_outcome.reason = reason;
    }
    if (m_file.isOpen()) {
        m_file.cancelWriting();
        m_file.commit();
    }
}

bool SafeWrite::open()
{
    const QString target = m_outcome.path;
    if (isLink(target)) {
        fail(WriteFailure::IsLink, QStringLiteral("it is a link to ") + QFileInfo(target).symLinkTarget());
        return false;
    }
    const QString folder = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(folder)) {
        fail(WriteFailure::CannotCreate, QStringLiteral("cannot create ") + QDir::toNativeSeparators(folder));
        return false;
    }
    if (!m_file.open(QIODevice::WriteOnly)) {
        fail(WriteFailure::CannotCreate, m_file.errorString());
        return false;
    }
    return true;
}

bool SafeWrite::write(const char* data, qint64 size)
{
    if (!m_outcome.ok()) {
        return false;
    }
    if (m_file.write(data, size) != size) {
        fail(WriteFailure::WriteFailed, m_file.errorString());
        return false;
    }
    return true;
}

bool SafeWrite::commit()
{
    if (!m_outcome.ok() || !m_file.isOpen()) {
        return false;
    }
    // Looked at again: a link made while the file was written must not be replaced either.
    if (isLink(m_outcome.path)) {
        fail(WriteFailure::IsLink, QStringLiteral("it is a link to ") + QFileInfo(m_outcome.path).symLinkTarget());
        return false;
    }
    if (!m_file.commit()) {
        m_outcome.failure = WriteFailure::CommitFailed;
        m_outcome.reason = m_file.errorString();
        return false;
    }
    return true;
}

void SafeWrite::refuse(const QString& reason)
{
    fail(WriteFailure::Refused, reason);
}

WriteOutcome writeFileSafely(const QString& target, const QByteArray& bytes)
{
    SafeWrite file(target);
    if (file.open() && file.write(bytes)) {
        file.commit();
    }
    return file.outcome();
}

bool isLink(const QString& path)
{
    const QFileInfo info(path);
    return info.isSymLink() || info.isJunction();
}

bool sameContent(const QString& first, const QString& second)
{
    QFile a(first);
    QFile b(second);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.size() != b.size()) {
        return false;
    }
    constexpr qint64 kChunk = 1 << 16;
    while (!a.atEnd()) {
        if (a.read(kChunk) != b.read(kChunk)) {
            return false;
        }
    }
    return true;
}

QString keepBackup(const QString& file, const QString& backupFolder, const QString& subfolder, const QDateTime& when,
                   QString* error)
{
    QFile source(file);
    const QString folder = backupFolder + QLatin1Char('/') + when.toString(QStringLiteral("yyyy-MM-dd HH.mm.ss")) +
                           (subfolder.isEmpty() ? QString() : QLatin1Char('/') + subfolder);
    const QFileInfo info(file);
    QString target = folder + QLatin1Char('/') + info.fileName();
    // Two backups of one name in the same second keep both.
    for (int copy = 2; QFileInfo::exists(target) || isLink(target); ++copy) {
        target =
            folder + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(" (%1).").arg(copy) + info.suffix();
    }
    SafeWrite copy(target);
    if (!source.open(QIODevice::ReadOnly)) {
        copy.refuse(source.errorString());
    } else if (copy.open()) {
        while (!source.atEnd() && copy.write(source.read(1 << 16))) {
        }
        if (source.error() != QFile::NoError) {
            copy.refuse(source.errorString());
        }
        copy.commit();
    }
    if (!copy.outcome().ok()) {
        if (error) {
            *error = copy.outcome().reason;
        }
        return {};
    }
    return QDir::toNativeSeparators(target);
}

} // namespace gw
