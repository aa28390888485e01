#include "folders.h"

#include "names.h"

#include <cstdio>
#include <random>

namespace fs = std::filesystem;

namespace ts3host {

std::string folderAnswer(const fs::path &folder)
{
    std::error_code ec;
    fs::path absolute = fs::absolute(folder, ec);
    std::string answer = (ec ? folder : absolute).lexically_normal().make_preferred().u8string();
    const char separator = static_cast<char>(fs::path::preferred_separator);
    if (answer.empty() || answer.back() != separator)
        answer += separator;
    return answer;
}

TemporaryFolder::~TemporaryFolder()
{
    std::error_code ec;
    if (!m_path.empty())
        fs::remove_all(m_path, ec);
}

bool TemporaryFolder::create(const char *prefix, std::string *error)
{
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) {
        *error = "no temporary folder: " + ec.message();
        return false;
    }
    std::mt19937_64 random(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, "%s-%016llx", prefix, static_cast<unsigned long long>(random()));
        const fs::path candidate = base / name;
        // False without an error when the name is taken: try another.
        if (fs::create_directory(candidate, ec)) {
            fs::permissions(candidate, fs::perms::owner_all, ec);
            m_path = candidate;
            return true;
        }
        if (ec) {
            *error = "cannot create a folder in " + base.u8string() + ": " + ec.message();
            return false;
        }
    }
    *error = "cannot find a free folder name in " + base.u8string();
    return false;
}

bool prepareFolder(const std::string &given, const char *prefix, TemporaryFolder *temporary, fs::path *folder,
                   std::string *error)
{
    if (given.empty()) {
        if (!temporary->create(prefix, error))
            return false;
        *folder = temporary->path();
        return true;
    }
    *folder = fs::u8path(given);
    std::error_code ec;
    fs::create_directories(*folder, ec);
    if (ec || !fs::is_directory(*folder, ec)) {
        *error = "cannot create the folder " + given + (ec ? ": " + ec.message() : std::string());
        return false;
    }
    return true;
}

bool copyInto(const fs::path &source, const fs::path &folder, fs::path *copy, std::string *error)
{
    std::error_code ec;
    *copy = folder / source.filename();
    if (fs::exists(*copy, ec) && fs::equivalent(source, *copy, ec))
        return true;
    // Written beside and renamed into place: a copy that another client
    // runs or has loaded is replaced, never rewritten under it.
    fs::path staging = *copy;
    staging += ".new";
    if (!fs::copy_file(source, staging, fs::copy_options::overwrite_existing, ec)) {
        *error = "cannot copy " + source.u8string() + " to " + copy->u8string() + ": " + ec.message();
        return false;
    }
    const fs::perms mode = fs::status(source, ec).permissions();
    if (!ec)
        fs::permissions(staging, mode, ec);
    fs::rename(staging, *copy, ec);
    if (ec) {
        *error = "cannot copy " + source.u8string() + " to " + copy->u8string() + ": " + ec.message();
        fs::remove(staging, ec);
        return false;
    }
    return true;
}

bool installPlugin(const fs::path &plugin, const std::string &helper, const fs::path &pluginsDir, fs::path *library,
                   std::string *error)
{
    if (!copyInto(plugin, pluginsDir, library, error))
        return false;
    if (helper.empty())
        return true;
    const fs::path helperFolder = pluginsDir / protocol::kPluginFolderName;
    std::error_code ec;
    fs::create_directories(helperFolder, ec);
    if (ec) {
        *error = "cannot create the folder " + helperFolder.u8string() + ": " + ec.message();
        return false;
    }
    fs::path helperCopy;
    return copyInto(fs::u8path(helper), helperFolder, &helperCopy, error);
}

}  // namespace ts3host
