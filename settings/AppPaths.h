#pragma once

#include "settings/LaunchMode.h"

namespace regdesk {

// The home of the process-wide start-up texts. Set once by main() before any
// form exists; read everywhere else.
class AppPaths
{
public:
    static void set(StartupPaths paths);
    static const StartupPaths& get();

    static const GbkString& programDirectory() { return get().programDirectory; }
    static const GbkString& documentPath() { return get().documentPath; }
    static const GbkString& settingsPath() { return get().settingsPath; }
    // Where the encoder program is: the program directory unless an installed
    // desk keeps its files in a desk folder apart from its programs.
    static const GbkString& programsFolder()
    {
        return get().programsFolder.empty() ? get().programDirectory : get().programsFolder;
    }

    // programDirectory + separator + name
    static GbkString besideProgram(const GbkString& fileName);
};

} // namespace regdesk
