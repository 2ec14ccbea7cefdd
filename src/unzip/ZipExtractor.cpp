#include "unzip/ZipExtractor.h"

#include "unzip/ZipExtraction.h"

ZipExtractor::ZipExtractor(QObject* parent)
    : QObject(parent)
{
}

void ZipExtractor::setZipFile(const QString& path)
{
    m_zipFile = path;
    m_entries.clear();
}

const ArchiveEntry& ZipExtractor::entry(qint32 index) const
{
    static const ArchiveEntry none;
    return index >= 1 && index <= m_entries.size() ? m_entries.at(index - 1) : none;
}

qint32 ZipExtractor::filePackedSize(qint32 index) const
{
    const ArchiveEntry& e = entry(index);
    return static_cast<qint32>(static_cast<qint64>(e.size) * e.ratio / 100);
}

void ZipExtractor::setFileSelected(qint32 index, bool selected)
{
    if (index >= 1 && index <= m_entries.size()) {
        m_entries[index - 1].selected = selected;
    }
}

QString ZipExtractor::entryPath(const QString& folder, const QString& file)
{
    if (folder.isEmpty() || folder == QString(QChar(0))) {
        return file;
    }
    QString path = folder + QLatin1Char('/') + file;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path;
}

bool ZipExtractor::extract()
{
    if (m_zipFile.isEmpty()) {
        return false;
    }
    QStringList include;
    for (const ArchiveEntry& e : m_entries) {
        if (e.selected) {
            include << entryPath(e.folder, e.fileName);
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
    return ZipExtraction::run(*this, options, m_zipFile, m_destinationFolder, false, include) == 0;
}

qint32 ZipExtractor::list()
{
    ZipExtraction::Options options;
    options.caseSensitiveFileNames = m_caseSensitiveFileNames;
    ZipExtraction::run(*this, options, m_zipFile, QString(), true, {});
    return 0;
}

void ZipExtractor::addListedFile(const QString& fileName, const QString& folder, const QDateTime& date, qint32 size,
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
