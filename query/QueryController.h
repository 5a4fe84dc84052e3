#pragma once

#include "db/RegisterRecords.h"
#include "db/RegisterSearch.h"
#include "list/RegisterListCtrl.h"
#include "platform/Gbk.h"
#include "query/AttachmentTransfer.h"

#include <memory>
#include <vector>

namespace regdesk {

class DbConnection;
class DesktopOpener;
class Prompter;
class QueryView;

// What the query window works with, handed over by whoever opens it.
struct QuerySeams
{
    std::shared_ptr<DbConnection> connection; // the desk's connection (the active one)
    RegisterSearch& search;
    Prompter& prompter;
    DesktopOpener& opener;
    GbkString settingsPath; // document.ini, read afresh at each use
};

// The work of the query window: the two searches over the register chosen
// by the radio buttons, the custom order, deletion and the attachments.
class QueryController
{
public:
    enum class Register
    {
        Incoming, // 收文登记表, 收文查询
        Outgoing, // 发文登记表, 发文查询
    };
    static constexpr int kNumberColumn = 0;
    static constexpr int kSecrecyColumn = 2;
    static constexpr int kFileTypeColumn = 13;
    static constexpr int kSortKeyColumn = 14;

    static GbkString listHeaders(); // 15 columns, ending in 文件类型,自定义排序
    static GbkString listWidths();
    static QString fileFilter(); // of the file dialog that chooses an attachment

    QueryController(QueryView& view, QuerySeams seams);

    // The field names of 收文登记表's list, when that register has a row.
    void initialise();

    void selectRegister(Register which);
    Register currentRegister() const { return m_register; }
    GbkString table() const;

    void fuzzySearch(); // 模糊查询, Enter in edit 108
    void exactSearch(); // 准确查询, Enter in edit 1264
    void sortByHeader(int column);
    void updateSelectionCount();

    void openRow(int row);    // double click: export and show, or attach
    void exportSelected();    // Home
    void removeAttachments(); // F8 + Delete
    void deleteRecords();     // F12 + Delete
    void showGuide();         // F1: the guide's chapter of this window

private:
    void showResult(const SearchResult& result);
    // The records of the selected rows, each once, by row id.
    std::vector<qint64> selectedRecords() const;
    RegisterRecords records() const;
    void attachToRow(int row);
    // Exports, tells the clerk about failures, opens the folder when it exists.
    void exportAndShow(const std::vector<AttachmentTransfer::ExportItem>& items);
    void markRecords(const std::vector<qint64>& records, std::uint32_t itemValue);
    void report(const QString& text, const QString& caption = {});
    bool confirm(const QString& text);

    QueryView& m_view;
    QuerySeams m_seams;
    Register m_register = Register::Incoming;
    AlternatingSortOrder m_sortOrder;
};

} // namespace regdesk
