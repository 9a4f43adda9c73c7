// Running the command-line peers (sox, lame, mpg123, nm...) through the
// shell.
#pragma once

#include <string>

namespace testsupport {

// Runs a shell command and keeps its standard output; standard error goes
// where the test's goes. The exit status, or -1 when it did not exit.
int RunCommand(const std::string& command, std::string& output);
// Runs a shell command with all its output discarded; true on exit status 0.
bool RunQuietly(const std::string& command);
bool HaveCommand(const char* name);
// The text as one shell word, whatever quotes it holds.
std::string ShellQuoted(const std::string& text);

// The frames mpg123 decodes from an MP3 file, or -1 when it cannot decode it.
long Mp3DecodedFrames(const std::string& path, int channels);

} // namespace testsupport
