#include "settings/SettingsEditor.h"

#include "platform/FileSystem.h"

#include <QTemporaryDir>
#include <deque>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace regdesk::test {
namespace {

// The sample as the set-up writes it into a desk folder: GBK with CR LF lines.
std::string sampleSettings()
{
    std::ifstream file(REGDESK_SAMPLE_SETTINGS, std::ios::binary);
    std::string utf8((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string withCrLf;
    for (const char c : utf8) {
        if (c == '\n')
            withCrLf += '\r';
        withCrLf += c;
    }
    const std::string marker = "@DESK_FOLDER@";
    withCrLf.replace(withCrLf.find(marker), marker.size(), "/srv/登记");
    return utf8ToGbk(withCrLf);
}

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

class FakeTerminal final : public EditorTerminal
{
public:
    void say(std::string_view text) override { said += text; }
    bool confirm(std::string_view question) override
    {
        questions.emplace_back(question);
        if (answers.empty())
            return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::deque<bool> answers;
    std::vector<std::string> questions;
    std::string said;
};

TEST(SettingsText, SampleRoundTripsByteForByte)
{
    const std::string sample = sampleSettings();
    ASSERT_NE(sample.find("\r\n"), std::string::npos);
    const std::string editable = SettingsText::toEditable(sample);
    EXPECT_EQ(editable.find('\r'), std::string::npos);
    EXPECT_NE(editable.find("[发文设置]\n制码单位=某某市中级人民法院\n"), std::string::npos);
    const SettingsText::Converted back = SettingsText::fromEditable(editable);
    ASSERT_FALSE(back.refusal);
    EXPECT_EQ(back.gbk, sample);
    // Bytes that are no GBK character come back as they were.
    const std::string damaged = "[PDF]\r\nA=\x81\r\nB=\xFF\x30\r\n";
    EXPECT_EQ(SettingsText::fromEditable(SettingsText::toEditable(damaged)).gbk, damaged);
}

TEST(SettingsText, EditorsLineEndsAndByteOrderMarkAreTakenAsLf)
{
    EXPECT_EQ(SettingsText::fromEditable("\xEF\xBB\xBF[发文设置]\r\n标题=关于\n").gbk,
              "[发文设置]\r\n标题=关于\r\n"_gbk);
    EXPECT_EQ(SettingsText::fromEditable("标题=关于").gbk, "标题=关于"_gbk);
}

struct RefusalCase
{
    const char* name;
    const char* text;
    const char* expected;
};

class SettingsTextRefusal : public ::testing::TestWithParam<RefusalCase>
{
};

TEST_P(SettingsTextRefusal, NamesTheLineAndCharacter)
{
    const SettingsText::Converted converted = SettingsText::fromEditable(GetParam().text);
    ASSERT_TRUE(converted.refusal);
    EXPECT_TRUE(converted.gbk.empty());
    EXPECT_EQ(converted.refusal->toText(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, SettingsTextRefusal,
    ::testing::Values(RefusalCase{"Emoji", "[发文设置]\n标题=关于😀\n",
                                  "error: line 2: character 6: \"😀\" (U+1F600) cannot be written in GBK"},
                      RefusalCase{"HangulAfterAQuestionMark", "[a]\r\n\r\n?=?한\r\n",
                                  "error: line 3: character 4: \"한\" (U+D55C) cannot be written in GBK"},
                      RefusalCase{"BadUtf8", "[a]\nb=\xE5\x85\n",
                                  "error: line 2: character 3: this is not UTF-8 text; save the file as UTF-8"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(SettingsText, LineDiffShowsOnlyTheChangedLines)
{
    EXPECT_EQ(SettingsText::lineDiff("a\nb\nc\n", "a\nb\nc\n"), "");
    EXPECT_EQ(SettingsText::lineDiff("a\nb\nc\nd\n", "a\nB\nc\nd\ne\n"), "-2: b\n+2: B\n+5: e\n");
    EXPECT_EQ(SettingsText::lineDiff("a\nb\nc\n", "a\nc\n"), "-2: b\n");
}

TEST(ShellEditorRunner, ChoosesVisualThenEditorThenNanoThenVi)
{
    const auto chosen = [](const char* visual, const char* editor, bool nano) {
        return ShellEditorRunner::chosenEditor(
            [&](const char* name) { return std::string_view(name) == "VISUAL" ? visual : editor; },
            [&](const char*) { return nano; });
    };
    EXPECT_EQ(chosen("emacs -nw", "vim", true), "emacs -nw");
    EXPECT_EQ(chosen(nullptr, "vim", true), "vim");
    EXPECT_EQ(chosen(" ", "vim", true), "vim");
    EXPECT_EQ(chosen(nullptr, nullptr, true), "nano");
    EXPECT_EQ(chosen(nullptr, "", false), "vi");
}

// edit-settings on a desk folder with the sample, the editor a script.
class SettingsEditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("document.ini")).toStdString();
        writeSettings(sampleSettings());
    }

    void writeSettings(const std::string& bytes) { std::ofstream(m_path, std::ios::binary) << bytes; }
    std::string settings() const { return readRegularNativeFile(m_path, 1 << 20).value_or("(none)"); }

    // Runs edit-settings with a shell script as the editor ("$1" is the copy).
    int edit(const std::string& script)
    {
        const std::string editor = m_dir.filePath(QStringLiteral("editor.sh")).toStdString();
        std::ofstream(editor) << "#!/bin/sh\n" << script << "\n";
        ::chmod(editor.c_str(), 0700);
        ShellEditorRunner runner("'" + editor + "'");
        return SettingsEditor(m_path, runner, terminal).run();
    }

    QTemporaryDir m_dir;
    std::string m_path;
    FakeTerminal terminal;
};

TEST_F(SettingsEditorTest, AnEditorThatChangesNothingWritesNothing)
{
    const std::string probe = m_dir.filePath(QStringLiteral("probe")).toStdString();
    EXPECT_EQ(edit("stat -c '%a %n' \"$(dirname \"$1\")\" \"$1\" > '" + probe +
                   "'; grep -c 制码单位=某某市 \"$1\" >> '" + probe + "'"),
              0);
    EXPECT_EQ(settings(), sampleSettings());
    EXPECT_TRUE(terminal.questions.empty());
    EXPECT_NE(terminal.said.find("no changes"), std::string::npos) << terminal.said;
    // The copy was private, UTF-8, and is gone.
    std::ifstream seen(probe);
    std::string folderMode, folder, fileMode, file, matches;
    seen >> folderMode >> folder >> fileMode >> file >> matches;
    EXPECT_EQ(folderMode, "700");
    EXPECT_EQ(fileMode, "600");
    EXPECT_EQ(matches, "1");
    EXPECT_FALSE(fileExists(fromNativePath(folder)));
}

TEST_F(SettingsEditorTest, AChangedValueIsShownAndWrittenAsGbkWithCrLf)
{
    ::chmod(m_path.c_str(), 0640);
    terminal.answers = {true};
    EXPECT_EQ(edit("sed -i 's/^Width=60$/Width=70/; s/^标题=关于$/标题=关于表彰/' \"$1\""), 0);
    std::string expected = replaced(sampleSettings(), "Width=60\r\n", "Width=70\r\n");
    expected = replaced(expected, "标题=关于\r\n"_gbk, "标题=关于表彰\r\n"_gbk);
    EXPECT_EQ(settings(), expected);
    EXPECT_NE(terminal.said.find(": 标题=关于\n+"), std::string::npos) << terminal.said;
    EXPECT_NE(terminal.said.find(": Width=60\n+"), std::string::npos) << terminal.said;
    struct stat info
    {
    };
    ASSERT_EQ(::stat(m_path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(SettingsEditorTest, RefusedTextsAreNotWritten)
{
    const struct
    {
        const char* name;
        const char* script;
        std::vector<bool> answers;
        const char* said;
    } cases[] = {
        {"emoji",
         "sed -i 's/^标题=关于$/标题=关于😀/' \"$1\"",
         {false},
         "character 6: \"😀\" (U+1F600) cannot be written in GBK"},
        {"out of range", "sed -i 's/^Width=60$/Width=0/' \"$1\"", {false}, "PDF/Width=0 is out of range"},
        {"declined", "sed -i 's/^Width=60$/Width=70/' \"$1\"", {false}, "is unchanged"},
        {"editor failed", "echo Width=70 >> \"$1\"; exit 3", {}, "the editor ended with status 3"},
        {"copy removed", "rm \"$1\"", {}, "the edited copy is gone"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        terminal = FakeTerminal();
        terminal.answers.assign(row.answers.begin(), row.answers.end());
        const int status = edit(row.script);
        EXPECT_EQ(status, std::string_view(row.name) == "declined" ? 0 : 1);
        EXPECT_EQ(settings(), sampleSettings());
        EXPECT_NE(terminal.said.find(row.said), std::string::npos) << terminal.said;
    }
}

TEST_F(SettingsEditorTest, AFixAfterARefusalIsWrittenOnTheSecondRound)
{
    const std::string round = m_dir.filePath(QStringLiteral("round")).toStdString();
    terminal.answers = {true, true};
    EXPECT_EQ(edit("if [ -e '" + round + "' ]; then sed -i 's/^Width=0$/Width=50/' \"$1\"; else touch '" + round +
                   "'; sed -i 's/^Width=60$/Width=0/' \"$1\"; fi"),
              0);
    EXPECT_EQ(settings(), replaced(sampleSettings(), "Width=60\r\n", "Width=50\r\n"));
    EXPECT_EQ(terminal.questions.size(), 2u);
}

TEST_F(SettingsEditorTest, AFileChangedMeanwhileIsNotOverwritten)
{
    terminal.answers = {true};
    const std::string other = "[PDF]\r\nWidth=55\r\n";
    EXPECT_EQ(edit("sed -i 's/^Width=60$/Width=70/' \"$1\"; printf '" + std::string("[PDF]\\r\\nWidth=55\\r\\n") +
                   "' > '" + m_path + "'"),
              1);
    EXPECT_EQ(settings(), other);
    // The administrator's text is kept for another try.
    const std::size_t at = terminal.said.find("kept in ");
    ASSERT_NE(at, std::string::npos) << terminal.said;
    const std::string kept = terminal.said.substr(at + 8, terminal.said.find(' ', at + 8) - at - 8);
    EXPECT_NE(readRegularNativeFile(kept, 1 << 20).value_or("").find("Width=70\n"), std::string::npos) << kept;
    std::filesystem::remove_all(std::filesystem::path(kept).parent_path());
}

TEST_F(SettingsEditorTest, AUtf8FileIsWrittenBackAsGbk)
{
    writeSettings("[发文设置]\n标题=关于\n");
    terminal.answers = {true};
    EXPECT_EQ(edit("exit 0"), 0);
    EXPECT_EQ(settings(), "[发文设置]\r\n标题=关于\r\n"_gbk);
    EXPECT_NE(terminal.said.find("is UTF-8 text"), std::string::npos) << terminal.said;
}

TEST_F(SettingsEditorTest, ALinkIsNotEditedThrough)
{
    const std::string target = m_dir.filePath(QStringLiteral("elsewhere.ini")).toStdString();
    ASSERT_EQ(::rename(m_path.c_str(), target.c_str()), 0);
    ASSERT_EQ(::symlink(target.c_str(), m_path.c_str()), 0);
    EXPECT_EQ(edit("echo Width=70 >> \"$1\""), 1);
    EXPECT_NE(terminal.said.find("is not a regular file"), std::string::npos) << terminal.said;
    EXPECT_EQ(readRegularNativeFile(target, 1 << 20), sampleSettings());
}

TEST_F(SettingsEditorTest, AFolderNameGbkCannotHoldIsRefused)
{
    // The one file replacer takes GBK names: "?" in place of the emoji would name another folder.
    const std::string folder = m_dir.filePath(QStringLiteral("桌😀")).toStdString();
    const std::string lookalike = m_dir.filePath(QStringLiteral("桌?")).toStdString();
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    ASSERT_TRUE(std::filesystem::create_directory(lookalike));
    std::ofstream(folder + "/document.ini", std::ios::binary) << sampleSettings();
    ShellEditorRunner runner("sed -i 's/^Width=60$/Width=70/'");
    terminal.answers = {true};
    EXPECT_EQ(SettingsEditor(folder + "/document.ini", runner, terminal).run(), 1);
    EXPECT_NE(terminal.said.find("cannot be written in GBK"), std::string::npos) << terminal.said;
    EXPECT_EQ(readRegularNativeFile(folder + "/document.ini", 1 << 20), sampleSettings());
    EXPECT_FALSE(std::filesystem::exists(lookalike + "/document.ini"));
}

} // namespace
} // namespace regdesk::test
