#pragma once

// What the benchmarks share: a prompter that prints its messages, timing
// helpers, and the words of the generated registers.

#include "platform/Prompter.h"

#include <QElapsedTimer>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace regdesk::bench {

// Messages go to stderr: a benchmark has nobody to click boxes.
class PrintingPrompter final : public Prompter
{
public:
    Answer ask(QWidget*, const Message& message) override
    {
        std::fprintf(stderr, "message: %s\n", message.text.toUtf8().constData());
        return message.defaultAnswer;
    }
    int closeMessages(const QString&) override { return 0; }
    QString openFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
};

inline double milliseconds(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// splitmix64: independent-looking fields from one record number.
inline std::uint64_t mixed(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// Words that occur nowhere else in the generated text, so that the hits of a
// search are known: a subject of 100 (in 标题), a drafter of 100 (备注), a
// recipient of 10 (主送) and a level of 10 (发布层次).
inline constexpr std::array<const char*, 10> kFirst = {"甲", "乙", "丙", "丁", "戊", "己", "庚", "辛", "壬", "癸"};
inline constexpr std::array<const char*, 10> kSecond = {"鹤", "鹭", "鸥", "鹏", "鹊", "鸽", "鹰", "雁", "燕", "莺"};
inline constexpr std::array<const char*, 10> kSurname = {"赵", "钱", "孙", "李", "周", "吴", "郑", "王", "冯", "陈"};
inline constexpr std::array<const char*, 10> kGiven = {"松", "柏", "桐", "桦", "楠", "槐", "榆", "杉", "桂", "樟"};
inline constexpr std::array<const char*, 10> kUnits = {"东城区", "西城区", "南岸区", "北湖区", "中山区",
                                                       "江北县", "河西县", "山前县", "林口县", "海滨县"};
inline constexpr std::array<const char*, 10> kLevels = {"一类", "二类", "三类", "四类", "五类",
                                                        "六类", "七类", "八类", "九类", "十类"};
inline constexpr std::array<const char*, 5> kPrefixes = {"中法发", "中法办", "中法函", "市委发", "区府发"};

inline std::string subject(std::uint64_t r)
{
    return std::string(kFirst[r % 100 / 10]) + kSecond[r % 10];
}

inline std::string drafter(std::uint64_t r)
{
    return std::string(kSurname[r % 100 / 10]) + kGiven[r % 10];
}

} // namespace regdesk::bench
