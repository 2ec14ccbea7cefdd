#include "gui/AboutBox.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

AboutBox::AboutBox(const QString& appTitle, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About ") + appTitle);

    m_title = new QLabel(appTitle, this);
    m_title->setObjectName(QStringLiteral("aboutTitle"));
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    m_title->setFont(titleFont);

    m_version = new QLabel(QStringLiteral("Version %1.%2").arg(1).arg(0), this);
    m_version->setObjectName(QStringLiteral("aboutVersion"));

    m_guide = new QPlainTextEdit(this);
    m_guide->setObjectName(QStringLiteral("userGuide"));
    m_guide->setReadOnly(true);
    m_guide->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_guide->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_guide->setPlainText(userGuide());

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("okButton"));
    m_okButton->setDefault(true);
    // Escape closes the dialog through reject(), which with WA_DeleteOnClose unloads it like OK does.
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::close);

    auto* archive = new QPushButton(QStringLiteral("Archive address..."), this);
    archive->setObjectName(QStringLiteral("archiveAddressButton"));
    archive->setAutoDefault(false);
    connect(archive, &QPushButton::clicked, this, &AboutBox::archiveAddressRequested);

    auto* host = new QPushButton(QStringLiteral("Host folder..."), this);
    host->setObjectName(QStringLiteral("hostFolderButton"));
    host->setAutoDefault(false);
    host->setToolTip(QStringLiteral("Choose the host's installation folder, the one that holds its gear folder"));
    connect(host, &QPushButton::clicked, this, [this] { emit hostFolderRequested(false); });
    auto* registry = new QPushButton(QStringLiteral("Host folder from the registry"), this);
    registry->setObjectName(QStringLiteral("hostFromRegistryButton"));
    registry->setAutoDefault(false);
    connect(registry, &QPushButton::clicked, this, [this] { emit hostFolderRequested(true); });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(archive);
    buttons->addWidget(host);
    buttons->addWidget(registry);
    buttons->addStretch();
    buttons->addWidget(m_okButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addWidget(m_version);
    layout->addWidget(m_guide, 1);
    layout->addLayout(buttons);
    resize(660, 480);
}

QString AboutBox::userGuide()
{
    return QString::fromUtf8(R"GUIDE(Gearwarden user guide
=====================

Before you start
----------------
Run Buzz at least once on this computer. Buzz then writes the values
BuzzPath and OpenSongDir under
    HKEY_CURRENT_USER\Software\Jeskola\Buzz\Settings
and Gearwarden reads them to find the Buzz folder and your song folder.
(Under Wine, Gearwarden reads them from the Wine prefix's user.reg:
$WINEPREFIX, or ~/.wine when that is not set.)
Without them Gearwarden uses its own folder in place of the Buzz
folder and says so once; it then cannot tell which machines are
missing from your Buzz installation. "Host folder..." in this box
chooses the Buzz folder yourself (the one that holds gear); it is
kept for the next runs and wins over the registry, until "Host folder
from the registry" goes back to it.

Finding missing machines
------------------------
1. Press "Open bmx or bmw files" and pick one or more songs. They are
   added to the list at the top.
2. Pick the songs to check: click one, tick the boxes of some, or
   press "Select All" to tick them all.
3. Press "Scan bmx or bmw". The machines of the songs appear under
   "Generators used" and "Effects used", and the machines that are not
   installed under "Missing Generators" and "Missing Effects".
   A missing entry that starts with "(eff dir)" is a generator whose
   DLL lies in the effects folder; "(gen dir)" is an effect in the
   generators folder. Select the DLL in "Buzz Generators Directory" or
   "Buzz Effects Directory" and press "Gen>>>>Eff" or "Gen<<<<Eff" to
   move it where it belongs, then press "Recheck". Only the DLL is
   moved; presets and other files that came with it stay where they
   are.

Fetching missing machines
-------------------------
4. Find the machine in "Download Generators" or "Download Effects",
   select it and press "Download". "Detailed machine view" shows the
   whole catalogue with date, developer, description, type, version
   and status of every machine.
   The zip is saved in Gearwarden's folder and unzipped into the gear
   folder of the list it came from; folders inside the zip are
   ignored, every file lands directly in that gear folder.
5. "Download Machine Lists" fetches the archive's catalogue pages
   (allgenerators.php and alleffects.php) and converts them to
   allgenerators.txt and alleffects.txt; press "Refresh" afterwards to
   read them. The pages are read from their HTML by looking for the
   download links, so a change of the site's layout can upset the
   lists. Use them at your own risk.
6. The machine archive's address is asked for the first time a
   download needs it, and kept for the next runs; "Archive address..."
   in this box changes it. An address typed without "http://" gets it.
7. In "Detailed machine view", click a missing machine to find its
   row in the catalogue (by its name, a close name, or the zip's file
   name). "Fetch all missing" downloads and installs every missing
   machine the catalogue has, moves the ones lying in the other gear
   folder, and checks again; "Cancel Download" stops the rest. The
   field above the table keeps the rows that contain its text.

Sharing songs with their machines
--------------------------------
Right-click the song list. "Save with machines..." writes one zip
with the ticked songs (or the current one) and every machine they use
that is installed here. "Install bundle..." installs such a zip
received from someone else: its machines into the gear folders, its
songs into your song folder (or beside the zip), asking before it
replaces anything that is here already; a machine that differs is
kept in gear\backup first. Dropping the zip on the song list does the
same, and dropped songs join the list.

Files
-----
Gearwarden keeps everything it writes in its own folder (downloaded
zips, catalogue pages, allgenerators.txt and alleffects.txt), apart
from the machines it installs into the Buzz gear folders.
allgenerators.txt and alleffects.txt come with the program; without
them the download lists stay empty until you fetch the lists.

Installing and removing
-----------------------
Put Gearwarden's folder anywhere you can write. To remove it, delete
that folder. Gearwarden reads the Buzz registry values named above and
writes nothing to Buzz's settings; its own (the archive address, a
host folder you chose) are kept in your per-user settings.

Disclaimer
----------
Gearwarden comes with no warranty. Machines come from their authors
through the machine archive; check what you install. Keep a copy of
your gear folders before you move or replace machines.
)GUIDE");
}
