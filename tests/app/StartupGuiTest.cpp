// The form's first step: without a register database it tells the clerk and closes.
#include "FakePrompter.h"
#include "TempDeskFolder.h"
#include "db/AdoDatabase.h"
#include "desk/RegistrationDialog.h"

#include <QSignalSpy>
#include <QtTest>

using namespace regdesk;
using regdesk::test::FakePrompter;
using regdesk::test::TempDeskFolder;

class StartupGuiTest : public QObject
{
    Q_OBJECT

private slots:
    void missingDatabaseShowsBothMessagesAndCloses()
    {
        TempDeskFolder folder;
        folder.useAsProgramDirectory();
        FakePrompter prompter;
        AdoDatabase database(prompter);
        RegistrationDialog form(database, prompter);
        QSignalSpy rejected(&form, &QDialog::rejected);
        form.show();
        QTRY_COMPARE(rejected.count(), 1);
        QTRY_VERIFY(!form.isVisible());

        const QStringList texts = prompter.texts();
        QCOMPARE(texts.size(), 2);
        QVERIFY(texts[0].startsWith(QStringLiteral("发生错误:\n\n")));
        QCOMPARE(texts[1], QStringLiteral("连接服务器失败，请重新配置！"));
        QCOMPARE(prompter.captions(), (QStringList{QStringLiteral("系统提示"), QStringLiteral("系统提示")}));
        QCOMPARE(prompter.shown()[1].owner, &form);
        QVERIFY(!AdoDatabase::activeConnection());
        QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("data.db"))));
    }

    void existingDatabaseBecomesTheActiveConnection()
    {
        TempDeskFolder folder;
        QVERIFY(folder.createDatabase());
        folder.useAsProgramDirectory();
        FakePrompter prompter;
        AdoDatabase database(prompter);
        RegistrationDialog form(database, prompter);
        form.show();
        QTRY_VERIFY(AdoDatabase::activeConnection() != nullptr);
        QVERIFY(form.isVisible());
        QCOMPARE(form.windowTitle(), QStringLiteral("收文登记"));
        QVERIFY(prompter.shown().empty());
        form.close();
        AdoDatabase::setActiveConnection(nullptr);
    }
};

QTEST_MAIN(StartupGuiTest)
#include "StartupGuiTest.moc"
