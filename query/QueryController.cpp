#include "query/QueryController.h"

#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/RegisterColumns.h"
#include "db/RegisterRecords.h"
#include "db/RegisterStatements.h"
#include "db/TransactionGuard.h"
#include "list/RegisterListModel.h"
#include "platform/DesktopOpener.h"
#include "platform/FileSystem.h"
#include "platform/GbkQt.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "query/AttachmentTransfer.h"
#include "query/CustomSortKey.h"
#include "query/QueryView.h"
#include "query/SearchTerms.h"
#include "settings/AppPaths.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"
#include "settings/UserGuide.h"

#include <filesystem>
#include <unordered_set>

namespace regdesk {
namespace {} // namespace

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
    list.appendRows(std::move(rows), colours, result.recordIds);
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

std::vector<qint64> QueryController::selectedRecords() const
{
    std::vector<qint64> records;
    const RegisterListModel& list = m_view.listRows();
    for (const int row : m_view.selectedRows()) {
        const qint64 record = list.recordId(row);
        if (record != RegisterListModel::kNoRecord &&
            std::find(records.begin(), records.end(), record) == records.end())
            records.push_back(record);
    }
    return records;
}

void QueryController::markRecords(const std::vector<qint64>& records, std::uint32_t itemValue)
{
    RegisterListModel& list = m_view.listRows();
    for (int row = 0; row < list.rowCount(); ++row) {
        if (std::find(records.begin(), records.end(), list.recordId(row)) != records.end())
            list.setItemValue(row, itemValue);
    }
}

RegisterRecords QueryController::records() const
{
    return RegisterRecords(m_seams.connection ? QSqlDatabase::database(m_seams.connection->name(), false)
                                              : QSqlDatabase());
}

void QueryController::openRow(int row)
{
    RegisterListModel& list = m_view.listRows();
    const qint64 record = list.recordId(row);
    if (row < 0 || row >= list.rowCount() || record == RegisterListModel::kNoRecord)
        return;
    // Only the type: the bytes are read when they are needed, off this thread.
    GbkString type;
    if (const QString failure = records().readAttachment(table(), record, type); !failure.isEmpty()) {
        report(failure);
        return;
    }
    if (!type.empty())
        exportAndShow({{record, list.cellText(row, kNumberColumn)}});
    else
        attachToRow(row);
}

void QueryController::attachToRow(int row)
{
    const QString path = m_seams.prompter.openFileName(m_view.boxOwner(), QStringLiteral("打开"), {}, fileFilter());
    if (path.isEmpty() || !m_seams.connection)
        return;
    m_view.showProgress(0, 0);
    std::vector<qint64> attached;
    const QString failure = AttachmentTransfer(m_seams.connection->name())
                                .attachToRecord(table(), m_view.listRows().recordId(row), fromQString(path), attached);
    m_view.hideProgress();
    if (!failure.isEmpty()) {
        report(QStringLiteral("附件没有保存：%1\n%2").arg(path, failure), QStringLiteral("添加附件"));
        return;
    }
    markRecords(attached, RegisterListModel::kBlue);
}

void QueryController::exportAndShow(const std::vector<AttachmentTransfer::ExportItem>& items)
{
    if (!m_seams.connection)
        return;
    const GbkString folder = SettingsFile(m_seams.settingsPath).getString(SettingsKeys::kOutputFolder);
    if (folder.empty()) {
        report(QStringLiteral("document.ini 中没有设置二维码输出位置（[发文设置]），附件无法导出。"),
               QStringLiteral("导出附件"));
        return;
    }
    m_view.showProgress(0, 0);
    const AttachmentTransfer::ExportOutcome outcome =
        AttachmentTransfer(m_seams.connection->name()).exportTo(folder, table(), items);
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
    std::vector<AttachmentTransfer::ExportItem> items;
    const RegisterListModel& list = m_view.listRows();
    for (const int row : m_view.selectedRows()) {
        const qint64 record = list.recordId(row);
        if (record != RegisterListModel::kNoRecord &&
            std::none_of(items.begin(), items.end(), [&](const auto& item) { return item.record == record; }))
            items.push_back({record, list.cellText(row, kNumberColumn)});
    }
    exportAndShow(items);
}

void QueryController::removeAttachments()
{
    if (m_view.selectedRows().empty() || !confirm(QStringLiteral("删除所选记录的附件？")) || !m_seams.connection)
        return;
    // The selected records and their namesakes by the stored 发文号, which
    // share one attachment; never a record that only looks alike trimmed.
    TransactionGuard transaction(m_seams.connection);
    std::vector<qint64> cleared;
    QString failure = records().withNamesakes(table(), selectedRecords(), cleared);
    if (failure.isEmpty())
        failure = records().clearAttachments(table(), cleared);
    if (failure.isEmpty() && !transaction.commit())
        failure = QStringLiteral("无法提交更改");
    if (!failure.isEmpty()) {
        report(QStringLiteral("附件没有删除：") + failure);
        return;
    }
    markRecords(cleared, 0);
}

void QueryController::deleteRecords()
{
    if (m_view.selectedRows().empty() || !confirm(QStringLiteral("永久删除所选记录？")) || !m_seams.connection)
        return;
    const std::vector<qint64> selected = selectedRecords();
    std::vector<qint64> doomed;
    if (const QString failure = records().withNamesakes(table(), selected, doomed); !failure.isEmpty()) {
        report(QStringLiteral("记录没有删除：") + failure);
        return;
    }
    // Every record of a selected record's 发文号 goes, also those not shown:
    // say how many first. Asked before the change begins, so that other desks
    // can save while the box is open.
    if (doomed.size() > selected.size() &&
        !confirm(
            QStringLiteral("所选%1条记录的发文号共有%2条记录（有的发文号不止一条记录），将全部永久删除。是否继续？")
                .arg(selected.size())
                .arg(doomed.size())))
        return;
    TransactionGuard transaction(m_seams.connection);
    // Counted again under the write lock: what the clerk agreed to is what goes.
    std::vector<qint64> counted;
    if (const QString failure = records().withNamesakes(table(), selected, counted); !failure.isEmpty()) {
        report(QStringLiteral("记录没有删除：") + failure);
        return;
    }
    if (counted != doomed) {
        report(QStringLiteral("记录没有删除：确认期间所选发文号的记录有了变动，请重新删除。"));
        return;
    }
    QString failure = records().remove(table(), doomed);
    if (failure.isEmpty() && !transaction.commit())
        failure = QStringLiteral("无法提交更改");
    if (!failure.isEmpty()) {
        report(QStringLiteral("记录没有删除：") + failure);
        return;
    }
    // Runs of deleted rows leave the list together: thousands of rows go at once.
    const std::unordered_set<qint64> gone(doomed.begin(), doomed.end());
    RegisterListModel& list = m_view.listRows();
    for (int end = list.rowCount(); end > 0;) {
        if (!gone.contains(list.recordId(end - 1))) {
            --end;
            continue;
        }
        int start = end - 1;
        while (start > 0 && gone.contains(list.recordId(start - 1)))
            --start;
        list.removeRows(start, end - start);
        end = start;
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

void QueryController::showGuide()
{
    openUserGuide(m_seams.opener, m_seams.prompter, m_view.boxOwner(), AppPaths::programsFolder(),
                  GuideChapter::QueryWindow);
}

} // namespace regdesk
