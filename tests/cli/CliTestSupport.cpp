#include "CliTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>

#include "support/FileBytes.h"

namespace cli_test {

CInstalledCli::CInstalledCli(const testsupport::ScratchFolder& folder)
    : m_folder(folder), m_install(folder.File("install"))
{
    std::filesystem::create_directories(m_install);
    for (const char* name : {"orvano-cli", "AUDFFWAV.so", "AUDFFMP3.so"}) {
        const std::string from = std::string(ORVANO_BIN_DIR) + "/" + name;
        const std::string to = m_install + "/" + name;
        std::error_code error;
        std::filesystem::create_hard_link(from, to, error);
        if (error) {
            std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, error);
        }
        EXPECT_FALSE(error) << "cannot install " << from << ": " << error.message();
    }
}

SCliResult CInstalledCli::Run(const std::vector<std::string>& arguments, const std::string& workingFolder) const
{
    static std::atomic<int> counter{0};
    const std::string stem = m_folder.File("run-" + std::to_string(counter++));
    const std::string outPath = stem + ".out";
    const std::string errPath = stem + ".err";
    const std::string program = m_install + "/orvano-cli";
    const std::string folder = workingFolder.empty() ? m_folder.Path() : workingFolder;

    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& argument : argv) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);

    SCliResult result;
    const pid_t child = fork();
    if (child == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int in = ::open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || dup2(in, 0) < 0 ||
            chdir(folder.c_str()) != 0) {
            _exit(127);
        }
        execv(program.c_str(), pointers.data());
        _exit(127);
    }
    if (child < 0) {
        ADD_FAILURE() << "fork failed";
        return result;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = testsupport::ReadText(outPath);
    result.err = testsupport::ReadText(errPath);
    return result;
}

} // namespace cli_test
