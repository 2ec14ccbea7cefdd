#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

/** The About box: title, version and the user guide. Closing it discards it. */
class AboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit AboutBox(const QString& appTitle, QWidget* parent = nullptr);

    /** The user guide shown in the box. */
    static QString userGuide();

signals:
    /** The user wants to set the machine archive's address. */
    void archiveAddressRequested();
    /** The user wants to choose the host folder, or (fromSettings) go back to the one the host's settings name. */
    void hostFolderRequested(bool fromSettings);

private:
    QLabel* m_title;
    QLabel* m_version;
    QPlainTextEdit* m_guide;
    QPushButton* m_okButton;
};
