#pragma once

#include <QString>

namespace gw {

/**
 * The machine archive's base URL as the program uses it, from what a user typed: blanks trimmed, "http://" put
 * before an address without a scheme, "/" after it. Empty, with the reason in why, when it is still no http or
 * https URL with a host, so that no fetch is tried with an address that cannot work.
 */
QString checkedArchiveUrl(const QString& typed, QString* why = nullptr);

} // namespace gw
