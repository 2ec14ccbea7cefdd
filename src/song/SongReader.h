#pragma once

#include "song/ByteInput.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace gw {

/** One machine named by a song. Names are the bytes as stored; see ansiToUtf8 for their text. */
struct MachineRef
{
    std::string name;
    std::string dll; // without ".dll"
    std::uint8_t kindByte = 0;

    bool isGenerator() const { return kindByte == 1; }
};

/** One entry of a song's section directory; the name is the four bytes as stored. */
struct SectionEntry
{
    std::string name = "    ";
    std::int32_t offset = 0;
    std::int32_t size = 0;
};

enum class SongFailure {
    None,
    CannotOpen,
    MissingHeader,
    TooManySections,
    NoParaSection,
    NoMachSection,
    Truncated,     // a read ran past the end of the file
    CountTooLarge, // a count the rest of the file cannot hold
};

/** Where in the file the reader was when it stopped, for the messages of a broken file. */
enum class SongPlace { Header, Directory, ParaSection, MachSection };

struct SongReadResult
{
    SongFailure failure = SongFailure::None;
    SongPlace place = SongPlace::Header;
    std::int64_t count = 0; // the offending count of CountTooLarge
    bool recovered = false; // no PARA section: the machines were found by searching MACH

    bool ok() const { return failure == SongFailure::None; }
};

/**
 * Receives the values of a song in the order they are read, so the scan log can interleave its lines with the
 * reading steps. Every callback has an empty default.
 */
class SongReadListener
{
public:
    virtual ~SongReadListener() = default;
    virtual void onMagic(std::string_view /*asRead*/) {}
    virtual void onSectionCount(std::int32_t /*count*/) {}
    virtual void onDirectoryEntry(const SectionEntry& /*entry*/) {}
    /** After the directory, before the PARA test; absent sections have four blanks, offset and size 0. */
    virtual void onSections(const SectionEntry& /*para*/, const SectionEntry& /*mach*/) {}
    virtual void onMachineCount(std::int32_t /*count*/) {}
    virtual void onParaMachineStart(std::int32_t /*index*/, std::int32_t /*count*/) {}
    virtual void onParaMachineName(std::string_view /*name*/) {}
    virtual void onParaMachineType(std::string_view /*typeName*/) {}
    virtual void onParaMachineDone(std::int32_t /*index*/) {}
    virtual void onParaDone(std::int32_t /*count*/) {}
    virtual void onMachStart() {}
    virtual void onMachMachineStart(std::int32_t /*index*/, std::int32_t /*count*/) {}
    virtual void onMachMachineName(std::string_view /*name*/) {}
    virtual void onMachKind(std::uint8_t /*kindByte*/) {}
    /** Called with the DLL name; the machine reference follows at once. */
    virtual void onMachDllName(std::string_view /*dll*/) {}
    virtual void onMachine(const MachineRef& /*machine*/) {}
    virtual void onMachDone(std::int32_t /*count*/) {}
    /** A song without PARA whose machines were found by searching MACH: the count found, then each machine. */
    virtual void onRecoveryStart(std::int32_t /*count*/) {}
    virtual void onRecoveredMachine(const MachineRef& /*machine*/, std::int64_t /*offset*/) {}
};

/**
 * Reads the machines of one song. The first machine (the song's master) is never reported. A song without PARA
 * (saved by a host older than 1.2) is read by searching its MACH section for machine records, and only when the
 * search finds exactly the machines the section counts. Besides the three
 * failures of the format itself (no "Buzz" magic, more than 32 sections, no PARA section) every read is checked
 * against the end of the file and every count against the bytes left to hold it, so a damaged or hostile file ends
 * as a failure instead of a long loop or a huge allocation.
 */
SongReadResult readSong(ByteInput& input, SongReadListener& listener);

} // namespace gw
