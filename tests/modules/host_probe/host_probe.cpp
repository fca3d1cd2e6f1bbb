// host_probe.cpp — a tiny shared library the host tests load by its ".dll" name.
//
// It exports one function and one counter, so a test can tell that the symbol it
// resolved is the one in this file and that calls really land here.
extern "C" {

__attribute__((visibility("default"))) int host_probe_calls = 0;

// Returns a * 1000 + b and counts the call.
__attribute__((visibility("default"))) int host_probe_combine(int a, int b) {
  host_probe_calls++;
  return a * 1000 + b;
}
}
