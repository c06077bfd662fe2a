// LeakSanitizer: fontconfig loses a few hundred bytes once a process while it
// parses its configuration, which nothing outside it can free.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
