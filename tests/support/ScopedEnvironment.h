#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Environment variables set (a value) or removed (nullopt) for one test, and put
// back as they were when it ends.
class ScopedEnvironment {
public:
    using Settings = std::vector<std::pair<std::string, std::optional<std::string>>>;
    explicit ScopedEnvironment(const Settings& settings) {
        for (const auto& [name, value] : settings) {
            const char* old = std::getenv(name.c_str());
            m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            set(name, value);
        }
    }
    ~ScopedEnvironment() {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it)
            set(it->first, it->second);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    static void set(const std::string& name, const std::optional<std::string>& value) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }

private:
    Settings m_saved;
};
