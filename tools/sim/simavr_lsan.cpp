// Built into hexloader-sim only under AddressSanitizer: simavr (Debian's libsimavr 1.6) frees neither
// the interrupt lines it allocates for a board nor the ELF reader's tables, and there is no call that
// would; LeakSanitizer is told to leave its allocations alone, so our own leaks still fail the run.
extern "C" const char* __lsan_default_suppressions() { return "leak:libsimavr.so\n"; }
