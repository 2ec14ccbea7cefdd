#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace gw {

/**
 * Little-endian reads over a song file or a block of memory, with the file's size known up front so that every
 * read and skip can be checked against the end instead of trusted. Reads through a buffer; skips seek.
 */
class ByteInput
{
public:
    /** Reads from memory the caller keeps alive. */
    explicit ByteInput(std::span<const std::uint8_t> bytes);
    /** Takes ownership of an open file. */
    explicit ByteInput(std::FILE* file);
    ~ByteInput();
    ByteInput(const ByteInput&) = delete;
    ByteInput& operator=(const ByteInput&) = delete;

    std::uint64_t size() const { return m_size; }
    std::uint64_t position() const { return m_position; }
    std::uint64_t remaining() const { return m_size - m_position; }

    /** Moves to an absolute offset; false (and no move) when it lies outside the input. */
    bool seek(std::int64_t offset);
    /** Moves forward; false when that passes the end. */
    bool skip(std::int64_t count);
    bool readU8(std::uint8_t& value);
    bool readI16(std::int16_t& value);
    bool readI32(std::int32_t& value);
    /** Reads up to count bytes (fewer at the end); returns how many were read. */
    std::size_t readBytes(std::uint8_t* out, std::size_t count);
    /** Reads a text ended by a zero byte; false when the input ends first. */
    bool readText(std::string& value);

private:
    bool fill();

    std::FILE* m_file = nullptr;
    const std::uint8_t* m_memory = nullptr;
    std::vector<std::uint8_t> m_buffer;
    std::uint64_t m_size = 0;
    std::uint64_t m_position = 0;
    // The buffered window [m_windowStart, m_windowStart + m_windowLength) of the input.
    const std::uint8_t* m_window = nullptr;
    std::uint64_t m_windowStart = 0;
    std::size_t m_windowLength = 0;
};

} // namespace gw
