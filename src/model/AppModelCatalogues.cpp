// The model's catalogues: the two lists read, missing machines matched, and the catalogue table of the detailed
// view with its one selected machine.
#include "model/ModelReport.h"

#include <QFileInfo>

using Kind = gw::MachineKind;
using gw::model::fromUtf8;
using gw::model::numberText;

namespace {

/** The status texts of reading one catalogue list. */
struct CatalogueFile
{
    const char* readingText;
    const char* completedText;
};

const CatalogueFile& catalogueFile(Kind kind)
{
    static constexpr CatalogueFile generators = {"Reading Plugvault generators list",
                                                 "Completed reading allgenerators.txt  list. "};
    static constexpr CatalogueFile effects = {"Reading Plugvault effects list",
                                              "Completed reading alleffects.txt list. "};
    return kind == Kind::Generator ? generators : effects;
}

} // namespace

// --- catalogues ------------------------------------------------------------------------------------------------

void AppModel::readCatalogue(Kind kind)
{
    const CatalogueFile& catalogueKind = catalogueFile(kind);
    const QString path = m_catalogues.path(kind);
    // A missing file keeps what the list holds and says nothing.
    if (!QFileInfo(path).isFile()) {
        return;
    }
    setStatus(QLatin1String(catalogueKind.readingText), true);
    const Catalogues::Read done = m_catalogues.read(kind);
    if (done.result == Catalogues::Read::Result::Unreadable) {
        setStatus(QStringLiteral("Unable to read ") + path + QStringLiteral(": ") + done.error);
        return;
    }
    if (m_selection.isValid() && m_selection.kind == kind) {
        m_selection = {};
        emit selectionChanged();
    }
    emit listChanged(kind == Kind::Generator ? List::GeneratorCatalogue : List::EffectCatalogue);
    setStatus(QLatin1String(catalogueKind.completedText) + numberText(catalogue(kind).size()) +
                  QStringLiteral(" machines. ") + numberText(done.lines) + QStringLiteral(" lines."),
              true);
}

void AppModel::readCatalogues()
{
    readCatalogue(Kind::Generator);
    readCatalogue(Kind::Effect);
    setStatus(QStringLiteral("Generator list contains ") + numberText(catalogue(Kind::Generator).size()) +
              QStringLiteral(" machines.  Effects list contains ") + numberText(catalogue(Kind::Effect).size()) +
              QStringLiteral(" machines."));
}

QList<MissingMatch> AppModel::matchMissing() const
{
    QList<MissingMatch> matches;
    for (const Kind kind : {Kind::Generator, Kind::Effect}) {
        for (const QString& missingEntry : missing(kind).names()) {
            const gw::MissingMachine* machine = missingMachine(kind, missingEntry);
            if (!machine) {
                continue;
            }
            MissingMatch& match = matches.emplace_back();
            match.dll = fromUtf8(machine->dll);
            match.kind = kind;
            match.move = machine->inOtherFolder;
            if (match.move) {
                continue;
            }
            const std::string& dll = machine->dll;
            const gw::CatalogueMatcher::Result found =
                m_catalogues.match(kind, std::string_view(dll).substr(0, dll.size() - 4));
            if (found.row) {
                match.entry = fromUtf8(found.row->fields[gw::CatalogueRow::Filename]);
                match.way = found.way;
            }
        }
    }
    return matches;
}

QString FetchResult::resultText() const
{
    switch (result) {
    case Kind::Installed:
        return QStringLiteral("installed") + (source.isEmpty() ? QString() : QStringLiteral(" from ") + source) +
               (gw::otherArchitecture(architecture, hostArchitecture)
                    ? QStringLiteral(" (%1; the host is %2)")
                          .arg(QString::fromStdString(gw::architectureText(architecture)),
                               QString::fromStdString(gw::architectureText(hostArchitecture)))
                    : QString());
    case Kind::Moved:
        return QStringLiteral("moved");
    case Kind::NoMatch:
        return QStringLiteral("no match");
    case Kind::Failed:
        break;
    }
    return QStringLiteral("failed: ") + reason;
}

QString MissingMatch::howText() const
{
    return move ? QStringLiteral("move") : QLatin1String(gw::matchWayText(way));
}

// --- selection and the catalogue table -------------------------------------------------------------------------

void AppModel::selectMachine(Kind kind, const QString& entry)
{
    m_selection = entry.isEmpty() ? Selection{} : Selection{kind, entry};
    emit selectionChanged();
    setStatus(QStringLiteral("Selected ") + entry, true);
    if (entry.isEmpty() || !m_viewOpen) {
        return;
    }
    const bool generators = kind == Kind::Generator;
    if (!m_viewLoaded || m_viewKind != kind) {
        setStatus(generators ? QStringLiteral("Loading detailed generators form")
                             : QStringLiteral("Loading detailed effects form"),
                  true);
        loadCatalogueTable(kind);
        setStatus(generators ? QStringLiteral("Complete loaded detailed generators form")
                             : QStringLiteral("Complete loaded detailed effects form"),
                  true);
    }
    setStatus(QStringLiteral("Syncing main view with detailed view"), true);
    // The table finds the selected machine's row itself: it follows selectionChanged.
    emit selectionChanged();
    setStatus(QStringLiteral("Completed syncing main view with detailed view"), true);
}

void AppModel::deselect(const QString& why)
{
    m_selection = {};
    emit selectionChanged();
    setStatus(why);
}

void AppModel::loadCatalogueTable(Kind kind)
{
    m_viewKind = kind;
    m_viewLoaded = true;
    // A missing or unreadable catalogue leaves the table as it was.
    const std::vector<gw::CatalogueRow>* rows = m_catalogues.rows(kind);
    if (!rows) {
        emit catalogueTableChanged();
        return;
    }
    m_table.clear();
    for (const gw::CatalogueRow& row : *rows) {
        QStringList fields;
        for (const std::string& field : row.fields) {
            fields << fromUtf8(field);
        }
        m_table << fields;
        if (m_table.size() % 100 == 0) {
            keepResponsive();
        }
    }
    emit catalogueTableChanged();
}

void AppModel::openCatalogueView()
{
    m_viewOpen = true;
    if (m_selection.isValid()) {
        selectMachine(m_selection.kind, m_selection.entry);
    } else if (!catalogue(Kind::Generator).isEmpty()) {
        selectMachine(Kind::Generator, catalogue(Kind::Generator).at(0));
    }
}

void AppModel::closeCatalogueView()
{
    m_viewOpen = false;
    m_viewLoaded = false;
    m_table.clear();
}

void AppModel::viewCatalogue(Kind kind)
{
    loadCatalogueTable(kind);
    if (m_table.size() > 1) {
        selectMachine(kind, m_table.first().value(0));
    }
}
