// Leaks on purpose: the sanitizer build runs it to show that the leak checker is on and reports, so
// that a leak-free run of the suites means something.
#include <cstdlib>

namespace {
void* volatile lost = nullptr;
}

int main() {
    lost = std::malloc(1234);
    lost = nullptr;
    return 0;
}
