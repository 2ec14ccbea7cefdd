#pragma once

// Shared by the model's own source files only: the texts helpers and the report transfers write to.

#include "base/NumberText.h"
#include "base/Platform.h"
#include "model/AppModel.h"
#include "transfer/TransferReport.h"

#include <string>
#include <string_view>

namespace gw::model {

inline QString fromUtf8(const std::string& text)
{
    return QString::fromStdString(text);
}
inline std::string toUtf8(const QString& text)
{
    return text.toStdString();
}
inline QString numberText(qint64 number)
{
    return fromUtf8(gw::NumberText(number));
}
inline QString decoded(std::string_view bytes)
{
    return fromUtf8(gw::platform::ansiToUtf8(bytes));
}

} // namespace gw::model

/** Transfers and installs report to the model's status line, log and dialogs. */
class AppModel::Report : public TransferReport
{
public:
    explicit Report(AppModel& model)
        : m_model(model)
    {
    }

    void status(const QString& text, bool showNow) override { m_model.setStatus(text, showNow); }
    void startLog(const QString& line) override { m_model.resetLog({line}); }
    void log(const QString& line) override { m_model.appendLog(line); }
    void clearLog() override
    {
        // "Fetch all missing" keeps every machine's lines, so its log tells the whole run.
        if (!m_model.m_transfers.fetchingAll) {
            m_model.resetLog({});
        }
    }
    void progress(qint64 received, qint64 total) override { emit m_model.transferProgress(received, total); }
    void message(const QString& text) override { m_model.showMessage(text); }
    bool askYesNo(const QString& text, const QString& title) override
    {
        return m_model.m_setup.dialogs->message(text, title, UserDialogs::Buttons::YesNo) == UserDialogs::Answer::Yes;
    }

private:
    AppModel& m_model;
};
