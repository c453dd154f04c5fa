#include "cli/console.h"

#include <cerrno>
#include <cstring>

namespace tarnwick::cli {

std::FILE* FileOf(Stream stream) {
    return stream == Stream::Output ? stdout : stderr;
}

Expected<void> Flush(Stream stream) {
    std::FILE* const file = FileOf(stream);
    if (std::fflush(file) == 0 && !std::ferror(file)) {
        return {};
    }
    const int code = errno;
    return SystemError{code,
                       std::string(stream == Stream::Output ? "Cannot write standard output: "
                                                            : "Cannot write standard error: ") +
                           std::strerror(code)};
}

InterruptEnding& Ending() {
    static InterruptEnding ending;
    return ending;
}

void SetEraseOnInterrupt(bool erase) {
    Ending().erase.store(erase);
}

}  // namespace tarnwick::cli
