#pragma once

#include <QString>

/**
 * Undoes the Content-Encoding of a body saved at path. The transfers ask for none, but a server, proxy or CDN may
 * compress anyway; the body is then judged whole by the bytes received, and decoded here. An empty or "identity"
 * encoding leaves the file as it is. Returns false, with the reason in error, for an encoding that cannot be
 * undone or a body that does not decode; the file is then left as received.
 */
bool decodeSavedBody(const QString& path, const QString& contentEncoding, QString& error);
