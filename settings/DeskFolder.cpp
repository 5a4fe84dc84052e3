#include "settings/DeskFolder.h"

#include "platform/FileSystem.h"

namespace regdesk {

std::optional<std::string> namedDeskFolder(const char* named, const std::string& currentFolder)
{
    if (!named || !*named)
        return std::nullopt;
    std::string folder = named;
    if (folder.front() != '/')
        folder = currentFolder + (currentFolder.ends_with('/') ? "" : "/") + folder;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

StartupPaths inDeskFolder(StartupPaths paths, const GbkString& deskFolder)
{
    paths.programsFolder = paths.programDirectory;
    paths.programDirectory = deskFolder;
    paths.settingsPath = joinPath(deskFolder, "document.ini");
    return paths;
}

} // namespace regdesk
