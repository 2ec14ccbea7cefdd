#pragma once

#include <QString>
#include <QStringList>

#include <iosfwd>

namespace gw::cli {

/** The bundle command: songs and the installed machines they use, in one zip. */
int runBundle(const QStringList& songs, const QString& zipPath, const QString& programFolder,
              const QString& hostFolder, std::ostream& out, std::ostream& err);

/** The install-bundle command: a bundle's machines into the gear folders, its songs into songsFolder. */
int runInstallBundle(const QString& zipPath, const QString& songsFolder, bool overwrite, const QString& programFolder,
                     const QString& hostFolder, std::ostream& out, std::ostream& err);

} // namespace gw::cli
