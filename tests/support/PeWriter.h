#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace gw::test {

/**
 * A minimal PE file: DOS header, COFF header, optional header with 16 data directories, one section at RVA 0x2000
 * held at file offset 0x400 and, with clrFlags, a CLR runtime header at its start (so the RVA is not the offset).
 * Padded with zeros to padTo bytes.
 */
inline std::vector<std::uint8_t> peFile(std::uint16_t machine, std::uint16_t magic, std::int64_t clrFlags = -1,
                                        std::size_t padTo = 0)
{
    std::vector<std::uint8_t> out(std::max<std::size_t>(0x600, padTo), 0);
    const auto put = [&out](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
        }
    };
    const bool plus = magic == 0x20B;
    const std::size_t pe = 0x40, optional = pe + 24, optionalSize = (plus ? 112 : 96) + 16 * 8;
    put(0, 0x5A4D, 2);
    put(0x3C, pe, 4);
    std::memcpy(&out[pe], "PE\0\0", 4);
    put(pe + 4, machine, 2);
    put(pe + 6, 1, 2); // one section
    put(pe + 20, optionalSize, 2);
    put(optional, magic, 2);
    put(optional + (plus ? 108 : 92), 16, 4);
    const std::size_t section = optional + optionalSize;
    put(section + 8, 0x1000, 4);  // virtual size
    put(section + 12, 0x2000, 4); // virtual address
    put(section + 16, 0x200, 4);  // raw size
    put(section + 20, 0x400, 4);  // raw offset
    if (clrFlags >= 0) {
        put(optional + (plus ? 112 : 96) + 14 * 8, 0x2000, 4);
        put(optional + (plus ? 112 : 96) + 14 * 8 + 4, 72, 4);
        put(0x400, 72, 4);
        put(0x410, static_cast<std::uint32_t>(clrFlags), 4);
    }
    return out;
}

} // namespace gw::test
