#pragma once

#include "transfer/TransferReport.h"

#include <ostream>

namespace gw::cli {

/** The command line's report: status texts and messages on standard error, log lines on standard output. */
class StreamReport : public TransferReport
{
public:
    StreamReport(std::ostream& out, std::ostream& err, bool answerYes)
        : m_out(out)
        , m_err(err)
        , m_answerYes(answerYes)
    {
    }

    void status(const QString& text, bool) override
    {
        // A message is often repeated on the status line; once is enough on a terminal.
        if (text != m_lastMessage) {
            m_err << text.toStdString() << '\n';
        }
        m_lastMessage.clear();
    }
    void startLog(const QString& line) override { log(line); }
    void log(const QString& line) override { m_out << line.toStdString() << '\n' << std::flush; }
    void clearLog() override {}
    void message(const QString& text) override
    {
        m_err << text.toStdString() << '\n';
        m_lastMessage = text;
    }
    /** No one to ask: the answer was given on the command line. */
    bool askYesNo(const QString& text, const QString&) override
    {
        m_err << text.toStdString() << (m_answerYes ? " Yes (--yes)\n" : " No (give --yes to overwrite)\n");
        return m_answerYes;
    }

private:
    std::ostream& m_out;
    std::ostream& m_err;
    bool m_answerYes;
    QString m_lastMessage;
};

} // namespace gw::cli
