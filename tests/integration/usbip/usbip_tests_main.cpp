// Starts the kvx512-sim process the libportio.so tests reach, and points
// KVX512_USB at it before anything chooses the backend.
#include "tests/integration/usbip/portio_server.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!GTEST_FLAG_GET(list_tests)) {
        if (!usbiptest::PortioServer().Start()) {
            std::fprintf(stderr, "kvx512-sim did not start\n");
            return 1;
        }
        ::setenv("KVX512_USB", usbiptest::PortioServer().Url().c_str(), 1);
    }
    return RUN_ALL_TESTS();
}
