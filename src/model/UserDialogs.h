#pragma once

#include <QString>

/**
 * The one door to modal dialogs: message boxes and the song open dialog. The window shows real Qt dialogs, the
 * command line writes messages to its error stream and answers from its options, and tests put a recorder in its
 * place that keeps every message and returns scripted answers.
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

    virtual Answer message(const QString& text, const QString& title, Buttons buttons) = 0;

    /** Asks where to save a file (filter as for openFiles); empty when cancelled. */
    virtual QString saveFile(const QString& title, const QString& filter, const QString& initialPath) = 0;

    /** Asks for a folder, starting in initial; empty when cancelled. */
    virtual QString chooseFolder(const QString& title, const QString& initial) = 0;

    /** Asks for a line of text, offering initial; empty when cancelled. */
    virtual QString askText(const QString& title, const QString& label, const QString& initial) = 0;

    /**
     * Shows the open dialog. Returns an empty text when cancelled, the full path of a single chosen file, or for
     * several files the folder followed by each name, all separated by NUL characters.
     */
    virtual QString openFiles(const OpenRequest& request) = 0;
};
