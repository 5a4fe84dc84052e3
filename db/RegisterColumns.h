#pragma once

#include "platform/Gbk.h"

#include <string_view>
#include <vector>

namespace regdesk::RegisterColumns {

// The fifteen columns whose joined text a fuzzy search looks in, in order:
// 发文号 … 制码时间, 版本, 备注, 文件类型.
const std::vector<GbkString>& searchColumns();

// The fourteen columns of the query window's list, in list order (the search
// columns without 版本). The exact search looks in one of them.
const std::vector<GbkString>& listColumns();

// True when `name` is, byte for byte, one of listColumns().
bool isListColumn(std::string_view name);

} // namespace regdesk::RegisterColumns
