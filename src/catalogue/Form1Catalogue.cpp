// The main window's catalogue handlers: reading the download lists and fetching the catalogue pages.
#include "app/Form1.h"

#include "app/NumberText.h"
#include "app/Platform.h"
#include "app/SortedList.h"
#include "catalogue/CatalogueText.h"
#include "download/Inet.h"

#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QSaveFile>

/** One of the two catalogue files and its status texts. */
struct Form1::CatalogueKind
{
    const char* file;
    const char* readingText;
    const char* completedText;
};

namespace {

QString numberText(qint64 number) { return QString::fromStdString(gw::NumberText(number)); }


} // namespace

void Form1::readCatalogue(const CatalogueKind& kind, QListWidget* list)
{
    const QString path = programFolder + QLatin1String(kind.file);
    // A missing file keeps what the list holds and says nothing.
    if (!QFileInfo(path).isFile()) {
        return;
    }
    setStatus(QLatin1String(kind.readingText), true);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setStatus(QStringLiteral("Unable to read ") + path + QStringLiteral(": ") + file.errorString());
        return;
    }
    const QByteArray content = file.readAll();
    file.close();

    // Filling is not a choice of the user: the selection handler stays out of it.
    const QSignalBlocker blocker(list);
    list->clear();
    qint64 lines = 0;
    int sinceRepaint = 0;
    gw::CatalogueLines reader(std::string_view(content.constData(), static_cast<std::size_t>(content.size())));
    std::string_view line;
    while (reader.next(line)) {
        ++lines;
        const std::optional<std::string_view> entry = gw::catalogueEntry(line);
        if (!entry) {
            continue;
        }
        SortedList::add(list, QString::fromStdString(gw::platform::ansiToUtf8(*entry)));
        if (++sinceRepaint > 100) {
            list->repaint();
            sinceRepaint = 0;
        }
    }
    setStatus(QLatin1String(kind.completedText) + numberText(list->count()) + QStringLiteral(" machines. ") +
                  numberText(lines) + QStringLiteral(" lines."),
              true);
}

void Form1::ReadGeneratorList()
{
    static constexpr CatalogueKind generators = {"allgenerators.txt", "Reading Plugvault generators list",
                                                 "Completed reading allgenerators.txt  list. "};
    readCatalogue(generators, List2);
}

void Form1::ReadEffectList()
{
    static constexpr CatalogueKind effects = {"alleffects.txt", "Reading Plugvault effects list",
                                              "Completed reading alleffects.txt list. "};
    readCatalogue(effects, List6);
}

void Form1::Command4_Click()
{
    ReadGeneratorList();
    ReadEffectList();
    setStatus(QStringLiteral("Generator list contains ") + numberText(List2->count()) +
              QStringLiteral(" machines.  Effects list contains ") + numberText(List6->count()) +
              QStringLiteral(" machines."));
}

void Form1::DownloadMachineLists_Click()
{
    if (downloadInProgress) {
        showMessage(QStringLiteral("There is already a download in progress"));
        return;
    }
    downloadInProgress = true;
    fetchCataloguePage(QStringLiteral("allgenerators.php"), true);
    if (!fetchCataloguePage(QStringLiteral("alleffects.php"), false)) {
        downloadInProgress = false;
        return;
    }
    ConvertListsFromUnix();
    downloadInProgress = false;
}

bool Form1::fetchCataloguePage(const QString& page, bool firstPage)
{
    const QString url = m_archiveBaseUrl + page;
    setStatus(QStringLiteral("Downloading ") + url);
    if (firstPage) {
        startLog(QStringLiteral("Downloading ") + url);
    } else {
        appendLog(QStringLiteral("Downloading ") + url);
    }
    appendLog(page);

    Inet1->Execute(url, QStringLiteral("GET"));
    Inet1->waitWhileExecuting();

    const QString contentType = Inet1->GetHeader(QStringLiteral("Content-Type"));
    if (contentType.isEmpty()) {
        logStatus(QStringLiteral("Connected?  Did not download ") + page);
        if (!Inet1->errorText().isEmpty()) {
            appendLog(Inet1->errorText());
        }
        return false;
    }
    qint64 received = 0;
    logStatus(QStringLiteral("Content-Type is ") + contentType, true);

    const QString path = programFolder + page;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        logStatus(QStringLiteral("Unable to write ") + path + QStringLiteral(": ") + file.errorString());
        return true;
    }
    bool written = true;
    QByteArray chunk;
    do {
        chunk = Inet1->GetChunk(1024, Inet::icString);
        received += chunk.size();
        setStatus(QStringLiteral("Downloading ") + page + QStringLiteral("  ") + numberText(received) +
                      QStringLiteral(" bytes downloaded"),
                  true);
        written = written && file.write(chunk) == chunk.size();
    } while (!chunk.isEmpty());
    file.close();
    if (!written) {
        file.remove();
        logStatus(QStringLiteral("Unable to write ") + path + QStringLiteral(": ") + file.errorString());
    } else if (file.size() > 0) {
        logStatus(QStringLiteral("Completed download of ") + page + QStringLiteral("  ") + numberText(received) +
                  QStringLiteral(" bytes"));
    } else {
        file.remove();
        logStatus(QStringLiteral("Did not complete download of ") + page);
    }
    return true;
}

bool Form1::convertPage(const QString& page, const QString& list)
{
    const QString source = programFolder + page;
    if (!QFileInfo(source).isFile()) {
        logStatus(page + QStringLiteral(" not found"));
        return false;
    }
    QFile in(source);
    QSaveFile out(programFolder + list);
    // Written to a temporary file and renamed into place, so a failure keeps the previous list whole.
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) {
        logStatus(QStringLiteral("Unable to convert ") + source + QStringLiteral(" to ") + programFolder + list);
        return true;
    }
    const QByteArray text = in.readAll();
    const std::string converted = gw::toDosLines(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
    out.write(converted.data(), static_cast<qint64>(converted.size()));
    if (!out.commit()) {
        logStatus(QStringLiteral("Unable to write ") + programFolder + list + QStringLiteral(": ") + out.errorString());
    }
    return true;
}

void Form1::ConvertListsFromUnix()
{
    logStatus(QStringLiteral("Converting allgenerators.htm from UNIX to DOS"), true);
    convertPage(QStringLiteral("allgenerators.php"), QStringLiteral("allgenerators.txt"));
    logStatus(QStringLiteral("Converting alleffects.htm from UNIX to DOS"), true);
    if (!convertPage(QStringLiteral("alleffects.php"), QStringLiteral("alleffects.txt"))) {
        return;
    }
    logStatus(QStringLiteral("Completed converting allgenerators.htm and alleffects.htm from UNIX to DOS"), true);
}
