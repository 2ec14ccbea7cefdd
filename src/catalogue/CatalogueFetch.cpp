#include "catalogue/CatalogueFetch.h"

#include "base/NumberText.h"
#include "base/SafeWrite.h"
#include "catalogue/CatalogueRows.h"
#include "catalogue/CatalogueText.h"
#include "transfer/TransferReport.h"

#include <QFile>
#include <QTimer>

#include <memory>

namespace {

QString numberText(qint64 number)
{
    return QString::fromStdString(gw::NumberText(number));
}

// The window searched for a row: large enough for any record, small enough to cost nothing.
constexpr std::size_t kWindow = 1 << 20;
constexpr std::size_t kOverlap = 1 << 16;

const QString kPages[] = {QLatin1String(gw::catalogueFiles(true).page), QLatin1String(gw::catalogueFiles(false).page)};
const QString kLists[] = {QLatin1String(gw::catalogueFiles(true).list), QLatin1String(gw::catalogueFiles(false).list)};

/** A fetch of both pages, kept alive by the callbacks that continue it. */
struct CatalogueRun
{
    HttpTransfer& transfer;
    TransferReport& report;
    CatalogueFetchJob job;
    std::function<void(const CatalogueOutcome&)> done;
    std::shared_ptr<gw::SafeWrite> pages[2];
    CatalogueOutcome outcome;
    bool cancelled = false;
};

/**
 * Converts a kept page into its list file as the readers expect it: each line feed becomes CR LF, and text after
 * the last one becomes a last line. Read and written in pieces.
 */
bool convertPage(TransferReport& report, const QString& programFolder, int page, QStringList& written)
{
    QFile in(programFolder + kPages[page]);
    gw::SafeWrite out(programFolder + kLists[page]);
    if (!in.open(QIODevice::ReadOnly) || !out.open()) {
        report.logStatus(QStringLiteral("Unable to convert ") + in.fileName() + QStringLiteral(" to ") + programFolder +
                         kLists[page]);
        return false;
    }
    // Whole lines go through the conversion as they are read; the text after a piece's last line feed waits for the
    // next piece, and ends the list as its last line.
    QByteArray rest;
    const auto convert = [&out](const QByteArray& text) {
        const std::string lines = gw::toDosLines(std::string_view(text.constData(), std::size_t(text.size())));
        out.write(lines.data(), qint64(lines.size()));
    };
    while (!in.atEnd()) {
        const QByteArray piece = in.read(1 << 16);
        if (piece.isEmpty()) {
            break;
        }
        rest += piece;
        const qsizetype end = rest.lastIndexOf('\n') + 1;
        if (end > 0) {
            convert(rest.left(end));
            rest.remove(0, end);
        }
    }
    if (in.error() != QFile::NoError) {
        out.refuse(in.errorString());
    } else if (!rest.isEmpty()) {
        convert(rest);
    }
    if (!out.commit()) {
        report.logStatus(QStringLiteral("Unable to write ") + programFolder + kLists[page] + QStringLiteral(": ") +
                         out.outcome().reason);
        return false;
    }
    written << programFolder + kLists[page];
    return true;
}

void finish(const std::shared_ptr<CatalogueRun>& run)
{
    TransferReport& report = run->report;
    CatalogueOutcome& outcome = run->outcome;
    if (outcome.reason.isEmpty()) {
        for (int page = 0; page < 2; ++page) {
            if (!run->pages[page]->commit()) {
                outcome.end = CatalogueOutcome::End::ConvertFailed;
                outcome.reason = QStringLiteral("Unable to write ") + run->job.programFolder + kPages[page] +
                                 QStringLiteral(": ") + run->pages[page]->outcome().reason;
                report.logStatus(outcome.reason);
                return run->done(outcome);
            }
            outcome.written << run->job.programFolder + kPages[page];
        }
        report.logStatus(QStringLiteral("Converting allgenerators.htm from UNIX to DOS"), true);
        const bool generators = convertPage(report, run->job.programFolder, 0, outcome.written);
        report.logStatus(QStringLiteral("Converting alleffects.htm from UNIX to DOS"), true);
        const bool effects = convertPage(report, run->job.programFolder, 1, outcome.written);
        if (generators && effects) {
            report.logStatus(
                QStringLiteral("Completed converting allgenerators.htm and alleffects.htm from UNIX to DOS"), true);
            outcome.end = CatalogueOutcome::End::Updated;
        } else {
            outcome.end = CatalogueOutcome::End::ConvertFailed;
            outcome.reason = QStringLiteral("a list could not be written");
        }
    } else {
        // A page that did not arrive whole leaves everything as it was, earlier pages included: none is converted,
        // and the one that did arrive is dropped now, not whenever the last callback lets go of the run.
        for (std::shared_ptr<gw::SafeWrite>& kept : run->pages) {
            if (kept) {
                kept->refuse(outcome.reason);
                kept.reset();
            }
        }
        report.logStatus(QStringLiteral("Kept allgenerators.txt and alleffects.txt as they were: ") + outcome.reason);
    }
    run->done(outcome);
}

void fetchPage(const std::shared_ptr<CatalogueRun>& run, int page)
{
    TransferReport& report = run->report;
    const QString& name = kPages[page];
    const QString url = run->job.archiveBaseUrl + name;
    report.status(QStringLiteral("Downloading ") + url);
    if (page == 0) {
        report.startLog(QStringLiteral("Downloading ") + url);
    } else {
        report.log(QStringLiteral("Downloading ") + url);
    }
    report.log(name);

    auto rows = std::make_shared<CatalogueRowCheck>();
    auto nextMark = std::make_shared<qint64>(1024);
    FetchRequest request;
    request.url = url;
    request.target = run->job.programFolder + name;
    request.requiredHeader = "Content-Type";
    request.maxBytes = run->job.limits.maxPageBytes;
    request.idleMs = run->job.limits.idleMs;
    request.totalMs = run->job.limits.pageTotalMs;
    request.inspect = [rows](const char* data, qint64 size) { rows->feed(data, size); };
    request.verdict = [rows, name] {
        return rows->foundRow() ? QString() : name + QStringLiteral(" holds no machine of the catalogue; not kept");
    };
    request.onHeaders = [&report](const FetchOutcome& headers) {
        report.logStatus(QStringLiteral("Content-Type is ") + headers.contentType, true);
    };
    const auto progress = [&report, name](qint64 count) {
        report.status(QStringLiteral("Downloading ") + name + QStringLiteral("  ") + numberText(count) +
                          QStringLiteral(" bytes downloaded"),
                      true);
    };
    request.onProgress = [progress, nextMark](qint64 received) {
        for (; *nextMark <= received; *nextMark += 1024) {
            progress(*nextMark);
        }
    };
    request.onDone = [run, page, name, progress](const FetchOutcome& fetched) {
        TransferReport& report = run->report;
        if (fetched.headersAccepted) {
            if (fetched.received % 1024 != 0) {
                progress(fetched.received);
            }
            progress(fetched.received); // the read that found the body used up
        }
        if (fetched.end == FetchEnd::Received) {
            run->pages[page] = fetched.file;
            report.logStatus(QStringLiteral("Completed download of ") + name + QStringLiteral("  ") +
                             numberText(fetched.received) + QStringLiteral(" bytes"));
        } else {
            report.logStatus(fetched.headersAccepted ? QStringLiteral("Did not complete download of ") + name
                                                     : QStringLiteral("Connected?  Did not download ") + name);
            const QString reason = fetched.end == FetchEnd::Cancelled ? QStringLiteral("cancelled") : fetched.reason;
            if (!reason.isEmpty()) {
                report.log(reason);
            }
            if (run->outcome.reason.isEmpty()) {
                run->outcome.reason = name + QStringLiteral(": ") + reason;
            }
            run->cancelled = fetched.end == FetchEnd::Cancelled;
        }
        // The second page is fetched whatever became of the first, unless the user stopped the fetch.
        if (page == 0 && !run->cancelled) {
            fetchPage(run, 1);
        } else {
            finish(run);
        }
    };
    if (!run->transfer.start(std::move(request))) {
        run->outcome.reason = QStringLiteral("another transfer is running");
        QTimer::singleShot(0, &run->transfer, [run] { run->done(run->outcome); });
    }
}

} // namespace

void CatalogueRowCheck::feed(const char* data, qint64 size)
{
    if (m_found) {
        return;
    }
    for (qint64 i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            m_window += '\r';
        }
        m_window += data[i];
    }
    if (m_window.size() > kWindow) {
        search();
        // Kept from the last line start in the overlap, so a record cut at the window's end is found next time.
        const std::size_t keepFrom = m_window.find('\n', m_window.size() - kOverlap);
        m_window.erase(0, keepFrom == std::string::npos ? m_window.size() - kOverlap : keepFrom + 1);
    }
}

bool CatalogueRowCheck::foundRow()
{
    if (!m_found) {
        m_window += "\r\n";
        search();
    }
    return m_found;
}

void CatalogueRowCheck::search()
{
    gw::forEachCatalogueRow(m_window, [this](const gw::CatalogueRow&) { m_found = true; });
}

void fetchCatalogue(HttpTransfer& transfer, TransferReport& report, const CatalogueFetchJob& job,
                    const std::function<void(const CatalogueOutcome&)>& done)
{
    auto run = std::make_shared<CatalogueRun>(CatalogueRun{transfer, report, job, done, {}, {}, false});
    fetchPage(run, 0);
}
