#include "db/RegisterColumns.h"

#include <algorithm>

namespace regdesk::RegisterColumns {

const std::vector<GbkString>& searchColumns()
{
    static const std::vector<GbkString> columns = {"发文号"_gbk,   "标题"_gbk,     "密级"_gbk,     "文种"_gbk,
                                                   "主送"_gbk,     "发布层次"_gbk, "发文单位"_gbk, "紧急程度"_gbk,
                                                   "成文日期"_gbk, "制码号"_gbk,   "制码单位"_gbk, "制码时间"_gbk,
                                                   "版本"_gbk,     "备注"_gbk,     "文件类型"_gbk};
    return columns;
}

const std::vector<GbkString>& listColumns()
{
    static const std::vector<GbkString> columns = [] {
        std::vector<GbkString> list = searchColumns();
        list.erase(std::find(list.begin(), list.end(), "版本"_gbk));
        return list;
    }();
    return columns;
}

bool isListColumn(std::string_view name)
{
    const auto& columns = listColumns();
    return std::find(columns.begin(), columns.end(), name) != columns.end();
}

} // namespace regdesk::RegisterColumns
