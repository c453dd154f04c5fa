#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tarnwick::test {

// Writes the tiny test corpus into folder: files.txt (one absolute path a
// line), tree/, and the expected results expected-cs.txt and expected-ci.txt
// (paths relative to tree/). A missing generator is a failure, not a skip.
inline ::testing::AssertionResult MakeTinyCorpus(const std::string& folder) {
    const std::string script = TARNWICK_CORPUS_SCRIPT;
    if (!std::filesystem::exists(script)) {
        return ::testing::AssertionFailure()
               << "the corpus generator is missing: check out ../shared beside the project ("
               << script << ")";
    }
    const std::string command =
        std::string(TARNWICK_PYTHON) + " '" + script + "' '" + folder + "' tiny > /dev/null";
    if (std::system(command.c_str()) != 0) {
        return ::testing::AssertionFailure() << "failed: " << command;
    }
    return ::testing::AssertionSuccess();
}

}  // namespace tarnwick::test
