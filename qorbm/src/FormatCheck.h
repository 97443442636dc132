// Checks a client's printf format before the library hands it one argument.
#pragma once

namespace tarvos {

enum class FormatArgument { Int, Long, Double, Text };

// True when the format holds no conversion other than "%%" and at most one
// conversion that consumes exactly one argument of the given type: flags,
// digit width and precision are fine; '*', %n, %p and mismatched length
// modifiers are not. A null format is refused.
bool formatAccepts(const char* format, FormatArgument argument);

}  // namespace tarvos
