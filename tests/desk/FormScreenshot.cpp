// Shows the registration form in both modes with sample settings and rows
// (and a PDF of an incoming document dropped onto it),
// and the compact add-in form as a document's text fills it, and saves a
// picture of each, for the documentation. Run it under a display:
//
//     xvfb-run -a -s '-screen 0 1366x768x24' regdesk_form_screenshot <output folder>
//
// Not a test: it checks nothing.
#include "IntakeFixtures.h"
#include "TestDatabase.h"
#include "barcode/BarcodePayload.h"
#include "desk/AddinRegistrationDialog.h"
#include "desk/DeskStartup.h"
#include "desk/FileIntake.h"
#include "desk/IncomingRegistration.h"
#include "desk/RegistrationDialog.h"
#include "desk/RegistrationFormLogic.h"
#include "people/CompletionEdit.h"
#include "platform/ControlLookup.h"
#include "platform/DeskFonts.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <cstdio>

using namespace regdesk;

namespace {

DocumentRecord sampleRecord(const char* number, const char* title, const char* secrecy, const char* date,
                            const char* code)
{
    DocumentRecord record;
    record[DocumentRecord::Number] = utf8ToGbk(number);
    record[DocumentRecord::Title] = utf8ToGbk(title);
    record[DocumentRecord::Secrecy] = utf8ToGbk(secrecy);
    record[DocumentRecord::Kind] = "通知"_gbk;
    record[DocumentRecord::Recipient] = "各庭室"_gbk;
    record[DocumentRecord::Level] = "市级"_gbk;
    record[DocumentRecord::IssuingUnit] = "办公室"_gbk;
    record[DocumentRecord::Urgency] = "无"_gbk;
    record[DocumentRecord::DocumentDate] = date;
    record[DocumentRecord::CodeNumber] = code;
    record[DocumentRecord::CodeUnit] = "市中级人民法院"_gbk;
    record[DocumentRecord::CodeDate] = date;
    record[DocumentRecord::Version] = "GB0626-2005";
    record[DocumentRecord::Remarks] = "拟稿人：张三"_gbk;
    return record;
}

// The screen around the form, so a floating drop-down shows too.
bool save(QWidget& form, const QString& path)
{
    QTest::qWait(300);
    const QRect area = form.frameGeometry();
    const QPixmap picture = form.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (!picture.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s (%dx%d)\n", qPrintable(path), picture.width(), picture.height());
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    installDeskFonts();
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();

    test::TestDatabase db;
    if (!db.isOpen())
        return 1;
    db.folder().writeSettings("[发文设置]\n制码单位=市中级人民法院\n发文单位=办公室\n标题=关于\n\n"
                              "[发文型式]\n1=中法发\n2=中法办\n3=中法函\n\n"
                              "[主送单位]\n1=各庭室\n2=各基层法院\n3=市委政法委\n\n");
    for (const auto& [name, initials] : {std::pair{"张三", "ZS"}, {"张伟", "ZW"}, {"张晓明", "ZXM"}, {"赵树森", "ZSS"}})
        test::TestDatabase::insertPerson(name, initials);
    RegistrationDialog form;
    FormStart start = DeskStartup(db.database(), db.prompter()).formStart(2026);
    form.initialise(start);
    form.show();
    QTest::qWait(200);

    const std::vector<DocumentRecord> incoming = {
        sampleRecord("市委发〔2026〕12号", "关于做好岁末年初安全生产工作的通知", "无", "20261201", "SW2026012"),
        sampleRecord("市政办〔2026〕87号", "关于印发市级机关节能降耗实施方案的通知", "无", "20261203", "SZ2026087"),
        sampleRecord("省法发〔2026〕5号", "关于开展执行案款专项清理的通知", "秘密", "20261205", "SF2026005"),
    };
    for (const DocumentRecord& record : incoming)
        form.registerList().listModel().appendRow(RegistrationFormLogic::toListRow(record));
    const bool incomingSaved = save(form, QDir(output).filePath(QStringLiteral("registration-incoming.png")));

    // A PDF of an incoming document dropped onto the form: its barcode gives the fourth row.
    bool droppedSaved = false;
    {
        SqlIncomingRegister register_;
        IncomingRegistration scanner(form, db.prompter(), register_);
        FileIntake files(form, db.prompter(), scanner.intake());
        const DocumentRecord sent =
            sampleRecord("省高法〔2026〕31号", "关于做好涉企案件审理工作的通知", "无", "20261208", "GF2026031");
        const QString pdf = db.folder().filePath(QStringLiteral("来文.pdf"));
        test::writeBytes(pdf, test::pdfOfPages({{test::symbolImage(BarcodePayload::buildPayload(sent))}}));
        QMimeData dragged;
        dragged.setUrls({QUrl::fromLocalFile(pdf)});
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form.registerList(), &enter);
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&form.registerList(), &drop);
        if (QTest::qWaitFor([&form] { return form.registerList().rowCount() == 4; }, 20000)) {
            form.registerList().selectRow(3);
            droppedSaved = save(form, QDir(output).filePath(QStringLiteral("registration-dropped-file.png")));
        } else {
            std::fprintf(stderr, "the dropped file gave no row: %s\n",
                         qPrintable(db.prompter().texts().join(QLatin1Char('\n'))));
        }
    }

    form.registerList().removeAllRows();
    form.showMode(RegistrationMode::Outgoing, {"市中级人民法院"_gbk, "办公室"_gbk, {}});
    const auto setText = [&form](int id, const char* text) {
        if (auto* edit = findControl<QLineEdit>(&form, id))
            edit->setText(QString::fromUtf8(text));
        else if (auto* combo = findControl<QComboBox>(&form, id))
            combo->setEditText(QString::fromUtf8(text));
    };
    setText(RegistrationDialog::NumberCombo, "中法发〔2026〕13号");
    setText(RegistrationDialog::TitleEdit, "关于印发2027年度审判工作要点的通知");
    setText(RegistrationDialog::KindEdit, "通知");
    setText(RegistrationDialog::LevelEdit, "市级");
    setText(RegistrationDialog::DrafterEdit, "张三");
    form.setCodeNumber("ZF2026013");
    form.showLastNumber("中法发〔2026〕12号"_gbk, "关于表彰2026年度先进集体和先进个人的决定"_gbk);
    form.registerList().listModel().appendRow(RegistrationFormLogic::toListRow(
        sampleRecord("中法发〔2026〕12号", "关于表彰2026年度先进集体和先进个人的决定", "无", "20261207", "ZF2026012")));
    // Typing the drafter's name opens its completion list: the picture shows the form without it.
    QTest::qWait(100);
    form.drafterEdit().hideDropDown();
    const bool outgoingSaved = save(form, QDir(output).filePath(QStringLiteral("registration-outgoing.png")));

    form.drafterEdit().setFocus();
    form.drafterEdit().clear();
    QTest::keyClicks(&form.drafterEdit(), QStringLiteral("z"));
    const bool completionSaved = save(form, QDir(output).filePath(QStringLiteral("registration-completion.png")));
    form.hide();

    // The compact form as an add-in start leaves it: the text of the document
    // has chosen the prefix and given the title and the recipients.
    AddinRegistrationDialog addin;
    FormStart addinStart = DeskStartup(db.database(), db.prompter()).formStart(2026);
    addin.initialise(addinStart);
    addin.showMode(RegistrationMode::Outgoing, {"市中级人民法院"_gbk, "办公室"_gbk, {}});
    addin.show();
    const auto setAddinText = [&addin](int id, const char* text) {
        if (auto* edit = findControl<QLineEdit>(&addin, id))
            edit->setText(QString::fromUtf8(text));
    };
    addin.selectNumberPrefix(0);
    addin.showLastNumber("中法发〔2026〕12号"_gbk, "关于表彰2026年度先进集体和先进个人的决定"_gbk);
    addin.proposeNumber("中法发〔2026〕13号"_gbk);
    addin.setCodeNumber("ZF2026013");
    addin.setRecipient("各庭室"_gbk);
    addin.setTitle("市中级人民法院关于加强档案管理工作的通知"_gbk);
    setAddinText(AddinRegistrationDialog::KindEdit, "通知");
    setAddinText(AddinRegistrationDialog::LevelEdit, "市级");
    setAddinText(AddinRegistrationDialog::DrafterEdit, "张三");
    addin.drafterEdit().hideDropDown();
    addin.focusConfirmation();
    const bool addinSaved = save(addin, QDir(output).filePath(QStringLiteral("registration-addin.png")));
    return incomingSaved && droppedSaved && outgoingSaved && completionSaved && addinSaved ? 0 : 1;
}
