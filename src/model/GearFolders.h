#pragma once

#include "check/MissingCheck.h"
#include "model/SortedNames.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <array>

/**
 * The host's gear folders as the program last saw them: the DLLs each holds, and which used machines are missing
 * from them, as records and as the texts the missing lists show. Moves between the two folders happen here and
 * report what they did as data.
 */
class GearFolders
{
public:
    using Kind = gw::MachineKind;

    /** What a move did. */
    struct Move
    {
        enum class Result {
            Moved,        // renamed into the other folder
            TwinDeleted,  // the other folder holds it already (in any letter case): this copy was deleted
            NotMoved,     // the rename failed: in use, gone, or the folder cannot be written
            NotDeleted,   // the delete failed
            NotKeptAside, // it differs from the other folder's copy, which could not be backed up: nothing done
        };
        Result result = Result::Moved;
        QString source; // the path moved or deleted
        QString twin;   // the other folder's copy, for a delete
        QString backup; // where a differing copy was kept before it was deleted; empty when none was needed
        QString reason; // why a backup failed
    };

    static int index(Kind kind) { return kind == Kind::Generator ? 0 : 1; }
    static Kind other(Kind kind) { return kind == Kind::Generator ? Kind::Effect : Kind::Generator; }

    QString hostFolder() const { return m_hostFolder; }
    void setHostFolder(const QString& folder) { m_hostFolder = folder; }
    QString gearFolder() const;
    /** The generators or effects folder. */
    QString folder(Kind kind) const;
    /** Where copies that an install or a move replaces are kept: a folder under the gear folder. */
    QString backupFolder() const;

    /** Makes each missing kind folder (and the gear folder) one level at a time; returns those that failed. */
    QStringList makeMissingFolders() const;
    /** Lists both folders afresh. */
    void list();
    const SortedNames& files(Kind kind) const { return m_files[index(kind)]; }

    /** Finds the missing machines among the used DLL names of each kind, against the listings. */
    void check(const std::array<std::vector<std::string>, 2>& used);
    const SortedNames& missing(Kind kind) const { return m_missing[index(kind)]; }
    /** The missing machine a missing list shows as text, or null. */
    const gw::MissingMachine* missingMachine(Kind kind, const QString& text) const;

    /** The other folder's copy of dll in any letter case, as Windows would find it; empty when there is none. */
    QString twinOf(const QString& dll, Kind from) const;
    /** Moves dll from the kind's folder into the other one, or deletes it when the other holds it already. */
    Move move(const QString& dll, Kind from) const;

private:
    QString m_hostFolder;
    std::array<SortedNames, 2> m_files;
    std::array<SortedNames, 2> m_missing;
    std::array<QHash<QString, gw::MissingMachine>, 2> m_missingMachines;
};
