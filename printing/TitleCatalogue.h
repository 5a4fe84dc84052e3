#pragma once

#include "platform/Gbk.h"

#include <vector>

class QWidget;

namespace regdesk {

class Prompter;
class ListCells;

// The registration form's 打印标题: the whole list put into the office's
// custom order (column 自定义排序), then the titles of the selected rows
// written as a numbered catalogue, 打印标题.txt in the output folder.
class TitleCatalogue
{
public:
    // Columns of the registration form's list.
    static constexpr int kNumberColumn = 0;   // 发文号
    static constexpr int kTitleColumn = 1;    // 标题
    static constexpr int kSortKeyColumn = 15; // 自定义排序

    TitleCatalogue(GbkString settingsPath, Prompter& prompter, QWidget* owner = nullptr);

    // True when the catalogue was written.
    bool print(ListCells& rows);

    // The bytes of the file: the heading, an empty line, then "n.title" lines.
    static std::string fileText(const std::vector<GbkString>& titles);

private:
    GbkString m_settingsPath;
    Prompter& m_prompter;
    QWidget* m_owner;
};

} // namespace regdesk
