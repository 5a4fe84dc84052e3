#include "barcode/BarcodePayload.h"

namespace regdesk::BarcodePayload {

GbkString buildPayload(const DocumentRecord& row)
{
    using F = DocumentRecord::Field;
    static constexpr F kOrder[] = {F::Version,   F::CodeNumber, F::IssuingUnit, F::Kind,    F::Number,
                                   F::Recipient, F::Title,      F::Secrecy,     F::Urgency, F::DocumentDate,
                                   F::Level,     F::CodeUnit,   F::CodeDate};
    GbkString payload;
    for (const F field : kOrder) {
        payload += row[field];
        payload += '^';
    }
    payload += "^|";
    return payload;
}

std::string exchangeFileText(const GbkString& payload)
{
    return payload + "\r\n";
}

} // namespace regdesk::BarcodePayload
