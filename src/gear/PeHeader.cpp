#include "gear/PeHeader.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace gw {

namespace {

constexpr std::uint16_t kMachineX86 = 0x014C;
constexpr std::uint16_t kMachineX64 = 0x8664;
constexpr std::uint16_t kMachineArm64 = 0xAA64;
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::uint32_t kClrDirectory = 14;
constexpr std::uint32_t kClrIlOnly = 0x1;
constexpr std::uint32_t kClr32BitRequired = 0x2;
constexpr std::uint64_t kSectionHeaderSize = 40;

/** Little-endian reads through readAt, each checked against the file's size first. */
class Reader
{
public:
    Reader(const ReadAt& readAt, std::uint64_t size)
        : m_readAt(readAt)
        , m_size(size)
    {
    }

    bool u16(std::uint64_t offset, std::uint16_t& value) const { return number(offset, 2, value); }
    bool u32(std::uint64_t offset, std::uint32_t& value) const { return number(offset, 4, value); }

private:
    template <typename T> bool number(std::uint64_t offset, std::size_t count, T& value) const
    {
        std::array<std::uint8_t, 4> bytes{};
        if (offset > m_size || m_size - offset < count || !m_readAt(offset, count, bytes.data())) {
            return false;
        }
        value = 0;
        for (std::size_t i = count; i-- > 0;) {
            value = static_cast<T>((value << 8) | bytes[i]);
        }
        return true;
    }

    const ReadAt& m_readAt;
    std::uint64_t m_size;
};

/** The file offset of rva through the section table, or nothing when no section holds it in the file. */
bool fileOffsetOf(const Reader& in, std::uint64_t sections, std::uint16_t count, std::uint32_t rva,
                  std::uint64_t& offset)
{
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint64_t at = sections + i * kSectionHeaderSize;
        std::uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawPointer = 0;
        if (!in.u32(at + 8, virtualSize) || !in.u32(at + 12, virtualAddress) || !in.u32(at + 16, rawSize) ||
            !in.u32(at + 20, rawPointer)) {
            return false;
        }
        const std::uint64_t extent = std::max(virtualSize, rawSize);
        if (rva >= virtualAddress && rva - virtualAddress < extent) {
            const std::uint64_t within = rva - virtualAddress;
            if (within >= rawSize) {
                return false; // in memory only: nothing in the file to read
            }
            offset = rawPointer + within;
            return true;
        }
    }
    return false;
}

} // namespace

std::string architectureText(Architecture architecture)
{
    switch (architecture) {
    case Architecture::NotWindows:
        return "not a Windows DLL";
    case Architecture::X86:
        return "x86";
    case Architecture::X64:
        return "x64";
    case Architecture::Arm64:
        return "arm64";
    case Architecture::DotNetAnyCpu:
        return ".NET any CPU";
    case Architecture::DotNetX86:
        return ".NET x86";
    case Architecture::DotNetX64:
        return ".NET x64";
    }
    return {};
}

bool otherArchitecture(Architecture module, Architecture host)
{
    const Architecture needs = processArchitecture(module), runs = processArchitecture(host);
    return needs != Architecture::NotWindows && runs != Architecture::NotWindows && needs != runs;
}

Architecture processArchitecture(Architecture architecture)
{
    switch (architecture) {
    case Architecture::X86:
    case Architecture::DotNetX86:
        return Architecture::X86;
    case Architecture::X64:
    case Architecture::DotNetX64:
        return Architecture::X64;
    case Architecture::Arm64:
        return Architecture::Arm64;
    case Architecture::NotWindows:
    case Architecture::DotNetAnyCpu:
        break;
    }
    return Architecture::NotWindows;
}

Architecture readArchitecture(const ReadAt& readAt, std::uint64_t size)
{
    const Reader in(readAt, size);
    std::uint16_t mz = 0;
    std::uint32_t pe = 0, signature = 0;
    if (!in.u16(0, mz) || mz != 0x5A4D || !in.u32(0x3C, pe) || !in.u32(pe, signature) || signature != 0x00004550) {
        return Architecture::NotWindows;
    }
    const std::uint64_t coff = std::uint64_t(pe) + 4;
    const std::uint64_t optional = coff + 20;
    std::uint16_t machine = 0, sectionCount = 0, optionalSize = 0, magic = 0;
    if (!in.u16(coff, machine) || !in.u16(coff + 2, sectionCount) || !in.u16(coff + 16, optionalSize) ||
        !in.u16(optional, magic)) {
        return Architecture::NotWindows;
    }
    const bool pe32 = magic == kMagicPe32 && machine == kMachineX86;
    const bool pe32Plus = magic == kMagicPe32Plus && (machine == kMachineX64 || machine == kMachineArm64);
    if (!pe32 && !pe32Plus) {
        return Architecture::NotWindows;
    }
    const Architecture native = machine == kMachineX86   ? Architecture::X86
                                : machine == kMachineX64 ? Architecture::X64
                                                         : Architecture::Arm64;

    // The CLR runtime header's data directory, when the optional header is long enough to hold it.
    const std::uint64_t directoryCountAt = optional + (pe32 ? 92 : 108);
    const std::uint64_t clrDirectoryAt = directoryCountAt + 4 + kClrDirectory * 8;
    std::uint32_t directoryCount = 0, clrRva = 0, clrSize = 0;
    if (clrDirectoryAt + 8 > optional + optionalSize || !in.u32(directoryCountAt, directoryCount) ||
        directoryCount <= kClrDirectory) {
        return native;
    }
    if (!in.u32(clrDirectoryAt, clrRva) || !in.u32(clrDirectoryAt + 4, clrSize)) {
        return Architecture::NotWindows;
    }
    if (clrRva == 0 || clrSize == 0) {
        return native;
    }
    std::uint64_t clrHeader = 0;
    std::uint32_t flags = 0;
    if (!fileOffsetOf(in, optional + optionalSize, sectionCount, clrRva, clrHeader) || !in.u32(clrHeader + 16, flags)) {
        return Architecture::NotWindows; // a .NET assembly whose runtime header is not in the file: damaged
    }
    if (machine == kMachineArm64) {
        return Architecture::Arm64;
    }
    if (machine == kMachineX64) {
        return Architecture::DotNetX64;
    }
    const bool anyCpu = (flags & kClrIlOnly) != 0 && (flags & kClr32BitRequired) == 0;
    return anyCpu ? Architecture::DotNetAnyCpu : Architecture::DotNetX86;
}

Architecture readArchitecture(std::span<const std::uint8_t> bytes)
{
    return readArchitecture(
        [bytes](std::uint64_t offset, std::size_t count, std::uint8_t* out) {
            std::memcpy(out, bytes.data() + offset, count);
            return true;
        },
        bytes.size());
}

} // namespace gw
