#pragma once

#include "model/UserDialogs.h"

#include <QPointer>
#include <QWidget>

/** The real dialogs, over the window given as their parent. */
class QtUserDialogs : public UserDialogs
{
public:
    void setParentWindow(QWidget* parent) { m_parent = parent; }

    Answer message(const QString& text, const QString& title, Buttons buttons) override;
    QString openFiles(const OpenRequest& request) override;
    QString askText(const QString& title, const QString& label, const QString& initial) override;
    QString chooseFolder(const QString& title, const QString& initial) override;
    QString saveFile(const QString& title, const QString& filter, const QString& initialPath) override;

    /**
     * A Windows-style filter ("text|*.a;*.b|…") in Qt's form, its patterns matching in any letter case as Windows
     * matches them: "text (*.[aA] *.[bB]);;…".
     */
    static QString toQtFilter(const QString& windowsFilter);
    /** A wildcard pattern that matches in any letter case: "*.bmx" becomes "*.[bB][mM][xX]". */
    static QString caseBlindPattern(const QString& pattern);

private:
    QPointer<QWidget> m_parent;
};
