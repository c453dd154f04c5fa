#include "engine/content_conditions.h"

#include <algorithm>

namespace tarnwick {

namespace {

std::size_t LongestOf(const std::vector<PhraseMatcher>& matchers) {
    std::size_t longest = 0;
    for (const PhraseMatcher& matcher : matchers) {
        longest = std::max(longest, matcher.Length());
    }
    return longest;
}

std::vector<PhraseMatcher> MatchersOf(std::span<const std::string> phrases, CaseMode mode) {
    std::vector<PhraseMatcher> matchers;
    matchers.reserve(phrases.size());
    for (const std::string& phrase : phrases) {
        matchers.emplace_back(phrase, mode);
    }
    return matchers;
}

}  // namespace

ContentConditions::ContentConditions(PhraseMatcher lacking) : m_lacking{std::move(lacking)} {
    m_length = LongestOf(m_lacking);
}

ContentConditions::ContentConditions(std::span<const std::string> lacking,
                                     std::span<const std::string> containing, CaseMode mode)
    : m_lacking(MatchersOf(lacking, mode)), m_containing(MatchersOf(containing, mode)) {
    m_length = std::max(LongestOf(m_lacking), LongestOf(m_containing));
}

bool ContentConditions::Lists(std::string_view text) const {
    Scan scan(*this);
    scan.Decided(text);
    return scan.Listed();
}

ContentConditions::Scan::Scan(const ContentConditions& conditions)
    : m_conditions(conditions), m_met(conditions.m_containing.size(), false) {}

// A phrase to lack, once met, decides; phrases to hold decide only when
// there is none to lack and all of them are met.
bool ContentConditions::Scan::Decided(std::string_view text) {
    for (const PhraseMatcher& lacking : m_conditions.m_lacking) {
        if (!lacking.LacksPhrase(text)) {
            m_lackingMet = true;
            return true;
        }
    }
    for (std::size_t i = 0; i < m_met.size(); ++i) {
        if (!m_met[i] && !m_conditions.m_containing[i].LacksPhrase(text)) {
            m_met[i] = true;
            ++m_containingMet;
        }
    }
    return m_conditions.m_lacking.empty() && m_containingMet == m_met.size();
}

bool ContentConditions::Scan::Listed() const {
    return !m_lackingMet && m_containingMet == m_met.size();
}

}  // namespace tarnwick
