// Two desks on one register, each with its own connection, taking turns in
// one process: the number claims and the guarded save.
#include "FakeRegistrationView.h"
#include "TestDatabase.h"
#include "TestRecords.h"
#include "db/AdoRecordset.h"
#include "db/RegisterStatements.h"
#include "desk/DocumentNumbering.h"
#include "desk/SqlOutgoingRegister.h"
#include "desk/SqlRegisterStore.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>
#include <optional>

namespace regdesk::test {
namespace {

const GbkString kPrefix = "法〔2026〕"_gbk;
const std::vector<GbkString> kPrefixes = {kPrefix};
const CodeNumberLayout kLayout{"FY", 2, "2", "3"};
const GbkString kTable = RegisterStatements::outgoingTable();

class TwoDesks : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_db.isOpen());
        ASSERT_TRUE(m_other.openConnection(AdoDatabase::connectionStringFor(m_db.folder().gbkPath())));
    }
    void TearDown() override { AdoDatabase::setActiveConnection(m_db.database().connection()); }

    // Runs `work` as the second desk.
    template <typename Work> auto asOtherDesk(Work work)
    {
        AdoDatabase::setActiveConnection(m_other.connection());
        struct Back
        {
            TestDatabase& db;
            ~Back() { AdoDatabase::setActiveConnection(db.database().connection()); }
        } back{m_db};
        return work();
    }
    static NumberingProposal propose(OutgoingRegister& register_)
    {
        return DocumentNumbering::propose(kPrefix, kPrefixes, 2026, kLayout, register_);
    }
    // Saves a barcoded row of the proposal, as 保存 does after the picture.
    static bool save(SqlRegisterStore& store, const NumberingProposal& proposal)
    {
        DocumentRecord row = registerRow(*DocumentNumbering::nextNumber(proposal.lastNumber), "题"_gbk, "20260105");
        row[DocumentRecord::CodeNumber] = proposal.codeNumber;
        const bool replace = store.isRegistered(kTable, row[DocumentRecord::Number]);
        return store.insert(kTable, row, true, replace);
    }
    static int claims()
    {
        AdoRecordset count;
        count.openQuery("SELECT count(*) FROM 号码占用表"_gbk);
        return std::stoi("0" + count.fieldText(0));
    }

    TestDatabase m_db{GetParam()};
    FakePrompter m_otherPrompter;
    AdoDatabase m_other{m_otherPrompter};
};

INSTANTIATE_TEST_SUITE_P(Databases, TwoDesks, ::testing::Values(Backend::Sqlite, Backend::Postgres), BackendName());

TEST_P(TwoDesks, ProposalsAtTheSameMomentDifferAndAProposalAnewGivesBackTheOld)
{
    SqlOutgoingRegister first;
    std::optional<SqlOutgoingRegister> second(std::in_place);
    const NumberingProposal a = propose(first);
    const NumberingProposal b = asOtherDesk([&] { return propose(*second); });
    EXPECT_EQ(a.lastNumber, "法〔2026〕0号"_gbk);
    EXPECT_EQ(a.codeNumber, "FY26001");
    EXPECT_EQ(b.lastNumber, "法〔2026〕1号"_gbk); // 1 is the first desk's: the second gets 2
    EXPECT_EQ(b.codeNumber, "FY26002");
    // Proposing anew, the second desk gives 2 back and takes it again.
    EXPECT_EQ(asOtherDesk([&] { return propose(*second); }).codeNumber, "FY26002");
    EXPECT_EQ(claims(), 4);
    second.reset(); // a desk that ends gives back what it holds
    EXPECT_EQ(claims(), 2);
    EXPECT_TRUE(m_db.prompter().shown().empty());
}

TEST_P(TwoDesks, ANumberAnotherDeskHoldsOrSavedMeanwhileIsNeverOverwritten)
{
    SqlOutgoingRegister first;
    SqlRegisterStore firstStore;
    SqlRegisterStore secondStore;
    const NumberingProposal proposal = propose(first);
    // A number typed on the other desk that this one holds is refused there.
    EXPECT_FALSE(asOtherDesk([&] { return save(secondStore, proposal); }));
    ASSERT_EQ(m_otherPrompter.texts().size(), 1);
    EXPECT_TRUE(m_otherPrompter.texts()[0].contains(QStringLiteral("已由另一登记台取用")))
        << m_otherPrompter.texts()[0].toStdString();
    EXPECT_TRUE(save(firstStore, proposal));

    // Both clerks agree to overwrite the saved number; the second overwrite
    // would replace the first desk's new registration, and is refused.
    DocumentRecord mine = registerRow("法〔2026〕1号"_gbk, "本台"_gbk);
    DocumentRecord theirs = registerRow("法〔2026〕1号"_gbk, "他台"_gbk);
    ASSERT_TRUE(firstStore.isRegistered(kTable, mine[DocumentRecord::Number]));
    ASSERT_TRUE(asOtherDesk([&] { return secondStore.isRegistered(kTable, theirs[DocumentRecord::Number]); }));
    EXPECT_TRUE(firstStore.insert(kTable, mine, true, true));
    EXPECT_FALSE(asOtherDesk([&] { return secondStore.insert(kTable, theirs, true, true); }));
    EXPECT_TRUE(m_otherPrompter.texts().back().contains(QStringLiteral("刚由另一登记台登记")));
    EXPECT_EQ(TestDatabase::rowsOf(kTable),
              (std::vector<std::pair<GbkString, GbkString>>{{"法〔2026〕1号"_gbk, "本台"_gbk}}));
    // Nor does a desk that saw the number free insert a second record of it.
    EXPECT_FALSE(asOtherDesk([&] { return secondStore.insert(kTable, theirs, true, false); }));
    EXPECT_EQ(TestDatabase::rowsOf(kTable).size(), 1u);
}

TEST_P(TwoDesks, ASavedCodeNumberIsNotProposedAgainBeforeTheCountReachesIt)
{
    SqlRegisterStore secondStore;
    {
        SqlOutgoingRegister first;
        SqlOutgoingRegister second;
        EXPECT_EQ(propose(first).codeNumber, "FY26001");
        const NumberingProposal b = asOtherDesk([&] { return propose(second); });
        ASSERT_EQ(b.codeNumber, "FY26002");
        ASSERT_TRUE(asOtherDesk([&] { return save(secondStore, b); }));
    } // the first desk ends without saving FY26001: the register counts one barcode
    SqlOutgoingRegister later;
    EXPECT_EQ(propose(later).codeNumber, "FY26003");
}

} // namespace
} // namespace regdesk::test
