#pragma once

#include "gear/PeHeader.h"
#include "unzip/Unzip.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace gw {

/** A machine's DLL found on the user's disk: a loose file, or an entry of a zip. */
struct LocalFind
{
    QString file;  // the loose DLL, or the zip holding it
    QString entry; // the zip entry's name as the zip gives it; empty for a loose file
    /** Where it was found as the user reads it: the loose file, or the zip's path followed by the entry's. */
    QString source() const { return entry.isEmpty() ? file : file + QLatin1Char('/') + entry; }
};

/** What installing a found DLL did. */
struct LocalInstall
{
    enum class Result { Installed, NotADll, Failed };
    Result result = Result::Failed;
    QString path;   // the DLL in the gear folder
    QString backup; // where the DLL it replaced was kept, when it differed
    QString reason; // for Failed: why
    Architecture architecture = Architecture::NotWindows;
};

/**
 * The folders a user named as holding machines, searched once, recursively: loose DLLs by file name and zip entries
 * by the file name of their last path part, both ignoring letter case. A zip's directory alone is read. An entry
 * whose name is absolute or climbs with ".." is not taken: the installs refuse such names everywhere, as they are
 * made to reach outside a folder.
 */
class LocalSources
{
public:
    explicit LocalSources(const QStringList& folders, const UnzipLimits& limits = {});
    /** Every place dll (a file name) was found: loose files first, then zip entries, each in path order. */
    QList<LocalFind> find(const QString& dll) const;
    bool isEmpty() const { return m_byName.isEmpty(); }

private:
    QHash<QString, QList<LocalFind>> m_byName; // by the folded file name
};

/**
 * Installs a found DLL flat into gearFolder under its own file name (an existing file named so in another letter
 * case is the one replaced): a zip entry through unzipFlat with only that entry, a loose file through SafeWrite.
 * What would be written is checked first: a file that is not a Windows DLL gives NotADll and writes nothing. A DLL of
 * other content that is replaced is first kept in the gear folders' backup folder, as a machine zip's install does.
 */
LocalInstall installLocal(const LocalFind& found, const QString& gearFolder, const UnzipLimits& limits = {},
                          const QDateTime& now = QDateTime::currentDateTime());

} // namespace gw
