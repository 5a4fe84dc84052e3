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

    // programDirectory + separator + name
    static GbkString besideProgram(const GbkString& fileName);
};

} // namespace regdesk
