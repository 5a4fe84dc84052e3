#pragma once

#include "db/DocumentRecord.h"
#include "platform/Gbk.h"

namespace regdesk::BarcodePayload {

// The barcode text of a registration list row: version, code number, issuing
// unit, kind, number, recipient, title, secrecy, urgency, document date, level,
// code unit, code date, each followed by "^", then the end mark "^|".
GbkString buildPayload(const DocumentRecord& row);

// TxtTemp.txt: the payload and one CR LF line end, bytes unchanged.
std::string exchangeFileText(const GbkString& payload);

} // namespace regdesk::BarcodePayload
