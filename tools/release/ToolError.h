#pragma once
// A refusal or failure of the publisher's tool: one line for the publisher,
// naming the culprit (a file, a folder, an option).
#include <stdexcept>
#include <string>

namespace ostrak {

class ToolError : public std::runtime_error {
public:
    explicit ToolError(const std::string& line) : std::runtime_error(line) {}
};

} // namespace ostrak
