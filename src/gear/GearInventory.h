#pragma once

#include "gear/PeHeader.h"
#include "gear/SongUse.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace gw {

enum class GearKind { Generator, Effect };

/** What is wrong with an installed machine, or worth a look; one bit each. */
enum GearFlag : unsigned {
    NotWindowsDll = 1u << 0,       // a damaged or wrong download
    OtherArchitecture = 1u << 1,   // the host cannot load it
    InBothFoldersSame = 1u << 2,   // the other gear folder has it too, the same bytes
    InBothFoldersDiffer = 1u << 3, // the other gear folder has it too, other bytes
    Unused = 1u << 4,              // none of the songs looked at names it
    Unreadable = 1u << 5,          // the file could not be read
};

/** One DLL in a gear folder. */
struct InstalledMachine
{
    GearKind kind = GearKind::Generator; // the folder it lies in
    std::string file;                    // file name as on disk (UTF-8)
    std::string path;
    std::uint64_t size = 0;
    std::chrono::system_clock::time_point modified;
    std::string sha256; // lower-case hex; empty when unreadable
    Architecture architecture = Architecture::NotWindows;
    unsigned flags = 0;
    int usedBy = -1; // songs that name it; -1 when no songs were looked at

    bool has(GearFlag flag) const { return (flags & flag) != 0; }
};

/** Both gear folders of one host, and the host's own architecture. */
struct GearInventory
{
    std::string hostFolder;
    Architecture hostArchitecture = Architecture::NotWindows; // NotWindows: unknown (no readable executable)
    std::vector<InstalledMachine> machines;                   // generators, then effects, each in list order

    bool anyFlagged() const;
};

/**
 * Lists the DLLs of hostFolder's gear folders, reads each once (hash and header), and flags them. With songs, each
 * machine counts the songs that name it (a companion such as NAME.GUI.dll counts those of NAME) and is flagged
 * Unused when none does; without, usedBy stays -1. With a cache file, a DLL whose size and time are those the cache
 * holds for its path takes its hash and architecture from there instead of being read, and the cache is rewritten
 * when it changed.
 */
GearInventory takeInventory(const std::string& hostFolder, const std::vector<SongUse>* songs,
                            const std::string& cacheFile = {});

/** The cache file takeInventory keeps in the program folder. */
inline constexpr const char* kGearCacheName = "gearhashes.txt";

/** The architecture of the host's executable (buzz.exe in any letter case) in hostFolder; NotWindows when none. */
Architecture hostArchitecture(const std::string& hostFolder);

/** The architecture of the file at path (UTF-8); NotWindows when it is none or cannot be read. */
Architecture fileArchitecture(const std::string& path);

/** The texts of the flags, in bit order: "not a Windows DLL", "in both folders, same content" … */
std::vector<std::string> flagTexts(unsigned flags);

/** "generator" or "effect". */
std::string kindText(GearKind kind);

} // namespace gw
