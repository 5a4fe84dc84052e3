#pragma once

#include "platform/Gbk.h"
#include "settings/SettingsCheck.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace regdesk {

// document.ini as an administrator edits it: UTF-8 with LF lines in the
// editor, GBK with CR LF lines on disk.
namespace SettingsText {

// GBK, CR LF -> UTF-8, LF. Bytes that are no GBK character come through as
// private-use characters and go back as the same bytes.
std::string toEditable(std::string_view gbk);

struct Converted
{
    GbkString gbk;
    std::optional<SettingsFinding> refusal; // the first character GBK cannot hold, or bad UTF-8
};

// UTF-8 (LF or CR LF lines, an optional byte-order mark) -> GBK, CR LF.
Converted fromEditable(std::string_view utf8);

// The lines that differ, as "-12: old" and "+12: new" (numbers of the old and
// new text); empty when the texts have the same lines.
std::string lineDiff(std::string_view before, std::string_view after);

} // namespace SettingsText

// Runs the administrator's editor on a file and waits for it.
class EditorRunner
{
public:
    virtual ~EditorRunner() = default;
    // The editor's exit status; -1 when it could not be started or was killed.
    virtual int edit(const std::string& nativePath) = 0;
};

// The editor a command line names: $VISUAL, else $EDITOR, else nano when it
// is installed, else vi. The value is run by /bin/sh as a command line with
// the file's name appended as one more argument ("$1", never put into the
// command's text), as git and crontab do, so "emacs -nw" or
// "code --wait" work.
class ShellEditorRunner final : public EditorRunner
{
public:
    explicit ShellEditorRunner(std::string command) : m_command(std::move(command)) {}

    // getenv is the environment's lookup (nullptr for an unset name).
    static std::string chosenEditor(const std::function<const char*(const char*)>& getenv,
                                    const std::function<bool(const char*)>& isInstalled);

    int edit(const std::string& nativePath) override;

private:
    std::string m_command;
};

// The administrator's terminal: messages out, yes-or-no answers in.
class EditorTerminal
{
public:
    virtual ~EditorTerminal() = default;
    virtual void say(std::string_view text) = 0;
    // True only for an answer that starts with "y" or "Y".
    virtual bool confirm(std::string_view question) = 0;
};

// regdesk-admin edit-settings: a private UTF-8 copy for the editor, the
// checks, the changes shown, and the file replaced whole only when the
// administrator agrees and nobody else changed it meanwhile.
class SettingsEditor
{
public:
    // What the editor may hand back; the desk itself reads at most 1 MiB.
    static constexpr std::size_t kMaxEditedBytes = std::size_t{4} << 20;

    SettingsEditor(std::string settingsPath, EditorRunner& editor, EditorTerminal& terminal)
        : m_path(std::move(settingsPath)), m_editor(editor), m_terminal(terminal)
    {}

    // 0 when document.ini was written or left as it was on purpose; 1 when
    // it was not written because of a failure or a refusal.
    int run();

private:
    std::string m_path;
    EditorRunner& m_editor;
    EditorTerminal& m_terminal;
};

} // namespace regdesk
