// SPDX-License-Identifier: GPL-3.0-or-later
#include "calc/floating_point_error.h"

#include <cfenv>
#include <cmath>

using namespace Qt::StringLiterals;

namespace kv::calc {

namespace {

// Nesting depth of the guards on this thread: only the outermost clears the flags, so a fault raised
// by a caller before it calls an inner routine is not wiped out by that routine.
thread_local int guardDepth = 0;

constexpr int faultFlags = FE_OVERFLOW | FE_DIVBYZERO | FE_INVALID;

} // namespace

FloatingPointGuard::FloatingPointGuard(const char *routine) : m_routine(routine)
{
    // Only the faults are ever tested, and clearing the flags costs far more than testing them (it
    // stalls the pipeline): the flags are cleared when a fault is still raised.
    if (guardDepth++ == 0 && std::fetestexcept(faultFlags))
        std::feclearexcept(faultFlags);
}

FloatingPointGuard::~FloatingPointGuard()
{
    --guardDepth;
}

double FloatingPointGuard::result(long double value) const
{
    double narrowed = static_cast<double>(value);
    // The compiler may not move the arithmetic behind the flag test: the value must exist first.
    asm volatile("" : : "m"(narrowed) : "memory");
    check();
    if (!std::isfinite(narrowed))
        fail(std::isnan(narrowed) ? "the result is not a number" : "the result is infinite");
    return narrowed;
}

void FloatingPointGuard::check() const
{
    asm volatile("" : : : "memory");
    const int raised = std::fetestexcept(faultFlags);
    if (raised & FE_DIVBYZERO)
        fail("division by zero");
    if (raised & FE_OVERFLOW)
        fail("overflow");
    if (raised & FE_INVALID)
        fail("invalid operation");
}

void FloatingPointGuard::fail(const char *what) const
{
    throw FloatingPointError(
        u"Floating-point fault in %1: %2."_s.arg(QString::fromUtf8(m_routine), QString::fromUtf8(what)));
}

} // namespace kv::calc
