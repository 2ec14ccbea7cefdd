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
};

/** The scan command: the songs scanned by the model, then the text report or one JSON object. */
int runScan(const ScanOptions& options, std::ostream& out, std::ostream& err);

} // namespace gw::cli
