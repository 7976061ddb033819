// A race of our own, for the ThreadSanitizer build's report filter: it must
// still be reported (the filter only leaves out the GL driver's).
#include <cstdio>
#include <thread>

namespace {
int g_shared = 0;
void bump() { ++g_shared; }
} // namespace

int main()
{
    std::thread other(bump);
    bump();
    other.join();
    std::printf("%d\n", g_shared);
    return 0;
}
