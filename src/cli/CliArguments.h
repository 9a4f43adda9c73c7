// Options of one subcommand: "-x VALUE", "-xVALUE", "--name VALUE",
// "--name=VALUE", flags without value, "--" before operands that start with
// "-". A repeated option keeps its last value.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct SOptionSpec {
    char shortName; // 0: none
    const char* longName;
    bool takesValue;
};

class CParsedArguments {
public:
    bool Has(const std::string& longName) const
    {
        return m_flags.count(longName) != 0 || m_values.count(longName) != 0;
    }
    std::optional<std::string> Value(const std::string& longName) const;
    const std::vector<std::string>& Operands() const { return m_operands; }

private:
    friend bool ParseArguments(const std::vector<std::string>&, const std::vector<SOptionSpec>&, CParsedArguments&,
                               std::string&);
    std::map<std::string, std::string> m_values;
    std::set<std::string> m_flags;
    std::vector<std::string> m_operands;
};

bool ParseArguments(const std::vector<std::string>& arguments, const std::vector<SOptionSpec>& specs,
                    CParsedArguments& parsed, std::string& error);

// A whole decimal number within [minimum, maximum].
std::optional<unsigned> ParseCount(const std::string& text, unsigned minimum, unsigned maximum);
