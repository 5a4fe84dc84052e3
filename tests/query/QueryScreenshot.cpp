// Shows the query window over a small outgoing register after a fuzzy search,
// with two rows selected, and saves its picture for the documentation. Run it
// under a display:
//
//     xvfb-run -a -s '-screen 0 1366x768x24' regdesk_query_screenshot <output folder>
//
// Not a test: it checks nothing.
#include "FakeDesktopOpener.h"
#include "TestDatabase.h"
#include "db/RegisterStatements.h"
#include "db/SqliteRegisterSearch.h"
#include "list/RegisterListCtrl.h"
#include "platform/DeskFonts.h"
#include "platform/GbkQt.h"
#include "query/QueryDialog.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <cstdio>

using namespace regdesk;

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    installDeskFonts();
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();

    test::TestDatabase db;
    if (!db.isOpen())
        return 1;
    db.folder().writeSettings(
        "[发文设置]\n二维码输出位置=" + db.folder().filePath(QStringLiteral("out")).toStdString() +
        "\n\n[自定义排序]\n中法发=01\n中法办=02\n中法通报=03\n密级优先=是\n");
    const struct
    {
        const char* number;
        const char* title;
        const char* secrecy;
        const char* date;
        const char* fileType;
    } records[] = {
        {"中法发〔2026〕12号", "关于表彰2026年度先进集体和先进个人的决定", "无", "20261207", "docx"},
        {"中法发〔2026〕3号", "关于印发2026年度审判工作要点的通知", "无", "20260210", ""},
        {"中法办〔2026〕45号", "关于做好2026年度先进评选推荐工作的通知", "秘密", "20261020", "doc"},
        {"中法通报第7期", "关于2026年度先进集体候选名单的通报", "无", "20261115", ""},
        {"市委发〔2026〕9号", "关于表彰全市先进基层党组织的决定", "无", "20260701", "wps"},
        {"中法办〔2026〕46号", "关于召开年度工作会议的通知", "无", "20261022", ""},
    };
    for (const auto& record : records)
        db.insert(RegisterStatements::outgoingTable(), {{"发文号", utf8ToGbk(record.number)},
                                                        {"标题", utf8ToGbk(record.title)},
                                                        {"密级", utf8ToGbk(record.secrecy)},
                                                        {"文种", "通知"_gbk},
                                                        {"主送", "各庭室"_gbk},
                                                        {"发布层次", "市级"_gbk},
                                                        {"发文单位", "办公室"_gbk},
                                                        {"紧急程度", "无"_gbk},
                                                        {"成文日期", record.date},
                                                        {"制码号", "ZF" + std::string(record.date)},
                                                        {"制码单位", "市中级人民法院"_gbk},
                                                        {"制码时间", record.date},
                                                        {"版本", "GB0626-2005"},
                                                        {"备注", "拟稿人：张三"_gbk},
                                                        {"文件类型", record.fileType}});

    SqliteRegisterSearch search(db.connection());
    test::FakeDesktopOpener opener;
    QueryDialog window(QuerySeams{db.connection(), search, db.prompter(), opener,
                                  fromQString(db.folder().filePath(QStringLiteral("document.ini")))});
    window.show();
    QTest::qWait(200);
    QTest::mouseClick(window.control(QueryDialog::OutgoingRadio), Qt::LeftButton);
    qobject_cast<QLineEdit*>(window.control(QueryDialog::FuzzyEdit))->setText(QStringLiteral("先进 2026"));
    QTest::mouseClick(window.control(QueryDialog::FuzzyButton), Qt::LeftButton);
    window.registerList().selectRow(0);
    window.registerList().selectRow(2, true);

    QTest::qWait(300);
    const QRect area = window.frameGeometry();
    const QPixmap picture = window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    const QString path = QDir(output).filePath(QStringLiteral("query-window.png"));
    if (!picture.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    std::printf("%s (%dx%d)\n", qPrintable(path), picture.width(), picture.height());
    return 0;
}
