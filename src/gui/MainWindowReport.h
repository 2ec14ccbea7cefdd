#pragma once

#include "gui/MainWindow.h"
#include "transfer/TransferReport.h"

/** Transfers and installs report to the window: status line, scan log and message boxes. */
class MainWindow::WindowReport : public TransferReport
{
public:
    explicit WindowReport(MainWindow& form)
        : m_form(form)
    {
    }

    void status(const QString& text, bool paintNow) override { m_form.setStatus(text, paintNow); }
    void startLog(const QString& line) override { m_form.startLog(line); }
    void log(const QString& line) override { m_form.appendLog(line); }
    void clearLog() override { m_form.clearLog(); }
    void message(const QString& text) override { m_form.showMessage(text); }
    bool askYesNo(const QString& text, const QString& title) override
    {
        return m_form.m_dialogs->message(&m_form, text, title, UserDialogs::Buttons::YesNo) == UserDialogs::Answer::Yes;
    }

private:
    MainWindow& m_form;
};
