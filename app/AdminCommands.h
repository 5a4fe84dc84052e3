#pragma once

#include <optional>
#include <string>
#include <vector>

namespace regdesk {

class AdoDatabase;
class CollectingPrompter;

// regdesk-admin: the office's command-line companion.
//   init DIR      create an empty register database in a desk folder (data.db,
//                 or the registers in the PostgreSQL database document.ini names)
//   settings DIR  show how the desk reads DIR/document.ini (UTF-8 output) and
//                 which database it would use
//   edit-settings DIR  edit DIR/document.ini as UTF-8 in $VISUAL/$EDITOR; checked,
//                 shown and written back as GBK with CR LF
//   initials TEXT print the pinyin initials of a UTF-8 text
//   import-people DIR FILE  replace DIR's personnel table by the names of a sheet
//   compact DIR   compact DIR/data.db in place
//   backup DIR    write a dated backup of DIR/data.db, then delete the older ones
//   index DIR     build the fuzzy search's index of DIR/data.db ahead of the
//                 first search, in slices that leave the desks working
//   copy [--append] DIR  copy DIR/data.db into the PostgreSQL register that
//                 DIR/document.ini names, in one transaction; counts printed
//   log DIR [--since DATE] [--number 发文号] [--verify] [--export FILE]
//                 print, check or export the trail of deletions and replacements
//   restore DIR ID  put back the record that a row of the trail deleted or replaced
//   verify FILE... [--payload TEXTFILE]  decode barcode pictures and print
//                 their text and fields, or compare them with a payload
//   help [COMMAND], --help, --version
struct AdminResult
{
    int exitCode = 0;
    std::string output; // for stdout
    std::string errors; // for stderr
};

AdminResult runAdminCommand(const std::vector<std::string>& arguments);

// For the commands: the result when `directory` is no folder, else nothing.
std::optional<AdminResult> missingFolder(const std::string& directory);
// Opens the register of the desk folder `directory` as the active connection
// of `database`, whose boxes go to `prompter`: the result when it cannot,
// else nothing.
std::optional<AdminResult> openDeskRegister(const std::string& directory, AdoDatabase& database,
                                            const CollectingPrompter& prompter);

// The report of `settings`: sections with their entries by position, the
// known keys as the desk finds them, and warnings for the known traps.
std::string describeSettings(const std::string& settingsPath);

// Writes a failed command's errors to the diagnostics log of its desk folder;
// true when that entry went to the journal on standard error already.
bool logAdminFailure(const std::vector<std::string>& arguments, const AdminResult& result);

} // namespace regdesk
