// Sanitizer builds of the programs only. Mesa's GL driver (swrast_dri.so) keeps a few
// process-lifetime allocations in its own globals, and libEGL_mesa unloads the driver when SDL
// ends the GL session, before LeakSanitizer looks at exit: the globals are gone, so the blocks
// they held are called leaks "from an unknown module", which no suppression can name (112 bytes
// in 2 allocations in every drawing run). Unloading is not what these builds test; modules stay
// loaded until exit, their globals stay visible, and every leak still reported is one that can
// be named: ours, or a library's suppressed by name in tests/lsan.supp.
extern "C" int dlclose(void*) {
    return 0;
}
