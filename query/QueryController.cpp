#include "query/QueryController.h"

#include "app/SettingsFile.h"
#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/RegisterColumns.h"
#include "db/RegisterStatements.h"
#include "db/TransactionGuard.h"
#include "platform/DesktopOpener.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "query/AttachmentTransfer.h"
#include "query/CustomSortKey.h"
#include "query/ListText.h"
#include "query/QueryView.h"
#include "query/RegisterListModel.h"
#include "query/SearchTerms.h"

#include <filesystem>

namespace regdesk {
namespace {

bool sameNumber(const GbkString& a, const GbkString& b)
{
    // As the register's 发文号 column compares: without regard to ASCII case.
    return compareGbkNoCase(a, b) == 0;
}

bool run(const GbkString& sql)
{
    AdoRecordset statement;
    return statement.openQuery(sql);
}

} // namespace

GbkString QueryController::listHeaders()
{
    return "发文号 , 标题, 密级, 文种, 主送, 发布层次, 发文单位, 紧急程度,  成文日期, 制码号, 制码单位, 制码时间, "
           "备注,文件类型,自定义排序"_gbk;
}

GbkString QueryController::listWidths()
{
    return "120,350, 50, 50 , 50 , 70 , 180 , 70 ,  70 , 70 , 70 , 70 ,70,70, 30,70 ";
}

QString QueryController::fileFilter()
{
    // Word and WPS documents, or any file (a name without "." included).
    return QStringLiteral("*.doc;*.docx;*.wps (*.doc *.docx *.wps);;*.* files (*)");
}

QueryController::QueryController(QueryView& view, QuerySeams seams) : m_view(view), m_seams(std::move(seams)) {}

void QueryController::initialise()
{
    // One row is enough to learn the names: the register may be large.
    AdoRecordset names;
    if (names.openQuery(RegisterStatements::selectIncomingList() + " LIMIT 1") && names.recordCount() > 0) {
        std::vector<GbkString> fields;
        for (int i = 0; i < names.fieldCount(); ++i)
            fields.push_back(names.fieldName(i));
        m_view.setFieldNames(fields);
    }
    m_view.setFieldName("发文号"_gbk);
}

void QueryController::selectRegister(Register which)
{
    m_register = which;
    m_view.setCaption(which == Register::Incoming ? QStringLiteral("收文查询") : QStringLiteral("发文查询"));
}

GbkString QueryController::table() const
{
    return m_register == Register::Incoming ? RegisterStatements::incomingTable() : RegisterStatements::outgoingTable();
}

void QueryController::fuzzySearch()
{
    const GbkString text = m_view.fuzzyText();
    if (trimBlanks(text).empty())
        return;
    m_view.listRows().clearRows();
    const SearchTerms parsed = parseSearchTerms(text);
    if (parsed.dropped > 0)
        report(QStringLiteral("查询条件多于%1个，只按前%1个查询，其余%2个没有用上。")
                   .arg(SearchTerms::kMaxTerms)
                   .arg(parsed.dropped),
               QStringLiteral("模糊查询"));
    m_view.showProgress(0, 0);
    showResult(m_seams.search.fuzzy(table(), parsed.terms,
                                    [this](qint64 done, qint64 total) { m_view.showProgress(done, total); }));
}

void QueryController::exactSearch()
{
    m_view.listRows().clearRows();
    const GbkString value = m_view.exactValue();
    if (value.empty())
        return;
    // The field name goes into the statement: only the register's own names will do.
    const GbkString field(trimBlanks(m_view.fieldName()));
    if (!RegisterColumns::isListColumn(field)) {
        report(QStringLiteral("“%1”不是登记表的字段名，请从下拉列表中选择字段。").arg(toQString(m_view.fieldName())),
               QStringLiteral("准确查询"));
        return;
    }
    m_view.showProgress(0, 0);
    showResult(m_seams.search.exact(table(), field, value,
                                    [this](qint64 done, qint64 total) { m_view.showProgress(done, total); }));
}

void QueryController::showResult(const SearchResult& result)
{
    if (!result.error.isEmpty())
        report(result.error);
    const SettingsFile settings(m_seams.settingsPath);
    const CustomSortOrder order(settings);
    std::vector<std::vector<GbkString>> rows;
    std::vector<std::uint32_t> colours;
    rows.reserve(result.rows.size());
    colours.reserve(result.rows.size());
    for (const ListRow& found : result.rows) {
        std::vector<GbkString> row = found;
        row.resize(kSortKeyColumn);
        row.push_back(order.keyFor(row[kNumberColumn], row[kSecrecyColumn]));
        colours.push_back(row[kFileTypeColumn].empty() ? 0 : RegisterListModel::kBlue);
        rows.push_back(std::move(row));
    }
    RegisterListModel& list = m_view.listRows();
    list.appendRows(std::move(rows), colours);
    list.sortByColumn(kSortKeyColumn, true);
    m_view.fitColumnsToContents();
    m_view.hideProgress();
}

void QueryController::sortByHeader(int column)
{
    m_view.listRows().sortByColumn(column, m_sortOrder.nextAscending());
}

void QueryController::updateSelectionCount()
{
    const std::size_t count = m_view.selectedRows().size();
    if (count != 0)
        m_view.setSelectionCount(QStringLiteral("已选择：%1个").arg(count));
}

std::vector<GbkString> QueryController::selectedNumbers() const
{
    std::vector<GbkString> numbers;
    for (const int row : m_view.selectedRows()) {
        const GbkString& number = m_view.listRows().cellText(row, kNumberColumn);
        if (std::find(numbers.begin(), numbers.end(), number) == numbers.end())
            numbers.push_back(number);
    }
    return numbers;
}

void QueryController::markRowsOf(const GbkString& number, std::uint32_t itemValue)
{
    RegisterListModel& list = m_view.listRows();
    for (int row = 0; row < list.rowCount(); ++row) {
        if (sameNumber(list.cellText(row, kNumberColumn), number))
            list.setItemValue(row, itemValue);
    }
}

void QueryController::openRow(int row)
{
    RegisterListModel& list = m_view.listRows();
    if (row < 0 || row >= list.rowCount())
        return;
    const GbkString number = list.cellText(row, kNumberColumn);
    // Only the type: the bytes are read when they are needed, off this thread.
    AdoRecordset types;
    GbkString type;
    if (types.openQuery(RegisterStatements::selectFileType(table(), number)) && types.recordCount() > 0)
        type = types.fieldText("文件类型"_gbk);
    if (!type.empty())
        exportAndShow({number});
    else
        attachToRow(row);
}

void QueryController::attachToRow(int row)
{
    const QString path = m_seams.prompter.openFileName(m_view.boxOwner(), QStringLiteral("打开"), {}, fileFilter());
    if (path.isEmpty() || !m_seams.connection)
        return;
    const GbkString number = m_view.listRows().cellText(row, kNumberColumn);
    m_view.showProgress(0, 0);
    const QString failure = AttachmentTransfer(m_seams.connection->name()).attach(table(), number, fromQString(path));
    m_view.hideProgress();
    if (!failure.isEmpty()) {
        report(QStringLiteral("附件没有保存：%1\n%2").arg(path, failure), QStringLiteral("添加附件"));
        return;
    }
    markRowsOf(number, RegisterListModel::kBlue);
}

void QueryController::exportAndShow(const std::vector<GbkString>& numbers)
{
    if (!m_seams.connection)
        return;
    const GbkString folder = SettingsFile(m_seams.settingsPath).getString("发文设置"_gbk, "二维码输出位置"_gbk);
    if (folder.empty()) {
        report(QStringLiteral("document.ini 中没有设置二维码输出位置（[发文设置]），附件无法导出。"),
               QStringLiteral("导出附件"));
        return;
    }
    m_view.showProgress(0, 0);
    const AttachmentTransfer::ExportOutcome outcome =
        AttachmentTransfer(m_seams.connection->name()).exportTo(folder, table(), numbers);
    m_view.hideProgress();
    if (!outcome.failures.isEmpty())
        report(QStringLiteral("以下附件没有导出：\n") + outcome.failures.join(u'\n'), QStringLiteral("导出附件"));
    std::error_code error;
    if (std::filesystem::is_directory(toNativePath(folder), error))
        m_seams.opener.openFolder(folder);
}

void QueryController::exportSelected()
{
    if (m_view.selectedRows().empty() || !confirm(QStringLiteral("打开所选记录附件？")))
        return;
    exportAndShow(selectedNumbers());
}

void QueryController::removeAttachments()
{
    const std::vector<int> rows = m_view.selectedRows();
    if (rows.empty() || !confirm(QStringLiteral("删除所选记录的附件？")) || !m_seams.connection)
        return;
    TransactionGuard transaction(m_seams.connection);
    for (const GbkString& number : selectedNumbers()) {
        if (!run(RegisterStatements::clearAttachment(table(), number)))
            return; // told by the database layer; nothing is cleared
    }
    if (!transaction.commit())
        return;
    for (const int row : rows)
        m_view.listRows().setItemValue(row, 0);
}

void QueryController::deleteRecords()
{
    if (m_view.selectedRows().empty() || !confirm(QStringLiteral("永久删除所选记录？")) || !m_seams.connection)
        return;
    std::vector<GbkString> numbers;
    for (const GbkString& number : selectedNumbers()) {
        if (std::none_of(numbers.begin(), numbers.end(), [&](const GbkString& n) { return sameNumber(n, number); }))
            numbers.push_back(number);
    }
    // Every record of a number goes, also those not shown: say how many first.
    int records = 0;
    for (const GbkString& number : numbers) {
        AdoRecordset found;
        if (found.openQuery(RegisterStatements::selectNumber(table(), number)))
            records += found.recordCount();
    }
    if (records > static_cast<int>(numbers.size()) &&
        !confirm(QStringLiteral("所选的%1个发文号共有%2条记录（有的发文号不止一条记录），将全部永久删除。是否继续？")
                     .arg(numbers.size())
                     .arg(records)))
        return;
    TransactionGuard transaction(m_seams.connection);
    for (const GbkString& number : numbers) {
        if (!run(RegisterStatements::deleteRow(table(), number)))
            return;
    }
    if (!transaction.commit())
        return;
    RegisterListModel& list = m_view.listRows();
    for (int row = list.rowCount() - 1; row >= 0; --row) {
        const GbkString& shown = list.cellText(row, kNumberColumn);
        if (std::any_of(numbers.begin(), numbers.end(), [&](const GbkString& n) { return sameNumber(n, shown); }))
            list.removeRows(row, 1);
    }
}

void QueryController::report(const QString& text, const QString& caption)
{
    m_seams.prompter.inform(m_view.boxOwner(), text, caption, Prompter::Icon::Warning);
}

bool QueryController::confirm(const QString& text)
{
    return m_seams.prompter.ask(m_view.boxOwner(), Prompter::Message{text, QStringLiteral("警告"),
                                                                     Prompter::Buttons::YesNo, Prompter::Icon::Warning,
                                                                     Prompter::Answer::No}) == Prompter::Answer::Yes;
}

} // namespace regdesk
