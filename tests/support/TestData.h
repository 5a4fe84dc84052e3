#pragma once

#include <string>

namespace regdesk::test {

// The bytes of a fixture under tests/data (empty when it is missing). Tests
// write them into a temporary folder and never touch the original.
std::string testData(const std::string& relativePath);

} // namespace regdesk::test
