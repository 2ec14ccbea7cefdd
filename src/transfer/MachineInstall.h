#pragma once

#include <QString>

class TransferReport;

/**
 * Unzips a machine zip into a gear folder: every file straight into the folder, existing files replaced without
 * asking. Reports its start and end, and the archive's complaints, in the log. Returns whether the archive was
 * extracted without error.
 */
bool installZip(const QString& zipPath, const QString& destination, TransferReport& report);
