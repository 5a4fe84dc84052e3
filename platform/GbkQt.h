#pragma once

#include "platform/Gbk.h"

#include <QString>

namespace regdesk {

// The edge between the GBK core and Qt's UTF-16 strings.
QString toQString(std::string_view gbk);
GbkString fromQString(const QString& text);

} // namespace regdesk
