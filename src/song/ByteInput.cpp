#include "song/ByteInput.h"

#include <algorithm>
#include <cstring>

namespace gw {

namespace {
constexpr std::size_t kBufferSize = 64 * 1024;

std::uint64_t fileSize(std::FILE* file)
{
    // This class buffers itself: a second buffer in the stream would only copy, and refill on every seek.
    std::setvbuf(file, nullptr, _IONBF, 0);
    if (std::fseek(file, 0, SEEK_END) != 0) {
        return 0;
    }
    const long end = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    return end > 0 ? static_cast<std::uint64_t>(end) : 0;
}
} // namespace

ByteInput::ByteInput(std::span<const std::uint8_t> bytes)
    : m_memory(bytes.data())
    , m_size(bytes.size())
    , m_window(bytes.data())
    , m_windowLength(bytes.size())
{
}

ByteInput::ByteInput(std::FILE* file)
    : m_file(file)
    , m_size(file ? fileSize(file) : 0)
{
    // A song is usually a few kilobytes: a buffer no larger than the file spares thousands of scans a cleared 64 KiB.
    m_buffer.resize(static_cast<std::size_t>(std::min<std::uint64_t>(std::max<std::uint64_t>(m_size, 1), kBufferSize)));
}

ByteInput::~ByteInput()
{
    if (m_file) {
        std::fclose(m_file);
    }
}

bool ByteInput::seek(std::int64_t offset)
{
    if (offset < 0 || static_cast<std::uint64_t>(offset) > m_size) {
        return false;
    }
    m_position = static_cast<std::uint64_t>(offset);
    return true;
}

bool ByteInput::skip(std::int64_t count)
{
    if (count < 0 || static_cast<std::uint64_t>(count) > remaining()) {
        return false;
    }
    m_position += static_cast<std::uint64_t>(count);
    return true;
}

bool ByteInput::fill()
{
    if (m_position >= m_windowStart && m_position < m_windowStart + m_windowLength) {
        return true;
    }
    if (!m_file || m_position >= m_size) {
        return false;
    }
    if (std::fseek(m_file, static_cast<long>(m_position), SEEK_SET) != 0) {
        return false;
    }
    m_windowStart = m_position;
    m_windowLength = std::fread(m_buffer.data(), 1, m_buffer.size(), m_file);
    m_window = m_buffer.data();
    return m_windowLength > 0;
}

std::size_t ByteInput::readBytes(std::uint8_t* out, std::size_t count)
{
    std::size_t done = 0;
    while (done < count && fill()) {
        const std::size_t offset = static_cast<std::size_t>(m_position - m_windowStart);
        const std::size_t step = std::min(count - done, m_windowLength - offset);
        std::memcpy(out + done, m_window + offset, step);
        done += step;
        m_position += step;
    }
    return done;
}

bool ByteInput::readU8(std::uint8_t& value)
{
    return readBytes(&value, 1) == 1;
}

bool ByteInput::readI16(std::int16_t& value)
{
    std::uint8_t b[2];
    if (readBytes(b, 2) != 2) {
        return false;
    }
    value = static_cast<std::int16_t>(static_cast<std::uint16_t>(b[0] | (b[1] << 8)));
    return true;
}

bool ByteInput::readI32(std::int32_t& value)
{
    std::uint8_t b[4];
    if (readBytes(b, 4) != 4) {
        return false;
    }
    const std::uint32_t u = static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
                            (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
    value = static_cast<std::int32_t>(u);
    return true;
}

bool ByteInput::readText(std::string& value)
{
    value.clear();
    while (fill()) {
        const std::size_t offset = static_cast<std::size_t>(m_position - m_windowStart);
        const auto* begin = m_window + offset;
        const auto* end = m_window + m_windowLength;
        const auto* zero = std::find(begin, end, std::uint8_t{0});
        value.append(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(zero - begin));
        m_position += static_cast<std::uint64_t>(zero - begin);
        if (zero != end) {
            ++m_position;
            return true;
        }
    }
    return false;
}

} // namespace gw
