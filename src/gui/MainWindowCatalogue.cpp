// The main window's catalogue handlers: reading the download lists and fetching the catalogue pages.
#include "gui/MainWindow.h"
#include "gui/MainWindowReport.h"

#include "base/NumberText.h"
#include "base/Platform.h"
#include "gui/SortedList.h"
#include "catalogue/CatalogueFetch.h"
#include "catalogue/CatalogueText.h"
#include "transfer/HttpTransfer.h"
#include "transfer/TransferReport.h"

#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QSaveFile>

/** One of the two catalogue files and its status texts. */
struct MainWindow::CatalogueKind
{
    const char* file;
    const char* readingText;
    const char* completedText;
};

namespace {

QString numberText(qint64 number) { return QString::fromStdString(gw::NumberText(number)); }


} // namespace

void MainWindow::readCatalogue(const CatalogueKind& kind, QListWidget* list)
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

void MainWindow::ReadGeneratorList()
{
    static constexpr CatalogueKind generators = {"allgenerators.txt", "Reading Plugvault generators list",
                                                 "Completed reading allgenerators.txt  list. "};
    readCatalogue(generators, List2);
}

void MainWindow::ReadEffectList()
{
    static constexpr CatalogueKind effects = {"alleffects.txt", "Reading Plugvault effects list",
                                              "Completed reading alleffects.txt list. "};
    readCatalogue(effects, List6);
}

void MainWindow::Command4_Click()
{
    ReadGeneratorList();
    ReadEffectList();
    setStatus(QStringLiteral("Generator list contains ") + numberText(List2->count()) +
              QStringLiteral(" machines.  Effects list contains ") + numberText(List6->count()) +
              QStringLiteral(" machines."));
}

void MainWindow::DownloadMachineLists_Click()
{
    if (downloadInProgress) {
        showMessage(QStringLiteral("There is already a download in progress"));
        return;
    }
    downloadInProgress = true;
    WindowReport report(*this);
    fetchCatalogue(*Inet1, report, programFolder, m_archiveBaseUrl);
    downloadInProgress = false;
}
