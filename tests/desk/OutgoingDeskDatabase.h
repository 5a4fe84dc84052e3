#pragma once

#include "FakePrompter.h"
#include "TempDeskFolder.h"
#include "db/AdoDatabase.h"
#include "db/AdoRecordset.h"
#include "db/DocumentRecord.h"
#include "db/RegisterStatements.h"

#include <gtest/gtest.h>

namespace regdesk::test {

// A fresh data.db in a temporary desk folder, open as the active connection.
class OutgoingDeskDatabase : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.createDatabase());
        ASSERT_TRUE(m_database.openConnection(AdoDatabase::connectionStringFor(m_folder.gbkPath())));
        AdoDatabase::setActiveConnection(m_database.connection());
    }
    void TearDown() override { AdoDatabase::setActiveConnection(nullptr); }

    static DocumentRecord outgoingRow(const GbkString& number, const GbkString& title,
                                      const GbkString& codeDate = "20260105", const GbkString& barcodeMade = "是"_gbk)
    {
        DocumentRecord row;
        row[DocumentRecord::Number] = number;
        row[DocumentRecord::Title] = title;
        row[DocumentRecord::CodeDate] = codeDate;
        row.barcodeMade = barcodeMade;
        return row;
    }

    static bool run(const GbkString& sql)
    {
        AdoRecordset statement;
        return statement.openQuery(sql);
    }

    // Rows of a table as (发文号, 标题), in 发文号 order.
    static std::vector<std::pair<GbkString, GbkString>> rowsOf(const GbkString& table)
    {
        std::vector<std::pair<GbkString, GbkString>> rows;
        AdoRecordset records;
        if (!records.openQuery(RegisterStatements::selectRegister(table)))
            return rows;
        for (records.moveFirst(); !records.isEof(); records.moveNext())
            rows.emplace_back(records.fieldText(0), records.fieldText(1));
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    FakePrompter m_prompter;
    TempDeskFolder m_folder;
    AdoDatabase m_database{m_prompter};
};

} // namespace regdesk::test
