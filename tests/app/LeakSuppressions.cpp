// The font library keeps a few blocks for the life of the process; the leak checker of the
// sanitizer build is told to ignore them (and only them).
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
