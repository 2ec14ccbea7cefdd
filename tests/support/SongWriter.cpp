#include "SongWriter.h"

#include <algorithm>
#include <fstream>

namespace gw::test {

using Bytes = std::vector<std::uint8_t>;

namespace {

void set(Bytes& out, std::size_t offset, std::int64_t value, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        out[offset + i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i));
    }
}
void put(Bytes& out, std::int64_t value, std::size_t size)
{
    out.resize(out.size() + size);
    set(out, out.size() - size, value, size);
}
void put(Bytes& out, const std::string& text)
{
    out.insert(out.end(), text.c_str(), text.c_str() + text.size() + 1);
}
// A parameter of type 3 takes two bytes of state, any other one.
std::size_t stateSize(const std::vector<std::uint8_t>& types)
{
    return types.size() + static_cast<std::size_t>(std::count(types.begin(), types.end(), 3));
}

Bytes paraSection(const std::vector<SongMachine>& machines)
{
    Bytes out;
    put(out, machines.size(), 4);
    for (const SongMachine& m : machines) {
        put(out, m.name);
        put(out, m.typeName);
        put(out, m.globalTypes.size(), 4);
        put(out, m.trackTypes.size(), 4);
        for (const auto* types : {&m.globalTypes, &m.trackTypes}) {
            for (std::size_t p = 0; p < types->size(); ++p) {
                out.push_back((*types)[p]);
                put(out, "Param " + std::to_string(p + 1));
                for (int v = 0; v < 5; ++v) put(out, v, 4);
            }
        }
    }
    return out;
}

Bytes machSection(const std::vector<SongMachine>& machines)
{
    Bytes out;
    put(out, machines.size(), 2);
    // The master's record, which the reader takes as 31 bytes in all with the count before it.
    put(out, "Master");
    out.resize(31, 0);
    for (std::size_t i = 1; i < machines.size(); ++i) {
        const SongMachine& m = machines[i];
        put(out, m.name);
        out.push_back(m.kind);
        put(out, m.dll);
        put(out, 0x2222222211111111, 8);
        put(out, m.dataSize, 4);
        for (std::int32_t d = 0; d < m.dataSize; ++d) out.push_back(static_cast<std::uint8_t>(d));
        put(out, m.attributes.size(), 2);
        for (const auto& [name, value] : m.attributes) {
            put(out, name);
            put(out, value, 4);
        }
        out.insert(out.end(), stateSize(m.globalTypes), 0x5A);
        put(out, m.tracks, 2);
        for (std::int16_t t = 0; t < m.tracks; ++t) out.insert(out.end(), stateSize(m.trackTypes), 0x6B);
    }
    return out;
}

} // namespace

void setI16(Bytes& out, std::size_t offset, std::int16_t value) { set(out, offset, value, 2); }
void setI32(Bytes& out, std::size_t offset, std::int32_t value) { set(out, offset, value, 4); }

std::size_t offsetBehind(const Bytes& bytes, const std::string& text)
{
    const auto end = std::find_end(bytes.begin(), bytes.end(), text.c_str(), text.c_str() + text.size() + 1);
    return static_cast<std::size_t>(end - bytes.begin()) + text.size() + 1;
}

SongWriter& SongWriter::addSimple(const std::string& name, const std::string& dll, std::uint8_t kind)
{
    return add({name, dll, kind, dll, {3, 1, 2}, {3, 1}, 7, {{"Attack", 10}, {"Release", 20}}, 2});
}

Bytes SongWriter::build() const
{
    std::vector<std::pair<std::string, Bytes>> sections = {{"BVER", {1, 2, 3, 4}}};
    if (withPara) {
        sections.emplace_back("PARA", paraSection(machines));
    }
    sections.emplace(machBeforePara ? sections.begin() + 1 : sections.end(), "MACH", machSection(machines));
    Bytes out = {'B', 'u', 'z', 'z'};
    put(out, sections.size(), 4);
    std::size_t offset = out.size() + 12 * sections.size();
    for (const auto& [name, bytes] : sections) {
        out.insert(out.end(), name.begin(), name.begin() + 4);
        put(out, offset, 4);
        put(out, bytes.size(), 4);
        offset += bytes.size();
    }
    for (const auto& section : sections) out.insert(out.end(), section.second.begin(), section.second.end());
    return out;
}

bool SongWriter::writeTo(const std::string& path) const
{
    const Bytes bytes = build();
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

} // namespace gw::test
