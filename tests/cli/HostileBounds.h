#pragma once
// What one run of the program on hostile input may cost, for the hostile-input suite: the child's
// own processor time and peak resident memory (getrusage). Under AddressSanitizer the program is
// several times slower and its shadow memory and quarantine count as resident, so there the
// bounds are scaled (time x 10, memory x 3).

namespace hostile {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif
constexpr double kMostCpuSeconds = 2.0 * (kSanitized ? 10 : 1);
constexpr double kMostResidentMB = 512.0 * (kSanitized ? 3 : 1);

}  // namespace hostile
