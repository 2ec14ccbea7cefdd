#pragma once

#include <QString>

#include <memory>

class TransferReport;
class ZipExtractor;

/**
 * Unzips a machine zip into a gear folder: every file straight into the folder, existing files replaced without
 * asking. Reports its start and end, and the archive's complaints, in the log. extracted (when given) tells whether
 * the archive was extracted without error. Returns the extractor, which the window keeps until the next install.
 */
std::unique_ptr<ZipExtractor> installZip(const QString& zipPath, const QString& destination, TransferReport& report,
                                         bool* extracted = nullptr);
