// Whether this test binary runs under the address sanitizer: gcc says so with a
// macro, clang through __has_feature. The sanitizer reserves far more address
// space than a lowered RLIMIT_AS allows, so tests that lower it step aside.
#pragma once

namespace testsupport {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitized = true;
#else
inline constexpr bool kAddressSanitized = false;
#endif
#else
inline constexpr bool kAddressSanitized = false;
#endif

}  // namespace testsupport
