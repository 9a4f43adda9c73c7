#include "support/PeerCommand.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>

namespace testsupport {

int RunCommand(const std::string& command, std::string& output)
{
    output.clear();
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    std::array<char, 4096> piece{};
    size_t got;
    while ((got = std::fread(piece.data(), 1, piece.size(), pipe)) > 0) {
        output.append(piece.data(), got);
    }
    const int status = pclose(pipe);
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool RunQuietly(const std::string& command)
{
    std::string ignored;
    return RunCommand("{ " + command + "; } >/dev/null 2>&1", ignored) == 0;
}

bool HaveCommand(const char* name)
{
    return RunQuietly(std::string("command -v ") + name);
}

std::string ShellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

long Mp3DecodedFrames(const std::string& path, int channels)
{
    std::string samples;
    if (channels <= 0 || RunCommand("mpg123 -q -s " + ShellQuoted(path) + " 2>/dev/null", samples) != 0) {
        return -1;
    }
    return static_cast<long>(samples.size() / (2u * static_cast<unsigned>(channels)));
}

} // namespace testsupport
