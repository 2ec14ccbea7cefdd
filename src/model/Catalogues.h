#pragma once

#include "catalogue/MachineMatch.h"
#include "check/MissingCheck.h"
#include "model/SortedNames.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <memory>

/**
 * The two catalogue lists of the program folder: each one's download-list entries as last read (what the lists
 * show, repeats kept), and its rows, decoded once and indexed for matching. The rows follow the file: they are
 * parsed again only when the file has changed since.
 */
class Catalogues
{
public:
    using Kind = gw::MachineKind;

    /** What reading one list did. */
    struct Read
    {
        enum class Result { Absent, Unreadable, Read };
        Result result = Result::Absent;
        QString error; // the system's words when unreadable
        qint64 lines = 0;
    };

    Catalogues();
    ~Catalogues();
    void setProgramFolder(const QString& folder) { m_programFolder = folder; }

    /** The list file's name in the program folder. */
    static QString fileName(Kind kind);
    QString path(Kind kind) const { return m_programFolder + fileName(kind); }

    /** Reads the kind's entries (and rows). An absent or unreadable file keeps what was read before. */
    Read read(Kind kind);
    const SortedNames& entries(Kind kind) const { return m_entries[index(kind)]; }
    /** The file's rows, each field decoded to UTF-8, in file order; null when the file cannot be read. */
    const std::vector<gw::CatalogueRow>* rows(Kind kind) const;
    /** The row that is the machine dll (without ".dll"), and how it was found. */
    gw::CatalogueMatcher::Result match(Kind kind, std::string_view dll) const;

private:
    struct Parsed
    {
        qint64 size = -1;
        QDateTime modified;
        std::unique_ptr<gw::CatalogueMatcher> matcher;
    };
    static int index(Kind kind) { return kind == Kind::Generator ? 0 : 1; }
    /** Parses the rows of content, read from a file of this size and time. */
    void keepRows(Kind kind, const QByteArray& content, qint64 size, const QDateTime& modified) const;

    QString m_programFolder;
    std::array<SortedNames, 2> m_entries;
    mutable std::array<Parsed, 2> m_parsed;
};
