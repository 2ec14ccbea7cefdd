#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace gw {

enum class MachineKind { Generator, Effect };

/** DLL file names the host provides itself for this kind; never reported missing. */
const std::vector<std::string>& builtInMachines(MachineKind kind);

/** A machine the songs use that is not where the host looks for it. */
struct MissingMachine
{
    std::string dll;            // the DLL's file name as the songs give it, with ".dll"
    MachineKind kind;           // the kind the songs use it as
    bool inOtherFolder = false; // it lies in the other kind's gear folder: a move, not a download, brings it
};

/**
 * The missing list's text: the DLL name, after the other folder's mark ("(eff dir)" for generators, "(gen dir)" for
 * effects) when it lies there.
 */
std::string missingEntryText(const MissingMachine& machine);

/**
 * The missing machines among the used DLL names of one kind (without ".dll"), in the order they are added: in
 * neither gear folder, or in the other kind's folder. Built-in names and duplicates are compared exactly; the
 * folder listings ignore letter case.
 */
std::vector<MissingMachine> findMissing(MachineKind kind, const std::vector<std::string>& used,
                                        const std::vector<std::string>& ownFolder,
                                        const std::vector<std::string>& otherFolder);

/** The status text that ends a check with these counts. */
std::string missingStatusText(std::size_t generators, std::size_t effects);

} // namespace gw
