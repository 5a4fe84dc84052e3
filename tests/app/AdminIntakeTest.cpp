#include "IntakeFolder.h"
#include "TestDatabase.h"
#include "app/AdminCommands.h"
#include "db/RegisterStatements.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <set>

using namespace regdesk;
using namespace regdesk::test;

namespace {

std::string summary(int registered, int already, int noBarcode, int unreadable)
{
    return "registered: " + std::to_string(registered) + "\nalready registered: " + std::to_string(already) +
           "\nno barcode: " + std::to_string(noBarcode) + "\nunreadable: " + std::to_string(unreadable) + "\n";
}

TEST(AdminIntake, RegistersAFolderOnceAndNeverReplaces)
{
    TestDatabase register_;
    ASSERT_TRUE(register_.isOpen());
    DocumentRecord kept;
    kept[DocumentRecord::Number] = "R-1";
    kept[DocumentRecord::Title] = "登记在先"_gbk;
    ASSERT_TRUE(TestDatabase::insertIncoming(kept));
    QTemporaryDir files;
    const IntakeFolderContents made = makeIntakeFolder(files.path(), QStringLiteral("R-1"));
    ASSERT_EQ(made.files, 50);
    const std::vector<std::string> command = {"intake", register_.folder().path().toStdString(),
                                              files.path().toStdString()};

    AdminResult first = runAdminCommand(command);
    EXPECT_EQ(first.exitCode, 1) << first.errors; // the unreadable files
    const int fresh = made.numbers - 1;           // R-1 was there before
    EXPECT_TRUE(first.output.ends_with(summary(fresh, made.payloads - fresh, made.noBarcode, made.unreadable)))
        << first.output;
    EXPECT_NE(first.output.find("already registered: R-1 ("), std::string::npos);
    EXPECT_NE(first.errors.find("link.pdf"), std::string::npos);
    EXPECT_NE(first.errors.find("pipe.pdf"), std::string::npos);

    const AdminResult second = runAdminCommand(command);
    EXPECT_TRUE(second.output.ends_with(summary(0, made.payloads, made.noBarcode, made.unreadable))) << second.output;

    AdoDatabase::setActiveConnection(register_.database().connection());
    const auto rows = TestDatabase::rowsOf(RegisterStatements::incomingTable());
    ASSERT_EQ(static_cast<int>(rows.size()), made.numbers);
    std::set<GbkString> numbers;
    for (const auto& [number, title] : rows) {
        numbers.insert(number);
        if (number == "R-1")
            EXPECT_EQ(title, "登记在先"_gbk); // never replaced
        else
            EXPECT_EQ(title, "關於"_gbk + "\x85\x5E\x81\x7C" + "的通知"_gbk) << number;
    }
    EXPECT_EQ(static_cast<int>(numbers.size()), made.numbers);
}

TEST(AdminIntake, NeedsAFolderAndFiles)
{
    EXPECT_EQ(runAdminCommand({"intake"}).exitCode, 64);
    EXPECT_EQ(runAdminCommand({"intake", "/tmp"}).exitCode, 64);
    EXPECT_EQ(runAdminCommand({"intake", "/nonexistent/folder", "x.pdf"}).exitCode, 2);
}

} // namespace
