#include "SongWriter.h"

#include <fstream>

namespace gw::test {

void putI16(std::vector<std::uint8_t>& out, std::int16_t value)
{
    const auto u = static_cast<std::uint16_t>(value);
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
}

void putI32(std::vector<std::uint8_t>& out, std::int32_t value)
{
    out.resize(out.size() + 4);
    setI32(out, out.size() - 4, value);
}

void setI32(std::vector<std::uint8_t>& out, std::size_t offset, std::int32_t value)
{
    const auto u = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        out[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((u >> (8 * i)) & 0xFF);
    }
}

void putText(std::vector<std::uint8_t>& out, const std::string& text)
{
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

namespace {

void putParameters(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& types)
{
    int n = 0;
    for (const std::uint8_t type : types) {
        out.push_back(type);
        putText(out, "Param " + std::to_string(++n));
        for (int v = 0; v < 5; ++v) {
            putI32(out, v);
        }
    }
}

std::size_t stateSize(const std::vector<std::uint8_t>& types)
{
    std::size_t size = 0;
    for (const std::uint8_t type : types) {
        size += type == 3 ? 2 : 1;
    }
    return size;
}

std::vector<std::uint8_t> paraSection(const std::vector<MachineSpec>& machines)
{
    std::vector<std::uint8_t> out;
    putI32(out, static_cast<std::int32_t>(machines.size()));
    for (const MachineSpec& m : machines) {
        putText(out, m.name);
        putText(out, m.typeName);
        putI32(out, static_cast<std::int32_t>(m.globalTypes.size()));
        putI32(out, static_cast<std::int32_t>(m.trackTypes.size()));
        putParameters(out, m.globalTypes);
        putParameters(out, m.trackTypes);
    }
    return out;
}

std::vector<std::uint8_t> machSection(const std::vector<MachineSpec>& machines)
{
    std::vector<std::uint8_t> out;
    putI16(out, static_cast<std::int16_t>(machines.size()));
    // The master's record, which the reader takes as 31 bytes in all with the count before it.
    putText(out, "Master");
    out.resize(31, 0);
    for (std::size_t i = 1; i < machines.size(); ++i) {
        const MachineSpec& m = machines[i];
        putText(out, m.name);
        out.push_back(m.kind);
        putText(out, m.dll);
        putI32(out, 0x11111111);
        putI32(out, 0x22222222);
        putI32(out, m.dataSize);
        for (std::int32_t d = 0; d < m.dataSize; ++d) {
            out.push_back(static_cast<std::uint8_t>(d));
        }
        putI16(out, static_cast<std::int16_t>(m.attributes.size()));
        for (const auto& [name, value] : m.attributes) {
            putText(out, name);
            putI32(out, value);
        }
        out.insert(out.end(), stateSize(m.globalTypes), 0x5A);
        putI16(out, m.tracks);
        for (std::int16_t t = 0; t < m.tracks; ++t) {
            out.insert(out.end(), stateSize(m.trackTypes), 0x6B);
        }
    }
    return out;
}

} // namespace

SongWriter::SongWriter() { machines.push_back(master()); }

MachineSpec SongWriter::master()
{
    MachineSpec m;
    m.name = "Master";
    m.typeName = "Master";
    m.kind = 0;
    m.globalTypes = {3, 3, 2};
    return m;
}

SongWriter& SongWriter::add(const MachineSpec& machine)
{
    machines.push_back(machine);
    return *this;
}

SongWriter& SongWriter::addSimple(const std::string& name, const std::string& dll, std::uint8_t kind)
{
    MachineSpec m;
    m.name = name;
    m.typeName = dll;
    m.kind = kind;
    m.dll = dll;
    m.globalTypes = {3, 1, 2};
    m.trackTypes = {3, 1};
    m.dataSize = 7;
    m.attributes = {{"Attack", 10}, {"Release", 20}};
    m.tracks = 2;
    return add(m);
}

std::vector<std::uint8_t> SongWriter::build() const
{
    struct Section
    {
        std::string name;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Section> sections;
    for (const std::string& name : otherSections) {
        sections.push_back({name, {1, 2, 3, 4}});
    }
    Section para{"PARA", paraSection(machines)};
    Section mach{"MACH", machSection(machines)};
    const auto addMain = [&](const Section& s, bool wanted) {
        if (wanted) {
            sections.push_back(s);
        }
    };
    if (machBeforePara) {
        addMain(mach, withMach);
        addMain(para, withPara);
    } else {
        addMain(para, withPara);
        addMain(mach, withMach);
    }

    std::vector<std::uint8_t> out = {'B', 'u', 'z', 'z'};
    putI32(out, static_cast<std::int32_t>(sections.size()));
    std::size_t offset = 8 + 12 * sections.size();
    for (const Section& s : sections) {
        out.insert(out.end(), s.name.begin(), s.name.begin() + 4);
        putI32(out, static_cast<std::int32_t>(offset));
        putI32(out, static_cast<std::int32_t>(s.bytes.size()));
        offset += s.bytes.size();
    }
    for (const Section& s : sections) {
        out.insert(out.end(), s.bytes.begin(), s.bytes.end());
    }
    return out;
}

bool SongWriter::writeTo(const std::string& path) const
{
    const std::vector<std::uint8_t> bytes = build();
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

} // namespace gw::test
