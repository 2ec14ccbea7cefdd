#include "model/Catalogues.h"

#include "base/Platform.h"
#include "catalogue/CatalogueRows.h"
#include "catalogue/CatalogueText.h"

#include <QFile>
#include <QFileInfo>

namespace {

/** The file's content, or a null array when it is absent or cannot be read (why in error). */
QByteArray readFile(const QString& path, QString* error = nullptr)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = file.errorString();
        }
        return {};
    }
    QByteArray content = file.readAll();
    return content.isNull() ? QByteArray("") : content;
}

} // namespace

Catalogues::Catalogues() = default;

Catalogues::~Catalogues() = default;

QString Catalogues::fileName(Kind kind)
{
    return QLatin1String(gw::catalogueFiles(kind == Kind::Generator).list);
}

Catalogues::Read Catalogues::read(Kind kind)
{
    Read done;
    const QFileInfo info(path(kind));
    if (!info.isFile()) {
        return done;
    }
    const QByteArray content = readFile(path(kind), &done.error);
    if (content.isNull()) {
        done.result = Read::Result::Unreadable;
        return done;
    }
    done.result = Read::Result::Read;
    QStringList entries;
    gw::CatalogueLines reader(std::string_view(content.constData(), static_cast<std::size_t>(content.size())));
    std::string_view line;
    while (reader.next(line)) {
        ++done.lines;
        if (const std::optional<std::string_view> entry = gw::catalogueEntry(line)) {
            entries << QString::fromStdString(gw::platform::ansiToUtf8(*entry));
        }
    }
    // The list is a download list: an entry the page names twice is shown twice.
    m_entries[index(kind)].assign(entries, true);
    keepRows(kind, content, info.size(), info.lastModified());
    return done;
}

void Catalogues::keepRows(Kind kind, const QByteArray& content, qint64 size, const QDateTime& modified) const
{
    std::vector<gw::CatalogueRow> rows;
    gw::forEachCatalogueRow(std::string_view(content.constData(), static_cast<std::size_t>(content.size())),
                            [&](const gw::CatalogueRow& row) {
                                gw::CatalogueRow& decoded = rows.emplace_back();
                                for (int f = 0; f < gw::CatalogueRow::FieldCount; ++f) {
                                    decoded.fields[f] = gw::platform::ansiToUtf8(row.fields[f]);
                                }
                            });
    Parsed& parsed = m_parsed[index(kind)];
    parsed.size = size;
    parsed.modified = modified;
    parsed.matcher = std::make_unique<gw::CatalogueMatcher>(std::move(rows));
}

const std::vector<gw::CatalogueRow>* Catalogues::rows(Kind kind) const
{
    const QFileInfo info(path(kind));
    if (!info.isFile()) {
        return nullptr;
    }
    Parsed& parsed = m_parsed[index(kind)];
    if (!parsed.matcher || parsed.size != info.size() || parsed.modified != info.lastModified()) {
        const QByteArray content = readFile(path(kind));
        if (content.isNull()) {
            return nullptr;
        }
        keepRows(kind, content, info.size(), info.lastModified());
    }
    return &parsed.matcher->rows();
}

gw::CatalogueMatcher::Result Catalogues::match(Kind kind, std::string_view dll) const
{
    return rows(kind) ? m_parsed[index(kind)].matcher->match(dll) : gw::CatalogueMatcher::Result{};
}
