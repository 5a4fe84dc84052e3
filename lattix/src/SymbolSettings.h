#pragma once

#include <string>

namespace lattix {

class ProfileReader;

// The encoding parameters of section PDF, with their defaults.
struct SymbolSettings
{
    int eccPercent = 40;
    int printerDpi = 600; // kept for the settings file's sake; no stage uses it
    int rows = 0;
    int cols = 0;
    int truncated = 0;
    std::string aspect = "1:2";
    std::string eccLevel = "9";

    static SymbolSettings read(const ProfileReader& profile);
    static SymbolSettings readFile(const std::string& path);
};

} // namespace lattix
