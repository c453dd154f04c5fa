// Runs the content test over a list of files and prints those that lack the
// phrase, or, with --plain-read, only reads them: the floor the test is
// measured against. --threads N shares the plain reading among N threads,
// the floor of a search on N cores; --lookup looks each path up before it is
// opened, as the content test must so that it never opens a device or a FIFO;
// --match also looks for the phrase in each block read with the engine's
// matcher, and stops reading a file once it is found: the floor of any search
// that reads the files, with nothing else a search does.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/content_conditions.h"
#include "engine/content_test.h"
#include "engine/file_test_pool.h"

namespace {

struct Options {
    std::string listFile;
    std::string phrase;
    bool ignoreCase = false;
    bool plainRead = false;
    bool lookup = false;
    bool match = false;
    unsigned threads = 1;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--ignore-case") {
            options.ignoreCase = true;
        } else if (arg == "--plain-read") {
            options.plainRead = true;
        } else if (arg == "--lookup") {
            options.lookup = true;
        } else if (arg == "--match") {
            options.match = true;
        } else if (arg == "--threads" && i + 1 < argc) {
            options.threads = static_cast<unsigned>(std::max(1, std::atoi(argv[++i])));
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2) return false;
    options.listFile = positional[0];
    options.phrase = positional[1];
    return true;
}

std::vector<std::string> ReadPaths(const std::string& listFile) {
    std::ifstream in(listFile, std::ios::binary);
    std::vector<std::string> paths;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) paths.push_back(line);
    }
    return paths;
}

tarnwick::CaseMode CaseOf(const Options& options) {
    return options.ignoreCase ? tarnwick::CaseMode::Insensitive : tarnwick::CaseMode::Sensitive;
}

// Reads the file's blocks up to its end, or, given conditions, until their
// verdict is known.
std::uint64_t ReadWholeFile(const std::string& path, char* buffer, bool lookup,
                            const tarnwick::ContentConditions* conditions) {
    struct stat info {};
    if (lookup && (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))) return 0;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    std::optional<tarnwick::ContentConditions::Scan> scan;
    if (conditions) scan.emplace(*conditions);
    std::uint64_t total = 0;
    for (ssize_t got; (got = read(fd, buffer, tarnwick::kBlockSize)) > 0;) {
        total += got;
        if (scan && scan->Decided(std::string_view(buffer, static_cast<std::size_t>(got)))) break;
    }
    close(fd);
    return total;
}

// Thread t of threads reads paths t, t + threads, t + 2 * threads, ...
int PlainRead(const std::vector<std::string>& paths, const Options& options) {
    const tarnwick::ContentConditions conditions(
        tarnwick::PhraseMatcher(options.phrase, CaseOf(options)));
    const unsigned threads = options.threads;
    std::atomic<std::uint64_t> total = 0;
    std::vector<std::thread> readers;
    for (unsigned first = 0; first < threads; ++first) {
        readers.emplace_back([&, first] {
            const auto buffer = std::make_unique_for_overwrite<char[]>(tarnwick::kBlockSize);
            for (std::size_t i = first; i < paths.size(); i += threads) {
                total += ReadWholeFile(paths[i], buffer.get(), options.lookup,
                                       options.match ? &conditions : nullptr);
            }
        });
    }
    for (std::thread& reader : readers) reader.join();
    std::fprintf(stderr, "%llu bytes read\n", static_cast<unsigned long long>(total.load()));
    return 0;
}

// The engine on one thread: one worker of the file test pool tests every
// file, reading the small ones together as a search does; this thread only
// waits for the last verdict, then prints them in order.
int Search(const std::vector<std::string>& paths, const Options& options) {
    using namespace tarnwick;
    const auto matcher =
        std::make_shared<const ContentConditions>(PhraseMatcher(options.phrase, CaseOf(options)));
    std::vector<std::shared_ptr<FileTestJob>> jobs;
    jobs.reserve(paths.size());
    for (const auto& path : paths) jobs.push_back(std::make_shared<FileTestJob>(path, matcher));
    std::mutex mutex;
    std::condition_variable allDone;
    std::size_t done = 0;
    FileTestPool pool(1, [&](const FileTestJob& job) {
        if (!job.Done()) return;
        const std::lock_guard lock(mutex);
        if (++done == jobs.size()) allDone.notify_one();
    });
    pool.SubmitAll(jobs);
    {
        std::unique_lock lock(mutex);
        allDone.wait(lock, [&] { return done == jobs.size(); });
    }
    int failures = 0;
    for (const auto& job : jobs) {
        const Expected<Verdict>& verdict = job->Outcome();
        if (!verdict) {
            std::fprintf(stderr, "%s\n", verdict.Error().description.c_str());
            ++failures;
        } else if (verdict.Value() == Verdict::Lacks) {
            std::fwrite(job->Path().data(), 1, job->Path().size(), stdout);
            std::fputc('\n', stdout);
        }
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(
            stderr,
            "usage: %s LISTFILE PHRASE [--ignore-case] [--plain-read [--threads N] [--lookup] "
            "[--match]]\n",
            argv[0]);
        return 2;
    }
    const auto paths = ReadPaths(options.listFile);
    return options.plainRead ? PlainRead(paths, options) : Search(paths, options);
}
