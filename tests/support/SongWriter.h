#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace gw::test {

/** One machine as the writer stores it in PARA and MACH. */
struct SongMachine
{
    std::string name, typeName;
    std::uint8_t kind = 1;
    std::string dll;
    std::vector<std::uint8_t> globalTypes, trackTypes; // one type byte per parameter
    std::int32_t dataSize = 0;                         // no data bytes are written when negative
    std::vector<std::pair<std::string, std::int32_t>> attributes;
    std::int16_t tracks = 0;
};

/** Writes songs of BVER (01 02 03 04, passed over), PARA and MACH; the first machine is the master, never reported. */
class SongWriter
{
public:
    SongWriter& add(const SongMachine& machine)
    {
        machines.push_back(machine);
        return *this;
    }
    /** A machine with a few parameters, data, attributes and tracks. */
    SongWriter& addSimple(const std::string& name, const std::string& dll, std::uint8_t kind);

    std::vector<SongMachine> machines = {{"Master", "Master", 0, "", {3, 3, 2}, {}, 0, {}, 0}};
    bool withPara = true;
    bool machBeforePara = false;

    std::vector<std::uint8_t> build() const;
    bool writeTo(const std::string& path) const;
};

/** Little-endian numbers written over a built song, to damage it. */
void setI16(std::vector<std::uint8_t>& out, std::size_t offset, std::int16_t value);
void setI32(std::vector<std::uint8_t>& out, std::size_t offset, std::int32_t value);
/** The offset just behind the last occurrence of text and its zero byte. */
std::size_t offsetBehind(const std::vector<std::uint8_t>& bytes, const std::string& text);

} // namespace gw::test
