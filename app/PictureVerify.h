#pragma once

#include "app/AdminCommands.h"

#include <string>
#include <vector>

namespace regdesk {

// regdesk-admin verify FILE... [--payload TEXTFILE]: decodes the PDF417
// symbol of each picture (EMF, WMF and BMP with the desk's own reader, PNG
// and JPEG through Qt) and prints its text as UTF-8 with the thirteen fields
// of the payload; with --payload, compares every symbol byte for byte with
// the file's bytes. Exit 0 when every file decodes (and matches), 1 when
// one does not, 64 for a wrong command line. `arguments` follow "verify".
AdminResult verifyCommand(const std::vector<std::string>& arguments);

} // namespace regdesk
