#include "support/Environment.h"

#include <stdlib.h>

namespace testsupport {

ScopedEnvironment::~ScopedEnvironment()
{
    for (auto saved = m_saved.rbegin(); saved != m_saved.rend(); ++saved) {
        if (saved->value) {
            setenv(saved->name.c_str(), saved->value->c_str(), 1);
        } else {
            unsetenv(saved->name.c_str());
        }
    }
}

void ScopedEnvironment::Set(const std::string& name, const std::string& value)
{
    Remember(name);
    setenv(name.c_str(), value.c_str(), 1);
}

void ScopedEnvironment::Unset(const std::string& name)
{
    Remember(name);
    unsetenv(name.c_str());
}

void ScopedEnvironment::Remember(const std::string& name)
{
    const char* value = getenv(name.c_str());
    m_saved.push_back({name, value != nullptr ? std::optional<std::string>(value) : std::nullopt});
}

} // namespace testsupport
