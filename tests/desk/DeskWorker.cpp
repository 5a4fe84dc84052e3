// A registration desk without a window, for the tests of several desks on one
// register: the desk's own controllers on its own connection, driven as a
// clerk drives them (choose the prefix, leave the number, 发文信息确认,
// 生成条码, 保存). Prints one line per saved registration, in UTF-8:
// "saved<TAB>发文号<TAB>制码号<TAB>标题".
//
//     regdesk_desk_worker DIR NAME COUNT   register COUNT documents
//     regdesk_desk_worker DIR NAME pause   propose one ("proposed<TAB>发文号<TAB>制码号"),
//                                          save it once a line arrives on stdin
#include "FakeClock.h"
#include "FakeDesktopOpener.h"
#include "FakeProcessLauncher.h"
#include "FakeProcessList.h"
#include "FakeRegistrationView.h"
#include "db/AdoDatabase.h"
#include "desk/DeskStartup.h"
#include "desk/OutgoingRegistration.h"
#include "desk/RegistrationSaver.h"
#include "desk/SqlOutgoingRegister.h"
#include "desk/SqlRegisterStore.h"
#include "platform/FileSystem.h"
#include "platform/Prompter.h"
#include "settings/AppPaths.h"

#include <QCoreApplication>
#include <cstdio>
#include <iostream>
#include <string>

using namespace regdesk;
using namespace regdesk::test;

namespace {

// Answers every question with No (an overwrite is never agreed to) and keeps the texts.
class RecordingPrompter final : public Prompter
{
public:
    Answer ask(QWidget*, const Message& message) override
    {
        texts << message.text;
        return message.buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
    }
    int closeMessages(const QString&) override { return 0; }
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }

    QStringList texts;
};

// A desk that waited too long for another is told so and tries again, as a clerk would.
bool onlyWaitedTooLong(const QStringList& texts)
{
    for (const QString& text : texts) {
        if (!text.contains(QStringLiteral("locked")) && !text.contains(QStringLiteral("lock timeout")))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (argc != 4) {
        std::fputs("usage: regdesk_desk_worker DIR NAME COUNT|pause\n", stderr);
        return 64;
    }
    const GbkString directory = fromNativePath(argv[1]);
    AppPaths::set(StartupPaths{directory, {}, joinPath(directory, "document.ini")});
    const std::string name = argv[2];
    const bool pause = std::string(argv[3]) == "pause";
    const int count = pause ? 1 : std::stoi(argv[3]);

    RecordingPrompter prompter;
    AdoDatabase database(prompter);
    // Another desk saving without a pause may keep data.db locked past the wait: start again, as a clerk would.
    bool connected = false;
    for (int attempt = 0; attempt < 10 && !connected; ++attempt)
        connected = DeskStartup(database, prompter).connect(nullptr);
    if (!connected) {
        std::fprintf(stderr, "no database: %s\n", prompter.texts.join(u'|').toStdString().c_str());
        return 2;
    }
    FakeRegistrationView view;
    view.shownMode = RegistrationMode::Outgoing;
    view.prefixes = {"法〔2026〕"_gbk};
    FakeProcessLauncher launcher;
    FakeProcessList processes;
    FakeClock clock;
    FakeDesktopOpener opener;
    SqlOutgoingRegister register_;
    SqlRegisterStore store;
    RegistrationSaver saver(view, prompter, store);
    OutgoingRegistration outgoing(view, prompter, register_, saver, launcher, processes, clock, opener);

    int failures = 0;
    int retries = 0;
    for (int i = 1; i <= count; ++i) {
        bool saved = false;
        DocumentRecord row;
        for (int attempt = 0; attempt < 50 && !saved; ++attempt) {
            retries += attempt > 0 ? 1 : 0;
            prompter.texts.clear();
            view.list.clear();
            view.chosenPrefix = view.prefixes.front();
            outgoing.chooseNumberPrefix();
            outgoing.proposeNextNumber();
            DocumentRecord& form = view.form.document;
            form[DocumentRecord::Title] = utf8ToGbk("关于" + name + "第" + std::to_string(i) + "次工作的通知");
            form[DocumentRecord::Kind] = "通知"_gbk;
            form[DocumentRecord::Secrecy] = "无"_gbk;
            form[DocumentRecord::Urgency] = "无"_gbk;
            form[DocumentRecord::IssuingUnit] = "某某人民法院"_gbk;
            form[DocumentRecord::CodeUnit] = "办公室"_gbk;
            form[DocumentRecord::CodeDate] = "20260105";
            form[DocumentRecord::Version] = "GB0626-2005";
            if (!outgoing.confirmRegistration())
                continue;                 // nothing proposed: the proposal waited too long
            view.list.markBarcodeMade(0); // what 生成条码 does to the row
            row = view.list.record(0);
            if (pause) {
                std::printf("proposed\t%s\t%s\n", gbkToUtf8(form[DocumentRecord::Number]).c_str(),
                            gbkToUtf8(form[DocumentRecord::CodeNumber]).c_str());
                std::fflush(stdout);
                std::string line;
                std::getline(std::cin, line);
            }
            saver.saveSelectedRows();
            saved = view.list.rowCount() == 0;
            if (!onlyWaitedTooLong(prompter.texts))
                break;
        }
        if (!saved || !onlyWaitedTooLong(prompter.texts)) {
            ++failures;
            std::printf("failed\t%d\t%s\n", i, prompter.texts.join(u'|').toStdString().c_str());
            continue;
        }
        std::printf("saved\t%s\t%s\t%s\n", gbkToUtf8(row[DocumentRecord::Number]).c_str(),
                    gbkToUtf8(row[DocumentRecord::CodeNumber]).c_str(), gbkToUtf8(row[DocumentRecord::Title]).c_str());
        std::fflush(stdout);
    }
    std::fprintf(stderr, "%d registrations tried again after waiting too long\n", retries);
    AdoDatabase::setActiveConnection(nullptr);
    return failures == 0 ? 0 : 1;
}
