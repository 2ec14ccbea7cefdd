#include "cli/BundleCommands.h"

#include "base/PathText.h"
#include "cli/TerminalSession.h"

#include <QFileInfo>

#include <ostream>

namespace gw::cli {

int runBundle(const QStringList& songs, const QString& zipPath, const QString& programFolder, const QString& hostFolder,
              std::ostream& out, std::ostream& err)
{
    for (const QString& song : songs) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(fileSystemPath(song), error)) {
            err << "gearwarden bundle: " << displayPath(song).toStdString() << ": no such file\n";
            return ExitError;
        }
    }
    TerminalDialogs dialogs(err, false);
    const std::unique_ptr<AppModel> model =
        makeModel(QStringLiteral("bundle"), programFolder, {}, hostFolder, dialogs, err);
    if (!model) {
        return ExitError;
    }
    followTransfer(*model, dialogs, out, err);
    const BundleOutcome outcome = model->saveBundle(songs, zipPath);
    if (outcome.unreadable || !outcome.written) {
        return ExitError;
    }
    return outcome.missing == 0 ? ExitOk : ExitMissing;
}

int runInstallBundle(const QString& zipPath, const QString& songsFolder, bool overwrite, const QString& programFolder,
                     const QString& hostFolder, std::ostream& out, std::ostream& err)
{
    TerminalDialogs dialogs(err, overwrite);
    const std::unique_ptr<AppModel> model =
        makeModel(QStringLiteral("install-bundle"), programFolder, {}, hostFolder, dialogs, err);
    if (!model) {
        return ExitError;
    }
    followTransfer(*model, dialogs, out, err);
    const BundleInstall installed = model->installBundle(zipPath, songsFolder, overwrite);
    if (!installed.read) {
        return ExitError;
    }
    return installed.notTaken.isEmpty() ? ExitOk : ExitMissing;
}

} // namespace gw::cli
