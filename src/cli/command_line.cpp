#include "cli/command_line.h"

#include <algorithm>
#include <functional>
#include <optional>

namespace tarnwick::cli {

namespace {

using Kind = EntrySource::Kind;

struct OptionRule {
    QLatin1StringView longName;
    char shortName;  // 0: none
    bool takesValue;
    std::function<void(Options&, const QString& value)> apply;
};

const std::vector<OptionRule>& OptionRules() {
    static const std::vector<OptionRule> rules = {
        {QLatin1StringView("list"), 0, true,
         [](Options& o, const QString& v) {
             o.sources.push_back({Kind::ListFile, v});
         }},
        {QLatin1StringView("tree"), 0, true,
         [](Options& o, const QString& v) {
             o.sources.push_back({Kind::FolderTree, v});
         }},
        {QLatin1StringView("ext"), 0, true,
         [](Options& o, const QString& v) { o.extensions.push_back(v); }},
        {QLatin1StringView("lacking"), 0, true,
         [](Options& o, const QString& v) { o.conditions.lacking.push_back(v); }},
        {QLatin1StringView("containing"), 0, true,
         [](Options& o, const QString& v) { o.conditions.containing.push_back(v); }},
        {QLatin1StringView("ignore-case"), 'i', false,
         [](Options& o, const QString&) { o.mode = CaseMode::Insensitive; }},
        {QLatin1StringView("null-data"), 0, false,
         [](Options& o, const QString&) { o.nulInput = true; }},
        {QLatin1StringView("null"), '0', false,
         [](Options& o, const QString&) { o.nulOutput = true; }},
        {QLatin1StringView("count"), 0, false,
         [](Options& o, const QString&) { o.countOnly = true; }},
        {QLatin1StringView("summary"), 0, false,
         [](Options& o, const QString&) { o.summary = true; }},
        {QLatin1StringView("quiet"), 'q', false,
         [](Options& o, const QString&) { o.quiet = true; }},
        {QLatin1StringView("help"), 'h', false,
         [](Options& o, const QString&) { o.action = Options::Action::Help; }},
        {QLatin1StringView("version"), 0, false,
         [](Options& o, const QString&) { o.action = Options::Action::Version; }},
    };
    return rules;
}

const OptionRule* FindRule(const QString& argument) {
    const std::vector<OptionRule>& rules = OptionRules();
    const auto found = std::find_if(rules.begin(), rules.end(), [&](const OptionRule& rule) {
        return argument.startsWith(QLatin1String("--"))
                   ? argument.mid(2).section(QLatin1Char('='), 0, 0) == rule.longName
                   : argument.size() == 2 && rule.shortName != 0 &&
                         argument[1] == QLatin1Char(rule.shortName);
    });
    return found == rules.end() ? nullptr : &*found;
}

bool IsBlank(const QString& phrase) {
    return std::all_of(phrase.cbegin(), phrase.cend(),
                       [](QChar c) { return c == QLatin1Char(' '); });
}

class Parser {
public:
    explicit Parser(const std::vector<QString>& arguments) : m_arguments(arguments) {}

    ParsedCommandLine Parse() {
        for (m_next = 0; m_next < m_arguments.size() && m_error.isEmpty();) {
            Take(m_arguments[m_next++]);
        }
        if (m_error.isEmpty() && m_parsed.action == Options::Action::Search) {
            TakePhrase();
            Check();
        }
        return {std::move(m_parsed), m_error};
    }

private:
    void Take(const QString& argument) {
        if (!m_optionsEnded && argument == QLatin1String("--")) {
            m_optionsEnded = true;
        } else if (!m_optionsEnded && argument.startsWith(QLatin1Char('-')) &&
                   argument.size() > 1) {
            TakeOption(argument);
        } else {
            if (!m_firstPositional) m_firstPositional = m_parsed.sources.size();
            m_parsed.sources.push_back(
                {argument == QLatin1String("-") ? Kind::StandardInput : Kind::Path, argument});
        }
    }

    void TakeOption(const QString& argument) {
        const OptionRule* rule = FindRule(argument);
        if (!rule) {
            m_error = QStringLiteral("unknown option %1").arg(argument);
            return;
        }
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        if (!rule->takesValue) {
            if (equals >= 0) m_error = QStringLiteral("%1 takes no value").arg(argument);
            rule->apply(m_parsed, QString());
        } else if (equals >= 0 && argument.startsWith(QLatin1String("--"))) {
            rule->apply(m_parsed, argument.mid(equals + 1));
        } else if (m_next < m_arguments.size()) {
            rule->apply(m_parsed, m_arguments[m_next++]);
        } else {
            m_error = QStringLiteral("%1 needs a value").arg(argument);
        }
    }

    // Without conditions given as options, the first argument that is not
    // an option is the phrase a listed file lacks.
    void TakePhrase() {
        PhraseConditions& conditions = m_parsed.conditions;
        if (!conditions.lacking.empty() || !conditions.containing.empty()) return;
        if (!m_firstPositional) {
            m_error = QStringLiteral("no phrase given");
            return;
        }
        const auto phrase =
            m_parsed.sources.begin() + static_cast<std::ptrdiff_t>(*m_firstPositional);
        conditions.lacking.push_back(phrase->value);
        m_parsed.sources.erase(phrase);
    }

    void Check() {
        if (!m_error.isEmpty()) return;
        const PhraseConditions& conditions = m_parsed.conditions;
        for (const auto* phrases : {&conditions.lacking, &conditions.containing}) {
            if (std::any_of(phrases->begin(), phrases->end(), IsBlank)) {
                m_error = QStringLiteral("a phrase is empty or only spaces");
            }
        }
        if (m_parsed.sources.empty()) {
            m_error = QStringLiteral("no entries given");
        }
    }

    const std::vector<QString>& m_arguments;
    std::size_t m_next = 0;
    bool m_optionsEnded = false;
    std::optional<std::size_t> m_firstPositional;
    Options m_parsed;
    QString m_error;
};

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<QString>& arguments) {
    return Parser(arguments).Parse();
}

}  // namespace tarnwick::cli
