// A small library for the loading tests: found by its Windows name, one
// export, and a counter that shows whether two loads share one instance.
extern "C" {

__attribute__((visibility("default"))) int OrbDynProbeAnswer() { return 42; }

__attribute__((visibility("default"))) int OrbDynProbeCount() {
    static int calls = 0;
    return ++calls;
}

}
