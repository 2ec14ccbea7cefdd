#include "unzip/ZipExtractor.h"

#include "unzip/ZipExtraction.h"

#include <zip.h>

ZipExtractor::ZipExtractor(QObject* parent)
    : QObject(parent)
{
}

void ZipExtractor::setZipFile(const QString& sFIle)
{
    m_zipFile = sFIle;
    m_entries.clear();
}

const ArchiveEntry& ZipExtractor::entry(qint32 lIndex) const
{
    static const ArchiveEntry none;
    return lIndex >= 1 && lIndex <= m_entries.size() ? m_entries.at(lIndex - 1) : none;
}

qint32 ZipExtractor::FilePackedSize(qint32 lIndex) const
{
    const ArchiveEntry& e = entry(lIndex);
    return static_cast<qint32>(static_cast<qint64>(e.size) * e.ratio / 100);
}

void ZipExtractor::setFileSelected(qint32 lIndex, bool bState)
{
    if (lIndex >= 1 && lIndex <= m_entries.size()) {
        m_entries[lIndex - 1].selected = bState;
    }
}

QString ZipExtractor::EntryPath(const QString& folder, const QString& file)
{
    if (folder.isEmpty() || folder == QString(QChar(0))) {
        return file;
    }
    QString path = folder + QLatin1Char('/') + file;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path;
}

bool ZipExtractor::Unzip()
{
    if (m_zipFile.isEmpty()) {
        return false;
    }
    QStringList include;
    for (const ArchiveEntry& e : m_entries) {
        if (e.selected) {
            include << EntryPath(e.folder, e.fileName);
        }
    }
    // Every entry selected is the same as none named: the whole archive.
    if (include.size() == m_entries.size()) {
        include.clear();
    }
    ZipExtraction::Options options;
    options.extractOnlyNewer = m_extractOnlyNewer;
    options.spaceToUnderScore = m_spaceToUnderScore;
    options.promptToOverwrite = m_promptToOverwrite;
    options.testZip = m_testZip;
    options.useFolderNames = m_useFolderNames;
    options.overwriteExisting = m_overwriteExisting;
    options.convertCRToCRLF = m_convertCRToCRLF;
    options.caseSensitiveFileNames = m_caseSensitiveFileNames;
    return ZipExtraction::RunUnzipLibrary(*this, options, m_zipFile, m_unzipFolder, false, include) == 0;
}

qint32 ZipExtractor::Directory()
{
    ZipExtraction::Options options;
    options.caseSensitiveFileNames = m_caseSensitiveFileNames;
    ZipExtraction::RunUnzipLibrary(*this, options, m_zipFile, QString(), true, {});
    return 0;
}

void ZipExtractor::GetVersion(qint32& lMajor, qint32& lMinor, qint32& lRevision, QDateTime&, QString& sExtraInfo) const
{
    const QStringList parts = QString::fromLatin1(zip_libzip_version()).split(QLatin1Char('.'));
    lMajor = parts.value(0).toInt();
    lMinor = parts.value(1).toInt();
    lRevision = parts.value(2).toInt();
    sExtraInfo = parts.size() > 3 ? parts.mid(3).join(QLatin1Char('.')) : QString();
}

void ZipExtractor::AddListedFile(const QString& fileName, const QString& folder, const QDateTime& date, qint32 size,
                           quint32 crc, bool encrypted, qint32 ratio, const QString& method)
{
    if (fileName.isEmpty() || fileName == QString(QChar(0))) {
        return;
    }
    ArchiveEntry e;
    e.fileName = fileName;
    e.folder = folder;
    e.date = date;
    e.size = size;
    e.crc = crc;
    e.encrypted = encrypted;
    e.ratio = ratio;
    e.method = method;
    m_entries << e;
}
