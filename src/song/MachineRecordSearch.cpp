#include "song/MachineRecordSearch.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gw {

namespace {

// Longest names taken: a machine's own name is short; a DLL name fits a Windows file name.
constexpr std::size_t kMaxName = 64;
constexpr std::size_t kMaxDll = 255;

bool printable(std::uint8_t byte) { return byte >= 0x20 && byte != 0x7F; }

float floatAt(std::span<const std::uint8_t> bytes, std::size_t at)
{
    std::uint32_t bits = 0;
    for (int i = 3; i >= 0; --i) {
        bits = (bits << 8) | bytes[at + static_cast<std::size_t>(i)];
    }
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::int32_t i32At(std::span<const std::uint8_t> bytes, std::size_t at)
{
    std::uint32_t bits = 0;
    for (int i = 3; i >= 0; --i) {
        bits = (bits << 8) | bytes[at + static_cast<std::size_t>(i)];
    }
    return static_cast<std::int32_t>(bits);
}

bool isPosition(float value) { return std::isfinite(value) && value >= -1.0f && value <= 1.0f; }

} // namespace

std::optional<std::vector<FoundMachine>> searchMachineRecords(std::span<const std::uint8_t> section,
                                                              std::int64_t sectionOffset)
{
    const std::size_t size = section.size();
    if (size < 2) {
        return std::nullopt;
    }
    const auto count = static_cast<std::int16_t>(section[0] | (section[1] << 8));
    // The lengths of the printable runs that end at, and that start at, each byte (capped): with them every
    // candidate is judged in constant time, so a hostile section of any size is searched in linear time.
    std::vector<std::uint16_t> runEnding(size);
    std::vector<std::uint16_t> runStarting(size + 1);
    for (std::size_t i = 0; i < size; ++i) {
        runEnding[i] = printable(section[i]) ? static_cast<std::uint16_t>(
                                                   std::min<std::size_t>((i ? runEnding[i - 1] : 0) + 1, kMaxDll + 1))
                                             : 0;
    }
    for (std::size_t i = size; i-- > 0;) {
        runStarting[i] = printable(section[i])
                             ? static_cast<std::uint16_t>(std::min<std::size_t>(runStarting[i + 1] + 1, kMaxDll + 1))
                             : 0;
    }

    std::vector<FoundMachine> found;
    std::size_t searchStart = 2;
    for (std::size_t kind = searchStart + 2; kind < size; ++kind) {
        if ((section[kind] != 1 && section[kind] != 2) || section[kind - 1] != 0) {
            continue;
        }
        const std::size_t nameEnd = kind - 1;
        const std::size_t nameLength =
            std::min<std::size_t>({std::size_t{runEnding[nameEnd - 1]}, kMaxName, nameEnd - searchStart});
        const std::size_t dllStart = kind + 1;
        const std::size_t dllLength = dllStart < size ? runStarting[dllStart] : 0;
        const std::size_t dllEnd = dllStart + dllLength;
        const std::size_t sizeField = dllEnd + 1 + 8;
        if (nameLength == 0 || dllLength == 0 || dllLength > kMaxDll || sizeField + 4 > size || section[dllEnd] != 0) {
            continue;
        }
        const std::int32_t dataSize = i32At(section, sizeField);
        if (!isPosition(floatAt(section, dllEnd + 1)) || !isPosition(floatAt(section, dllEnd + 5)) || dataSize < 0 ||
            static_cast<std::uint64_t>(dataSize) > size - (sizeField + 4)) {
            continue;
        }
        FoundMachine& machine = found.emplace_back();
        const std::size_t nameStart = nameEnd - nameLength;
        machine.offset = sectionOffset + static_cast<std::int64_t>(nameStart);
        machine.machine.name.assign(reinterpret_cast<const char*>(section.data() + nameStart), nameLength);
        machine.machine.kindByte = section[kind];
        machine.machine.dll.assign(reinterpret_cast<const char*>(section.data() + dllStart), dllLength);
        searchStart = sizeField + 4;
        kind = searchStart + 1; // the next kind byte stands after at least a name's first byte and its zero
    }
    if (static_cast<std::int64_t>(found.size()) != static_cast<std::int64_t>(count) - 1) {
        return std::nullopt;
    }
    return found;
}

} // namespace gw
