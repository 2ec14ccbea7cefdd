#pragma once

#include "model/UserDialogs.h"

#include <QList>
#include <QStringList>

/**
 * Stands in for the real dialogs in tests: records what was shown and gives the queued answers in order; with none
 * queued, a question is answered No and a dialog cancelled.
 */
class RecordingDialogs : public UserDialogs
{
public:
    Answer message(const QString& text, const QString& title, Buttons buttons) override
    {
        messages << text;
        titles << (buttons == Buttons::YesNo ? title + QStringLiteral(" [Yes/No]") : title);
        return buttons == Buttons::Ok ? Answer::Ok : answers.isEmpty() ? Answer::No : answers.takeFirst();
    }
    QString openFiles(const OpenRequest& request) override
    {
        openRequests << request;
        return openResults.isEmpty() ? QString() : openResults.takeFirst();
    }
    QString askText(const QString& title, const QString&, const QString&) override
    {
        textQuestions << title;
        return texts.isEmpty() ? QString() : texts.takeFirst();
    }
    QString chooseFolder(const QString& title, const QString& initial) override { return askText(title, {}, initial); }
    QString saveFile(const QString& title, const QString& filter, const QString& path) override
    {
        return askText(title, filter, path);
    }

    QList<Answer> answers;   // to Yes/No questions
    QStringList openResults; // from open dialogs
    QStringList texts;       // to text questions and save dialogs
    QStringList messages;    // the texts of the messages shown
    QStringList titles;      // their titles, with " [Yes/No]" for a question
    QList<OpenRequest> openRequests;
    QStringList textQuestions; // their titles
};
