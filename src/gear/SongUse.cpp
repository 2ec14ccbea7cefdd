#include "gear/SongUse.h"

#include "base/Platform.h"
#include "base/TextCodec.h"
#include "song/SongScan.h"

namespace gw {

namespace {

/** Keeps the machines and nothing of the trace. */
class MachineSink : public ScanSink
{
public:
    explicit MachineSink(std::vector<MachineRef>& machines)
        : m_machines(machines)
    {
    }
    void setStatus(const std::string&, bool) override {}
    void startLog(const std::string&) override {}
    void log(const std::string&) override {}
    void showMessage(const std::string&) override {}
    void addUsed(const MachineRef& machine) override { m_machines.push_back(machine); }

private:
    std::vector<MachineRef>& m_machines;
};

} // namespace

SongUse readSongUse(const std::string& path)
{
    SongUse use{path, {}, {}};
    MachineSink sink(use.machines);
    use.error = scanSong(path, sink).message;
    return use;
}

std::string machineKey(std::string_view name)
{
    std::string key = foldCase(name);
    if (key.size() > 4 && key.compare(key.size() - 4, 4, ".dll") == 0) {
        key.resize(key.size() - 4);
    }
    return key;
}

std::string machineKey(const MachineRef& machine)
{
    return foldCase(platform::ansiToUtf8(machine.dll));
}

} // namespace gw
