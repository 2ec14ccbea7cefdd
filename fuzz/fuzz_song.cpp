// The song reader and scan trace on arbitrary bytes: no crash, no hang, no runaway allocation.
#include "song/SongScan.h"

#include <cstddef>
#include <cstdint>

namespace {

class NullSink : public gw::ScanSink
{
public:
    void setStatus(const std::string&, bool) override {}
    void startLog(const std::string&) override {}
    void log(const std::string& line) override { m_bytes += line.size(); }
    void showMessage(const std::string& text) override { m_bytes += text.size(); }
    void addUsed(const gw::MachineRef& machine) override { m_bytes += machine.dll.size(); }

private:
    std::size_t m_bytes = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    NullSink sink;
    gw::scanSongBytes("fuzz.bmx", std::span<const std::uint8_t>(data, size), sink);
    return 0;
}
