// A counter two threads increment with no lock and no atomic: a data race
// on purpose. The ThreadSanitizer step runs this first and stops unless the
// sanitizer reports it, so that a build that has quietly lost the
// sanitizer (a dropped flag, options that silence it) cannot pass as clean.
// It is no test of the program and is never run with the suite.
#include <cstdio>
#include <thread>

namespace {

int counter = 0;

void Count()
{
    for (int i = 0; i < 100000; ++i)
        ++counter;
}

}  // namespace

int main()
{
    std::thread first(Count);
    std::thread second(Count);
    first.join();
    second.join();
    std::printf("%d\n", counter);
    return 0;
}
