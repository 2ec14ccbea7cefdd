#include "bundle/SongBundle.h"

#include "base/FolderEntries.h"
#include "base/TextCodec.h"
#include "unzip/ZipExtraction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <zip.h>

#include <memory>
#include <set>

namespace {

using Kind = gw::MachineKind;

// A machine DLL packed more tightly than this is no machine but a zip bomb.
constexpr double kMaxRatio = 200.0;

struct ZipDiscarder
{
    void operator()(zip_t* archive) const { zip_discard(archive); }
};

QString zipError(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromLocal8Bit(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

bool endsWithIgnoringCase(const QString& name, const char* suffix)
{
    return name.endsWith(QLatin1String(suffix), Qt::CaseInsensitive);
}

} // namespace

std::vector<BundleMachine> bundleMachines(const QStringList& generatorsUsed, const QStringList& effectsUsed,
                                          const QString& generatorsFolder, const QString& effectsFolder)
{
    std::vector<BundleMachine> machines;
    for (const Kind kind : {Kind::Generator, Kind::Effect}) {
        const bool generator = kind == Kind::Generator;
        const std::vector<std::string>& builtIn = gw::builtInMachines(kind);
        // Its own folder first, then the other one.
        const QString folders[] = {generator ? generatorsFolder : effectsFolder,
                                   generator ? effectsFolder : generatorsFolder};
        // Songs may write one machine in two letter cases; both name the same file, which goes in once.
        std::set<std::string> taken;
        for (const QString& used : generator ? generatorsUsed : effectsUsed) {
            const QString dll = used + QStringLiteral(".dll");
            if (std::find(builtIn.begin(), builtIn.end(), dll.toStdString()) != builtIn.end() ||
                !taken.insert(gw::foldCase(dll.toStdString())).second) {
                continue;
            }
            BundleMachine& machine = machines.emplace_back();
            machine.dll = dll;
            machine.kind = kind;
            for (const QString& folder : folders) {
                const std::string found = gw::findEntryIgnoringCase(folder.toStdString(), dll.toStdString());
                const QString path = folder + QDir::separator() + QString::fromStdString(found);
                if (!found.empty() && QFileInfo(path).isFile()) {
                    machine.source = path;
                    break;
                }
            }
        }
    }
    return machines;
}

QByteArray machinesText(const std::vector<BundleMachine>& machines)
{
    QByteArray text;
    for (const BundleMachine& machine : machines) {
        text += (machine.kind == Kind::Generator ? "generator\t" : "effect\t") + machine.dll.toUtf8() +
                (machine.source.isEmpty() ? "\tmissing\n" : "\tin the zip\n");
    }
    return text;
}

bool writeBundle(const BundlePlan& plan, const QString& zipPath, QString& error)
{
    const QString temporary = zipPath + QStringLiteral(".part");
    QFile::remove(temporary);
    int code = 0;
    // libzip takes UTF-8 file names on every platform; QFile::encodeName would give Windows' ANSI code page.
    std::unique_ptr<zip_t, ZipDiscarder> archive(
        zip_open(temporary.toUtf8().constData(), ZIP_CREATE | ZIP_TRUNCATE, &code));
    if (!archive) {
        error = zipError(code);
        return false;
    }
    const auto addFile = [&](const QString& source, const QString& name) {
        zip_source_t* data = zip_source_file(archive.get(), source.toUtf8().constData(), 0, -1);
        if (!data || zip_file_add(archive.get(), name.toUtf8().constData(), data, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(data);
            error = source + QStringLiteral(": ") + QString::fromLocal8Bit(zip_strerror(archive.get()));
            return false;
        }
        return true;
    };
    for (const QString& song : plan.songs) {
        if (!addFile(song, QFileInfo(song).fileName())) {
            return false;
        }
    }
    for (const BundleMachine& machine : plan.machines) {
        const QString folder =
            machine.kind == Kind::Generator ? QStringLiteral("gear/generators/") : QStringLiteral("gear/effects/");
        if (!machine.source.isEmpty() && !addFile(machine.source, folder + QFileInfo(machine.source).fileName())) {
            return false;
        }
    }
    const QByteArray list = machinesText(plan.machines);
    zip_source_t* listSource = zip_source_buffer(archive.get(), list.constData(), static_cast<zip_uint64_t>(list.size()), 0);
    if (!listSource || zip_file_add(archive.get(), "machines.txt", listSource, ZIP_FL_ENC_UTF_8) < 0) {
        zip_source_free(listSource);
        error = QString::fromLocal8Bit(zip_strerror(archive.get()));
        return false;
    }
    // zip_close reads the sources while it writes; only a whole archive is renamed into place.
    if (zip_close(archive.get()) < 0) {
        error = QString::fromLocal8Bit(zip_strerror(archive.get()));
        QFile::remove(temporary);
        return false;
    }
    archive.release();
    QFile::remove(zipPath);
    if (!QFile::rename(temporary, zipPath)) {
        error = QStringLiteral("cannot rename ") + temporary + QStringLiteral(" to ") + zipPath;
        QFile::remove(temporary);
        return false;
    }
    return true;
}

bool readBundle(const QString& zipPath, BundleContents& contents, QString& error)
{
    int code = 0;
    std::unique_ptr<zip_t, ZipDiscarder> archive(zip_open(zipPath.toUtf8().constData(), ZIP_RDONLY, &code));
    if (!archive) {
        error = zipError(code);
        return false;
    }
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t index = 0; index < count; ++index) {
        zip_stat_t stat;
        if (zip_stat_index(archive.get(), static_cast<zip_uint64_t>(index), 0, &stat) != 0 || !stat.name) {
            continue;
        }
        const QString name = QString::fromUtf8(stat.name);
        if (name.endsWith(QLatin1Char('/'))) {
            continue; // a folder entry
        }
        const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
        const QString folder = slash < 0 ? QString() : name.left(slash + 1);
        const QString file = name.mid(slash + 1);
        const bool plain = !file.isEmpty() && !file.contains(QLatin1Char('\\')) && !file.contains(QLatin1Char(':')) &&
                           file != QLatin1String("..") && file != QLatin1String(".");
        QStringList* into = nullptr;
        if (plain && folder == QLatin1String("gear/generators/") && endsWithIgnoringCase(file, ".dll")) {
            into = &contents.generators;
        } else if (plain && folder == QLatin1String("gear/effects/") && endsWithIgnoringCase(file, ".dll")) {
            into = &contents.effects;
        } else if (plain && folder.isEmpty() && (endsWithIgnoringCase(file, ".bmx") || endsWithIgnoringCase(file, ".bmw"))) {
            into = &contents.songs;
        }
        if (!into) {
            if (name != QLatin1String("machines.txt")) {
                contents.skipped << name + QStringLiteral(": not a machine or a song of the bundle");
            }
            continue;
        }
        const bool sized = (stat.valid & ZIP_STAT_SIZE) && (stat.valid & ZIP_STAT_COMP_SIZE);
        if (sized && stat.size > static_cast<zip_uint64_t>(ZipExtraction::kMaxEntrySize)) {
            contents.skipped << name + QStringLiteral(": it claims %1 bytes").arg(stat.size);
        } else if (sized && stat.size > 1024 * 1024 &&
                   static_cast<double>(stat.size) > kMaxRatio * static_cast<double>(std::max<zip_uint64_t>(stat.comp_size, 1))) {
            contents.skipped << name + QStringLiteral(": packed %1 to 1, more than a machine can be")
                                           .arg(static_cast<double>(stat.size) / std::max<zip_uint64_t>(stat.comp_size, 1), 0, 'f', 0);
        } else {
            *into << name;
        }
    }
    return true;
}
