#pragma once

#include <string>

namespace regdesk::test {

// The databases the register tests run on: data.db, and a database of the
// test run's PostgreSQL cluster.
enum class Backend
{
    Sqlite,
    Postgres,
};

inline std::string backendName(Backend backend)
{
    return backend == Backend::Postgres ? "PostgreSQL" : "SQLite";
}

// Names the instances of a test suite parameterised by Backend.
struct BackendName
{
    template <typename ParamInfo> std::string operator()(const ParamInfo& instance) const
    {
        return backendName(instance.param);
    }
};

} // namespace regdesk::test
