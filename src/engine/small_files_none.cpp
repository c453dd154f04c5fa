// Systems without batched reads: every file is tested on its own.
#include "engine/small_files.h"

namespace tarnwick {

struct SmallFileReader::Ring {};

std::unique_ptr<SmallFileReader> SmallFileReader::Create(std::size_t) {
    return nullptr;
}

SmallFileReader::SmallFileReader(std::unique_ptr<Ring> ring) : m_ring(std::move(ring)) {}

SmallFileReader::~SmallFileReader() = default;

void SmallFileReader::ReadAll(std::span<const std::string* const>, std::span<SmallFileOutcome>) {}

std::string_view SmallFileReader::Content(std::size_t, std::size_t) const {
    return {};
}

void SmallFileReader::RefuseForTesting() {}

}  // namespace tarnwick
