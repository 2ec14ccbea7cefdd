#pragma once

#include <QString>

namespace gw {

/** folder with the platform's separators, ending in one. */
QString withSeparator(const QString& folder);

/**
 * The folder the program keeps its files in, with a trailing separator. A folder given on the command line wins.
 * Otherwise a portable copy uses its own folder; an installed copy, whose folder it may not write, uses the per-user
 * data folder, created on first use and seeded with the catalogue lists shipped beside the program.
 */
QString resolveProgramFolder(const QString& requested);

/**
 * The machine archive's base URL, ending in "/": requested when given, else the one the user last set (kept in the
 * per-user settings), else empty: the archive's address is not built in.
 */
QString archiveBaseUrl(const QString& requested);
/** Keeps the archive's base URL in the per-user settings for the next runs. */
void rememberArchiveBaseUrl(const QString& url);

/** The host folder the user chose in the window (per-user settings), or empty. */
QString rememberedHostFolder();
void rememberHostFolder(const QString& folder);

/** Where an installed copy finds the catalogue lists it ships, or empty. */
QString shippedDataFolder();

} // namespace gw
