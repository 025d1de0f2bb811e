// A damaged count must be refused before storage is reserved for it. Under AddressSanitizer any
// single allocation above 64 MiB aborts the tests, so a reader that trusts a count of two billion
// units fails loudly here instead of quietly taking four gigabytes.

#if defined(__SANITIZE_ADDRESS__)
#define PYRELTO_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PYRELTO_ASAN 1
#endif
#endif

#ifdef PYRELTO_ASAN
// NOLINTNEXTLINE(bugprone-reserved-identifier): the name AddressSanitizer looks for.
extern "C" const char* __asan_default_options() {
    return "max_allocation_size_mb=64:allocator_may_return_null=0";
}
#endif
