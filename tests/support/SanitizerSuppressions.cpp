// Reports from libraries outside the project that the sanitizers cannot see into.

// Font configuration caches that the SVG renderer's text layout builds once per process and
// never frees; they are not leaks of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

// Prebuilt libraries that synchronise in code the thread sanitizer does not instrument, so
// their own internals show up as races: the HTTP library of the loopback test servers (its
// thread pool) and the font and text stack the SVG renderer draws metafile text with (its
// caches and helper threads).
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libcpp-httplib.so\n"
           "race:libcpp-httplib.so\n"
           "race:libfontconfig.so\n"
           "race:libglib-2.0.so\n"
           "race:libgobject-2.0.so\n"
           "race:libpango-1.0.so\n"
           "race:libpangoft2-1.0.so\n"
           "race:libpangocairo-1.0.so\n"
           "race:libcairo.so\n"
           "race:librsvg-2.so\n"
           "race:libharfbuzz.so\n";
}
