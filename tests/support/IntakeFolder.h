#pragma once

#include <QString>

namespace regdesk::test {

// What makeIntakeFolder() put into the folder.
struct IntakeFolderContents
{
    int files = 0;
    int payloads = 0;   // files with a whole payload (some numbers twice)
    int numbers = 0;    // distinct numbers among them
    int noBarcode = 0;  // blank pages and foreign symbols
    int unreadable = 0; // corrupt, text, a FIFO, a link
};

// Fifty files as a copier's shared folder holds them: PDFs of the desk's
// symbols (numbers "N-01".."N-20", five of them twice under other names),
// five photos ("P-1".."P-5"), one of `registeredNumber` when given, blank and
// foreign pages, corrupt PDFs, text files, a FIFO and a link.
IntakeFolderContents makeIntakeFolder(const QString& folder, const QString& registeredNumber = {});

} // namespace regdesk::test
