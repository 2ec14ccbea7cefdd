#pragma once

#include <QString>

class HttpTransfer;
class TransferReport;

/**
 * Fetches the archive's two catalogue pages into the program folder and converts them into the list files the
 * readers use, reporting every step as "Download Machine Lists" does. Returns true when both pages arrived whole
 * and both were converted.
 */
bool fetchCatalogue(HttpTransfer& transfer, TransferReport& report, const QString& programFolder, const QString& archiveBaseUrl);

/** Converts the saved pages into allgenerators.txt and alleffects.txt; true when both were converted. */
bool convertPagesToLists(TransferReport& report, const QString& programFolder);
