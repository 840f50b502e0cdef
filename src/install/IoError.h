// The error of a file operation of the installation: a file that cannot be opened, read, created or written.
#pragma once

#include <stdexcept>
#include <string>

class EInOutError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
