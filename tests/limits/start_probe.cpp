// Reaches main and says so, nothing more. Linked from the converter's own
// objects and in the same way, so that its image and start-up are the
// converter's: under a limit that kills this probe, the system or the C
// library refuses the converter before any of its code runs.
#include <cstdio>

extern "C" void MAIN_(void);

// Keeps the converter's objects in the image without running them.
void (*volatile keep_converter)(void) = MAIN_;

int main() { return std::puts("main") < 0; }
