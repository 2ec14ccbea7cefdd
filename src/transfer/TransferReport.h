#pragma once

#include <QString>

/**
 * Where a transfer or an install tells what it does: the window's status line, scan log and message boxes, or the
 * command line's output streams.
 */
class TransferReport
{
public:
    virtual ~TransferReport() = default;
    /** Replaces the status line; paintNow asks for it to show while the work goes on. */
    virtual void status(const QString& text, bool paintNow = false) = 0;
    /** Replaces the whole log with this line. */
    virtual void startLog(const QString& line) = 0;
    virtual void log(const QString& line) = 0;
    virtual void clearLog() = 0;
    /** A message the user acknowledges. */
    virtual void message(const QString& text) = 0;
    /** A question answered Yes (true) or No. */
    virtual bool askYesNo(const QString& text, const QString& title) = 0;
    /** Bytes received so far, of total (-1 when the server did not say). */
    virtual void progress(qint64 received, qint64 total)
    {
        Q_UNUSED(received);
        Q_UNUSED(total);
    }

    /** The status line and the log get the same text. */
    void logStatus(const QString& text, bool paintNow = false)
    {
        status(text, paintNow);
        log(text);
    }
};
