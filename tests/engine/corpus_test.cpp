#include "corpus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "engine/content_test.h"
#include "temp_dir.h"

namespace tarnwick {
namespace {

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> LackingRelativePaths(const std::vector<std::string>& files,
                                              const std::string& tree, CaseMode mode) {
    const PhraseMatcher matcher("Quarterly Revenue", mode);
    std::vector<std::string> lacking;
    for (const auto& path : files) {
        const auto verdict = TestFileContent(path, matcher, [] { return true; });
        EXPECT_TRUE(verdict.HasValue()) << verdict.Error().description;
        if (verdict.HasValue() && verdict.Value() == Verdict::Lacks) {
            lacking.push_back(path.substr(tree.size() + 1));
        }
    }
    std::sort(lacking.begin(), lacking.end());
    return lacking;
}

std::vector<std::string> SortedLines(const std::string& path) {
    auto lines = ReadLines(path);
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(Corpus, ReportsExactlyTheExpectedFilesInBothModes) {
    if (std::string(TARNWICK_CORPUS_SCRIPT).empty()) {
        GTEST_SKIP() << "the corpus generator runs on the build system only";
    }
    testing::TempDir dir;
    const std::string out = dir.PathOf("c");
    ASSERT_TRUE(test::MakeTinyCorpus(out));

    const auto files = ReadLines(out + "/files.txt");
    ASSERT_GT(files.size(), 100u);
    const std::string tree = out + "/tree";
    EXPECT_EQ(LackingRelativePaths(files, tree, CaseMode::Sensitive),
              SortedLines(out + "/expected-cs.txt"));
    EXPECT_EQ(LackingRelativePaths(files, tree, CaseMode::Insensitive),
              SortedLines(out + "/expected-ci.txt"));
}

}  // namespace
}  // namespace tarnwick
