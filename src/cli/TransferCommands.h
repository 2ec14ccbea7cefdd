#pragma once

#include <QString>

#include <iosfwd>

namespace gw::cli {

struct CatalogueOptions
{
    QString programFolder; // ends in a separator
    bool effects = false;
    bool entries = false;
    bool json = false;
    QString filter;
};

/** Prints the rows (or the download-list entries) of a catalogue list file. */
int runCatalogue(const CatalogueOptions& options, std::ostream& out, std::ostream& err);

/** Fetches and converts the catalogue pages as "Download Machine Lists" does. */
int runUpdateCatalogue(const QString& programFolder, const QString& archiveUrl, std::ostream& out,
                       std::ostream& err);

struct DownloadOptions
{
    QString entry;
    bool generators = true;
    bool yes = false;
    QString hostFolder; // empty: found as the window finds it
    QString programFolder;
    QString archiveUrl;
};

/** Downloads and installs a machine as "Download" does; 0 only when it was downloaded whole and unzipped. */
int runDownload(const DownloadOptions& options, std::ostream& out, std::ostream& err);

} // namespace gw::cli
