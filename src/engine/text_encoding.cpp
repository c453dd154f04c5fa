#include "engine/text_encoding.h"

#include "engine/case_fold.h"
#include "engine/file_system.h"

namespace tarnwick {

TextEncoding TextEncoding::Utf8() {
    return {};
}

TextEncoding TextEncoding::SingleByte(const std::array<char32_t, 256>& characters) {
    std::array<char32_t, 256> folds{};
    for (std::size_t byte = 0; byte < folds.size(); ++byte)
        folds[byte] = SimpleFold(characters[byte]);
    TextEncoding encoding;
    encoding.m_caseVariants.resize(folds.size());
    for (std::size_t byte = 0; byte < folds.size(); ++byte) {
        auto& variants = encoding.m_caseVariants[byte];
        variants.emplace_back(1, static_cast<char>(byte));
        for (std::size_t other = 0; other < folds.size(); ++other) {
            if (other != byte && folds[other] == folds[byte])
                variants.emplace_back(1, static_cast<char>(other));
        }
    }
    return encoding;
}

const TextEncoding& TextEncoding::System() {
    static const TextEncoding system = [] {
        const auto codePage = SingleByteCodePage();
        return codePage ? SingleByte(*codePage) : Utf8();
    }();
    return system;
}

}  // namespace tarnwick
