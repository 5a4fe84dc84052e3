#pragma once

#include "app/AdminCommands.h"

#include <string>
#include <vector>

namespace regdesk {

// regdesk-admin intake DIR FILE...|FOLDER: registers the barcode of every PDF
// and picture file into DIR's 收文登记表, as a scan and 保存 of the form
// would. A number registered already is skipped, never replaced. Prints what
// happened to each file that was not registered and a summary; exit 0 when
// every file could be read, 1 when one could not (or its row not saved), 64
// for a wrong command line. `arguments` follow "intake".
AdminResult intakeCommand(const std::vector<std::string>& arguments);

} // namespace regdesk
