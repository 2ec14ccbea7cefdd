#include "CatalogueWriter.h"

namespace gw::test {

std::vector<std::string> catalogueRecord(const CatalogueMachine& m, int id)
{
    return {"<TR>",
            "<TD>" + m.date + "</TD>",
            "<TD><A HREF='developer.php?naamauthor=" + m.developer + "'>" + m.developer + "</A></TD>",
            "<TD><A HREF='machines/download.php?get=" + m.filename + "&newid=" + std::to_string(id) + "'>" + m.name +
                "</A></TD>",
            "<TD><CENTER>" + m.type + "</CENTER></TD>",
            "<TD><CENTER>" + m.version + "</CENTER></TD>",
            "<TD><CENTER>" + m.status + "</CENTER></TD>",
            "</TR>",
            "<TR>",
            "<TD COLSPAN=5>",
            "</TD>",
            "<TD>",
            "<TD>" + m.description + "</TD>",
            "</TR>"};
}

std::string catalogueText(const std::vector<CatalogueMachine>& machines, bool crlf)
{
    const std::string end = crlf ? "\r\n" : "\n";
    std::string page = "<HTML><HEAD><TITLE>All machines</TITLE></HEAD>" + end + "<BODY>" + end + "<TABLE>" + end;
    int id = 0;
    for (const CatalogueMachine& m : machines) {
        for (const std::string& line : catalogueRecord(m, ++id)) {
            page += line + end;
        }
    }
    return page + "</TABLE>" + end + "</BODY></HTML>" + end;
}

std::vector<CatalogueMachine> fictionalMachines(int count, bool generators)
{
    static const char* const developers[] = {
        "Acme",   "Lunar",   "Ember",  "Glass",  "Quill",   "Moss",    "Rook",   "Tarn",    "Velt",  "Orrin",
        "Pell",   "Sabre",   "Wren",   "Coble",  "Dray",    "Fenwick", "Galt",   "Hollis",  "Isko",  "Jarrow",
        "Keel",   "Lisle",   "Marrow", "Nyx",    "Osric",   "Prune",   "Quarry", "Rusk",    "Sorrel", "Thane"};
    static const char* const generatorWords[] = {"Kick", "Snare", "Hat", "Bass", "Lead", "Pad", "Pluck", "Organ",
                                                 "Bell", "Drone", "Arp", "Noise", "Tom", "Clap", "String", "Choir",
                                                 "FM", "Wave", "Saw", "Sub"};
    static const char* const effectWords[] = {"Delay", "Reverb", "Chorus", "Flanger", "Phaser", "Filter", "Gate",
                                              "Comp", "Limiter", "Crusher", "Drive", "Wah", "EQ", "Echo", "Pan",
                                              "Widener", "Tremolo", "Vocoder", "Shaper", "Freeze"};
    static const char* const adjectives[] = {"Mini", "Super", "Dark", "Soft", "Twin", "Deep", "Wide", "Warm", "Cold",
                                             "Tiny", "Grand", "Dual"};
    static const char* const states[] = {"Stable", "Stable", "Beta", "Alpha", "Unsupported"};
    const char* const* words = generators ? generatorWords : effectWords;
    const std::string kind = generators ? "Generator" : "Effect";
    std::vector<CatalogueMachine> machines;
    unsigned state = generators ? 12345u : 54321u;
    const auto next = [&state](unsigned range) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % range;
    };
    for (int i = 0; i < count; ++i) {
        CatalogueMachine m;
        m.developer = developers[next(30)];
        const std::string word = words[next(20)];
        const std::string adjective = adjectives[next(12)];
        const std::string number = std::to_string(i);
        m.name = m.developer + " " + adjective + " " + word + (i >= 40 ? " " + number : "");
        std::string file = m.developer + "_" + adjective + "_" + word + (i >= 40 ? "_" + number : "") + ".zip";
        // A few download names carry blanks or escapes, as uploads named by hand did.
        if (i % 17 == 5) {
            file = m.developer + " " + adjective + " " + word + "_" + std::to_string(i) + ".zip";
        } else if (i % 23 == 7) {
            file = m.developer + "%20" + adjective + word + "_" + std::to_string(i) + ".zip";
        }
        m.filename = file;
        const unsigned month = 1 + next(12);
        m.date = std::to_string(1999 + next(9)) + (month < 10 ? "-0" : "-") + std::to_string(month) + "-" +
                 std::to_string(10 + next(18));
        m.description = adjective + " " + word + " " + (generators ? "voice" : "processor") + " by " + m.developer;
        m.type = kind;
        m.version = std::to_string(next(3)) + "." + std::to_string(next(10));
        m.status = states[next(5)];
        machines.push_back(m);
    }
    return machines;
}

} // namespace gw::test
