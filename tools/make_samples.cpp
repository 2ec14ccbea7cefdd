// Writes the sample songs and the sample host folder under the folder given (the project's samples/).
#include "CatalogueWriter.h"
#include "SongWriter.h"

#include <filesystem>
#include <fstream>
#include <iostream>

namespace fs = std::filesystem;
using gw::test::SongWriter;

namespace {

bool write(const SongWriter& song, const fs::path& path)
{
    if (!song.writeTo(path.string())) {
        std::cerr << "cannot write " << path << '\n';
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::cerr << "usage: make_samples SAMPLES_FOLDER\n";
        return 2;
    }
    const fs::path root = argv[1];
    fs::create_directories(root / "songs");
    fs::create_directories(root / "broken");
    fs::create_directories(root / "host" / "gear" / "generators");
    fs::create_directories(root / "host" / "gear" / "effects");

    // Generators and effects, one installed, one built into the host, the rest missing.
    SongWriter evening;
    evening.addSimple("Kick", "Acme Kick", 1)
        .addSimple("Bass", "Jeskola Bass 3", 1)
        .addSimple("Pad", "Lunar Pad", 1)
        .addSimple("Echo", "Acme Delay", 2)
        .addSimple("Room", "Jeskola Raverb", 0)
        .addSimple("Crush", "Ember Crusher", 2);

    // Machines that lie in the other kind's gear folder, listed MACH before PARA.
    SongWriter swapped;
    swapped.machBeforePara = true;
    swapped.addSimple("Arp", "Lunar Arp", 1).addSimple("Chorus", "Glass Chorus", 2).addSimple("Kick 2", "Acme Kick", 1);

    // A song whose only machine is the master.
    SongWriter empty;

    // Written by a host older than the PARA section, and damaged: its MACH section counts a machine that is not
    // there, so its machines cannot be recovered either.
    SongWriter older;
    older.withPara = false;
    older.addSimple("Kick", "Acme Kick", 1);
    std::vector<std::uint8_t> olderBytes = older.build();
    for (std::size_t entry = 8; entry + 12 <= olderBytes.size() && entry < 8 + 12 * 32; entry += 12) {
        if (std::string(olderBytes.begin() + static_cast<std::ptrdiff_t>(entry),
                        olderBytes.begin() + static_cast<std::ptrdiff_t>(entry + 4)) == "MACH") {
            const std::size_t mach = olderBytes[entry + 4] | (olderBytes[entry + 5] << 8);
            ++olderBytes[mach];
            break;
        }
    }

    // Cut off in the middle of its MACH section.
    SongWriter cut;
    cut.addSimple("Lead", "Ember Lead", 1).addSimple("Wah", "Glass Wah", 2);
    std::vector<std::uint8_t> cutBytes = cut.build();
    cutBytes.resize(cutBytes.size() - 20);

    bool ok = write(evening, root / "songs" / "evening.bmx") && write(swapped, root / "songs" / "swapped.bmw") &&
              write(empty, root / "songs" / "master-only.bmx");
    for (const auto& [bytes, name] : {std::pair{&olderBytes, "older.bmx"}, std::pair{&cutBytes, "cut-short.bmx"}}) {
        std::ofstream file(root / "broken" / name, std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
        ok = ok && static_cast<bool>(file);
    }

    // Catalogue lists like the ones the program ships, naming the sample machines.
    using gw::test::CatalogueMachine;
    const std::vector<CatalogueMachine> generators = {
        {"Acme_Kick.zip", "2004-03-01", "Acme", "Acme Kick", "A punchy kick drum", "Generator", "1.2", "Stable"},
        {"Ember_Lead.zip", "2005-07-19", "Ember", "Ember Lead", "Two-oscillator lead synth", "Generator", "0.9", "Beta"},
        {"Lunar_Arp.zip", "2003-11-30", "Lunar", "Lunar Arp", "Arpeggiating synth", "Generator", "2.0", "Stable"},
        {"Lunar_Pad.zip", "2006-01-05", "Lunar", "Lunar Pad", "Slow string pads", "Generator", "1.0", "Stable"},
    };
    const std::vector<CatalogueMachine> effects = {
        {"Acme_Delay.zip", "2004-05-12", "Acme", "Acme Delay", "Stereo delay with feedback", "Effect", "1.1", "Stable"},
        {"Ember_Crusher.zip", "2005-02-14", "Ember", "Ember Crusher", "Bit crusher", "Effect", "0.3", "Alpha"},
        {"Glass_Chorus.zip", "2002-09-09", "Glass", "Glass Chorus", "Four-voice chorus", "Effect", "1.0", "Stable"},
        {"Glass_Wah.zip", "2003-04-22", "Glass", "Glass Wah", "Envelope wah", "Effect", "1.4", "Beta"},
    };
    // A few hundred more of each kind, so the lists and the table look like the archive's.
    std::vector<CatalogueMachine> allGenerators = generators;
    std::vector<CatalogueMachine> allEffects = effects;
    for (const CatalogueMachine& m : gw::test::fictionalMachines(320, true)) {
        allGenerators.push_back(m);
    }
    for (const CatalogueMachine& m : gw::test::fictionalMachines(280, false)) {
        allEffects.push_back(m);
    }
    for (const auto& [file, machines] :
         {std::pair{"allgenerators.txt", allGenerators}, std::pair{"alleffects.txt", allEffects}}) {
        std::ofstream out(root / file, std::ios::binary);
        out << gw::test::catalogueText(machines);
        ok = ok && static_cast<bool>(out);
    }

    for (const char* dll : {"Acme Kick.dll", "Glass Chorus.dll"}) {
        std::ofstream(root / "host" / "gear" / "generators" / dll);
    }
    for (const char* dll : {"Acme Delay.dll", "Lunar Arp.dll"}) {
        std::ofstream(root / "host" / "gear" / "effects" / dll);
    }
    return ok ? 0 : 1;
}
