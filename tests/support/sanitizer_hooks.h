// Whether the test program runs under AddressSanitizer, and the sanitizer's allocation hooks.
// A program built with it cannot put its own malloc in place of the sanitizer's; its hooks
// see every allocation instead.
#pragma once

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define TALDREX_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TALDREX_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef TALDREX_ADDRESS_SANITIZER
extern "C" {
// Calls allocated(pointer, bytes) after every allocation and released(pointer) before every
// release, on whichever thread makes them. Returns non-zero once installed.
int __sanitizer_install_malloc_and_free_hooks(void (*allocated)(const volatile void*, std::size_t),
                                              void (*released)(const volatile void*));
// The bytes asked for when the live block at pointer was allocated.
std::size_t __sanitizer_get_allocated_size(const volatile void* pointer);
}
#endif
