// Fails when an include between source folders points the wrong way: up a layer, or round a cycle.
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <string>

namespace fs = std::filesystem;

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::cerr << "usage: check_layers SOURCE_FOLDER\n";
        return 2;
    }
    const fs::path root = argv[1];
    // Shared basics, then the domain, then the model, then what shows it; the program's main stands on top.
    const std::map<std::string, int> layer = {
        {"base", 0},   {"song", 1}, {"check", 1}, {"host", 1}, {"catalogue", 1}, {"unzip", 1}, {"transfer", 1},
        {"bundle", 1}, {"gear", 1}, {"model", 2}, {"gui", 3},  {"cli", 3},       {"", 4},
    };
    const std::regex include(R"(^\s*#\s*include\s*"([^"]+)\")");
    std::map<std::string, std::set<std::string>> edges;
    int faults = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || (entry.path().extension() != ".h" && entry.path().extension() != ".cpp")) {
            continue;
        }
        const fs::path relative = fs::relative(entry.path(), root);
        const std::string from = relative.has_parent_path() ? relative.begin()->string() : std::string();
        if (!layer.count(from)) {
            std::cerr << relative.string() << ": folder '" << from << "' has no layer\n";
            ++faults;
            continue;
        }
        std::ifstream in(entry.path());
        std::string line;
        std::smatch match;
        while (std::getline(in, line)) {
            if (!std::regex_search(line, match, include)) {
                continue;
            }
            const fs::path target(match[1].str());
            const std::string to = target.has_parent_path() ? target.begin()->string() : std::string();
            if (!fs::exists(root / target) || !layer.count(to)) {
                std::cerr << relative.string() << ": includes " << target.string() << ", which is not in the source\n";
                ++faults;
            } else if (layer.at(to) > layer.at(from)) {
                std::cerr << relative.string() << ": includes " << target.string() << " from a layer above\n";
                ++faults;
            } else if (to != from) {
                edges[from].insert(to);
            }
        }
    }
    // Within a layer, folders may use each other, but never round a cycle.
    std::map<std::string, int> state; // 1 on the path, 2 done
    std::function<bool(const std::string&, std::string)> cycleFrom = [&](const std::string& folder, std::string path) {
        state[folder] = 1;
        for (const std::string& next : edges[folder]) {
            if (state[next] == 1) {
                std::cerr << "include cycle: " << path << " -> " << next << '\n';
                return true;
            }
            if (state[next] == 0 && cycleFrom(next, path + " -> " + next)) {
                return true;
            }
        }
        state[folder] = 2;
        return false;
    };
    for (const auto& [folder, targets] : edges) {
        if (state[folder] == 0 && cycleFrom(folder, folder)) {
            ++faults;
        }
    }
    std::cout << (faults == 0 ? "layers ok\n" : "layer faults found\n");
    return faults == 0 ? 0 : 1;
}
