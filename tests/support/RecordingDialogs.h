#pragma once

#include "model/UserDialogs.h"

#include <QList>
#include <QStringList>

/** Stands in for the real dialogs in tests: records what was shown and returns scripted answers. */
class RecordingDialogs : public UserDialogs
{
public:
    struct Shown
    {
        QString text;
        QString title;
        Buttons buttons;
    };

    Answer message(const QString& text, const QString& title, Buttons buttons) override;
    QString openFiles(const OpenRequest& request) override;
    QString askText(const QString& title, const QString& label, const QString& initial) override;
    /** Answers with the next queued text, like askText. */
    QString saveFile(const QString& title, const QString& filter, const QString& initialPath) override
    {
        return askText(title, filter, initialPath);
    }
    /** Queues what the next text question returns; an unscripted one is cancelled. */
    void setNextText(const QString& text) { m_texts << text; }
    /** The titles of the text questions asked, in order. */
    QStringList textQuestions;

    /** Queues the answer to the next Yes/No question; an unscripted question is answered No. */
    void setNextAnswer(Answer answer) { m_answers << answer; }
    /** Queues what the next open dialog returns; an unscripted dialog is cancelled. */
    void setNextOpenResult(const QString& result) { m_openResults << result; }
    void reset();

    QList<Shown> messages;
    QList<OpenRequest> openRequests;
    /** Texts of the messages shown, in order. */
    QStringList messageTexts() const;

private:
    QList<Answer> m_answers;
    QStringList m_openResults;
    QStringList m_texts;
};
