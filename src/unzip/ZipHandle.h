#pragma once

#include "base/PathText.h"

#include <QString>

#include <zip.h>

#include <memory>

namespace gw {

/** An archive libzip holds open, discarded when it goes: nothing half-written replaces the file. */
struct ZipDiscarder
{
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ZipArchive = std::unique_ptr<zip_t, ZipDiscarder>;

struct ZipEntryCloser
{
    void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using ZipEntry = std::unique_ptr<zip_file_t, ZipEntryCloser>;

/** Opens the zip at path by the path's own bytes (UTF-8 on Windows, as libzip expects there); null, with code. */
inline ZipArchive openZip(const QString& path, int flags, int* code)
{
    return ZipArchive(zip_open(pathBytesFromText(path).c_str(), flags, code));
}

/** libzip's words for an error code. */
inline QString zipErrorText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromLocal8Bit(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

} // namespace gw
