#include "song/SongScan.h"

#include "base/NumberText.h"
#include "base/Platform.h"

namespace gw {

namespace {

std::string text(std::string_view bytes)
{
    return platform::ansiToUtf8(bytes);
}

/** Turns the reader's steps into the scan's log lines and status texts. */
class ScanTrace : public SongReadListener
{
public:
    explicit ScanTrace(ScanSink& sink)
        : m_sink(sink)
        , m_logging(sink.wantsTrace())
    {
    }

    void onMagic(std::string_view asRead) override
    {
        log([&] { return "BuzzHeader " + text(asRead); });
    }
    void onSectionCount(std::int32_t count) override
    {
        log([&] { return "Number of sections " + NumberText(count); });
    }
    void onDirectoryEntry(const SectionEntry& entry) override
    {
        log([&] { return "Header " + text(entry.name); });
        log([&] { return "Offset " + NumberText(entry.offset); });
        log([&] { return "Size " + NumberText(entry.size); });
    }
    void onSections(const SectionEntry& para, const SectionEntry& mach) override
    {
        log([&] { return "ParameterHeader " + text(para.name); });
        if (para.name != "PARA") {
            log([&] { return "ParameterHeader not found" + text(para.name); });
            return;
        }
        log([&] { return "Offset " + NumberText(para.offset); });
        log([&] { return "Size " + NumberText(para.size); });
        log([&] { return "Machine Header " + text(mach.name); });
        log([&] { return "Offset " + NumberText(mach.offset); });
        log([&] { return "Size " + NumberText(mach.size); });
    }
    void onMachineCount(std::int32_t count) override
    {
        log([&] { return "Number of machines " + NumberText(count); });
        log([&] { return "****Scanning PARA Section****"; });
    }
    void onParaMachineStart(std::int32_t index, std::int32_t count) override
    {
        if (!m_logging) {
            return;
        }
        m_sink.setStatus("Scanning PARA section for" + NumberText(index) + " of " + NumberText(count) + " machines",
                         true);
    }
    void onParaMachineName(std::string_view name) override
    {
        log([&] { return "Machine Name " + text(name); });
    }
    void onParaMachineType(std::string_view typeName) override
    {
        log([&] { return "Machine Type " + text(typeName); });
    }
    void onParaMachineDone(std::int32_t) override { m_sink.paraMachineRead(); }
    void onParaDone(std::int32_t count) override
    {
        m_sink.setStatus("Completed scan of " + NumberText(count) + " machines in PARA section", false);
    }
    void onMachStart() override
    {
        log([&] { return "****Scanning MACH Section****"; });
    }
    void onMachMachineStart(std::int32_t index, std::int32_t count) override
    {
        if (!m_logging) {
            return;
        }
        m_sink.setStatus(
            "Scanning MACH section for machine " + NumberText(index) + " of " + NumberText(count) + " machines", true);
    }
    void onMachMachineName(std::string_view name) override
    {
        log([&] { return "Machine name is " + text(name); });
    }
    void onMachKind(std::uint8_t kindByte) override
    {
        log([&] { return "Machine ID " + NumberText(kindByte); });
    }
    void onMachDllName(std::string_view dll) override
    {
        log([&] { return "Machine DLL name " + text(dll); });
    }
    void onMachine(const MachineRef& machine) override { m_sink.addUsed(machine); }
    void onMachDone(std::int32_t count) override
    {
        m_sink.setStatus("Completed scan of " + NumberText(count) + " machines in MACH section", false);
    }

    void onRecoveryStart(std::int32_t count) override
    {
        log([&] { return "No PARA section: found" + NumberText(count) + " machines by searching the MACH section"; });
    }
    void onRecoveredMachine(const MachineRef& machine, std::int64_t offset) override
    {
        log([&] {
            return "Machine at offset" + NumberText(offset) + ": name " + text(machine.name) + ", ID" +
                   NumberText(machine.kindByte) + ", DLL name " + text(machine.dll);
        });
    }

private:
    /** A trace line is made only for a sink that wants it: thousands of songs scanned for a report need none. */
    template <class Make> void log(Make&& make)
    {
        if (m_logging) {
            m_sink.log(make());
        }
    }

    ScanSink& m_sink;
    const bool m_logging;
};

std::string placeText(SongPlace place)
{
    switch (place) {
    case SongPlace::Header:
        return "header";
    case SongPlace::Directory:
        return "section directory";
    case SongPlace::ParaSection:
        return "PARA section";
    case SongPlace::MachSection:
        return "MACH section";
    }
    return "file";
}

std::string failureMessage(const std::string& path, const SongReadResult& result)
{
    switch (result.failure) {
    case SongFailure::None:
    case SongFailure::CannotOpen:
        return {};
    case SongFailure::MissingHeader:
        return "File " + path + " is missing Buzz header.  Probably not a buzz file.";
    case SongFailure::TooManySections:
        return "File " + path + " number of sections exceeds maximum. Probably not a buzz file.";
    case SongFailure::NoParaSection:
        return "File " + path +
               " does not contain PARA section, which is required by this program.  Probably created with Buzz "
               "version <1.2";
    case SongFailure::NoMachSection:
        return "File " + path + " does not contain MACH section.  Probably a damaged buzz file.";
    case SongFailure::Truncated:
        return "File " + path + " ends in the middle of its " + placeText(result.place) +
               ".  Probably a damaged buzz file.";
    case SongFailure::CountTooLarge:
        return "File " + path + " claims" + NumberText(result.count) + " entries in its " + placeText(result.place) +
               ", more than the file can hold.  Probably a damaged buzz file.";
    }
    return {};
}

ScanOutcome scanInput(const std::string& path, ByteInput* input, ScanSink& sink)
{
    sink.setStatus("Scanning bmx for machines used", true);
    if (path.empty()) {
        const std::string message = "No file selected from bmx list";
        sink.showMessage(message);
        sink.setStatus(message, true);
        return {{SongFailure::None, SongPlace::Header, 0}, message};
    }
    if (sink.wantsTrace()) {
        sink.startLog("Scanning " + path);
        sink.log(pathTail(path));
    }
    if (!input) {
        const std::string message = "File " + path + " cannot be opened.  It may have been moved or deleted.";
        sink.showMessage(message);
        return {{SongFailure::CannotOpen, SongPlace::Header, 0}, message};
    }
    ScanTrace trace(sink);
    ScanOutcome outcome{readSong(*input, trace), {}};
    outcome.message = failureMessage(path, outcome.result);
    if (!outcome.ok()) {
        sink.showMessage(outcome.message);
    }
    return outcome;
}

} // namespace

std::string pathTail(const std::string& path)
{
    const std::size_t cut = path.rfind(platform::pathSeparator());
    return cut == std::string::npos ? path : path.substr(cut);
}

ScanOutcome scanSong(const std::string& path, ScanSink& sink)
{
    std::FILE* file = path.empty() ? nullptr : platform::openForReading(path);
    if (!file) {
        return scanInput(path, nullptr, sink);
    }
    ByteInput input(file);
    return scanInput(path, &input, sink);
}

ScanOutcome scanSongBytes(const std::string& path, std::span<const std::uint8_t> bytes, ScanSink& sink)
{
    ByteInput input(bytes);
    return scanInput(path, &input, sink);
}

} // namespace gw
