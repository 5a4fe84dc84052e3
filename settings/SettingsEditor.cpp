#include "settings/SettingsEditor.h"

#include "platform/FileSystem.h"
#include "platform/UniqueFd.h"
#include "settings/SettingsFile.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ; // NOLINT: posix_spawn hands the environment on

namespace regdesk {
namespace {

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to)
{
    std::string out;
    out.reserve(text.size());
    std::size_t start = 0;
    for (std::size_t at = text.find(from); !from.empty() && at != std::string_view::npos; at = text.find(from, start)) {
        out.append(text.substr(start, at - start));
        out.append(to);
        start = at + from.size();
    }
    out.append(text.substr(start));
    return out;
}

// UTF-8 as an editor may have saved it: without a byte-order mark, LF lines.
std::string normalised(std::string_view utf8)
{
    if (utf8.starts_with("\xEF\xBB\xBF"))
        utf8.remove_prefix(3);
    return replaceAll(utf8, "\r\n", "\n");
}

std::vector<std::string_view> linesOf(std::string_view text)
{
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Length of the UTF-8 character at the start (1 for a byte that starts none).
std::size_t characterLength(std::string_view text)
{
    for (std::size_t length = 1; length <= std::min<std::size_t>(4, text.size()); ++length) {
        if (isValidUtf8(text.substr(0, length)))
            return length;
    }
    return 1;
}

std::string codePointName(std::string_view character)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(character[i]) & 0x3Fu; };
    unsigned codePoint = static_cast<unsigned char>(character[0]);
    if (character.size() == 2)
        codePoint = ((codePoint & 0x1Fu) << 6) | byte(1);
    else if (character.size() == 3)
        codePoint = ((codePoint & 0x0Fu) << 12) | (byte(1) << 6) | byte(2);
    else if (character.size() == 4)
        codePoint = ((codePoint & 0x07u) << 18) | (byte(1) << 12) | (byte(2) << 6) | byte(3);
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", codePoint);
    return name;
}

// Where in this line GBK has no place for a character; nullopt when it has for all.
std::optional<SettingsFinding> firstUnwritable(std::string_view line, int lineNumber)
{
    int column = 1;
    for (std::size_t at = 0; at < line.size(); ++column) {
        const std::size_t length = characterLength(line.substr(at));
        const std::string_view character = line.substr(at, length);
        if (!isValidUtf8(character))
            return SettingsFinding{SettingsFinding::Severity::Error, lineNumber,
                                   "character " + std::to_string(column) +
                                       ": this is not UTF-8 text; save the file as UTF-8"};
        if (utf8ToGbk(character) == "?" && character != "?")
            return SettingsFinding{SettingsFinding::Severity::Error, lineNumber,
                                   "character " + std::to_string(column) + ": \"" + std::string(character) + "\" (" +
                                       codePointName(character) + ") cannot be written in GBK"};
        at += length;
    }
    return std::nullopt;
}

// A folder of our own for the editor's copy: nobody else can read it, put a
// link into it or swap the file while the editor has it.
class PrivateFolder
{
public:
    PrivateFolder()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base == '/' ? base : "/tmp") + "/regdesk-settings-XXXXXX";
        if (::mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~PrivateFolder()
    {
        std::error_code ignored;
        if (!m_path.empty() && !m_kept)
            std::filesystem::remove_all(m_path, ignored); // links inside are removed, not followed
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    const std::string& path() const { return m_path; }
    void keep() { m_kept = true; }

private:
    std::string m_path;
    bool m_kept = false;
};

bool writePrivateFile(const std::string& path, std::string_view bytes)
{
    const UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    while (file && !bytes.empty()) {
        const ssize_t written = ::write(file.get(), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return file.get() >= 0;
}

// The terminal's Ctrl-C and Ctrl-\ belong to the editor while it runs, as
// with git: the editor handles them, and this process must live on to clean up.
class IgnoredTerminalSignals
{
public:
    IgnoredTerminalSignals()
    {
        struct sigaction ignore
        {
        };
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGINT, &ignore, &m_interrupt);
        ::sigaction(SIGQUIT, &ignore, &m_quit);
    }
    ~IgnoredTerminalSignals()
    {
        ::sigaction(SIGINT, &m_interrupt, nullptr);
        ::sigaction(SIGQUIT, &m_quit, nullptr);
    }
    IgnoredTerminalSignals(const IgnoredTerminalSignals&) = delete;
    IgnoredTerminalSignals& operator=(const IgnoredTerminalSignals&) = delete;

private:
    struct sigaction m_interrupt
    {
    };
    struct sigaction m_quit
    {
    };
};

// What stands at document.ini's name: nothing, the bytes of a regular file, or
// something that is no readable regular file (no bytes).
struct DiskState
{
    bool exists = false;
    std::optional<std::string> bytes;

    bool operator==(const DiskState&) const = default;
};

DiskState readSettings(const std::string& path)
{
    struct stat info
    {
    };
    if (::lstat(path.c_str(), &info) != 0)
        return {errno != ENOENT, std::nullopt};
    if (!S_ISREG(info.st_mode))
        return {true, std::nullopt};
    return {true, readRegularNativeFile(path, SettingsFile::kMaxFileBytes, FileLinks::Refuse)};
}

} // namespace

namespace SettingsText {

std::string toEditable(std::string_view gbk)
{
    return replaceAll(gbkToUtf8(gbk), "\r\n", "\n");
}

Converted fromEditable(std::string_view utf8)
{
    const std::string text = normalised(utf8);
    Converted converted;
    converted.gbk.reserve(text.size() + text.size() / 16);
    int lineNumber = 1;
    for (std::size_t start = 0; start < text.size(); ++lineNumber) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = std::string_view(text).substr(start, end - start);
        const GbkString gbk = utf8ToGbk(line);
        // Each character GBK cannot hold, and each bad byte, comes out as one more "?".
        if (std::count(gbk.begin(), gbk.end(), '?') != std::count(line.begin(), line.end(), '?')) {
            converted.refusal = firstUnwritable(line, lineNumber);
            if (converted.refusal) {
                converted.gbk.clear();
                return converted;
            }
        }
        converted.gbk += gbk;
        if (end < text.size())
            converted.gbk += "\r\n";
        start = end + 1;
    }
    return converted;
}

std::string lineDiff(std::string_view before, std::string_view after)
{
    const std::vector<std::string_view> a = linesOf(before);
    const std::vector<std::string_view> b = linesOf(after);
    std::size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head])
        ++head;
    std::size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    const std::size_t n = a.size() - head - tail;
    const std::size_t m = b.size() - head - tail;
    std::string out;
    const auto removed = [&](std::size_t i) {
        out.append("-").append(std::to_string(head + i + 1)).append(": ").append(a[head + i]).append("\n");
    };
    const auto added = [&](std::size_t j) {
        out.append("+").append(std::to_string(head + j + 1)).append(": ").append(b[head + j]).append("\n");
    };
    // A longest common subsequence of the middle; past a few million cells
    // (an edit all over a huge file) the middle is shown as replaced whole.
    if (n * m > 4'000'000) {
        for (std::size_t i = 0; i < n; ++i)
            removed(i);
        for (std::size_t j = 0; j < m; ++j)
            added(j);
        return out;
    }
    std::vector<std::vector<unsigned>> common(n + 1, std::vector<unsigned>(m + 1, 0));
    for (std::size_t i = n; i-- > 0;) {
        for (std::size_t j = m; j-- > 0;)
            common[i][j] =
                a[head + i] == b[head + j] ? common[i + 1][j + 1] + 1 : std::max(common[i + 1][j], common[i][j + 1]);
    }
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < n || j < m) {
        if (i < n && j < m && a[head + i] == b[head + j]) {
            ++i;
            ++j;
        } else if (j == m || (i < n && common[i + 1][j] >= common[i][j + 1])) {
            removed(i++);
        } else {
            added(j++);
        }
    }
    return out;
}

} // namespace SettingsText

std::string ShellEditorRunner::chosenEditor(const std::function<const char*(const char*)>& getenv,
                                            const std::function<bool(const char*)>& isInstalled)
{
    for (const char* name : {"VISUAL", "EDITOR"}) {
        const char* value = getenv(name);
        if (value && std::string_view(value).find_first_not_of(" \t") != std::string_view::npos)
            return value;
    }
    return isInstalled("nano") ? "nano" : "vi";
}

int ShellEditorRunner::edit(const std::string& nativePath)
{
    // The file's name is the script's "$1": whatever it holds, it is one argument.
    const std::string script = m_command + " \"$1\"";
    std::vector<char*> argv = {const_cast<char*>("sh"),
                               const_cast<char*>("-c"),
                               const_cast<char*>(script.c_str()),
                               const_cast<char*>("sh"),
                               const_cast<char*>(nativePath.c_str()),
                               nullptr};
    const IgnoredTerminalSignals ignored;
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGQUIT);
    ::posix_spawnattr_setsigdefault(&attributes, &defaults);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t child = 0;
    const int spawned = ::posix_spawn(&child, "/bin/sh", nullptr, &attributes, argv.data(), environ);
    ::posix_spawnattr_destroy(&attributes);
    if (spawned != 0)
        return -1;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int SettingsEditor::run()
{
    // The desk names its files in GBK, and so does the one file replacer.
    if (toNativePath(fromNativePath(m_path)) != m_path) {
        m_terminal.say("regdesk-admin: the path " + m_path + " cannot be written in GBK; the desk cannot use it\n");
        return 1;
    }
    const DiskState original = readSettings(m_path);
    if (original.exists && !original.bytes) {
        m_terminal.say("regdesk-admin: " + m_path +
                       " is not a regular file of at most 1 MiB that can be read (a link, a folder?); "
                       "edit the file itself\n");
        return 1;
    }
    const std::string bytes = original.bytes.value_or(std::string());
    const bool wasUtf8 = looksLikeUtf8(bytes);
    const std::string editable = wasUtf8 ? normalised(bytes) : SettingsText::toEditable(bytes);
    if (!original.exists)
        m_terminal.say(m_path + " does not exist yet; it is written when you save the text\n");
    if (wasUtf8)
        m_terminal.say(m_path + " is UTF-8 text, which the desk cannot read; it is written back as GBK\n");

    PrivateFolder folder;
    const std::string copy = folder.path() + "/document.ini";
    if (folder.path().empty() || !writePrivateFile(copy, editable)) {
        m_terminal.say(std::string("regdesk-admin: cannot make a private copy to edit: ") + std::strerror(errno) +
                       "\n");
        return 1;
    }

    SettingsText::Converted converted;
    std::string edited;
    for (;;) {
        const int status = m_editor.edit(copy);
        if (status != 0) {
            m_terminal.say("the editor ended with status " + std::to_string(status) +
                           (status == 127 ? " (not found: set VISUAL or EDITOR)" : "") + "; " + m_path +
                           " is unchanged\n");
            return 1;
        }
        const std::optional<std::string> saved = readRegularNativeFile(copy, kMaxEditedBytes, FileLinks::Refuse);
        if (!saved) {
            m_terminal.say("the edited copy is gone (or is not a file of at most 4 MiB); " + m_path +
                           " is unchanged\n");
            return 1;
        }
        edited = normalised(*saved);
        // An editor that adds the missing last line end has changed nothing.
        if (!wasUtf8 && (edited == editable || edited == editable + "\n")) {
            m_terminal.say("no changes; " + m_path + " is unchanged\n");
            return 0;
        }
        converted = SettingsText::fromEditable(edited);
        std::vector<SettingsFinding> findings;
        if (converted.refusal)
            findings.push_back(*converted.refusal);
        else
            findings = checkSettings(converted.gbk);
        if (converted.gbk.size() > SettingsFile::kMaxFileBytes)
            findings.push_back({SettingsFinding::Severity::Error, 0,
                                "the text is larger than 1 MiB in GBK; the desk would read it as empty"});
        for (const SettingsFinding& finding : findings)
            m_terminal.say(finding.toText() + "\n");
        if (!hasErrors(findings))
            break;
        if (!m_terminal.confirm("Edit again? [y/N] ")) {
            m_terminal.say(m_path + " is unchanged\n");
            return 1;
        }
    }

    const std::string changes = SettingsText::lineDiff(editable, edited);
    m_terminal.say("Changes to " + m_path + ":\n" +
                   (changes.empty() ? "(no line changed: the text is only written as GBK with CR LF)\n" : changes));
    if (!m_terminal.confirm("Write " + m_path + " (GBK, CR LF)? [y/N] ")) {
        m_terminal.say(m_path + " is unchanged\n");
        return 0;
    }
    if (readSettings(m_path) != original) {
        folder.keep();
        m_terminal.say("regdesk-admin: " + m_path +
                       " was changed by someone else while you edited it; it is not overwritten. Your text is kept "
                       "in " +
                       copy + " (UTF-8): run edit-settings again and copy your changes over\n");
        return 1;
    }
    const int failure = replaceFile(fromNativePath(m_path), converted.gbk, Durability::Synced);
    if (failure != 0) {
        folder.keep();
        m_terminal.say("regdesk-admin: cannot write " + m_path + ": " + std::strerror(failure) +
                       "; it is unchanged. Your text is kept in " + copy + "\n");
        return 1;
    }
    m_terminal.say("wrote " + m_path + "\n");
    return 0;
}

} // namespace regdesk
