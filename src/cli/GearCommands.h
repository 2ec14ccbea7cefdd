#pragma once

#include <QString>
#include <QStringList>

#include <iosfwd>

namespace gw::cli {

struct GearOptions
{
    QString hostFolder; // empty: the one the host's settings name
    QString programFolder;
    QStringList songs; // songs or folders of songs; none: no use counted
    bool json = false;
};

/** The gear command: every installed machine with its architecture, hash and flags, as a table or one JSON object. */
int runGear(const GearOptions& options, std::ostream& out, std::ostream& err);

/** The where-used command: the songs under paths that name machine, and as what kind. */
int runWhereUsed(const QString& machine, const QStringList& paths, std::ostream& out, std::ostream& err);

} // namespace gw::cli
