#include "check/MissingCheck.h"

#include "base/NumberText.h"
#include "base/TextCodec.h"

#include <algorithm>
#include <cstdint>
#include <unordered_set>

namespace gw {

namespace {

std::unordered_set<std::string> foldedSet(const std::vector<std::string>& names)
{
    std::unordered_set<std::string> folded;
    for (const std::string& name : names) {
        folded.insert(foldCase(name));
    }
    return folded;
}

} // namespace

const std::vector<std::string>& builtInMachines(MachineKind kind)
{
    static const std::vector<std::string> generators = {"Jeskola Bass 3.dll", "Jeskola Aux Return.dll",
                                                        "Jeskola C1.dll", "Jeskola O1.dll"};
    static const std::vector<std::string> effects = {"Jeskola AuxSend.dll", "Jeskola AM 3000.dll",
                                                     "Jeskola Hiiri.dll",   "Jeskola Karhu.dll",
                                                     "Jeskola Raverb.dll",  "Jeskola Freeverb.dll"};
    return kind == MachineKind::Generator ? generators : effects;
}

std::string missingEntryText(const MissingMachine& machine)
{
    if (!machine.inOtherFolder) {
        return machine.dll;
    }
    return (machine.kind == MachineKind::Generator ? "(eff dir)" : "(gen dir)") + machine.dll;
}

std::vector<MissingMachine> findMissing(MachineKind kind, const std::vector<std::string>& used,
                                        const std::vector<std::string>& ownFolder,
                                        const std::vector<std::string>& otherFolder)
{
    const std::vector<std::string>& builtIn = builtInMachines(kind);
    // Folded once, so each lookup ignores letter case without comparing against every listed file.
    const std::unordered_set<std::string> own = foldedSet(ownFolder);
    const std::unordered_set<std::string> other = foldedSet(otherFolder);

    std::vector<MissingMachine> missing;
    std::unordered_set<std::string> added;
    const auto add = [&](const std::string& dll, bool inOtherFolder) {
        MissingMachine machine{dll, kind, inOtherFolder};
        if (added.insert(missingEntryText(machine)).second) {
            missing.push_back(std::move(machine));
        }
    };
    for (const std::string& name : used) {
        const std::string dll = name + ".dll";
        if (std::find(builtIn.begin(), builtIn.end(), dll) != builtIn.end()) {
            continue;
        }
        const std::string key = foldCase(dll);
        const bool wrongFolder = other.count(key) > 0;
        const bool found = wrongFolder || own.count(key) > 0;
        if (!found || wrongFolder) {
            add(dll, wrongFolder);
        }
    }
    return missing;
}

std::string missingStatusText(std::size_t generators, std::size_t effects)
{
    if (generators + effects == 0) {
        return "Completed checking missing machines.  No missing machines.";
    }
    return "Completed checking missing machines.  " + NumberText(static_cast<std::int64_t>(generators)) +
           " generators " + NumberText(static_cast<std::int64_t>(effects)) + " effects missing";
}

} // namespace gw
