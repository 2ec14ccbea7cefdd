#include "CatalogueWriter.h"

namespace gw::test {

std::string catalogueText(const std::vector<CatalogueMachine>& machines, bool crlf)
{
    const std::string end = crlf ? "\r\n" : "\n";
    std::string page = "<HTML><HEAD><TITLE>All machines</TITLE></HEAD>" + end + "<BODY>" + end + "<TABLE>" + end;
    int id = 1;
    for (const CatalogueMachine& m : machines) {
        page += "<TR>" + end;
        page += "<TD>" + m.date + "</TD>" + end;
        page += "<TD><A HREF='developer.php?naamauthor=" + m.developer + "'>" + m.developer + "</A></TD>" + end;
        page += "<TD><A HREF='machines/download.php?get=" + m.filename + "&newid=" + std::to_string(id++) + "'>" +
                m.name + "</A></TD>" + end;
        page += "<TD><CENTER>" + m.type + "</CENTER></TD>" + end;
        page += "<TD><CENTER>" + m.version + "</CENTER></TD>" + end;
        page += "<TD><CENTER>" + m.status + "</CENTER></TD>" + end;
        page += "</TR>" + end;
        page += "<TR>" + end;
        page += "<TD COLSPAN=5>" + end;
        page += "</TD>" + end;
        page += "<TD>" + end;
        page += "<TD>" + m.description + "</TD>" + end;
        page += "</TR>" + end;
    }
    page += "</TABLE>" + end + "</BODY></HTML>" + end;
    return page;
}

std::vector<CatalogueMachine> manyMachines(int count, const std::string& kind)
{
    static const char* const developers[] = {"Acme", "Lunar", "Ember", "Glass", "Quill", "Moss", "Rook"};
    static const char* const states[] = {"Stable", "Beta", "Alpha"};
    std::vector<CatalogueMachine> machines;
    machines.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        // A scrambled number keeps the file out of name order, as real pages are.
        const int n = (i * 7919) % (count > 0 ? count : 1);
        const std::string developer = developers[i % 7];
        CatalogueMachine m;
        m.name = developer + " " + kind + " " + std::to_string(n);
        m.filename = developer + "_" + kind + "_" + std::to_string(n) + ".zip";
        m.date = std::to_string(2000 + i % 12) + "-" + std::to_string(1 + i % 12) + "-" + std::to_string(1 + i % 28);
        m.developer = developer;
        m.description = "A " + kind + " numbered " + std::to_string(n) + " for tests";
        m.type = kind;
        m.version = std::to_string(1 + i % 4) + "." + std::to_string(i % 10);
        m.status = states[i % 3];
        machines.push_back(m);
    }
    return machines;
}

} // namespace gw::test
