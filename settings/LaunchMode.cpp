#include "settings/LaunchMode.h"

#include <algorithm>

namespace regdesk {
namespace {

constexpr const char* kSettingsFileName = "document.ini";

GbkString withoutQuotes(GbkString text)
{
    std::erase(text, '"');
    return text;
}

} // namespace

bool holdsDocumentExtension(const GbkString& commandLine)
{
    // ".docx" is also found by ".doc"; it stays listed for the reader.
    for (const char* extension : {".doc", ".docx", ".wps"}) {
        if (commandLine.find(extension) != GbkString::npos)
            return true;
    }
    return false;
}

GbkString parentFolder(const GbkString& path, char separator)
{
    const std::size_t last = path.rfind(separator);
    return last == GbkString::npos ? GbkString() : path.substr(0, last);
}

StartupPaths resolveWindowsStartup(const GbkString& commandLine, const GbkString& modulePath)
{
    StartupPaths paths;
    if (!holdsDocumentExtension(commandLine)) {
        paths.programDirectory = parentFolder(modulePath.substr(0, 255), '\\');
    } else {
        const GbkString line = withoutQuotes(commandLine);
        const std::size_t exe = line.find(".exe");
        if (exe == GbkString::npos) {
            // No ".exe" to split at: keep to the running module and take the
            // whole line as the document, so the add-in form still gets a path.
            paths.programDirectory = parentFolder(modulePath.substr(0, 255), '\\');
            paths.documentPath = line.empty() ? GbkString() : " " + line;
        } else {
            paths.programDirectory = parentFolder(line.substr(0, exe), '\\');
            paths.documentPath = line.substr(exe + 4);
        }
    }
    paths.settingsPath = paths.programDirectory + "\\" + kSettingsFileName;
    return paths;
}

StartupPaths resolvePosixStartup(const std::vector<GbkString>& arguments, const GbkString& executablePath)
{
    StartupPaths paths;
    paths.programDirectory = parentFolder(executablePath, '/');
    GbkString commandLine;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0)
            commandLine += ' ';
        commandLine += arguments[i];
    }
    if (holdsDocumentExtension(commandLine)) {
        for (std::size_t i = 1; i < arguments.size(); ++i) {
            paths.documentPath += ' ';
            paths.documentPath += withoutQuotes(arguments[i]);
        }
    }
    paths.settingsPath = paths.programDirectory + "/" + kSettingsFileName;
    return paths;
}

} // namespace regdesk
