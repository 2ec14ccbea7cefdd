#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace gw::test {

/** One machine as the writer stores it in PARA and MACH. */
struct MachineSpec
{
    std::string name;
    std::string typeName;
    std::uint8_t kind = 1;
    std::string dll;
    std::vector<std::uint8_t> globalTypes; // one type byte per global parameter
    std::vector<std::uint8_t> trackTypes;  // one type byte per track parameter
    std::int32_t dataSize = 0;
    std::vector<std::pair<std::string, std::int32_t>> attributes;
    std::int16_t tracks = 0;
};

/**
 * Writes song files in the layout the reader walks, so tests can build exactly the song a case needs. The first
 * machine is the master, which the reader skips.
 */
class SongWriter
{
public:
    SongWriter();

    SongWriter& add(const MachineSpec& machine);
    /** A generator or effect with a few parameters, data, attributes and tracks. */
    SongWriter& addSimple(const std::string& name, const std::string& dll, std::uint8_t kind);

    std::vector<MachineSpec> machines;
    bool withPara = true;
    bool withMach = true;
    bool machBeforePara = false;
    /** Sections the reader lists and ignores, written before PARA and MACH. */
    std::vector<std::string> otherSections = {"BVER"};

    std::vector<std::uint8_t> build() const;
    bool writeTo(const std::string& path) const;

    static MachineSpec master();
};

/** Little-endian appenders, for tests that hand-craft bytes. */
void putI16(std::vector<std::uint8_t>& out, std::int16_t value);
void putI32(std::vector<std::uint8_t>& out, std::int32_t value);
void putText(std::vector<std::uint8_t>& out, const std::string& text);
void setI32(std::vector<std::uint8_t>& out, std::size_t offset, std::int32_t value);

} // namespace gw::test
