#include "model/GearFolders.h"

#include "base/FolderEntries.h"
#include "base/SafeWrite.h"
#include "host/HostDiscovery.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString fromUtf8(const std::string& text)
{
    return QString::fromStdString(text);
}
std::string toUtf8(const QString& text)
{
    return text.toStdString();
}

} // namespace

QString GearFolders::gearFolder() const
{
    return fromUtf8(gw::gearFolder(toUtf8(m_hostFolder)));
}

QString GearFolders::folder(Kind kind) const
{
    const std::string host = toUtf8(m_hostFolder);
    return fromUtf8(kind == Kind::Generator ? gw::generatorsFolder(host) : gw::effectsFolder(host));
}

QString GearFolders::backupFolder() const
{
    return gearFolder() + QDir::separator() + QStringLiteral("backup");
}

QStringList GearFolders::makeMissingFolders() const
{
    QStringList failed;
    const QString gear = gearFolder();
    for (const Kind kind : {Kind::Generator, Kind::Effect}) {
        const QString kindFolder = folder(kind);
        // One level at a time: the gear folder first, then the kind's folder in it.
        const auto make = [](const QString& path) { return QDir(path).exists() || QDir().mkdir(path); };
        if (!QDir(kindFolder).exists() && !(make(gear) && make(kindFolder))) {
            failed << kindFolder;
        }
    }
    return failed;
}

void GearFolders::list()
{
    for (const Kind kind : {Kind::Generator, Kind::Effect}) {
        QStringList names;
        for (const std::string& name : gw::listDlls(toUtf8(folder(kind)))) {
            names << fromUtf8(name);
        }
        m_files[index(kind)].assign(names);
    }
}

void GearFolders::check(const std::array<std::vector<std::string>, 2>& used)
{
    const std::array<std::vector<std::string>, 2> listed = {m_files[0].utf8(), m_files[1].utf8()};
    for (const Kind kind : {Kind::Generator, Kind::Effect}) {
        const int own = index(kind);
        QHash<QString, gw::MissingMachine>& machines = m_missingMachines[own];
        machines.clear();
        QStringList texts;
        for (gw::MissingMachine& machine : gw::findMissing(kind, used[own], listed[own], listed[1 - own])) {
            const QString text = fromUtf8(gw::missingEntryText(machine));
            texts << text;
            machines.insert(text, std::move(machine));
        }
        m_missing[own].assign(texts);
    }
}

const gw::MissingMachine* GearFolders::missingMachine(Kind kind, const QString& text) const
{
    const QHash<QString, gw::MissingMachine>& machines = m_missingMachines[index(kind)];
    const auto found = machines.constFind(text);
    return found == machines.constEnd() ? nullptr : &found.value();
}

QString GearFolders::twinOf(const QString& dll, Kind from) const
{
    const QString toFolder = folder(other(from));
    const std::string twin = gw::findEntryIgnoringCase(toUtf8(toFolder), toUtf8(dll));
    const QString path = toFolder + QDir::separator() + fromUtf8(twin);
    return !twin.empty() && QFileInfo(path).isFile() ? path : QString();
}

GearFolders::Move GearFolders::move(const QString& dll, Kind from) const
{
    Move done;
    done.source = folder(from) + QDir::separator() + dll;
    done.twin = twinOf(dll, from);
    if (done.twin.isEmpty()) {
        done.result = QFile::rename(done.source, folder(other(from)) + QDir::separator() + dll)
                          ? Move::Result::Moved
                          : Move::Result::NotMoved;
        return done;
    }
    // Only an identical copy goes without a trace: a different one is kept aside first.
    if (!gw::sameContent(done.source, done.twin)) {
        const QString kindFolder = QFileInfo(folder(from)).fileName();
        done.backup =
            gw::keepBackup(done.source, backupFolder(), kindFolder, QDateTime::currentDateTime(), &done.reason);
        if (done.backup.isEmpty()) {
            done.result = Move::Result::NotKeptAside;
            return done;
        }
    }
    done.result = QFile::remove(done.source) ? Move::Result::TwinDeleted : Move::Result::NotDeleted;
    return done;
}
