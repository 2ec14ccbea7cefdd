#pragma once

#include <QString>

class QWidget;

/**
 * The one door to modal dialogs: message boxes and the song open dialog. The program shows real Qt dialogs through
 * QtUserDialogs; tests put a recorder in its place that keeps every message and returns scripted answers.
 */
class UserDialogs
{
public:
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    /** What the song open dialog is asked to do, in the terms of the classic Windows open dialog. */
    struct OpenRequest
    {
        QString title;
        /** "text|patterns|text|patterns…", patterns separated by ';'. */
        QString filter;
        int filterIndex = 0;
        QString defaultExtension;
        QString initialFolder;
        QString initialFileName;
        bool multiSelect = false;
        bool mustExist = false;
        /** Room for the returned names, in characters. */
        int maxLength = 0;
    };

    virtual ~UserDialogs() = default;

    virtual Answer message(QWidget* parent, const QString& text, const QString& title, Buttons buttons) = 0;

    /**
     * Shows the open dialog. Returns an empty text when cancelled, the full path of a single chosen file, or for
     * several files the folder followed by each name, all separated by NUL characters.
     */
    virtual QString openFiles(QWidget* parent, const OpenRequest& request) = 0;
};

/** The real dialogs. */
class QtUserDialogs : public UserDialogs
{
public:
    Answer message(QWidget* parent, const QString& text, const QString& title, Buttons buttons) override;
    QString openFiles(QWidget* parent, const OpenRequest& request) override;

    /**
     * A Windows-style filter ("text|*.a;*.b|…") in Qt's form, its patterns matching in any letter case as Windows
     * matches them: "text (*.[aA] *.[bB]);;…".
     */
    static QString toQtFilter(const QString& windowsFilter);
    /** A wildcard pattern that matches in any letter case: "*.bmx" becomes "*.[bB][mM][xX]". */
    static QString caseBlindPattern(const QString& pattern);
};
