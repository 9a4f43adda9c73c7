#include "support/ScratchFolder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace testsupport {

namespace {

// The running test's name as a file name part ("Suite.Name/3" has a slash).
std::string TestNamePart()
{
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info != nullptr ? std::string(info->test_suite_name()) + "." + info->name() : "outside-tests";
    for (char& c : name) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '.' && c != '-' && c != '_') {
            c = '-';
        }
    }
    return name.substr(0, 100);
}

void AddOwnerPermissions(const std::filesystem::path& path)
{
    std::error_code ignored;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
}

} // namespace

ScratchFolder::ScratchFolder()
{
    std::string pattern =
        (std::filesystem::path(testing::TempDir()) / ("orvano-" + TestNamePart() + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
        // Nothing a test does can be trusted without its folder.
        std::perror(("mkdtemp " + pattern).c_str());
        std::abort();
    }
    m_root = pattern;
}

ScratchFolder::~ScratchFolder()
{
    // Folders a test made read-only must become writable to be emptied.
    AddOwnerPermissions(m_root);
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator entry(m_root, error), end; !error && entry != end;
         entry.increment(error)) {
        if (entry->is_directory(error)) {
            AddOwnerPermissions(entry->path());
        }
        error.clear();
    }
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}

UserScratchFolder::UserScratchFolder()
{
    m_environment.Set("XDG_CONFIG_HOME", ConfigFolder());
    m_environment.Set("XDG_DATA_HOME", DataFolder());
    m_environment.Set("HOME", HomeFolder());
}

} // namespace testsupport
