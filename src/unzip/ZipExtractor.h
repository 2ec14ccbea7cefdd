#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

/** One entry of an archive as Directory lists it. */
struct ArchiveEntry
{
    QString fileName; // the part of the entry name after its last separator
    QString folder;   // the part before it
    qint32 size = 0;
    qint32 unused = 0;
    qint32 ratio = 0; // packed size as a percentage of the size
    QString method;
    QDateTime date;
    quint32 crc = 0;
    bool encrypted = false;
    bool selected = true;
};

/**
 * A zip archive and how to extract it: the archive name, the extraction folder and the options as properties,
 * Directory to list the entries and Unzip to extract them. The work is done by libzip (see ZipExtraction); the events let
 * a holder follow and steer a run. Signals carry their answers by reference, so connect them directly.
 */
class ZipExtractor : public QObject
{
    Q_OBJECT
public:
    /** Answers to OverwritePrompt. */
    enum OverwriteResponse { ReplaceNo = 100, ReplaceYes = 102, ReplaceAll = 103, ReplaceNone = 104 };

    explicit ZipExtractor(QObject* parent = nullptr);

    bool ExtractOnlyNewer() const { return m_extractOnlyNewer; }
    void setExtractOnlyNewer(bool bState) { m_extractOnlyNewer = bState; }
    bool SpaceToUnderScore() const { return m_spaceToUnderScore; }
    void setSpaceToUnderScore(bool bState) { m_spaceToUnderScore = bState; }
    bool PromptToOverwrite() const { return m_promptToOverwrite; }
    void setPromptToOverwrite(bool bState) { m_promptToOverwrite = bState; }
    qint32 MessageLevel() const { return m_messageLevel; }
    void setMessageLevel(qint32 eLevel) { m_messageLevel = eLevel; }
    bool TestZip() const { return m_testZip; }
    void setTestZip(bool bState) { m_testZip = bState; }
    bool UseFolderNames() const { return m_useFolderNames; }
    void setUseFolderNames(bool bState) { m_useFolderNames = bState; }
    bool OverwriteExisting() const { return m_overwriteExisting; }
    void setOverwriteExisting(bool bState) { m_overwriteExisting = bState; }
    bool ConvertCRToCRLF() const { return m_convertCRToCRLF; }
    void setConvertCRToCRLF(bool bState) { m_convertCRToCRLF = bState; }
    bool CaseSensitiveFileNames() const { return m_caseSensitiveFileNames; }
    void setCaseSensitiveFileNames(bool bState) { m_caseSensitiveFileNames = bState; }

    QString ZipFile() const { return m_zipFile; }
    /** Names a new archive: the listing of the previous one is emptied. */
    void setZipFile(const QString& sFIle);
    QString UnzipFolder() const { return m_unzipFolder; }
    void setUnzipFolder(const QString& sFolder) { m_unzipFolder = sFolder; }

    qint32 FileCount() const { return static_cast<qint32>(m_entries.size()); }
    // Entries are numbered from 1, as the listing reports them; an index outside gives an empty value.
    QString Filename(qint32 lIndex) const { return entry(lIndex).fileName; }
    QString FileDirectory(qint32 lIndex) const { return entry(lIndex).folder; }
    qint32 FileSize(qint32 lIndex) const { return entry(lIndex).size; }
    qint32 FilePackedSize(qint32 lIndex) const;
    qint32 FileCompressionRatio(qint32 lIndex) const { return entry(lIndex).ratio; }
    quint32 FileCRC(qint32 lIndex) const { return entry(lIndex).crc; }
    QDateTime FileDate(qint32 lIndex) const { return entry(lIndex).date; }
    QString FileCompressionMethod(qint32 lIndex) const { return entry(lIndex).method; }
    bool FileEncrypted(qint32 lIndex) const { return entry(lIndex).encrypted; }
    bool FileSelected(qint32 lIndex) const { return entry(lIndex).selected; }
    void setFileSelected(qint32 lIndex, bool bState);

    /**
     * Extracts the selected entries (all of them when none was listed or every one is selected) into UnzipFolder.
     * Returns true when the archive was extracted without error. (The classic wrapper returned the library's
     * non-zero error code as true; nothing in the program reads the value, so it means success here.)
     */
    bool Unzip();
    /** Lists the archive's entries after those already listed; always returns 0. */
    qint32 Directory();
    /** The version of the zip library; dDate is left unchanged. */
    void GetVersion(qint32& lMajor, qint32& lMinor, qint32& lRevision, QDateTime& dDate, QString& sExtraInfo) const;

    /** Adds a listed entry; called by the listing run. Empty names are not added. */
    void AddListedFile(const QString& fileName, const QString& folder, const QDateTime& date, qint32 size, quint32 crc,
                       bool encrypted, qint32 ratio, const QString& method);

    /** The include name of an entry: its folder, "/" and its file name, with forward slashes only. */
    static QString EntryPath(const QString& folder, const QString& file);

signals:
    /** A chance to stop the run; set bCancel to stop. */
    void Cancel(const QString& sMsg, bool& bCancel);
    /** A file to be written exists; eResponse (ReplaceNo on entry) says what to do. */
    void OverwritePrompt(const QString& sFIle, int& eResponse);
    /** An entry is encrypted; give sPassword, or set bCancel. */
    void PasswordRequest(QString& sPassword, bool& bCancel);
    /** A message of the run. */
    void Progress(qint32 lCount, const QString& sMsg);

private:
    const ArchiveEntry& entry(qint32 lIndex) const;

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
    QString m_unzipFolder;
    QList<ArchiveEntry> m_entries;
};
