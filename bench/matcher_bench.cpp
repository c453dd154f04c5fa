#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/content_test.h"
#include "engine/file_system.h"
#include "engine/phrase_matcher.h"

namespace {

using tarnwick::CaseMode;
using tarnwick::PhraseMatcher;

// A few MB of prose and code-like lines that hold the phrases' words but
// never a whole phrase, so every search runs to the end.
const std::string& CorpusText() {
    static const std::string text = [] {
        static constexpr std::string_view kWords[] = {
            "the",     "of",     "and",    "review", "quarterly", "report",      "Quarterly",
            "results", "growth", "market", "value",  "total",     "int",         "return",
            "buffer",  "index",  "{",      "}",      "=",         "caf\xC3\xA9", "Reverse",
            "quarter", "sales",  "fiscal", "data",   "for",       "if",          "count"};
        std::mt19937 random(7);
        std::string out;
        while (out.size() < (8u << 20)) {
            out += kWords[random() % std::size(kWords)];
            out += random() % 12 == 0 ? '\n' : ' ';
        }
        return out;
    }();
    return text;
}

void SearchBlocks(benchmark::State& state, std::string_view phrase, CaseMode mode) {
    const std::string& text = CorpusText();
    const PhraseMatcher matcher(phrase, mode);
    for (auto _ : state) {
        bool lacks = true;
        for (std::size_t at = 0; at < text.size(); at += tarnwick::kBlockSize) {
            lacks &= matcher.LacksPhrase(std::string_view(text).substr(at, tarnwick::kBlockSize));
        }
        if (!lacks) state.SkipWithError("the text holds the phrase: nothing to measure");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void Register(const char* name, std::string_view phrase) {
    for (const CaseMode mode : {CaseMode::Sensitive, CaseMode::Insensitive}) {
        const std::string label = std::string("LacksPhrase/") + name +
                                  (mode == CaseMode::Sensitive ? "/sensitive" : "/insensitive");
        benchmark::RegisterBenchmark(label.c_str(), SearchBlocks, phrase, mode);
    }
}

// A case-insensitive phrase folds each of its letters when it is compiled,
// once per search and per edit of the phrase.
void CompilePhrase(benchmark::State& state) {
    constexpr std::string_view kPhrase =
        "Fi\xC8\x99ier \xC4\x90\xC6\xAF\xE1\xBB\xA2\x43 CAF\xC3\x89 "
        "\xCE\x98\xCE\xB5\xCF\x8C\xCF\x82 \xE1\x83\xA4\xE1\x83\x90";
    for (auto _ : state) {
        const PhraseMatcher matcher(kPhrase, CaseMode::Insensitive);
        benchmark::DoNotOptimize(matcher.Length());
    }
}

// The folder listing order folds the characters of the names it compares.
void SortNames(benchmark::State& state) {
    static constexpr std::string_view kWords[] = {"report",
                                                  "Report",
                                                  "caf\xC3\xA9",
                                                  "CAF\xC3\x89",
                                                  "Fi\xC8\x99ier",
                                                  "FI\xC8\x98IER",
                                                  "\xC4\x91\xC6\xB0\xE1\xBB\xA3\x63",
                                                  "\xC4\x90\xC6\xAF\xE1\xBB\xA2\x43",
                                                  "\xE1\x83\xA4\xE1\x83\x90",
                                                  "\xE1\xB2\xA4\xE1\xB2\x90",
                                                  "_draft",
                                                  "2024"};
    std::mt19937 random(11);
    std::vector<std::string> names;
    for (int i = 0; i < 10000; ++i) {
        names.push_back(std::string(kWords[random() % std::size(kWords)]) + "_" +
                        std::string(kWords[random() % std::size(kWords)]) + ".txt");
    }
    for (auto _ : state) {
        std::vector<std::string> sorted = names;
        tarnwick::SortByName(sorted);
        benchmark::DoNotOptimize(sorted.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * names.size()));
}

}  // namespace

int main(int argc, char** argv) {
    Register("short", "Q3x");
    Register("phrase", "Quarterly Revenue");
    Register("common_words", "the value of the market data");
    Register("long", "Quarterly revenue of the EMEA region grew faster than the market");
    Register("non_ascii", "CAF\xC3\x89 REVENUE");
    benchmark::RegisterBenchmark("CompilePhrase/non_ascii", CompilePhrase);
    benchmark::RegisterBenchmark("SortByName/10000_names", SortNames);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
