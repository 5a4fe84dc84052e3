#include "printing/TitleCatalogue.h"

#include "list/ListCells.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"
#include "platform/Prompter.h"
#include "printing/CatalogueSortKey.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace regdesk {

TitleCatalogue::TitleCatalogue(GbkString settingsPath, Prompter& prompter, QWidget* owner)
    : m_settingsPath(std::move(settingsPath)), m_prompter(prompter), m_owner(owner)
{}

std::string TitleCatalogue::fileText(const std::vector<GbkString>& titles)
{
    // CR LF, as every text file the desk hands to the clerk or another program.
    std::string text = "文  件  目  录"_gbk + "\r\n\r\n";
    for (std::size_t i = 0; i < titles.size(); ++i)
        text += std::to_string(i + 1) + "." + titles[i] + "\r\n";
    return text;
}

bool TitleCatalogue::print(ListCells& rows)
{
    const QString caption = QStringLiteral("打印标题");
    if (rows.selectedRows().empty()) {
        m_prompter.inform(m_owner, QStringLiteral("请先选定输出行"), caption);
        return false;
    }
    const SettingsFile settings(m_settingsPath);
    for (int row = 0; row < rows.rowCount(); ++row)
        rows.setCellText(row, kSortKeyColumn, CatalogueSortKey::forNumber(settings, rows.cellText(row, kNumberColumn)));
    rows.sortAscending(kSortKeyColumn);

    GbkString folder = settings.getString(SettingsKeys::kOutputFolder);
    while (folder.size() > 1 && folder.back() == kPathSeparator)
        folder.pop_back();
    // Without a folder the file would land in the file system's root.
    if (folder.empty()) {
        m_prompter.inform(m_owner, QStringLiteral("无法输出打印标题：[发文设置]中的二维码输出位置未设置"), caption);
        return false;
    }
    const GbkString path = joinPath(folder, "打印标题.txt"_gbk);
    ::mkdir(toNativePath(folder).c_str(), 0777); // one level, when it is not there yet

    std::vector<GbkString> titles;
    for (const int row : rows.selectedRows())
        titles.push_back(rows.cellText(row, kTitleColumn));
    if (const int error = replaceFile(path, fileText(titles)); error != 0) {
        m_prompter.inform(
            m_owner,
            QStringLiteral("无法写入%1：%2").arg(toQString(path), QString::fromLocal8Bit(std::strerror(error))),
            caption);
        return false;
    }
    m_prompter.inform(m_owner, QStringLiteral("已输出到%1").arg(toQString(path)), caption);
    return true;
}

} // namespace regdesk
