// Environment variables changed for a test and put back afterwards: the
// settings store and the statistics file look their folders up there.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace testsupport {

// Every variable set or unset through the object is restored (to its value,
// or to not being set) when the object goes, the latest change first.
class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    void Set(const std::string& name, const std::string& value);
    void Unset(const std::string& name);

private:
    void Remember(const std::string& name);

    struct SavedVariable {
        std::string name;
        std::optional<std::string> value;
    };
    std::vector<SavedVariable> m_saved;
};

} // namespace testsupport
