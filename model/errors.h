#pragma once

#include <stdexcept>
#include <string>

namespace gompertz {

// Run-time errors of the fitting engine. The window catches the common base
// and reacts to all of them in the same way.
class RuntimeError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Also raised for a division by zero and an invalid floating-point operation.
class OverflowError : public RuntimeError {
  public:
    OverflowError() : RuntimeError("Overflow") {}
};

// A text that is not a number.
class ConversionError : public RuntimeError {
  public:
    ConversionError() : RuntimeError("Type mismatch") {}
};

// An index outside 0..20 of the data arrays.
class SubscriptError : public RuntimeError {
  public:
    SubscriptError() : RuntimeError("Subscript out of range") {}
};

} // namespace gompertz
