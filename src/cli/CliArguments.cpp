#include "cli/CliArguments.h"

std::optional<std::string> CParsedArguments::Value(const std::string& longName) const
{
    const auto found = m_values.find(longName);
    if (found == m_values.end()) {
        return std::nullopt;
    }
    return found->second;
}

bool ParseArguments(const std::vector<std::string>& arguments, const std::vector<SOptionSpec>& specs,
                    CParsedArguments& parsed, std::string& error)
{
    parsed = {};
    bool operandsOnly = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (operandsOnly || argument.size() < 2 || argument[0] != '-') {
            parsed.m_operands.push_back(argument);
            continue;
        }
        if (argument == "--") {
            operandsOnly = true;
            continue;
        }
        const SOptionSpec* option = nullptr;
        std::optional<std::string> inlineValue;
        std::string shown = argument;
        if (argument.compare(0, 2, "--") == 0) {
            const std::size_t equals = argument.find('=');
            const std::string name = argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            shown = "--" + name;
            for (const SOptionSpec& candidate : specs) {
                if (name == candidate.longName) {
                    option = &candidate;
                }
            }
            if (equals != std::string::npos) {
                inlineValue = argument.substr(equals + 1);
            }
        } else {
            shown = argument.substr(0, 2);
            for (const SOptionSpec& candidate : specs) {
                if (candidate.shortName != 0 && argument[1] == candidate.shortName) {
                    option = &candidate;
                }
            }
            if (argument.size() > 2) {
                inlineValue = argument.substr(2);
            }
        }
        if (option == nullptr) {
            error = "unknown option " + shown;
            return false;
        }
        if (!option->takesValue) {
            if (inlineValue) {
                error = "option " + shown + " takes no value";
                return false;
            }
            parsed.m_flags.insert(option->longName);
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= arguments.size()) {
                error = "option " + shown + " needs a value";
                return false;
            }
            inlineValue = arguments[++i];
        }
        parsed.m_values[option->longName] = *inlineValue;
    }
    return true;
}

std::optional<unsigned> ParseCount(const std::string& text, unsigned minimum, unsigned maximum)
{
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value < minimum || value > maximum) {
        return std::nullopt;
    }
    return value;
}
