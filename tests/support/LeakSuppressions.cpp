// Font configuration caches that the SVG renderer's text layout builds once per process and
// never frees; they are not leaks of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
