#pragma once

#include <stdexcept>
#include <string>

namespace parlomar {

// Failures that the system reports as a message to the operator ("Unable to write to %s",
// "Index out of range." ...). The text is the message shown, exactly.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace parlomar
