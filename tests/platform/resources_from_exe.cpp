// For exe_resources_test: installs the resources read back from the built
// Windows program (windres -i corvane.exe -O res) instead of those the
// Linux build links in. The file is named by CORVANE_EXE_RES.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "platform/linux/resources.h"
#include "tests/support/sparse_files.h"

namespace {

class ResourcesOfTheExe : public ::testing::Environment {
public:
    void SetUp() override
    {
        const char* path = std::getenv("CORVANE_EXE_RES");
        ASSERT_NE(path, nullptr) << "CORVANE_EXE_RES names the resources read from corvane.exe";
        std::string image = test::ContentOf(path);
        m_image.assign(image.begin(), image.end());
        platform::SetProgramResources(m_image.data(), m_image.size());
    }

private:
    std::vector<BYTE> m_image;
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new ResourcesOfTheExe);

}  // namespace
