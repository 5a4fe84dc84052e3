#include "people/PinyinIndex.h"

#include <gtest/gtest.h>
#include <map>
#include <set>

using namespace regdesk;

namespace {

struct NameCase
{
    const char* name;
    GbkString text;
    GbkString initials;
};

TEST(PinyinInitials, OfNames)
{
    const NameCase cases[] = {
        {"zhang san", "张三"_gbk, "ZS"},
        {"li si", "李四"_gbk, "LS"},
        {"ouyang", "欧阳"_gbk, "OY"},
        {"sima", "司马"_gbk, "SM"},
        {"shan read chan first", "单"_gbk, "C"},
        {"zeng read ceng first", "曾"_gbk, "C"},
        {"zha read cha first", "查"_gbk, "C"},
        {"xie read jie first", "解"_gbk, "J"},
        {"yue read le first", "乐"_gbk, "L"},
        {"qiu only", "仇"_gbk, "Q"},
        {"zhai read di first", "翟"_gbk, "D"},
        {"yu read wei first", "尉"_gbk, "W"},
        {"long vowel first", "长"_gbk, "C"},
        {"full-width comma", "\xA3\xAC", "Z"},
        {"full-width capital A", "\xA3\xC1", "Z"},
        {"GBK beyond GB2312", "\x81\x40", "Z"},
        {"one-byte name", "Li", ""},
        {"empty", "", ""},
        {"lone lead byte at the end", "张"_gbk + "\xD5", "ZZ"},
        // The walk keeps in step after a one-byte character; a walk in
        // two-byte steps would read C5 C8, the end of 张 and the start of 三.
        {"one-byte before two-byte", "A张三"_gbk, "ZS"},
        {"one-byte in between", "张三L李"_gbk, "ZSL"},
    };
    for (const NameCase& c : cases)
        EXPECT_EQ(PinyinIndex::initials(c.text), c.initials) << c.name;
}

// Rows of the syllable table by initial letter: the letter, its first row, its row count.
struct LetterRows
{
    char letter;
    int first;
    int count;
};
constexpr LetterRows kLetterRows[] = {
    {'A', 0, 5},    {'B', 5, 16},   {'C', 21, 34},  {'D', 55, 22},  {'E', 77, 4},   {'F', 81, 9},
    {'G', 90, 19},  {'H', 109, 19}, {'J', 128, 14}, {'K', 142, 18}, {'L', 160, 26}, {'M', 186, 20},
    {'N', 206, 25}, {'O', 231, 2},  {'P', 233, 17}, {'Q', 250, 15}, {'R', 265, 14}, {'S', 279, 35},
    {'T', 314, 19}, {'W', 333, 9},  {'X', 342, 14}, {'Y', 356, 15}, {'Z', 371, 36},
};

std::string character(unsigned code)
{
    return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

bool isGb2312Chinese(unsigned code)
{
    const unsigned lead = code >> 8, trail = code & 0xFF;
    return lead >= 0xB0 && lead <= 0xF7 && trail >= 0xA1 && trail <= 0xFE && !(code >= 0xD7FA && code <= 0xD7FE);
}

// Every character of the table with the rows that hold it, in row order.
std::map<unsigned, std::vector<int>> rowsByCharacter()
{
    std::map<unsigned, std::vector<int>> rows;
    for (int row = 0; row < PinyinIndex::kRowCount; ++row) {
        const std::string_view text = PinyinIndex::charactersOfRow(row);
        for (std::size_t at = 0; at < text.size(); at += 2)
            rows[static_cast<unsigned char>(text[at]) << 8 | static_cast<unsigned char>(text[at + 1])].push_back(row);
    }
    return rows;
}

std::vector<std::string> characters(const std::string& utf8)
{
    const GbkString gbk = utf8ToGbk(utf8);
    std::vector<std::string> out;
    for (std::size_t at = 0; at < gbk.size(); at += 2)
        out.push_back(gbk.substr(at, 2));
    return out;
}

TEST(PinyinTable, RowsOfEachLetterAreContiguous)
{
    int row = 0;
    for (const LetterRows& rows : kLetterRows) {
        ASSERT_EQ(rows.first, row) << rows.letter;
        for (; row < rows.first + rows.count; ++row) {
            EXPECT_EQ(PinyinIndex::letterOfRow(row), rows.letter) << row;
            EXPECT_EQ(PinyinIndex::syllableOfRow(row).front() - 'a' + 'A', rows.letter) << row;
        }
    }
    EXPECT_EQ(row, PinyinIndex::kRowCount);
    EXPECT_EQ(PinyinIndex::syllableOfRow(0), "a");
    EXPECT_EQ(PinyinIndex::syllableOfRow(406), "zuo");
}

TEST(PinyinTable, FirstCharacterOfEveryRow)
{
    const std::string firsts = "啊埃鞍肮凹"
                               "芭白斑邦苞杯奔蚌逼鞭标鳖彬兵柏堡"
                               "擦猜餐苍操厕参层插差搀昌超车郴撑吃充抽初揣川疮吹春戳差聪凑粗蹿摧村磋"
                               "搭大耽当刀德得澄的嗲颠碉跌丁丢东兜都端堆墩度"
                               "阿诶恩而"
                               "发藩坊菲芬丰佛否佛"
                               "噶该干冈篙盖给根耕工钩辜刮乖棺光瑰辊锅"
                               "蛤骸酣夯镐呵嘿痕哼轰喉核花槐欢荒灰荤和"
                               "给嘉歼虹蕉揭巾劲炯揪车捐嚼龟"
                               "喀开槛康考呵肯坑空抠枯夸会宽匡亏坤括"
                               "垃莱蓝琅捞勒勒棱厘俩联俩撩列琳棱溜咯龙楼六驴掠峦抡铬"
                               "呒妈埋埋芒猫么玫门萌眯棉苗蔑民明谬脉谋模"
                               "拿氖南囊挠哪馁嫩能嗯呢蔫娘鸟捏您柠牛脓耨奴女虐暖娜"
                               "哦欧"
                               "扒拍番膀抛呸喷砰辟扁飘撇拼冯泊剖堡"
                               "稽卡牵枪壳切钦亲琼仇趋圈缺鼽裙"
                               "然瓤饶惹壬扔日戎揉茹软蕊闰若"
                               "撒腮三桑搔塞森僧莎色掺墒鞘奢谁参乘匙收蔬刷率栓霜水吮数斯松搜苏酸尿孙莎"
                               "塌胎弹汤掏特藤梯天调贴厅通偷凸湍推囤说"
                               "挖歪蔓汪威瘟嗡挝恶"
                               "昔瞎铣降萧解薪省兄臭墟券削浚"
                               "压铅殃侥邪艾茵英哟拥幽蔚鸳乐员"
                               "匝栽咱藏遭责贼怎增查翟颤长朝遮珍蒸识中舟属挝拽传幢椎谆捉吱鬃邹租钻嘴尊撮";
    const std::vector<std::string> expected = characters(firsts);
    ASSERT_EQ(expected.size(), std::size_t{PinyinIndex::kRowCount});
    for (int row = 0; row < PinyinIndex::kRowCount; ++row)
        EXPECT_EQ(PinyinIndex::charactersOfRow(row).substr(0, 2), expected[static_cast<std::size_t>(row)]) << row;
}

TEST(PinyinTable, RowsGivenInFull)
{
    const std::pair<int, const char*> rows[] = {
        {0, "啊阿吖嗄腌锕"}, {3, "肮昂盎"}, {21, "擦嚓礤"}, {186, "呒"}, {231, "哦喔噢"},
    };
    for (const auto& [row, text] : rows)
        EXPECT_EQ(PinyinIndex::charactersOfRow(row), utf8ToGbk(text)) << row;
}

TEST(PinyinTable, HoldsEveryGb2312CharacterAndNoOther)
{
    int entries = 0;
    for (int row = 0; row < PinyinIndex::kRowCount; ++row) {
        const std::string_view text = PinyinIndex::charactersOfRow(row);
        ASSERT_EQ(text.size() % 2, 0u) << row;
        entries += static_cast<int>(text.size() / 2);
        // Code order puts level 1 before level 2, and a repeat could not pass it.
        for (std::size_t at = 2; at < text.size(); at += 2)
            EXPECT_LT(text.substr(at - 2, 2), text.substr(at, 2)) << row << " at " << at;
    }
    EXPECT_EQ(entries, 7178);

    const auto rows = rowsByCharacter();
    int polyphones = 0;
    for (const auto& [code, where] : rows) {
        EXPECT_TRUE(isGb2312Chinese(code)) << std::hex << code;
        polyphones += where.size() > 1 ? 1 : 0;
    }
    EXPECT_EQ(rows.size(), 6763u); // all of them, since no other character passes
    EXPECT_EQ(polyphones, 380);
}

TEST(PinyinTable, CharactersUnderSeveralLettersGetTheFirst)
{
    const std::pair<char, const char*> lists[] = {
        {'A', "阿艾拗腌"},
        {'B', "扒耙膀磅镑堡暴辟扁便泊秘泌刨炮屏埔陂埤堋芘蕃骠缏玢杓贲裨髟"},
        {'C', "参藏查掺颤长朝车乘澄匙臭传幢撮单剿刹盛伺畜攒曾喳种重兹坻茈嘬帱徵枞楂禅铛镡褚粢酢躜龇隹"},
        {'D', "弹翟调囤赡石提驮阽揲叨喋峒沌澹骀赕焘沓钿铤铫"},
        {'E', "恶哦铒锇"},
        {'F', "番繁冯否脯匚阝"},
        {'G', "镐蛤铬给龟柜合夹芥颈咖咯扛纶炔涡鬲嘏伽莞纥枸桧胲戆铪锞鹄鲑鹘"},
        {'H', "呵虹会咳吭溃吓巷行郇哕圜浒蚵"},
        {'J', "稽缉槛降侥解浚奇强茄圈系校亟谮陉堀苣荠峤廑犍胫锴袷矜颉筠趄龃瞿骱麇"},
        {'K', "卡壳隗凵"},
        {'L', "乐率弄泷漯栎"},
        {'M', "蔓乜渑玟祢鞔"},
        {'N', "尿啮疟喏锘"},
        {'O', "区喔"},
        {'P', "丬疋"},
        {'Q', "铅鞘券纤戌俟茜荨欹覃蝤蹊鲭鼽"},
        {'R', "葚"},
        {'S', "省识属术说宿厦栅折殖峙剡苕莘忪椹歙铊镯蛸"},
        {'T', "荑饧饨裼"},
        {'W', "尾蔚尉挝圩菀尢於"},
        {'X', "邪叶吁荥窨"},
        {'Y', "轧盅繇"},
    };
    std::map<std::string, char> expected;
    for (const auto& [letter, list] : lists) {
        for (const std::string& c : characters(list))
            expected[c] = letter;
    }
    ASSERT_EQ(expected.size(), 266u);

    std::map<std::string, char> found;
    for (const auto& [code, where] : rowsByCharacter()) {
        std::set<char> letters;
        for (int row : where)
            letters.insert(PinyinIndex::letterOfRow(row));
        if (letters.size() > 1)
            found[character(code)] = PinyinIndex::initials(character(code)).at(0);
    }
    EXPECT_EQ(found, expected);
}

TEST(PinyinTable, LevelOneLettersFollowCodeRanges)
{
    const std::pair<unsigned, char> ranges[] = {
        {0xB0A1, 'A'}, {0xB0C5, 'B'}, {0xB2C1, 'C'}, {0xB4EE, 'D'}, {0xB6EA, 'E'}, {0xB7A2, 'F'},
        {0xB8C1, 'G'}, {0xB9FE, 'H'}, {0xBBF7, 'J'}, {0xBFA6, 'K'}, {0xC0AC, 'L'}, {0xC2E8, 'M'},
        {0xC4C3, 'N'}, {0xC5B6, 'O'}, {0xC5BE, 'P'}, {0xC6DA, 'Q'}, {0xC8BB, 'R'}, {0xC8F6, 'S'},
        {0xCBFA, 'T'}, {0xCDDA, 'W'}, {0xCEF4, 'X'}, {0xD1B9, 'Y'}, {0xD4D1, 'Z'},
    };
    const auto rows = rowsByCharacter();
    for (unsigned code = 0xB0A1; code <= 0xD7F9; ++code) {
        if (!isGb2312Chinese(code))
            continue;
        char letter = 0;
        for (const auto& [first, rangeLetter] : ranges)
            letter = code >= first ? rangeLetter : letter;
        std::set<char> letters;
        for (int row : rows.at(code))
            letters.insert(PinyinIndex::letterOfRow(row));
        // Characters under several letters are checked above; 仇 gives Q.
        if (letters.size() == 1 && code != 0xB3F0) {
            EXPECT_EQ(PinyinIndex::initials(character(code)).at(0), letter) << std::hex << code;
        }
    }
    EXPECT_EQ(rows.at(0xB3F0), std::vector<int>{PinyinIndex::rowOf("仇"_gbk)});
    EXPECT_EQ(PinyinIndex::initials("仇"_gbk), "Q");
}

TEST(PinyinTable, LevelTwoCountsByLetter)
{
    const std::map<char, int> expected = {
        {'A', 36},  {'B', 136}, {'C', 200}, {'D', 141}, {'E', 25},  {'F', 80},  {'G', 146}, {'H', 143},
        {'J', 238}, {'K', 95},  {'L', 225}, {'M', 136}, {'N', 77},  {'O', 6},   {'P', 101}, {'Q', 161},
        {'R', 42},  {'S', 186}, {'T', 109}, {'W', 84},  {'X', 167}, {'Y', 262}, {'Z', 212},
    };
    std::map<char, int> found;
    for (unsigned code = 0xD8A1; code <= 0xF7FE; ++code) {
        if (isGb2312Chinese(code))
            ++found[PinyinIndex::initials(character(code)).at(0)];
    }
    EXPECT_EQ(found, expected);
}

} // namespace

// The look-up by code gives every two-byte GBK code the row (and so the
// initial) that a walk over the rows in order finds first.
TEST(PinyinTable, LookupByCodeAgreesWithAWalkOverTheRows)
{
    // The look-up as it was: a walk over the rows, entry by entry.
    const auto firstRowByWalk = [](const GbkString& character) {
        for (int row = 0; row < PinyinIndex::kRowCount; ++row) {
            const std::string_view text = PinyinIndex::charactersOfRow(row);
            for (std::size_t at = 0; at + 1 < text.size(); at += 2) {
                if (text[at] == character[0] && text[at + 1] == character[1])
                    return row;
            }
        }
        return -1;
    };
    int found = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const GbkString character{static_cast<char>(lead), static_cast<char>(trail)};
            const int row = firstRowByWalk(character);
            ASSERT_EQ(PinyinIndex::rowOf(character), row) << std::hex << lead << trail;
            const GbkString initial(1, row < 0 ? 'Z' : PinyinIndex::letterOfRow(row));
            ASSERT_EQ(PinyinIndex::initials(character), initial) << std::hex << lead << trail;
            found += row >= 0 ? 1 : 0;
        }
    }
    EXPECT_EQ(found, 6763);
}
