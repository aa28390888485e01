// Folders of a client session: the answers the client gives for them, and
// the temporary ones a session lays out when none is given.
#pragma once

#include <filesystem>
#include <string>

namespace ts3host {

// Absolute, in the platform's separators and ending in one, as the client
// answers for its folders.
std::string folderAnswer(const std::filesystem::path &folder);

// A folder that lives as long as this object.
class TemporaryFolder
{
public:
    TemporaryFolder() = default;
    TemporaryFolder(const TemporaryFolder &) = delete;
    TemporaryFolder &operator=(const TemporaryFolder &) = delete;
    ~TemporaryFolder();

    // A new private folder named <prefix>-<random> in the system's temporary folder.
    bool create(const char *prefix, std::string *error);
    const std::filesystem::path &path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// The given folder, created if missing, or else a temporary one.
bool prepareFolder(const std::string &given, const char *prefix, TemporaryFolder *temporary,
                   std::filesystem::path *folder, std::string *error);

// Copies a file into a folder under its own name, keeping its mode: the
// plugin starts the helper from the copy.
bool copyInto(const std::filesystem::path &source, const std::filesystem::path &folder, std::filesystem::path *copy,
              std::string *error);

// Lays out a plugins folder as the client's installer does: a copy of the
// library in it, and (unless `helper` is empty) a copy of the helper in the
// plugin's own folder beside it. `library` is the copy to load.
bool installPlugin(const std::filesystem::path &plugin, const std::string &helper,
                   const std::filesystem::path &pluginsDir, std::filesystem::path *library, std::string *error);

}  // namespace ts3host
