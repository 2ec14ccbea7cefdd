#pragma once

#include <QString>

namespace gw {

/**
 * The folder the program keeps its files in, with a trailing separator. A folder given on the command line wins.
 * Otherwise a portable copy uses its own folder; an installed copy, whose folder it may not write, uses the per-user
 * data folder, created on first use and seeded with the catalogue lists shipped beside the program.
 */
QString resolveProgramFolder(const QString& requested);

/**
 * The machine archive's base URL, ending in "/": requested when given, else the built-in setting. The archive's
 * real address is not built in; the default is a placeholder that names no host.
 */
QString archiveBaseUrl(const QString& requested);

/** Where an installed copy finds the catalogue lists it ships, or empty. */
QString shippedDataFolder();

} // namespace gw
