#include "host/ArchiveAddress.h"

#include <QUrl>

namespace gw {

QString checkedArchiveUrl(const QString& typed, QString* why)
{
    QString text = typed.trimmed();
    const auto refuse = [&](const QString& reason) {
        if (why) {
            *why =
                QStringLiteral("\"") + text + QStringLiteral("\" cannot be the machine archive's address: ") + reason;
        }
        return QString();
    };
    if (text.isEmpty()) {
        return refuse(QStringLiteral("it is empty"));
    }
    // "archive.example/" and "127.0.0.1:8761" are what people type; neither names a scheme.
    if (!text.contains(QLatin1String("://"))) {
        text.prepend(QStringLiteral("http://"));
    }
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) {
        return refuse(url.errorString());
    }
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        return refuse(QStringLiteral("only http and https addresses can be fetched"));
    }
    if (url.host().isEmpty()) {
        return refuse(QStringLiteral("it names no host"));
    }
    if (url.hasQuery() || url.hasFragment()) {
        return refuse(QStringLiteral("a base address has no \"?\" or \"#\" part"));
    }
    if (!text.endsWith(QLatin1Char('/'))) {
        text += QLatin1Char('/');
    }
    return text;
}

} // namespace gw
