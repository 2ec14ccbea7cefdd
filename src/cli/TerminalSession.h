#pragma once

#include "model/AppModel.h"

#include <QString>

#include <iosfwd>
#include <memory>

namespace gw::cli {

/** Exit statuses of the command line. */
enum ExitStatus { ExitOk = 0, ExitMissing = 1, ExitError = 2 };

/** The dialogs of a terminal: messages go to the error stream, and a question is answered by an option. */
class TerminalDialogs : public UserDialogs
{
public:
    TerminalDialogs(std::ostream& err, bool answerYes)
        : m_err(err)
        , m_answerYes(answerYes)
    {
    }

    Answer message(const QString& text, const QString& title, Buttons buttons) override;
    /** No one to ask: the address comes with --archive-url or from the settings the window keeps. */
    QString askText(const QString&, const QString&, const QString&) override { return {}; }
    /** No one to choose files: the songs and the zips come on the command line. */
    QString saveFile(const QString&, const QString&, const QString&) override { return {}; }
    QString openFiles(const OpenRequest&) override { return {}; }
    QString chooseFolder(const QString&, const QString&) override { return {}; }

    /** The last message, which the status line often repeats; taking it forgets it. */
    QString takeLastMessage() { return std::exchange(m_lastMessage, QString()); }

private:
    std::ostream& m_err;
    bool m_answerYes;
    QString m_lastMessage;
};

/**
 * A model for one command, with the host folder settled first: the one given (which must exist) or the one the
 * host's settings name, whose warnings go to err. Null, after a message, when the given folder does not exist.
 */
std::unique_ptr<AppModel> makeModel(const QString& command, const QString& programFolder, const QString& archiveUrl,
                                    const QString& hostFolder, TerminalDialogs& dialogs, std::ostream& err,
                                    bool keepSongLogs = false);

/**
 * Runs the application's event loop until the transfer the model started ends, and returns its outcome. The loop is
 * the command's only one: the transfer continues from its signals, as in the window.
 */
TransferOutcome waitForTransfer(AppModel& model);

/** Prints the model's log to out and its status texts to err, as a terminal follows a transfer. */
void followTransfer(AppModel& model, TerminalDialogs& dialogs, std::ostream& out, std::ostream& err);

} // namespace gw::cli
