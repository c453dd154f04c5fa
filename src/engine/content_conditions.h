#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/phrase_matcher.h"

namespace tarnwick {

// What the text of a file must hold to be listed: none of the phrases it
// must lack, and every phrase it must hold. A single phrase to lack is the
// window's search. Immutable; may be shared between threads.
class ContentConditions {
public:
    // A file lacking the phrase of matcher.
    ContentConditions(PhraseMatcher lacking);  // NOLINT(google-explicit-constructor)
    ContentConditions(std::span<const std::string> lacking, std::span<const std::string> containing,
                      CaseMode mode);

    // Length of the longest form of any phrase in bytes: an occurrence in a
    // text spans at most this many bytes.
    std::size_t Length() const { return m_length; }

    // The phrases met in the text of one file so far, read in pieces: each
    // piece must hold every occurrence that crosses into it from the piece
    // before (Length() - 1 bytes carried over suffice).
    class Scan {
    public:
        explicit Scan(const ContentConditions& conditions);

        // Looks for the phrases not met yet in text; true once the verdict
        // is known, whatever the rest of the text holds.
        bool Decided(std::string_view text);
        // Whether the text seen so far, taken as the whole, is listed.
        bool Listed() const;

    private:
        const ContentConditions& m_conditions;
        bool m_lackingMet = false;
        std::size_t m_containingMet = 0;
        std::vector<bool> m_met;
    };

    // Whether the whole text is listed.
    bool Lists(std::string_view text) const;

private:
    std::vector<PhraseMatcher> m_lacking;
    std::vector<PhraseMatcher> m_containing;
    std::size_t m_length = 0;
};

}  // namespace tarnwick
