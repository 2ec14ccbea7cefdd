#include "song/SongFiles.h"

#include "base/FolderEntries.h"
#include "base/TextCodec.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace gw {

namespace fs = std::filesystem;

namespace {

bool isSongName(const fs::path& path)
{
    const std::string extension = foldCase(utf8FromPath(path.extension()));
    return extension == ".bmx" || extension == ".bmw";
}

} // namespace

std::vector<std::string> collectSongs(const std::vector<std::string>& paths, std::vector<std::string>& notFound)
{
    std::vector<std::string> songs;
    for (const std::string& path : paths) {
        std::error_code error;
        const fs::path root = pathFromUtf8(path);
        if (fs::is_directory(root, error)) {
            std::vector<std::string> found;
            const auto options = fs::directory_options::skip_permission_denied;
            for (fs::recursive_directory_iterator it(root, options, error), end; !error && it != end;
                 it.increment(error)) {
                std::error_code typeError;
                if (it->is_regular_file(typeError) && isSongName(it->path())) {
                    found.push_back(utf8FromPath(it->path()));
                }
            }
            std::sort(found.begin(), found.end());
            songs.insert(songs.end(), found.begin(), found.end());
        } else if (fs::exists(root, error)) {
            songs.push_back(path);
        } else {
            notFound.push_back(path);
        }
    }
    return songs;
}

} // namespace gw
