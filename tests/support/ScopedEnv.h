#pragma once
// Sets (or unsets) environment variables for the life of the object and puts
// the earlier values back afterwards.
#include "platform/Environment.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

class ScopedEnv {
public:
    ScopedEnv() = default;
    ~ScopedEnv() {
        for (auto it = Saved_.rbegin(); it != Saved_.rend(); ++it)
            ostrak::SetEnvironmentValue(it->first, it->second);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    // value nullopt: the variable is unset.
    ScopedEnv& Set(const std::string& name, const std::optional<std::string>& value) {
        Saved_.emplace_back(name, ostrak::EnvironmentValue(name));
        ostrak::SetEnvironmentValue(name, value);
        return *this;
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> Saved_;
};
