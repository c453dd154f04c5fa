#pragma once

#include <cstdlib>
#include <cstring>

#include "engine/small_files.h"

namespace tarnwick::testing {

// The conditions a test run is asked to meet through its environment, so
// that the same tests run the fallbacks of the fast paths:
// TARNWICK_TEST_REFUSE_IO_URING=1 makes the batched reader's set-up fail as
// a kernel that refuses io_uring makes it fail.
inline void ApplyTestConditions() {
    const char* refuse = std::getenv("TARNWICK_TEST_REFUSE_IO_URING");
    if (refuse && std::strcmp(refuse, "1") == 0) {
        SmallFileReader::RefuseForTesting();
    }
}

}  // namespace tarnwick::testing
