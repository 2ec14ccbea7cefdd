#include "cli/TerminalSession.h"

#include "base/HostSettings.h"
#include "host/HostDiscovery.h"
#include "host/ProgramFolder.h"

#include <QDir>
#include <QFileInfo>

#include <QCoreApplication>

#include <ostream>

namespace gw::cli {

UserDialogs::Answer TerminalDialogs::message(const QString& text, const QString&, Buttons buttons)
{
    if (buttons == Buttons::Ok) {
        m_err << text.toStdString() << '\n';
        m_lastMessage = text;
        return Answer::Ok;
    }
    m_err << text.toStdString() << (m_answerYes ? " Yes (--yes)\n" : " No (give --yes to overwrite)\n");
    return m_answerYes ? Answer::Yes : Answer::No;
}

std::unique_ptr<AppModel> makeModel(const QString& command, const QString& programFolder, const QString& archiveUrl,
                                    const QString& hostFolder, TerminalDialogs& dialogs, std::ostream& err,
                                    bool keepSongLogs)
{
    AppModel::Setup setup;
    setup.keepSongLogs = keepSongLogs;
    setup.quietScan = true; // a scan's log is printed only with --log, from the kept logs
    setup.programFolder = programFolder;
    setup.archiveBaseUrl = archiveUrl;
    setup.dialogs = &dialogs;
    setup.createGearFolders = false;
    const QString remembered = rememberedHostFolder();
    if (hostFolder.isEmpty() && !remembered.isEmpty() && QFileInfo(remembered).isDir()) {
        // The folder chosen in the window wins over the host's settings here too.
        setup.fixedHostFolder = QString::fromStdString(withTrailingSeparator(remembered.toStdString()));
    } else if (!hostFolder.isEmpty()) {
        // Made absolute here, once: nothing later depends on the current folder.
        const QString absolute = QDir::toNativeSeparators(QFileInfo(hostFolder).absoluteFilePath());
        setup.fixedHostFolder = QString::fromStdString(withTrailingSeparator(absolute.toStdString()));
        if (!folderExists(setup.fixedHostFolder.toStdString())) {
            err << "gearwarden " << command.toStdString() << ": host folder " << setup.fixedHostFolder.toStdString()
                << " does not exist\n";
            return nullptr;
        }
    } else {
        // Settled once, so its warnings are shown once, before anything else the command says.
        const HostFolder found = findHostFolder(*makePlatformHostSettings(), programFolder.toStdString());
        setup.fixedHostFolder = QString::fromStdString(found.folder);
        for (const Notice& notice : found.notices) {
            if (notice.kind == Notice::Kind::Message) {
                err << notice.text << '\n';
            }
        }
    }
    return std::make_unique<AppModel>(setup);
}

TransferOutcome waitForTransfer(AppModel& model)
{
    TransferOutcome outcome;
    const QMetaObject::Connection ended =
        QObject::connect(&model, &AppModel::transferFinished, &model, [&outcome](const TransferOutcome& finished) {
            outcome = finished;
            QCoreApplication::quit();
        });
    QCoreApplication::exec();
    QObject::disconnect(ended);
    return outcome;
}

void followTransfer(AppModel& model, TerminalDialogs& dialogs, std::ostream& out, std::ostream& err)
{
    QObject::connect(&model, &AppModel::statusChanged, &model, [&dialogs, &err](const QString& text) {
        // A message is often repeated on the status line; once is enough on a terminal.
        if (text != dialogs.takeLastMessage()) {
            err << text.toStdString() << '\n';
        }
    });
    const auto print = [&out](const QString& line) { out << line.toStdString() << '\n' << std::flush; };
    QObject::connect(&model, &AppModel::logReset, &model, [print](const QStringList& lines) {
        for (const QString& line : lines) {
            print(line);
        }
    });
    QObject::connect(&model, &AppModel::logAppended, &model, print);
}

} // namespace gw::cli
