#pragma once

#include "transfer/HttpTransfer.h"

#include <QString>
#include <QStringList>

#include <functional>

class TransferReport;

/** What fetching the catalogue did. */
struct CatalogueOutcome
{
    enum class End {
        Updated,       // both pages arrived whole, were kept and converted
        PageFailed,    // a page did not arrive, or was no catalogue: nothing was kept or converted
        ConvertFailed, // the pages were kept, but a list could not be written
    };
    End end = End::PageFailed;
    QString reason;      // why not Updated
    QStringList written; // the files replaced
    bool ok() const { return end == End::Updated; }
};

struct CatalogueFetchJob
{
    QString programFolder;  // ends in a separator
    QString archiveBaseUrl; // ends in "/"
    TransferLimits limits;
};

/**
 * Fetches the archive's two catalogue pages into the program folder and converts them into the list files the
 * readers use, reporting every step as "Download Machine Lists" does. A page is kept only when it arrived whole and
 * holds at least one machine; unless both are, nothing is kept or converted, so the lists in use stay as they are.
 * Returns at once; done gets the outcome from the event loop.
 */
void fetchCatalogue(HttpTransfer& transfer, TransferReport& report, const CatalogueFetchJob& job,
                    const std::function<void(const CatalogueOutcome&)>& done);

/** Whether a catalogue's text holds a machine row; fed piece by piece, never holding the whole text. */
class CatalogueRowCheck
{
public:
    void feed(const char* data, qint64 size);
    bool foundRow();

private:
    void search();
    std::string m_window; // the latest text, in the lists' CR LF form
    bool m_found = false;
};
