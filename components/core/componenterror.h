#pragma once

#include <stdexcept>
#include <string>

// The one exception type every component raises. The message names the file or device and the
// cause, ready to be shown to the user as it stands.
class ComponentError : public std::runtime_error {
public:
    explicit ComponentError(const std::string& message) : std::runtime_error(message) {}
};
