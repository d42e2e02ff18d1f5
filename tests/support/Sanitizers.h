#pragma once

// The address and thread sanitizers reserve terabytes of shadow memory: a test that caps a
// process's memory cannot run under them.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool underShadowMemorySanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool underShadowMemorySanitizer = true;
#else
inline constexpr bool underShadowMemorySanitizer = false;
#endif
#else
inline constexpr bool underShadowMemorySanitizer = false;
#endif
