#include "gui/QtUserDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

UserDialogs::Answer QtUserDialogs::message(const QString& text, const QString& title, Buttons buttons)
{
    QWidget* parent = m_parent;
    if (buttons == Buttons::Ok) {
        QMessageBox::information(parent, title, text, QMessageBox::Ok);
        return Answer::Ok;
    }
    const auto pressed = QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No);
    return pressed == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

QString QtUserDialogs::caseBlindPattern(const QString& pattern)
{
    QString blind;
    for (const QChar c : pattern) {
        if (c.toLower() != c.toUpper()) {
            blind += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        } else {
            blind += c;
        }
    }
    return blind;
}

QString QtUserDialogs::toQtFilter(const QString& windowsFilter)
{
    const QStringList parts = windowsFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // Windows matches "*.bmx" in any letter case ("Demo.Bmx"); the dialogs here match patterns exactly, so each
        // letter becomes a class. The dialog hides this last bracket and shows the text as Windows does.
        QStringList patterns;
        for (const QString& pattern : parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            patterns << caseBlindPattern(pattern);
        }
        filters << parts.at(i).trimmed() + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

QString QtUserDialogs::openFiles(const OpenRequest& request)
{
    QFileDialog dialog(m_parent, request.title, request.initialFolder, toQtFilter(request.filter));
    dialog.setFileMode(request.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(request.defaultExtension);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    const QStringList filters = dialog.nameFilters();
    if (request.filterIndex >= 0 && request.filterIndex < filters.size()) {
        dialog.selectNameFilter(filters.at(request.filterIndex));
    }
    if (!request.initialFileName.isEmpty()) {
        dialog.selectFile(request.initialFileName);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) {
        return {};
    }
    if (files.size() == 1) {
        return QDir::toNativeSeparators(files.first());
    }
    // Several files come from one folder; hand them back as the folder and the names.
    QStringList parts{QDir::toNativeSeparators(QFileInfo(files.first()).absolutePath())};
    for (const QString& file : files) {
        parts << QFileInfo(file).fileName();
    }
    return parts.join(QChar(0));
}

QString QtUserDialogs::askText(const QString& title, const QString& label, const QString& initial)
{
    bool accepted = false;
    const QString text = QInputDialog::getText(m_parent, title, label, QLineEdit::Normal, initial, &accepted);
    return accepted ? text : QString();
}

QString QtUserDialogs::chooseFolder(const QString& title, const QString& initial)
{
    QFileDialog dialog(m_parent, title, initial);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString QtUserDialogs::saveFile(const QString& title, const QString& filter, const QString& initialPath)
{
    const QFileInfo initial(initialPath);
    QFileDialog dialog(m_parent, title, initial.absolutePath(), toQtFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.selectFile(initial.fileName());
    // A name typed without the filter's extension gets it, as a Windows save dialog adds it.
    const QString pattern = filter.section(QLatin1Char('|'), 1, 1).section(QLatin1Char(';'), 0, 0);
    if (pattern.startsWith(QLatin1String("*."))) {
        dialog.setDefaultSuffix(pattern.mid(2));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return QDir::toNativeSeparators(dialog.selectedFiles().first());
}
