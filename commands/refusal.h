#pragma once
#include <stdexcept>
#include <string>

// A wrong use or a request refused before anything is touched: status 2.
struct Refusal : std::runtime_error {
    using std::runtime_error::runtime_error;
};
