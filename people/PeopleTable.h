#pragma once

#include "platform/Gbk.h"

#include <vector>

namespace regdesk {

// One row of 人员信息表.
struct Person
{
    GbkString name;     // 姓名
    GbkString initials; // 简称
};

// The personnel table as the import replaces it.
class PeopleTable
{
public:
    virtual ~PeopleTable() = default;
    // Replaces every row by `people`, in order, as one unit: on any failure
    // the old rows stay. Failures of statements are reported by the database
    // layer.
    virtual bool replaceAll(const std::vector<Person>& people) = 0;
};

// 人员信息表 on the active connection.
class SqlPeopleTable final : public PeopleTable
{
public:
    bool replaceAll(const std::vector<Person>& people) override;
};

} // namespace regdesk
