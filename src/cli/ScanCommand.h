#pragma once

#include <QString>
#include <QStringList>

#include <iosfwd>

namespace gw::cli {

struct ScanOptions
{
    QStringList paths;
    QString hostFolder; // empty: the one the host's settings name
    QString programFolder;
    bool log = false;
    bool json = false;
    QString archiveUrl; // fetch-missing
    bool yes = false;   // fetch-missing: overwrite earlier downloads
    QStringList from;   // fetch-missing: folders looked in first for the missing machines
};

/** The scan command: the songs scanned by the model, then the text report or one JSON object. */
int runScan(const ScanOptions& options, std::ostream& out, std::ostream& err);

/** The fetch-missing command: the scan, then every matched missing machine fetched, and a table of results. */
int runFetchMissing(const ScanOptions& options, std::ostream& out, std::ostream& err);

} // namespace gw::cli
