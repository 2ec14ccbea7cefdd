#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace gw {

enum class MachineKind { Generator, Effect };

/** DLL file names the host provides itself for this kind; never reported missing. */
const std::vector<std::string>& builtInMachines(MachineKind kind);

/**
 * The missing entries for the used DLL names of one kind (without ".dll"), in the order they are added: the used
 * name with ".dll" when it is in neither gear folder, or the other folder's mark ("(eff dir)" for generators,
 * "(gen dir)" for effects) before it when it lies in the other kind's folder. Built-in names and duplicates are
 * compared exactly; the folder listings ignore letter case.
 */
std::vector<std::string> findMissing(MachineKind kind, const std::vector<std::string>& used,
                                     const std::vector<std::string>& ownFolder,
                                     const std::vector<std::string>& otherFolder);

/** The status text that ends a check with these counts. */
std::string missingStatusText(std::size_t generators, std::size_t effects);

} // namespace gw
