#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace gw {

/** What a Windows executable or DLL runs as, read from its PE header. */
enum class Architecture {
    NotWindows, // no PE header, a truncated one, or a machine type the host never runs
    X86,
    X64,
    Arm64,
    DotNetAnyCpu, // IL only, loads in a 32-bit and a 64-bit process alike
    DotNetX86,
    DotNetX64,
};

/** The architecture as the gear lists print it: "x86", ".NET any CPU", "not a Windows DLL" … */
std::string architectureText(Architecture architecture);

/**
 * The process architecture a module needs, as one of X86, X64 and Arm64; NotWindows for one that loads in any
 * (or none).
 */
Architecture processArchitecture(Architecture architecture);

/**
 * Whether a module cannot load in the host: both need a process architecture, and not the same one. False when
 * either is unknown (NotWindows) or loads in any (.NET any CPU).
 */
bool otherArchitecture(Architecture module, Architecture host);

/** Reads count bytes at offset into out; false when they are not all there. */
using ReadAt = std::function<bool(std::uint64_t offset, std::size_t count, std::uint8_t* out)>;

/**
 * The architecture of a PE file of size bytes. Reads only the headers and, for a .NET assembly, the flags of its
 * CLR header; every read is checked against size, so a damaged or hostile file gives NotWindows.
 */
Architecture readArchitecture(const ReadAt& readAt, std::uint64_t size);

/** The same over bytes in memory. */
Architecture readArchitecture(std::span<const std::uint8_t> bytes);

} // namespace gw
