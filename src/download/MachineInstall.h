#pragma once

#include <QString>

#include <memory>

class TransferReport;
class cUnzip;

/**
 * Unzips a machine zip into a gear folder: every file straight into the folder, existing files replaced without
 * asking. Reports its start and end, and the archive's complaints, in the log. extracted (when given) tells whether
 * the archive was extracted without error. Returns the unzip object, which the window keeps until the next install.
 */
std::unique_ptr<cUnzip> installZip(const QString& zipPath, const QString& destination, TransferReport& report,
                                   bool* extracted = nullptr);
