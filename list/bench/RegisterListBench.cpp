// Fills the register list with 100,000 rows read from a register database and
// sorts it, printing the time of each step. Not a test: it asserts nothing.
//
//     regdesk_list_bench [rows]
#include "bench/BenchSupport.h"
#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/RegisterDatabaseFile.h"
#include "db/RegisterStatements.h"
#include "list/RegisterListCtrl.h"
#include "platform/Prompter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <array>
#include <cstdio>
#include <cstdlib>

namespace {

using namespace regdesk;
using namespace regdesk::bench;

DocumentRecord generatedRecord(int i)
{
    static const std::array<GbkString, 6> prefixes = {"甲发"_gbk, "乙函"_gbk, "丙字"_gbk,
                                                      "Abc"_gbk,  "丁办"_gbk, "aBd"_gbk};
    static const std::array<GbkString, 8> subjects = {"印发工作要点"_gbk, "召开会议"_gbk,    "表彰先进集体"_gbk,
                                                      "调整人员分工"_gbk, "报送统计表"_gbk,  "开展专项检查"_gbk,
                                                      "做好节日值班"_gbk, "加强安全管理"_gbk};
    const auto number = std::to_string(i);
    DocumentRecord record;
    record[DocumentRecord::Number] =
        prefixes[static_cast<std::size_t>(i) % prefixes.size()] + "〔2026〕"_gbk + number + "号"_gbk;
    record[DocumentRecord::Title] = "关于"_gbk + subjects[static_cast<std::size_t>(i * 7) % subjects.size()] +
                                    "的通知（第"_gbk + std::to_string((i * 7919) % 100003) + "次）"_gbk;
    record[DocumentRecord::Secrecy] = i % 5 == 0 ? "秘密"_gbk : "无"_gbk;
    record[DocumentRecord::Kind] = "通知"_gbk;
    record[DocumentRecord::Recipient] = "各庭室"_gbk;
    record[DocumentRecord::Level] = "市级"_gbk;
    record[DocumentRecord::IssuingUnit] = "办公室"_gbk;
    record[DocumentRecord::Urgency] = "无"_gbk;
    record[DocumentRecord::DocumentDate] = "2026" + std::to_string(1001 + i % 200);
    record[DocumentRecord::CodeNumber] = "HZ2026" + number;
    record[DocumentRecord::CodeUnit] = "市中级法院"_gbk;
    record[DocumentRecord::CodeDate] = "2026" + std::to_string(1001 + (i * 3) % 200);
    record[DocumentRecord::Version] = "GB0626-2005";
    record[DocumentRecord::Remarks] = "拟稿人：张三"_gbk;
    return record;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;

    QTemporaryDir folder;
    const QString databasePath = QDir(folder.path()).filePath(QStringLiteral("data.db"));
    if (const QString failure = createRegisterDatabase(databasePath); !failure.isEmpty()) {
        std::fprintf(stderr, "cannot create the database: %s\n", failure.toLocal8Bit().constData());
        return 1;
    }
    PrintingPrompter prompter;
    AdoDatabase database(prompter);
    if (!database.openConnection(AdoDatabase::connectionStringFor(folder.path().toStdString())))
        return 1;
    AdoDatabase::setActiveConnection(database.connection());

    QElapsedTimer timer;
    timer.start();
    database.connection()->beginTransaction();
    for (int i = 0; i < rows; ++i) {
        AdoRecordset insert;
        if (!insert.openQuery(
                RegisterStatements::insertOutgoing(RegisterStatements::outgoingTable(), generatedRecord(i))))
            return 1;
    }
    database.connection()->commitTransaction();
    std::printf("generate %d rows in data.db:        %9.1f ms\n", rows, milliseconds(timer));

    RegisterListCtrl list;
    list.resize(1100, 500);
    list.setupColumns("发文号 , 标题, 密级, 文种, 主送, 发布层次, 发文单位, 紧急程度,  成文日期, 制码号, 制码单位, "
                      "制码时间, 版本 ,备注,文件类型"_gbk);
    list.setColumnWidths("120,350, 50, 50 , 150 , 70 , 180 , 70 , 70 , 70 , 70 , 70 ,60 ,70,70");
    list.setEditingDisabled(true);
    list.show();
    QApplication::processEvents();

    timer.restart();
    AdoRecordset recordset;
    if (!recordset.openQuery(RegisterStatements::selectRegister(RegisterStatements::outgoingTable())))
        return 1;
    const double query = milliseconds(timer);
    timer.restart();
    list.fillFromRecordset(recordset);
    QApplication::processEvents();
    const double fill = milliseconds(timer);
    std::printf("query (read %d records):            %9.1f ms\n", recordset.recordCount(), query);
    std::printf("fillFromRecordset (+ first paint):  %9.1f ms   rows in list: %d\n", fill, list.rowCount());
    std::printf("query + fill:                       %9.1f ms\n", query + fill);

    const struct
    {
        const char* what;
        int column;
        bool ascending;
    } sorts[] = {
        {"sort 标题 ascending", 1, true},
        {"sort 标题 descending", 1, false},
        {"sort 发文号 ascending", 0, true},
        {"sort 成文日期 descending", 8, false},
        {"sort 密级 ascending (many equal)", 2, true},
    };
    for (const auto& sort : sorts) {
        list.selectRow(rows / 2);
        timer.restart();
        list.sortByColumn(sort.column, sort.ascending);
        QApplication::processEvents();
        std::printf("%-36s%9.1f ms\n", (std::string(sort.what) + ":").c_str(), milliseconds(timer));
    }

    list.selectAll();
    timer.restart();
    list.deleteSelectedRows();
    QApplication::processEvents();
    std::printf("deleteSelectedRows (all):           %9.1f ms\n", milliseconds(timer));
    AdoDatabase::setActiveConnection(nullptr);
    return 0;
}
