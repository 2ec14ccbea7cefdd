#include "song/SongReader.h"

#include "song/MachineRecordSearch.h"

#include <algorithm>
#include <vector>

namespace gw {

namespace {

constexpr std::int32_t kMaxSections = 32;
// The MACH section starts with its own machine count and the master's record, which is taken to be this long.
constexpr std::int64_t kMachSkip = 31;
// The fewest bytes a machine's PARA record can take: two empty names and the two counts.
constexpr std::int64_t kMinParaRecord = 1 + 1 + 4 + 4;
// A parameter record: type byte, empty name, five values.
constexpr std::int64_t kMinParameter = 1 + 1 + 5 * 4;

struct Layout
{
    std::int32_t globals = 0;
    std::int32_t tracks = 0;
    std::int32_t globalWords = 0; // parameters of type 3, stored in two bytes
    std::int32_t trackWords = 0;
};

class Reader
{
public:
    Reader(ByteInput& input, SongReadListener& listener)
        : m_in(input)
        , m_listener(listener)
    {
    }

    SongReadResult run();

private:
    SongReadResult fail(SongFailure failure, std::int64_t count = 0) const { return {failure, m_place, count}; }
    SongReadResult truncated() const { return fail(SongFailure::Truncated); }
    /** Reads count parameter records and returns how many are of type 3, or -1 at the end of the file. */
    std::int64_t readParameters(std::int32_t count);
    bool readMachineRest(const Layout& layout);
    SongReadResult recover(const SectionEntry& mach);

    ByteInput& m_in;
    SongReadListener& m_listener;
    SongPlace m_place = SongPlace::Header;
};

SongReadResult Reader::run()
{
    std::uint8_t magic[4] = {};
    const std::size_t got = m_in.readBytes(magic, 4);
    const std::string_view asRead(reinterpret_cast<const char*>(magic), got);
    m_listener.onMagic(asRead);
    if (asRead != "Buzz") {
        return fail(SongFailure::MissingHeader);
    }

    std::int32_t sectionCount = 0;
    if (!m_in.readI32(sectionCount)) {
        return truncated();
    }
    m_listener.onSectionCount(sectionCount);
    if (sectionCount > kMaxSections) {
        return fail(SongFailure::TooManySections);
    }

    m_place = SongPlace::Directory;
    SectionEntry para;
    SectionEntry mach;
    bool haveMach = false;
    for (std::int32_t k = 0; k < sectionCount; ++k) {
        SectionEntry entry;
        std::uint8_t name[4];
        if (m_in.readBytes(name, 4) != 4 || !m_in.readI32(entry.offset) || !m_in.readI32(entry.size)) {
            return truncated();
        }
        entry.name.assign(reinterpret_cast<const char*>(name), 4);
        m_listener.onDirectoryEntry(entry);
        // A name listed twice: the last entry wins.
        if (entry.name == "PARA") {
            para = entry;
        } else if (entry.name == "MACH") {
            mach = entry;
            haveMach = true;
        }
    }
    m_listener.onSections(para, mach);
    if (para.name != "PARA") {
        return haveMach ? recover(mach) : fail(SongFailure::NoParaSection);
    }

    m_place = SongPlace::ParaSection;
    std::int32_t machineCount = 0;
    if (!m_in.seek(para.offset) || !m_in.readI32(machineCount)) {
        return truncated();
    }
    m_listener.onMachineCount(machineCount);
    if (machineCount > static_cast<std::int64_t>(m_in.remaining()) / kMinParaRecord) {
        return fail(SongFailure::CountTooLarge, machineCount);
    }

    // Index 0 is unused so that machine i is layouts[i], as the log numbers them.
    std::vector<Layout> layouts(static_cast<std::size_t>(machineCount > 0 ? machineCount : 0) + 1);
    std::string text;
    for (std::int32_t i = 1; i <= machineCount; ++i) {
        m_listener.onParaMachineStart(i, machineCount);
        if (!m_in.readText(text)) {
            return truncated();
        }
        m_listener.onParaMachineName(text);
        if (!m_in.readText(text)) {
            return truncated();
        }
        m_listener.onParaMachineType(text);
        Layout& layout = layouts[static_cast<std::size_t>(i)];
        if (!m_in.readI32(layout.globals) || !m_in.readI32(layout.tracks)) {
            return truncated();
        }
        const std::int64_t parameters =
            static_cast<std::int64_t>(std::max(layout.globals, 0)) + std::max(layout.tracks, 0);
        if (parameters > static_cast<std::int64_t>(m_in.remaining()) / kMinParameter) {
            return fail(SongFailure::CountTooLarge, parameters);
        }
        const std::int64_t globalWords = readParameters(layout.globals);
        if (globalWords < 0) {
            return truncated();
        }
        const std::int64_t trackWords = readParameters(layout.tracks);
        if (trackWords < 0) {
            return truncated();
        }
        layout.globalWords = static_cast<std::int32_t>(globalWords);
        layout.trackWords = static_cast<std::int32_t>(trackWords);
        m_listener.onParaMachineDone(i);
    }
    m_listener.onParaDone(machineCount);

    // Every song stores at least its master machine in MACH, so a song without one is damaged.
    m_place = SongPlace::MachSection;
    if (!haveMach) {
        return fail(SongFailure::NoMachSection);
    }
    // A negative offset is damage even when adding the master's length brings it back inside the file.
    if (mach.offset < 0 || !m_in.seek(static_cast<std::int64_t>(mach.offset) + kMachSkip)) {
        return truncated();
    }
    m_listener.onMachStart();
    for (std::int32_t i = 2; i <= machineCount; ++i) {
        m_listener.onMachMachineStart(i, machineCount);
        MachineRef machine;
        if (!m_in.readText(machine.name)) {
            return truncated();
        }
        m_listener.onMachMachineName(machine.name);
        if (!m_in.readU8(machine.kindByte)) {
            return truncated();
        }
        m_listener.onMachKind(machine.kindByte);
        if (!m_in.readText(machine.dll)) {
            return truncated();
        }
        m_listener.onMachDllName(machine.dll);
        m_listener.onMachine(machine);
        if (!readMachineRest(layouts[static_cast<std::size_t>(i)])) {
            return truncated();
        }
    }
    m_listener.onMachDone(machineCount);
    return {};
}

SongReadResult Reader::recover(const SectionEntry& mach)
{
    // The section as far as the file holds it: a size that claims more cannot make the search read more.
    if (mach.offset < 0 || mach.size < 2 || !m_in.seek(mach.offset)) {
        return fail(SongFailure::NoParaSection);
    }
    std::vector<std::uint8_t> section(static_cast<std::size_t>(std::min<std::uint64_t>(mach.size, m_in.remaining())));
    section.resize(m_in.readBytes(section.data(), section.size()));
    const std::optional<std::vector<FoundMachine>> found = searchMachineRecords(section, mach.offset);
    if (!found) {
        return fail(SongFailure::NoParaSection);
    }
    m_listener.onRecoveryStart(static_cast<std::int32_t>(found->size()));
    for (const FoundMachine& machine : *found) {
        m_listener.onRecoveredMachine(machine.machine, machine.offset);
        m_listener.onMachine(machine.machine);
    }
    SongReadResult result;
    result.recovered = true;
    return result;
}

std::int64_t Reader::readParameters(std::int32_t count)
{
    std::int64_t words = 0;
    std::string name;
    for (std::int32_t p = 0; p < count; ++p) {
        std::uint8_t type = 0;
        if (!m_in.readU8(type) || !m_in.readText(name) || !m_in.skip(5 * 4)) {
            return -1;
        }
        if (type == 3) {
            ++words;
        }
    }
    return words;
}

bool Reader::readMachineRest(const Layout& layout)
{
    std::int32_t dataSize = 0;
    if (!m_in.skip(8) || !m_in.readI32(dataSize)) {
        return false;
    }
    if (dataSize > 0 && !m_in.skip(dataSize)) {
        return false;
    }
    std::int16_t attributes = 0;
    if (!m_in.readI16(attributes)) {
        return false;
    }
    std::string name;
    for (std::int16_t a = 0; a < attributes; ++a) {
        if (!m_in.readText(name) || !m_in.skip(4)) {
            return false;
        }
    }
    const std::int64_t globalState = static_cast<std::int64_t>(layout.globals) + layout.globalWords;
    if (globalState > 0 && !m_in.skip(globalState)) {
        return false;
    }
    std::int16_t trackCount = 0;
    if (!m_in.readI16(trackCount)) {
        return false;
    }
    const std::int64_t trackState = static_cast<std::int64_t>(layout.tracks) + layout.trackWords;
    if (trackCount > 0 && trackState > 0 && !m_in.skip(trackCount * trackState)) {
        return false;
    }
    return true;
}

} // namespace

SongReadResult readSong(ByteInput& input, SongReadListener& listener)
{
    return Reader(input, listener).run();
}

} // namespace gw
