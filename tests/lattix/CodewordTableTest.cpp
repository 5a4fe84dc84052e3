#include "CodewordTable.h"

#include <array>
#include <cstdint>
#include <gtest/gtest.h>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kModules = 17;
constexpr std::array<int, 3> kClusterNumbers = {0, 3, 6};

// Bar and space widths of a 17-module pattern, leftmost first.
std::vector<int> widthsOf(std::uint32_t pattern)
{
    std::vector<int> widths;
    int previous = -1;
    for (int bit = kModules - 1; bit >= 0; --bit) {
        const int module = static_cast<int>((pattern >> bit) & 1U);
        if (module == previous) {
            ++widths.back();
        } else {
            widths.push_back(1);
            previous = module;
        }
    }
    return widths;
}

std::string describe(int cluster, int codeword)
{
    return "cluster " + std::to_string(kClusterNumbers[cluster]) + " codeword " + std::to_string(codeword);
}

TEST(CodewordTable, EveryPatternIsFourBarsAndFourSpacesOverSeventeenModules)
{
    for (int cluster = 0; cluster < 3; ++cluster) {
        for (int codeword = 0; codeword < 929; ++codeword) {
            const std::uint32_t pattern = lattix::kCodewordPatterns[cluster][codeword];
            SCOPED_TRACE(describe(cluster, codeword));
            EXPECT_EQ(pattern >> kModules, 0U);
            EXPECT_EQ((pattern >> (kModules - 1)) & 1U, 1U) << "must start with a bar";
            EXPECT_EQ(pattern & 1U, 0U) << "must end with a space";
            const std::vector<int> widths = widthsOf(pattern);
            ASSERT_EQ(widths.size(), 8U);
            int sum = 0;
            for (int width : widths) {
                EXPECT_GE(width, 1);
                EXPECT_LE(width, 6);
                sum += width;
            }
            EXPECT_EQ(sum, kModules);
        }
    }
}

TEST(CodewordTable, ClusterNumberOfEveryPatternMatchesItsCluster)
{
    for (int cluster = 0; cluster < 3; ++cluster) {
        for (int codeword = 0; codeword < 929; ++codeword) {
            const std::vector<int> w = widthsOf(lattix::kCodewordPatterns[cluster][codeword]);
            ASSERT_EQ(w.size(), 8U) << describe(cluster, codeword);
            // ISO/IEC 15438: (b1 - b2 + b3 - b4 + 9) mod 9 over the bar widths.
            EXPECT_EQ((w[0] - w[2] + w[4] - w[6] + 9) % 9, kClusterNumbers[cluster]) << describe(cluster, codeword);
        }
    }
}

TEST(CodewordTable, PatternsAreDistinctWithinAndAcrossClusters)
{
    std::set<std::uint32_t> all;
    for (int cluster = 0; cluster < 3; ++cluster) {
        const std::set<std::uint32_t> own(std::begin(lattix::kCodewordPatterns[cluster]),
                                          std::end(lattix::kCodewordPatterns[cluster]));
        EXPECT_EQ(own.size(), 929U) << "cluster " << kClusterNumbers[cluster];
        all.insert(own.begin(), own.end());
    }
    EXPECT_EQ(all.size(), 3U * 929U);
}

struct KnownPattern
{
    const char* name;
    int cluster;
    int codeword;
    std::vector<int> widths;

    friend void PrintTo(const KnownPattern& known, std::ostream* out) { *out << known.name; }
};

class CodewordTableKnown : public testing::TestWithParam<KnownPattern>
{
};

TEST_P(CodewordTableKnown, MatchesPublishedWidths)
{
    const KnownPattern& known = GetParam();
    EXPECT_EQ(widthsOf(lattix::kCodewordPatterns[known.cluster][known.codeword]), known.widths);
}

INSTANTIATE_TEST_SUITE_P(PublishedExamples, CodewordTableKnown,
                         testing::Values(KnownPattern{"Cluster0Codeword0", 0, 0, {3, 1, 1, 1, 1, 1, 3, 6}},
                                         KnownPattern{"Cluster3Codeword0", 1, 0, {5, 1, 1, 1, 1, 1, 2, 5}},
                                         KnownPattern{"Cluster6Codeword0", 2, 0, {2, 1, 1, 1, 1, 1, 5, 5}}),
                         [](const testing::TestParamInfo<KnownPattern>& row) { return std::string(row.param.name); });

} // namespace
