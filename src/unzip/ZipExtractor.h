#pragma once

#include <QObject>
#include <QString>

/**
 * A zip archive and how to extract it: the archive name, the destination folder and the options as properties,
 * and extract() to extract every entry. The work is done by libzip (see ZipExtraction); the signals let a holder
 * follow and steer a run. They carry their answers by reference, so connect them directly.
 */
class ZipExtractor : public QObject
{
    Q_OBJECT
public:
    /** Answers to overwritePrompt. */
    enum OverwriteResponse { ReplaceNo = 100, ReplaceYes = 102, ReplaceAll = 103, ReplaceNone = 104 };

    explicit ZipExtractor(QObject* parent = nullptr);

    bool extractOnlyNewer() const { return m_extractOnlyNewer; }
    void setExtractOnlyNewer(bool on) { m_extractOnlyNewer = on; }
    bool spaceToUnderScore() const { return m_spaceToUnderScore; }
    void setSpaceToUnderScore(bool on) { m_spaceToUnderScore = on; }
    bool promptToOverwrite() const { return m_promptToOverwrite; }
    void setPromptToOverwrite(bool on) { m_promptToOverwrite = on; }
    qint32 messageLevel() const { return m_messageLevel; }
    void setMessageLevel(qint32 level) { m_messageLevel = level; }
    bool testZip() const { return m_testZip; }
    void setTestZip(bool on) { m_testZip = on; }
    bool useFolderNames() const { return m_useFolderNames; }
    void setUseFolderNames(bool on) { m_useFolderNames = on; }
    bool overwriteExisting() const { return m_overwriteExisting; }
    void setOverwriteExisting(bool on) { m_overwriteExisting = on; }
    bool convertCRToCRLF() const { return m_convertCRToCRLF; }
    void setConvertCRToCRLF(bool on) { m_convertCRToCRLF = on; }
    bool caseSensitiveFileNames() const { return m_caseSensitiveFileNames; }
    void setCaseSensitiveFileNames(bool on) { m_caseSensitiveFileNames = on; }

    QString zipFile() const { return m_zipFile; }
    void setZipFile(const QString& path) { m_zipFile = path; }
    QString destinationFolder() const { return m_destinationFolder; }
    void setDestinationFolder(const QString& folder) { m_destinationFolder = folder; }

    /** Extracts every entry into the destination folder; true when the archive was extracted without error. */
    bool extract();

signals:
    /** A chance to stop the run; set cancel to stop. */
    void cancelRequested(const QString& message, bool& cancel);
    /** A file to be written exists; answer (ReplaceNo on entry) says what to do. */
    void overwritePrompt(const QString& file, int& answer);
    /** An entry is encrypted; give password, or set cancel. */
    void passwordRequest(QString& password, bool& cancel);
    /** A message of the run. */
    void progress(qint32 count, const QString& message);

private:
    bool m_extractOnlyNewer = false;
    bool m_spaceToUnderScore = false;
    bool m_promptToOverwrite = false;
    qint32 m_messageLevel = 0;
    bool m_testZip = false;
    bool m_useFolderNames = false;
    bool m_overwriteExisting = false;
    bool m_convertCRToCRLF = false;
    bool m_caseSensitiveFileNames = false;
    QString m_zipFile;
    QString m_destinationFolder;
};
