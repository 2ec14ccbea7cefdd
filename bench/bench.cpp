// Speed figures, each against its baseline in the same run: prints "BENCH <name> <value> <unit>" lines.
#include "CatalogueWriter.h"
#include "PeWriter.h"
#include "RecordingDialogs.h"
#include "SongWriter.h"
#include "ZipWriter.h"

#include "gui/MainWindow.h"
#include "MemoryHostSettings.h"
#include "gui/CatalogueWindow.h"
#include "model/AppModel.h"
#include "transfer/MachineInstall.h"
#include "transfer/TransferReport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QSemaphore>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRepetitions = 5;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double timeMs(const std::function<void()>& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

/** count made-up machines of one kind, for load and speed tests. */
std::vector<gw::test::CatalogueMachine> manyMachines(int count, const std::string& kind)
{
    static const char* const developers[] = {"Acme", "Lunar", "Ember", "Glass", "Quill", "Moss", "Rook"};
    static const char* const states[] = {"Stable", "Beta", "Alpha"};
    std::vector<gw::test::CatalogueMachine> machines;
    machines.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        // A scrambled number keeps the file out of name order, as real pages are.
        const int n = (i * 7919) % (count > 0 ? count : 1);
        const std::string developer = developers[i % 7];
        gw::test::CatalogueMachine m;
        m.name = developer + " " + kind + " " + std::to_string(n);
        m.filename = developer + "_" + kind + "_" + std::to_string(n) + ".zip";
        m.date = std::to_string(2000 + i % 12) + "-" + std::to_string(1 + i % 12) + "-" + std::to_string(1 + i % 28);
        m.developer = developer;
        m.description = "A " + kind + " numbered " + std::to_string(n) + " for tests";
        m.type = kind;
        m.version = std::to_string(1 + i % 4) + "." + std::to_string(i % 10);
        m.status = states[i % 3];
        machines.push_back(m);
    }
    return machines;
}

void report(const char* name, double value, const char* unit)
{
    std::printf("BENCH %s %.3f %s\n", name, value, unit);
    std::fflush(stdout);
}

/** Runs a program with its output thrown away; returns its peak resident size in KiB, or -1. */
long runQuiet(const QStringList& command)
{
    std::vector<QByteArray> bytes;
    for (const QString& part : command) {
        bytes.push_back(QFile::encodeName(part));
    }
    std::vector<char*> argv;
    for (QByteArray& part : bytes) {
        argv.push_back(part.data());
    }
    argv.push_back(nullptr);
    // posix_spawn, not fork: a forked copy of this process would count its pages in the child's peak.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    if (failed != 0 || wait4(pid, &status, 0, &usage) < 0) {
        return -1;
    }
    return usage.ru_maxrss;
}

/** The window as the program builds it, on a model of its own with a host folder inside folder. */
struct Window
{
    Window(const QString& folder, const QString& archiveUrl = QStringLiteral("http://127.0.0.1:1/"))
    {
        auto settings = std::make_shared<gw::MemoryHostSettings>();
        settings->setValue("BuzzPath", (folder + QStringLiteral("/host")).toStdString());
        QDir(folder).mkpath(QStringLiteral("host"));
        AppModel::Setup setup;
        setup.programFolder = folder;
        setup.archiveBaseUrl = archiveUrl;
        setup.dialogs = &dialogs;
        setup.hostSettings = settings;
        model = std::make_unique<AppModel>(setup);
        model->start();
        window = std::make_unique<MainWindow>(*model);
        window->show();
    }
    void click(const char* button) { window->findChild<QPushButton*>(QLatin1String(button))->click(); }
    /** Clicks a button that starts a transfer and runs the event loop until the transfer has ended. */
    void clickAndWait(const char* button)
    {
        QEventLoop loop;
        QObject::connect(model.get(), &AppModel::transferFinished, &loop, &QEventLoop::quit);
        click(button);
        loop.exec();
    }

    RecordingDialogs dialogs;
    std::unique_ptr<AppModel> model;
    std::unique_ptr<MainWindow> window;
};

bool writeFile(const QString& path, const std::string& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(content.data(), static_cast<qint64>(content.size())) == static_cast<qint64>(content.size());
}

// --- the figures -------------------------------------------------------------------------------------------------

/** Copies the real songs round-robin into folder until it holds count of them; returns their paths. */
QStringList copySongs(const QString& songs, const QString& folder, int count)
{
    const QStringList real = QDir(songs).entryList({QStringLiteral("*.bm?")}, QDir::Files, QDir::Name);
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const QString target = folder + QStringLiteral("/song%1-").arg(i, 4, 10, QLatin1Char('0')) +
                               real.at(i % real.size());
        QFile::copy(songs + QLatin1Char('/') + real.at(i % real.size()), target);
        files << target;
    }
    return files;
}

double best(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

void scanVersusCat(const QString& executable, const QString& songs)
{
    // Enough songs, and the best of several runs, that one run's noise does not decide the figure.
    QTemporaryDir dir;
    QStringList cat{QStringLiteral("cat")};
    cat << copySongs(songs, dir.path(), 3000);
    const QStringList scan{executable, QStringLiteral("scan"), QStringLiteral("--host-folder"), dir.path(),
                           dir.path()};
    runQuiet(cat); // warm the cache
    runQuiet(scan);
    std::vector<double> catMs;
    std::vector<double> scanMs;
    for (int r = 0; r < 2 * kRepetitions; ++r) {
        catMs.push_back(timeMs([&] { runQuiet(cat); }));
        scanMs.push_back(timeMs([&] { runQuiet(scan); }));
    }
    report("scan_3000_ms", best(scanMs), "ms");
    report("cat_3000_ms", best(catMs), "ms");
    report("scan_ratio_vs_cat", best(scanMs) / best(catMs), "x");
}

void gearVersusCat(const QString& executable)
{
    // 2,000 DLLs of 100 to 300 KB, of every architecture, in both gear folders, with an x86 host.
    QTemporaryDir dir;
    const QString host = dir.filePath(QStringLiteral("host"));
    QDir().mkpath(host + QStringLiteral("/gear/generators"));
    QDir().mkpath(host + QStringLiteral("/gear/effects"));
    const std::vector<std::uint8_t> exe = gw::test::peFile(0x14C, 0x10B);
    writeFile(host + QStringLiteral("/buzz.exe"), std::string(exe.begin(), exe.end()));
    QStringList cat{QStringLiteral("cat")};
    for (int i = 0; i < 2000; ++i) {
        const std::size_t size = 100 * 1024 + static_cast<std::size_t>((i * 7919) % (200 * 1024));
        const std::int64_t clr = i % 4 == 0 ? 1 : -1;
        std::vector<std::uint8_t> bytes = i % 3 == 0 ? gw::test::peFile(0x8664, 0x20B, clr, size)
                                                     : gw::test::peFile(0x14C, 0x10B, clr, size);
        for (std::size_t b = 0x600; b < bytes.size(); b += 97) {
            bytes[b] = static_cast<std::uint8_t>(i + b); // no two alike
        }
        const QString path = host + (i % 3 == 2 ? QStringLiteral("/gear/effects") : QStringLiteral("/gear/generators")) +
                             QStringLiteral("/Machine %1.dll").arg(i);
        writeFile(path, std::string(bytes.begin(), bytes.end()));
        cat << path;
    }
    // The program folder keeps the hashes of DLLs that did not change: the first look reads every byte, the
    // next ones only what changed.
    const QString program = dir.filePath(QStringLiteral("program"));
    QDir().mkpath(program);
    const QString cache = program + QStringLiteral("/gearhashes.txt");
    const QStringList gear{executable,
                           QStringLiteral("gear"),
                           QStringLiteral("--json"),
                           QStringLiteral("--program-folder"),
                           program,
                           QStringLiteral("--host-folder"),
                           host};
    runQuiet(cat); // warm the disk cache
    runQuiet(gear);
    std::vector<double> catMs;
    std::vector<double> firstMs;
    std::vector<double> gearMs;
    for (int r = 0; r < kRepetitions; ++r) {
        catMs.push_back(timeMs([&] { runQuiet(cat); }));
        QFile::remove(cache);
        firstMs.push_back(timeMs([&] { runQuiet(gear); }));
        gearMs.push_back(timeMs([&] { runQuiet(gear); }));
    }
    report("gear_first_2000_ms", best(firstMs), "ms");
    report("gear_2000_ms", best(gearMs), "ms");
    report("cat_2000_dlls_ms", best(catMs), "ms");
    report("gear_first_ratio_vs_cat", best(firstMs) / best(catMs), "x");
    report("gear_ratio_vs_cat", best(gearMs) / best(catMs), "x");
}

void whereUsedVersusScan(const QString& executable, const QString& songs)
{
    QTemporaryDir dir;
    copySongs(songs, dir.path(), 10000);
    const QStringList scan{executable, QStringLiteral("scan"), QStringLiteral("--host-folder"), dir.path(),
                           dir.path()};
    const QStringList whereUsed{executable, QStringLiteral("where-used"), QStringLiteral("jeskola bass 3"),
                                dir.path()};
    runQuiet(scan); // warm the cache
    runQuiet(whereUsed);
    std::vector<double> scanMs;
    std::vector<double> whereMs;
    for (int r = 0; r < kRepetitions; ++r) {
        scanMs.push_back(timeMs([&] { runQuiet(scan); }));
        whereMs.push_back(timeMs([&] { runQuiet(whereUsed); }));
    }
    report("where_used_10000_ms", best(whereMs), "ms");
    report("scan_10000_ms", best(scanMs), "ms");
    report("where_used_ratio_vs_scan", best(whereMs) / best(scanMs), "x");
}

void matchMissing()
{
    // Two catalogues of 5,000 rows, and a song whose 200 machines are all missing: half found by name, a quarter
    // by a close name, the rest by nothing.
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("allgenerators.txt")),
              gw::test::catalogueText(manyMachines(5000, "Generator")));
    writeFile(dir.filePath(QStringLiteral("alleffects.txt")),
              gw::test::catalogueText(manyMachines(5000, "Effect")));
    const std::vector<gw::test::CatalogueMachine> generators = manyMachines(5000, "Generator");
    gw::test::SongWriter song;
    for (int i = 0; i < 200; ++i) {
        const std::string& name = generators[static_cast<std::size_t>(i * 7)].name;
        const std::string dll = i % 2 == 0 ? name : i % 4 == 1 ? name + " v2" : "Unknown " + std::to_string(i);
        song.addSimple("M" + std::to_string(i), dll, 1);
    }
    song.writeTo(dir.filePath(QStringLiteral("song.bmx")).toStdString());
    Window form(dir.path());
    form.model->scanSongs({dir.filePath(QStringLiteral("song.bmx"))});
    std::vector<double> ms;
    qsizetype matched = 0;
    for (int r = 0; r < kRepetitions; ++r) {
        ms.push_back(timeMs([&] {
            matched = 0;
            for (const MissingMatch& match : form.model->matchMissing()) {
                matched += match.entry.isEmpty() ? 0 : 1;
            }
        }));
    }
    if (form.model->missing(AppModel::Kind::Generator).size() != 200 || matched < 100) {
        std::fprintf(stderr, "match: %d missing, %lld matched\n", form.model->missing(AppModel::Kind::Generator).size(),
                     static_cast<long long>(matched));
    }
    report("match_200_ms", median(ms), "ms");
}

/** Notes when a widget paints. */
class PaintWatch : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            times.push_back(clock.nsecsElapsed() / 1e6);
        }
        return QObject::eventFilter(watched, event);
    }
    QElapsedTimer clock;
    std::vector<double> times;
};

void windowScanVersusCommandLine(const QString& executable, const QString& songs)
{
    QTemporaryDir dir;
    const QStringList files = copySongs(songs, dir.path(), 1000);
    const QStringList scan{executable, QStringLiteral("scan"), QStringLiteral("--host-folder"),
                           dir.filePath(QStringLiteral("host")), dir.path()};
    runQuiet(scan);
    std::vector<double> cliMs;
    std::vector<double> windowMs;
    double longestGap = 0;
    for (int r = 0; r < kRepetitions; ++r) {
        cliMs.push_back(timeMs([&] { runQuiet(scan); }));
        Window form(dir.path());
        for (const QString& file : files) {
            form.model->addSong(file);
        }
        form.click("selectAllButton");
        QApplication::processEvents();
        PaintWatch watch;
        form.window->installEventFilter(&watch);
        watch.clock.start();
        windowMs.push_back(timeMs([&] {
            form.click("scanButton");
            QApplication::processEvents();
        }));
        // The gaps between paints, counting from the click and up to the end.
        double last = 0;
        for (const double at : watch.times) {
            longestGap = std::max(longestGap, at - last);
            last = at;
        }
        longestGap = std::max(longestGap, windowMs.back() - last);
        if (form.model->lastScan().size() != files.size()) {
            std::fprintf(stderr, "window scanned %lld songs, not %lld\n",
                         static_cast<long long>(form.model->lastScan().size()), static_cast<long long>(files.size()));
        }
    }
    report("gui_scan_1000_ms", median(windowMs), "ms");
    report("cli_scan_1000_ms", median(cliMs), "ms");
    report("gui_scan_ratio_vs_cli", median(windowMs) / median(cliMs), "x");
    report("gui_longest_gap_ms", longestGap, "ms");
}

/**
 * The peak resident size of a program alone, in KiB: a fresh, small copy of this bench starts it and reads its
 * figure, since a child started from this large process would count this process's pages before its exec.
 */
double peakOf(const QStringList& command)
{
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(), QStringList{QStringLiteral("--peak-of")} + command);
    process.waitForFinished(60000);
    return QString::fromLatin1(process.readAllStandardOutput()).trimmed().toDouble();
}

void hostileSongMemory(const QString& executable)
{
    QTemporaryDir dir;
    gw::test::SongWriter song;
    std::vector<std::uint8_t> bytes = song.build();
    // The machine count at the start of PARA claims 2^31 - 1 machines.
    const std::size_t para = bytes[8 + 12 * 1 + 4] | (bytes[8 + 12 * 1 + 5] << 8);
    gw::test::setI32(bytes, para, 0x7FFFFFFF);
    const QString path = dir.filePath(QStringLiteral("hostile.bmx"));
    writeFile(path, std::string(bytes.begin(), bytes.end()));
    const double baseline = peakOf({executable, QStringLiteral("--version")});
    const double peak = peakOf({executable, QStringLiteral("scan"), QStringLiteral("--host-folder"), dir.path(), path});
    report("version_peak_mb", baseline / 1024.0, "MB");
    report("hostile_song_peak_mb", peak / 1024.0, "MB");
}

void catalogueRead()
{
    QTemporaryDir dir;
    // Rows of 13 lines: enough machines for 20,000 lines.
    const std::string text = gw::test::catalogueText(manyMachines(1539, "Generator"));
    writeFile(dir.filePath(QStringLiteral("allgenerators.txt")), text);
    Window form(dir.path());
    std::vector<double> ms;
    for (int r = 0; r < kRepetitions; ++r) {
        ms.push_back(timeMs([&] { form.click("refreshCataloguesButton"); }));
    }
    if (!form.model->status().startsWith(QStringLiteral("Generator list contains  1539 machines."))) {
        std::fprintf(stderr, "catalogue read wrong: %s\n", qPrintable(form.model->status()));
    }
    report("catalogue_read_20000_ms", median(ms), "ms");
}

void tableLoadAndSort()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("allgenerators.txt")),
              gw::test::catalogueText(manyMachines(5000, "Generator")));
    Window form(dir.path());
    std::vector<double> load;
    std::vector<double> sort;
    for (int r = 0; r < kRepetitions; ++r) {
        CatalogueWindow view(*form.model);
        view.show();
        load.push_back(timeMs([&] { form.model->viewCatalogue(AppModel::Kind::Generator); }));
        const auto* table = view.findChild<QTreeWidget*>(QStringLiteral("catalogueTable"));
        if (table->topLevelItemCount() != 5000) {
            std::fprintf(stderr, "table holds %d rows, not 5000\n", table->topLevelItemCount());
        }
        sort.push_back(timeMs([&] {
            view.sortByColumn(3);
            QApplication::processEvents();
        }));
    }
    report("table_load_5000_ms", median(load), "ms");
    report("table_sort_5000_ms", median(sort), "ms");
}

void startUp()
{
    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("allgenerators.txt")),
              gw::test::catalogueText(manyMachines(5000, "Generator")));
    writeFile(dir.filePath(QStringLiteral("alleffects.txt")),
              gw::test::catalogueText(manyMachines(5000, "Effect")));
    std::vector<double> ms;
    for (int r = 0; r < kRepetitions; ++r) {
        ms.push_back(timeMs([&] {
            Window form(dir.path());
            QApplication::processEvents();
        }));
    }
    report("startup_ms", median(ms), "ms");
}

/** Serves one body to every request, from its own thread so the window's wait can be measured for real. */
class BodyServer : public QThread
{
public:
    explicit BodyServer(QByteArray body)
        : m_body(std::move(body))
    {
    }
    quint16 port() const { return m_port; }

protected:
    void run() override
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        m_port = server.serverPort();
        m_ready.release();
        while (!isInterruptionRequested()) {
            if (!server.waitForNewConnection(100)) {
                continue;
            }
            QTcpSocket* socket = server.nextPendingConnection();
            QByteArray request;
            while (!request.contains("\r\n\r\n") && socket->waitForReadyRead(5000)) {
                request += socket->readAll();
            }
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: " +
                          QByteArray::number(m_body.size()) + "\r\nConnection: close\r\n\r\n");
            socket->write(m_body);
            while (socket->bytesToWrite() > 0 && socket->waitForBytesWritten(5000)) {
            }
            socket->disconnectFromHost();
            if (socket->state() != QAbstractSocket::UnconnectedState) {
                socket->waitForDisconnected(5000);
            }
            delete socket;
        }
    }

public:
    QSemaphore m_ready;

private:
    QByteArray m_body;
    quint16 m_port = 0;
};

void downloadVersusCurl()
{
    if (runQuiet({QStringLiteral("curl"), QStringLiteral("--version")}) < 0) {
        std::fprintf(stderr, "curl not found: download_ratio_vs_curl skipped\n");
        return;
    }
    QByteArray body(20 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < body.size(); ++i) {
        body[i] = static_cast<char>((i * 2654435761u) >> 24);
    }
    body.replace(0, 4, "PK\x03\x04"); // a zip's signature: the download keeps nothing else
    BodyServer server(body);
    server.start();
    server.m_ready.acquire();
    const QString base = QStringLiteral("http://127.0.0.1:%1/").arg(server.port());

    QTemporaryDir dir;
    writeFile(dir.filePath(QStringLiteral("allgenerators.txt")),
              gw::test::catalogueText({{"Big.zip", "", "", "Big", "", "", "", ""}}));
    Window form(dir.path(), base);
    form.model->selectMachine(AppModel::Kind::Generator, QStringLiteral("Big.zip"));

    std::vector<double> ours;
    std::vector<double> curl;
    const QStringList curlCommand{QStringLiteral("curl"), QStringLiteral("-s"), QStringLiteral("-o"),
                                  dir.filePath(QStringLiteral("curl.zip")), base + QStringLiteral("machines/Big.zip")};
    // One unmeasured round of each first, as for the scan: warm caches and allocator on both sides.
    for (int r = -1; r < kRepetitions; ++r) {
        QFile::remove(dir.filePath(QStringLiteral("Big.zip")));
        if (r < 0) {
            form.clickAndWait("downloadButton");
            runQuiet(curlCommand);
            continue;
        }
        ours.push_back(timeMs([&] { form.clickAndWait("downloadButton"); }));
        if (QFileInfo(dir.filePath(QStringLiteral("Big.zip"))).size() != body.size()) {
            std::fprintf(stderr, "download incomplete: %s\n", qPrintable(form.model->status()));
        }
        curl.push_back(timeMs([&] { runQuiet(curlCommand); }));
    }
    server.requestInterruption();
    server.wait();
    report("download_20mb_ms", median(ours), "ms");
    report("curl_20mb_ms", median(curl), "ms");
    report("download_ratio_vs_curl", median(curl) / median(ours), "x");
}

/** Installs a 5,000-file machine zip into an empty gear folder, then again over itself (every file compared), against
 * writing the same files with plain QFile writes. */
void unzipMany()
{
    struct Quiet : TransferReport
    {
        void status(const QString&, bool) override {}
        void startLog(const QString&) override {}
        void log(const QString&) override {}
        void clearLog() override {}
        void message(const QString&) override {}
        bool askYesNo(const QString&, const QString&) override { return false; }
    } quiet;
    constexpr int kFiles = 5000;
    QTemporaryDir dir;
    gw::test::ZipWriter writer;
    std::vector<QByteArray> files;
    for (int i = 0; i < kFiles; ++i) {
        files.push_back(QByteArray(1024, char('a' + i % 26)) + QByteArray::number(i));
        writer.add("machines/Machine " + QByteArray::number(i) + ".dll", files.back());
    }
    const QString zip = dir.filePath(QStringLiteral("many.zip"));
    writer.writeTo(zip);
    std::vector<double> fresh, again, plain;
    for (int r = 0; r < kRepetitions; ++r) {
        const QString gear = dir.filePath(QStringLiteral("gear%1/generators").arg(r));
        QDir().mkpath(gear);
        bool installed = false;
        fresh.push_back(timeMs([&] { installed = installZip(zip, gear, quiet).installed; }));
        again.push_back(timeMs([&] { installed = installed && installZip(zip, gear, quiet).installed; }));
        if (!installed || QDir(gear).count() != kFiles + 2) {
            std::fprintf(stderr, "unzip wrong: %s\n", qPrintable(gear));
        }
        const QString folder = dir.filePath(QStringLiteral("plain%1").arg(r));
        QDir().mkpath(folder);
        plain.push_back(timeMs([&] {
            for (int i = 0; i < kFiles; ++i) {
                QFile file(folder + QStringLiteral("/Machine %1.dll").arg(i));
                file.open(QIODevice::WriteOnly);
                file.write(files[std::size_t(i)]);
            }
        }));
    }
    report("unzip_5000_ms", median(fresh), "ms");
    report("unzip_5000_again_ms", median(again), "ms");
    report("unzip_5000_ratio_vs_plain_writes", median(fresh) / median(plain), "x");
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 2 && std::string(argv[1]) == "--peak-of") {
        QStringList command;
        for (int i = 2; i < argc; ++i) {
            command << QString::fromLocal8Bit(argv[i]);
        }
        std::printf("%ld\n", runQuiet(command));
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString executable = QStringLiteral(GW_EXECUTABLE);
    const QString songs = QStringLiteral(GW_SONGS);
    const QStringList only = app.arguments().mid(1);
    const auto wanted = [&](const char* name) { return only.isEmpty() || only.contains(QLatin1String(name)); };

    if (wanted("scan")) {
        scanVersusCat(executable, songs);
    }
    if (wanted("gear")) {
        gearVersusCat(executable);
    }
    if (wanted("where-used")) {
        whereUsedVersusScan(executable, songs);
    }
    if (wanted("gui-scan")) {
        windowScanVersusCommandLine(executable, songs);
    }
    if (wanted("match")) {
        matchMissing();
    }
    if (wanted("catalogue")) {
        catalogueRead();
    }
    if (wanted("table")) {
        tableLoadAndSort();
    }
    if (wanted("download")) {
        downloadVersusCurl();
    }
    if (wanted("startup")) {
        startUp();
    }
    if (wanted("unzip")) {
        unzipMany();
    }
    if (wanted("hostile")) {
        hostileSongMemory(executable);
    }
    return 0;
}
