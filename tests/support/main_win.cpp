// Test entry point on Windows: the thread's message queue is the event loop
// and needs no object of its own.
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
