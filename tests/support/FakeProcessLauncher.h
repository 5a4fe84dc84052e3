#pragma once

#include "platform/ProcessLauncher.h"

#include <functional>

namespace regdesk::test {

// Records what would have been started; the test decides when the program
// ends and what it leaves behind (onStart can write its output files).
class FakeProcessLauncher final : public ProcessLauncher
{
public:
    struct Start
    {
        GbkString program;
        std::vector<GbkString> arguments;
        GbkString workingDirectory;
    };
    struct State
    {
        bool ended = false;
        std::string errorOutput;
    };

    std::unique_ptr<LaunchedProcess> start(const GbkString& program, const std::vector<GbkString>& arguments,
                                           const GbkString& workingDirectory) override
    {
        m_starts.push_back({program, arguments, workingDirectory});
        m_state = std::make_shared<State>();
        m_state->ended = m_endAtOnce;
        if (m_onStart)
            m_onStart(m_starts.back());
        return std::make_unique<Process>(m_state);
    }

    void onStart(std::function<void(const Start&)> hook) { m_onStart = std::move(hook); }
    void endAtOnce(bool ended) { m_endAtOnce = ended; }
    // The program started last.
    State& current() { return *m_state; }
    const std::vector<Start>& starts() const { return m_starts; }

private:
    class Process final : public LaunchedProcess
    {
    public:
        explicit Process(std::shared_ptr<State> state) : m_state(std::move(state)) {}
        bool hasEnded() override { return m_state->ended; }
        std::string errorOutput() override { return m_state->errorOutput; }

    private:
        std::shared_ptr<State> m_state;
    };

    std::vector<Start> m_starts;
    std::shared_ptr<State> m_state = std::make_shared<State>();
    std::function<void(const Start&)> m_onStart;
    bool m_endAtOnce = true;
};

} // namespace regdesk::test
