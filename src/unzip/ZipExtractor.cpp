#include "unzip/ZipExtractor.h"

#include "unzip/ZipExtraction.h"

ZipExtractor::ZipExtractor(QObject* parent)
    : QObject(parent)
{
}

bool ZipExtractor::extract()
{
    if (m_zipFile.isEmpty()) {
        return false;
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
    return ZipExtraction::run(*this, options, m_zipFile, m_destinationFolder, {}) == ZipExtraction::Ok;
}
