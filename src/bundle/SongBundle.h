#pragma once

#include "check/MissingCheck.h"
#include "unzip/Unzip.h"

#include <QString>
#include <QStringList>

#include <vector>

/** A machine a bundle carries, or names as missing. */
struct BundleMachine
{
    QString dll; // the DLL name the songs use, with ".dll"
    gw::MachineKind kind = gw::MachineKind::Generator;
    /** The installed file, found in either gear folder ignoring letter case; empty when it is not installed. */
    QString source;
    /** The installed file's SHA-256 (lower-case hex) and architecture, as machines.txt gives them. */
    QString sha256;
    QString architecture;
};

/** What a bundle holds: the songs at its top level and the machines under gear/generators and gear/effects. */
struct BundlePlan
{
    QStringList songs;
    std::vector<BundleMachine> machines;
};

/**
 * The machines a bundle needs: every machine the songs use but the host's built-ins, once per kind, found in
 * either gear folder (so a machine filed in the wrong folder here arrives in the right one). used holds DLL names
 * without ".dll".
 */
std::vector<BundleMachine> bundleMachines(const QStringList& generatorsUsed, const QStringList& effectsUsed,
                                          const QString& generatorsFolder, const QString& effectsFolder);

/**
 * The bundle's machines.txt: a line for each machine, tab-separated: its kind, its DLL and whether the zip holds it,
 * then for a DLL in the zip its SHA-256 and architecture, so the one who installs it can tell it arrived as sent.
 */
QByteArray machinesText(const std::vector<BundleMachine>& machines);

/**
 * Writes the bundle zip: the songs at the top level, each installed machine as gear/generators/NAME.dll or
 * gear/effects/NAME.dll by the kind the songs use it as (NAME as the file is named on disk), and machines.txt. It is
 * written under a temporary name and renamed, so no half-written bundle is ever left. False with error otherwise.
 */
bool writeBundle(const BundlePlan& plan, const QString& zipPath, QString& error);

/** What install-bundle takes from a bundle, and what it skips. */
struct BundleContents
{
    QStringList generators; // entry names directly in gear/generators/
    QStringList effects;    // entry names directly in gear/effects/
    QStringList songs;      // .bmx and .bmw entries at the top level
    QStringList skipped;    // every other file entry, with why
    QStringList unverified; // DLLs taken unchecked, with why: machines.txt gives no SHA-256 (an earlier version's)
};

/** A song carries its samples, so it may be larger than any machine; songs are held to this size instead. */
constexpr qint64 kMaxSongSize = qint64(1) << 30;

/** The limits a bundle's machines (songs false) or songs are unzipped under: a machine zip's, but for that size. */
gw::UnzipLimits bundleLimits(bool songs);

/**
 * Sorts a bundle's entries: DLLs directly in gear/generators/ or gear/effects/ and songs at the top level are taken
 * (folder entries ignored); anything else, an entry claiming more than the install's size limit, or one packed
 * more than a zip bomb would be, is skipped with its reason. A DLL is checked against machines.txt: one it does not
 * list in the zip, or whose SHA-256 differs, is skipped; with a machines.txt that gives no SHA-256 (made before
 * bundles carried them) the DLLs are taken and named in unverified. False with error when the zip cannot be read.
 */
bool readBundle(const QString& zipPath, BundleContents& contents, QString& error);
