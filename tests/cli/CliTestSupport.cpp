#include "CliTestSupport.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace cli_test {

namespace {

void AppendLe16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void AppendLe32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

uint16_t Le16(const uint8_t* in)
{
    return static_cast<uint16_t>(in[0] | in[1] << 8);
}

uint32_t Le32(const uint8_t* in)
{
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 | static_cast<uint32_t>(in[2]) << 16 |
           static_cast<uint32_t>(in[3]) << 24;
}

void Restore(const char* name, bool had, const std::string& value)
{
    if (had) {
        setenv(name, value.c_str(), 1);
    } else {
        unsetenv(name);
    }
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

ScratchFolder::ScratchFolder()
{
    static std::atomic<int> counter{0};
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    m_path = std::filesystem::path(testing::TempDir()) /
             ("orvano-cli-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
              (info != nullptr ? info->name() : "x"));
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path / "config");
    std::filesystem::create_directories(m_path / "data");
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) {
        m_hadConfig = true;
        m_oldConfig = old;
    }
    if (const char* old = std::getenv("XDG_DATA_HOME")) {
        m_hadData = true;
        m_oldData = old;
    }
    setenv("XDG_CONFIG_HOME", (m_path / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (m_path / "data").c_str(), 1);
}

ScratchFolder::~ScratchFolder()
{
    Restore("XDG_CONFIG_HOME", m_hadConfig, m_oldConfig);
    Restore("XDG_DATA_HOME", m_hadData, m_oldData);
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

CInstalledCli::CInstalledCli(const ScratchFolder& folder) : m_folder(folder), m_install(folder.File("install"))
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
    result.out = ReadText(outPath);
    result.err = ReadText(errPath);
    return result;
}

void WriteMusicWave(const std::string& path, uint32_t rate, uint16_t channels, double seconds)
{
    const auto frames = static_cast<uint32_t>(rate * seconds);
    std::vector<uint8_t> data;
    data.reserve(static_cast<std::size_t>(frames) * channels * 2);
    uint32_t noise = 12345;
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        for (uint16_t c = 0; c < channels; ++c) {
            double value = std::sin(2 * M_PI * 220.0 * t) / 2 + std::sin(2 * M_PI * 330.0 * (1 + 0.003 * c) * t) / 3 +
                           std::sin(2 * M_PI * 554.37 * t + c) / 4;
            noise = noise * 1664525u + 1013904223u;
            value += (static_cast<double>(noise >> 16) / 65536.0 - 0.5) * 0.04;
            AppendLe16(data, static_cast<uint16_t>(static_cast<int16_t>(value * 12000.0 * (0.7 + 0.3 * std::sin(t * 3)))));
        }
    }
    std::vector<uint8_t> file;
    const auto text = [&](const char* four) { file.insert(file.end(), four, four + 4); };
    text("RIFF");
    AppendLe32(file, 36 + static_cast<uint32_t>(data.size()));
    text("WAVE");
    text("fmt ");
    AppendLe32(file, 16);
    AppendLe16(file, 1);
    AppendLe16(file, channels);
    AppendLe32(file, rate);
    AppendLe32(file, rate * channels * 2);
    AppendLe16(file, static_cast<uint16_t>(channels * 2));
    AppendLe16(file, 16);
    text("data");
    AppendLe32(file, static_cast<uint32_t>(data.size()));
    file.insert(file.end(), data.begin(), data.end());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                static_cast<std::streamsize>(file.size()));
}

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

bool ReadWaveHeader(const std::string& path, SWaveHeader& header)
{
    const std::vector<uint8_t> bytes = ReadBytes(path);
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        return false;
    }
    bool format = false;
    bool data = false;
    std::size_t position = 12;
    while (position + 8 <= bytes.size()) {
        const uint32_t size = Le32(bytes.data() + position + 4);
        const uint8_t* body = bytes.data() + position + 8;
        if (std::memcmp(bytes.data() + position, "fmt ", 4) == 0 && size >= 16 && position + 8 + size <= bytes.size()) {
            header.tag = Le16(body);
            header.channels = Le16(body + 2);
            header.rate = Le32(body + 4);
            header.blockAlign = Le16(body + 12);
            header.bits = Le16(body + 14);
            header.samplesPerBlock = size >= 20 ? Le16(body + 18) : 0;
            format = true;
        } else if (std::memcmp(bytes.data() + position, "data", 4) == 0) {
            header.dataBytes = size;
            data = true;
        }
        position += 8 + size + (size & 1);
    }
    return format && data;
}

int Shell(const std::string& command, std::string* out)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    std::string text;
    char buffer[4096];
    std::size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) != 0) {
        text.append(buffer, got);
    }
    const int status = pclose(pipe);
    if (out != nullptr) {
        *out = text;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveTool(const std::string& name)
{
    return Shell("command -v " + name + " > /dev/null 2>&1") == 0;
}

} // namespace cli_test
