#include "RecordingDialogs.h"

UserDialogs::Answer RecordingDialogs::message(const QString& text, const QString& title, Buttons buttons)
{
    messages << Shown{text, title, buttons};
    if (buttons == Buttons::Ok) {
        return Answer::Ok;
    }
    return m_answers.isEmpty() ? Answer::No : m_answers.takeFirst();
}

QString RecordingDialogs::openFiles(const OpenRequest& request)
{
    openRequests << request;
    return m_openResults.isEmpty() ? QString() : m_openResults.takeFirst();
}

QString RecordingDialogs::askText(const QString& title, const QString&, const QString&)
{
    textQuestions << title;
    return m_texts.isEmpty() ? QString() : m_texts.takeFirst();
}

void RecordingDialogs::reset()
{
    textQuestions.clear();
    m_texts.clear();
    messages.clear();
    openRequests.clear();
    m_answers.clear();
    m_openResults.clear();
}

QStringList RecordingDialogs::messageTexts() const
{
    QStringList texts;
    for (const Shown& shown : messages) {
        texts << shown.text;
    }
    return texts;
}
