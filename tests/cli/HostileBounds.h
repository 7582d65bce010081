#pragma once
// What one run of the program on hostile input may cost, for the hostile-input suite: the child's
// own processor time and peak resident memory (getrusage). Under AddressSanitizer the program is
// many times slower (an unoptimised build with every access checked: 15-20x on the heaviest
// tessellation case) and its shadow memory and quarantine count as resident, so there the bounds
// are scaled (time x 25, memory x 3).

namespace hostile {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer);
#else
constexpr bool kSanitized = false;
#endif
constexpr double kMostCpuSeconds = 2.0 * (kSanitized ? 25 : 1);
constexpr double kMostResidentMB = 512.0 * (kSanitized ? 3 : 1);

}  // namespace hostile
