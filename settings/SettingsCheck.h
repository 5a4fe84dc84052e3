#pragma once

#include "platform/Gbk.h"

#include <string>
#include <string_view>
#include <vector>

namespace regdesk {

// What an administrator should know about a document.ini before the desk
// reads it: errors are values the desk would misread or refuse (edit-settings
// does not write them), warnings are lines the desk reads otherwise than they
// look.
struct SettingsFinding
{
    enum class Severity
    {
        Warning,
        Error
    };
    Severity severity = Severity::Warning;
    int line = 0;        // from 1; 0 for the file as a whole
    std::string message; // UTF-8

    // "error: line 3: ..." for a terminal.
    std::string toText() const;
};

// Checks the GBK text of a document.ini against the sections and keys the desk reads.
std::vector<SettingsFinding> checkSettings(std::string_view gbk);

bool hasErrors(const std::vector<SettingsFinding>& findings);

// True for well-formed UTF-8 (no overlong forms, surrogates or code points past U+10FFFF).
bool isValidUtf8(std::string_view text);

// A document.ini saved as UTF-8 by an editor: valid UTF-8 with multi-byte
// characters, and not one known section or key name in GBK. The desk would
// read every Chinese name in it as missing.
bool looksLikeUtf8(std::string_view bytes);

} // namespace regdesk
