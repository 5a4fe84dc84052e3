#include "TestData.h"

#include <fstream>
#include <sstream>

namespace regdesk::test {

std::string testData(const std::string& relativePath)
{
    std::ifstream file(std::string(REGDESK_TEST_DATA) + "/" + relativePath, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

} // namespace regdesk::test
