#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

/** One entry of an archive as list() reports it. */
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
 * A zip archive and how to extract it: the archive name, the destination folder and the options as properties,
 * list() to list the entries and extract() to extract them. The work is done by libzip (see ZipExtraction); the
 * signals let a holder follow and steer a run. They carry their answers by reference, so connect them directly.
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
    /** Names a new archive: the listing of the previous one is emptied. */
    void setZipFile(const QString& path);
    QString destinationFolder() const { return m_destinationFolder; }
    void setDestinationFolder(const QString& folder) { m_destinationFolder = folder; }

    qint32 fileCount() const { return static_cast<qint32>(m_entries.size()); }
    // Entries are numbered from 1, as the listing reports them; an index outside gives an empty value.
    QString fileName(qint32 index) const { return entry(index).fileName; }
    QString fileDirectory(qint32 index) const { return entry(index).folder; }
    qint32 fileSize(qint32 index) const { return entry(index).size; }
    qint32 filePackedSize(qint32 index) const;
    qint32 fileCompressionRatio(qint32 index) const { return entry(index).ratio; }
    quint32 fileCrc(qint32 index) const { return entry(index).crc; }
    QDateTime fileDate(qint32 index) const { return entry(index).date; }
    QString fileCompressionMethod(qint32 index) const { return entry(index).method; }
    bool fileEncrypted(qint32 index) const { return entry(index).encrypted; }
    bool fileSelected(qint32 index) const { return entry(index).selected; }
    void setFileSelected(qint32 index, bool selected);

    /**
     * Extracts the selected entries (all of them when none was listed or every one is selected) into the
     * destination folder. Returns true when the archive was extracted without error.
     */
    bool extract();
    /** Lists the archive's entries after those already listed; always returns 0. */
    qint32 list();

    /** Adds a listed entry; called by the listing run. Empty names are not added. */
    void addListedFile(const QString& fileName, const QString& folder, const QDateTime& date, qint32 size, quint32 crc,
                       bool encrypted, qint32 ratio, const QString& method);

    /** The include name of an entry: its folder, "/" and its file name, with forward slashes only. */
    static QString entryPath(const QString& folder, const QString& file);

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
    const ArchiveEntry& entry(qint32 index) const;

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
    QList<ArchiveEntry> m_entries;
};
