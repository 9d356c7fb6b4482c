// Defaults for sanitizer builds of the tests and of the station they start.
//
// GLib's quark table drops its block each time it grows (readers may still hold it): the first
// comes from a constructor run while the library loads, a later one from whatever made the
// quarks (the media framework's registry in a process with many types); never from our code. The AVI
// multiplexer of the media framework keeps a few bytes of each stream's chunk name it never
// frees, and its sound server's device provider leaks its connection when no server answers.
// Full stacks let the leak check tell these apart (GLib has no frame pointers for the
// fast unwinder).
extern "C" const char* __lsan_default_suppressions() {
    return "leak:_dl_init\nleak:g_intern_string\nleak:g_intern_static_string\n"
           "leak:g_quark_from_string\nleak:g_quark_from_static_string\n"
           "leak:libgstavi.so\nleak:libgstpulseaudio.so\n";
}

extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}

// Quiet about the suppression, so a program's standard error stays its own.
extern "C" const char* __lsan_default_options() {
    return "print_suppressions=0";
}
