// Built into every program of a sanitizer build (BSPWALK_SANITIZE): defaults for the sanitizers'
// own settings. ASAN_OPTIONS is read after them and can still override each one.
//
// intercept_tls_get_addr=0: the leak checker of clang 14 records the thread-local block of each
// library loaded at run time (Mesa loads libLLVM, whose block is a few bytes) as it is first used.
// For a block that starts 16 bytes into a page it takes the 16 bytes before it for the header of an
// old glibc's block and reads its start and size from there; since glibc 2.25 such a block is an
// ordinary malloc'd one and those bytes are AddressSanitizer's own header. The checker then scans
// a made-up range at exit and dies ("Tracer caught signal 11", "LeakSanitizer has encountered a
// fatal error"). Where the block lands depends only on the small blocks allocated before it: one
// heap layout in 256 fails, every time for the same program, paths and input, and a change
// anywhere can move a run onto it. Without the interception these blocks are heap blocks like any
// other, reached from the thread's own table, so leaks are still found in them and through them.
extern "C" const char* __asan_default_options() { return "intercept_tls_get_addr=0"; }
