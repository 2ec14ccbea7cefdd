#include "bundle/SongBundle.h"

#include "base/FolderEntries.h"
#include "base/PathText.h"
#include "base/SafeWrite.h"
#include "base/TextCodec.h"
#include "gear/PeHeader.h"
#include "unzip/Unzip.h"
#include "unzip/ZipHandle.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <zip.h>

#include <memory>
#include <set>
#include <span>

namespace {

using Kind = gw::MachineKind;

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
                QFile file(path);
                if (!found.empty() && QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly)) {
                    machine.source = path;
                    const QByteArray bytes = file.readAll();
                    machine.sha256 =
                        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
                    machine.architecture = QString::fromStdString(gw::architectureText(gw::readArchitecture(std::span(
                        reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size())))));
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
                (machine.source.isEmpty()
                     ? QByteArray("\tmissing\n")
                     : "\tin the zip\t" + machine.sha256.toLatin1() + '\t' + machine.architecture.toUtf8() + '\n');
    }
    return text;
}

bool writeBundle(const BundlePlan& plan, const QString& zipPath, QString& error)
{
    if (gw::isLink(zipPath)) {
        error = QStringLiteral("it is a link to ") + QFileInfo(zipPath).symLinkTarget();
        return false;
    }
    // libzip writes the archive beside the target and renames it over the target only when it is whole, so a
    // failure keeps an earlier zip of that name as it was.
    int code = 0;
    gw::ZipArchive archive = gw::openZip(zipPath, ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!archive) {
        error = gw::zipErrorText(code);
        return false;
    }
    const auto addFile = [&](const QString& source, const QString& name) {
        zip_source_t* data = zip_source_file(archive.get(), gw::pathBytesFromText(source).c_str(), 0, -1);
        // A song whose name is not UTF-8 here is stored under the Latin-1 reading of its bytes.
        if (!data ||
            zip_file_add(archive.get(), gw::displayPath(name).toUtf8().constData(), data, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(data);
            error =
                gw::displayPath(source) + QStringLiteral(": ") + QString::fromLocal8Bit(zip_strerror(archive.get()));
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
    zip_source_t* listSource =
        zip_source_buffer(archive.get(), list.constData(), static_cast<zip_uint64_t>(list.size()), 0);
    if (!listSource || zip_file_add(archive.get(), "machines.txt", listSource, ZIP_FL_ENC_UTF_8) < 0) {
        zip_source_free(listSource);
        error = QString::fromLocal8Bit(zip_strerror(archive.get()));
        return false;
    }
    // zip_close reads the sources while it writes.
    if (zip_close(archive.get()) < 0) {
        error = QString::fromLocal8Bit(zip_strerror(archive.get()));
        return false;
    }
    archive.release();
    return true;
}

gw::UnzipLimits bundleLimits(bool songs)
{
    gw::UnzipLimits limits;
    if (songs) {
        limits.maxEntrySize = kMaxSongSize;
    }
    return limits;
}

namespace {

QString folded(const QString& text)
{
    return QString::fromStdString(gw::foldCase(text.toStdString()));
}

/** An entry's bytes, at most limit of them; empty when it cannot be read whole. */
QByteArray entryBytes(zip_t* archive, const QString& name, qint64 limit)
{
    zip_stat_t stat;
    if (zip_stat(archive, name.toUtf8().constData(), 0, &stat) != 0 || qint64(stat.size) > limit) {
        return {};
    }
    struct Closer
    {
        void operator()(zip_file_t* file) const { zip_fclose(file); }
    };
    std::unique_ptr<zip_file_t, Closer> file(zip_fopen(archive, name.toUtf8().constData(), 0));
    QByteArray bytes(qsizetype(stat.size), Qt::Uninitialized);
    return file && zip_fread(file.get(), bytes.data(), stat.size) == zip_int64_t(stat.size) ? bytes : QByteArray();
}

/** Keeps the DLLs whose SHA-256 machines.txt gives; the others are skipped, or noted when it gives none. */
void verifyMachines(zip_t* archive, BundleContents& contents)
{
    // kind and folded DLL name -> SHA-256, for the DLLs machines.txt says the zip holds
    QHash<QString, QString> listed;
    bool withHashes = false;
    for (const QByteArray& line : entryBytes(archive, QStringLiteral("machines.txt"), 1 << 20).split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() >= 5 && fields.at(2) == "in the zip") {
            withHashes = true;
            listed.insert(QString::fromUtf8(fields.at(0)) + QLatin1Char('\t') + folded(QString::fromUtf8(fields.at(1))),
                          QString::fromLatin1(fields.at(3)));
        }
    }
    for (auto [entries, kind] :
         {std::pair{&contents.generators, "generator"}, std::pair{&contents.effects, "effect"}}) {
        QStringList kept;
        for (const QString& name : *entries) {
            const QString key = QLatin1String(kind) + QLatin1Char('\t') + folded(name.section(QLatin1Char('/'), -1));
            if (!withHashes) {
                contents.unverified << name + QStringLiteral(": not verified, as machines.txt gives no SHA-256 (the "
                                                             "bundle was made by an earlier version)");
                kept << name;
            } else if (!listed.contains(key)) {
                contents.skipped << name + QStringLiteral(": machines.txt does not list it, so it cannot be verified");
            } else if (QCryptographicHash::hash(entryBytes(archive, name, bundleLimits(false).maxEntrySize),
                                                QCryptographicHash::Sha256)
                           .toHex() != listed.value(key).toLatin1()) {
                contents.skipped << name + QStringLiteral(": its SHA-256 differs from the one machines.txt gives");
            } else {
                kept << name;
            }
        }
        *entries = kept;
    }
}

} // namespace

bool readBundle(const QString& zipPath, BundleContents& contents, QString& error)
{
    int code = 0;
    const gw::ZipArchive archive = gw::openZip(zipPath, ZIP_RDONLY, &code);
    if (!archive) {
        error = gw::zipErrorText(code);
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
        } else if (plain && folder.isEmpty() &&
                   (endsWithIgnoringCase(file, ".bmx") || endsWithIgnoringCase(file, ".bmw"))) {
            into = &contents.songs;
        }
        if (!into) {
            if (name != QLatin1String("machines.txt")) {
                contents.skipped << name + QStringLiteral(": not a machine or a song of the bundle");
            }
            continue;
        }
        gw::SkipReason skip = gw::SkipReason::None;
        QString why;
        const bool sized = (stat.valid & ZIP_STAT_SIZE) && (stat.valid & ZIP_STAT_COMP_SIZE);
        if (sized && !gw::entryWithinLimits(bundleLimits(into == &contents.songs), static_cast<qint64>(stat.size),
                                            static_cast<qint64>(stat.comp_size), skip, why)) {
            contents.skipped << name + QStringLiteral(": ") + why;
        } else {
            *into << name;
        }
    }
    verifyMachines(archive.get(), contents);
    return true;
}
