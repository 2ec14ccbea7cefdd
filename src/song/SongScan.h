#pragma once

#include "song/SongReader.h"

#include <cstdint>
#include <span>
#include <string>

namespace gw {

/**
 * Where a song scan puts its texts and results. The window writes them to its status line, scan log, message
 * boxes and used lists; the command line collects them. All texts are UTF-8.
 */
class ScanSink
{
public:
    virtual ~ScanSink() = default;
    /** Replaces the status line; paintNow asks for it to show at once, while the scan still works. */
    virtual void setStatus(const std::string& text, bool paintNow) = 0;
    /** Replaces the whole scan log with this line. */
    virtual void startLog(const std::string& line) = 0;
    /** Appends a line to the scan log. */
    virtual void log(const std::string& line) = 0;
    /** An error the user must acknowledge (a message box with OK in the window). */
    virtual void showMessage(const std::string& text) = 0;
    /** A machine the song uses; the sink keeps each DLL name once per kind. */
    virtual void addUsed(const MachineRef& machine) = 0;
    /** One PARA record is read: a chance to repaint the used list and the log. */
    virtual void paraMachineRead() {}
    /**
     * Whether the scan's trace is wanted: its log lines and each machine's progress on the status line. A sink that
     * reports only results (a command-line scan) is given none, so none is made.
     */
    virtual bool wantsTrace() const { return true; }
};

/** The result of scanning one song: empty message when it was read whole. */
struct ScanOutcome
{
    SongReadResult result;
    std::string message; // the text shown to the user when the song could not be read

    bool ok() const { return message.empty(); }
};

/**
 * Scans the song at path: the status texts, the scan log trace and the used machines, in the order the user sees
 * them, with the message for a song that cannot be read. path is shown as given.
 */
ScanOutcome scanSong(const std::string& path, ScanSink& sink);

/** The same over a song already in memory; path is only shown. */
ScanOutcome scanSongBytes(const std::string& path, std::span<const std::uint8_t> bytes, ScanSink& sink);

/** The tail of a path from its last separator (included), or the whole path when it has none. */
std::string pathTail(const std::string& path);

} // namespace gw
