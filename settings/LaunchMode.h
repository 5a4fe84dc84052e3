#pragma once

#include "platform/Gbk.h"

#include <vector>

namespace regdesk {

// The three texts fixed at start-up that every part of the desk reads.
struct StartupPaths
{
    GbkString programDirectory;    // the executable's folder, no trailing separator
    GbkString documentPath;        // empty on a plain start; else begins with one blank
    GbkString settingsPath;        // programDirectory + separator + "document.ini"
    GbkString programsFolder = {}; // the desk's own programs, when apart from programDirectory (settings/DeskFolder.h)

    bool isAddinStart() const { return !documentPath.empty(); }
};

// True when the command line names a document: ".doc", ".docx" or ".wps"
// anywhere in it, case-sensitively (a folder named "x.doc" counts too).
bool holdsDocumentExtension(const GbkString& commandLine);

// Windows form: the raw command line, program name included. On an add-in
// start the quotes are removed and everything behind the first ".exe" is the
// document path; the program directory is the part before the last backslash.
// `modulePath` is the running executable's path, used on a plain start.
StartupPaths resolveWindowsStartup(const GbkString& commandLine, const GbkString& modulePath);

// POSIX form: there is no raw command line, so it is the arguments joined by
// single blanks. The program directory is always the folder of the running
// executable; the document path is the remaining arguments joined by blanks,
// with the one leading blank of the Windows form and without double quotes.
StartupPaths resolvePosixStartup(const std::vector<GbkString>& arguments, const GbkString& executablePath);

// The folder part of a path: everything before the last separator ("" if none).
GbkString parentFolder(const GbkString& path, char separator);

} // namespace regdesk
