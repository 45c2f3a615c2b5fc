// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/errors.h"

namespace kv::calc {

/// A floating-point fault inside a numerical routine: overflow, division by zero, an invalid operation
/// or a result that is not a finite number. Callers catch it per sample or let it end the command.
class FloatingPointError : public Error
{
public:
    using Error::Error;
};

/// Watches the floating-point status flags over one routine. The outermost guard of a call chain
/// clears the flags; result() throws FloatingPointError when a fault was raised since then or the
/// value is not finite, so no routine hands back NaN or infinity as an answer.
class FloatingPointGuard
{
public:
    /// routine names the routine in the message of the error.
    explicit FloatingPointGuard(const char *routine);
    ~FloatingPointGuard();
    FloatingPointGuard(const FloatingPointGuard &) = delete;
    FloatingPointGuard &operator=(const FloatingPointGuard &) = delete;

    /// The value as a double, once it and everything computed before it are free of faults.
    double result(long double value) const;
    /// Throws when a fault was raised so far.
    void check() const;

private:
    [[noreturn]] void fail(const char *what) const;

    const char *m_routine;
};

} // namespace kv::calc
