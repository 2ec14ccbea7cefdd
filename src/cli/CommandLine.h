#pragma once

#include <QString>
#include <QStringList>

#include <iosfwd>

namespace gw::cli {

/** Options shared by the window and every command. */
struct CommonOptions
{
    QString programFolder;
    QString archiveUrl;
};

/** Whether the arguments (without the program name) ask for the command-line mode rather than the window. */
bool wantsCommandLine(const QStringList& arguments);

/** Runs the command-line mode and returns the exit status. */
int run(const QStringList& arguments, std::ostream& out, std::ostream& err);

/**
 * Reads the window's options (--program-folder, --archive-url). Returns false, with a message in error, on an
 * unknown or incomplete option.
 */
bool parseWindowOptions(const QStringList& arguments, CommonOptions& options, QString& error);

/** The text of --help: of one command, or of the program when command names none. */
QString helpText(const QString& command = {});

} // namespace gw::cli
