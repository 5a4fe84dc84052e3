#pragma once

#include "platform/Gbk.h"

namespace regdesk {

class SettingsFile;

// The custom order of the title catalogue: a document number such as
// 办〔2024〕12号 sorts by the position code of its prefix (办), configured in
// section 自定义排序, then by its serial (12).
namespace CatalogueSortKey {

struct NumberParts
{
    GbkString prefix; // before "〔"
    GbkString serial; // between "〕" and "号"
};

// The parts of a document number; marks that are missing give an empty
// prefix, or an empty or odd serial, and the number still gets a key.
NumberParts split(const GbkString& number);

// The code of the prefix in section 自定义排序, "99" when it has none.
GbkString positionCode(const SettingsFile& settings, const GbkString& prefix);

// The code padded with "0" to two characters, then the serial padded to
// five ("%02s%05s"); longer texts are kept whole.
GbkString key(const GbkString& code, const GbkString& serial);

// All of the above for one number.
GbkString forNumber(const SettingsFile& settings, const GbkString& number);

} // namespace CatalogueSortKey
} // namespace regdesk
