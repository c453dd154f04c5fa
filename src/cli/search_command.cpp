#include "cli/search_command.h"

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/cli_texts.h"
#include "cli/console.h"
#include "cli/progress_line.h"
#include "engine/file_system.h"
#include "engine/folder_walk.h"
#include "engine/path_text.h"
#include "platform/system.h"
#include "search/search_run.h"
#include "search/search_texts.h"
#include "search/search_workers.h"

namespace tarnwick::cli {

namespace {

using AddEntry = std::function<void(std::string_view path)>;

struct Tally {
    int entries = 0;
    int tested = 0;
    int listed = 0;
    int notText = 0;
    int reported = 0;
};

// The path in a progress text of the run.
QString PathIn(const QString& progress) {
    for (const QString& prefix : {kSearchingEntryPrefix, kSearchingFolderPrefix}) {
        if (progress.startsWith(prefix)) return progress.mid(prefix.size());
    }
    return progress;
}

QString OneLine(QString text) {
    return text.replace(QLatin1String("\r\n"), QLatin1String(" "))
        .replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\n'), QLatin1Char(' '));
}

// Writes the files a run lists and reports what fails; counts both.
class CommandSink final : public SearchSink {
public:
    CommandSink(const Options& options, ProgressLine& progress)
        : m_options(options),
          m_progress(progress),
          m_outputOnTerminal(IsTerminal(Stream::Output)),
          m_pathEnd(options.nulOutput ? QChar(0) : QChar(u'\n')) {}

    void Report(const QString& description) {
        ++m_tally.reported;
        m_progress.Erase();
        Write(Stream::Error,
              kProgramName + QStringLiteral(": ") + OneLine(description) + QLatin1Char('\n'));
    }
    void EntryBegins() { ++m_entryTurn; }
    void SetEntries(int entries) { m_tally.entries = entries; }
    const Tally& Counted() const { return m_tally; }

private:
    void Lacks(const QString& path) override {
        ++m_tally.listed;
        if (m_options.countOnly) return;
        if (m_outputOnTerminal) m_progress.Erase();
        Write(Stream::Output, path + m_pathEnd);
    }
    void Failed(SearchStep, const QString& description) override { Report(description); }
    void Progress(const QString& text) override {
        m_progress.Set(m_entryTurn - 1, m_tally.entries, PathIn(text));
    }
    bool StopRequested() override { return false; }
    void Tested(Verdict verdict) override {
        if (verdict == Verdict::NonText || verdict == Verdict::Contains ||
            verdict == Verdict::Lacks) {
            ++m_tally.tested;
        }
        if (verdict == Verdict::NonText) ++m_tally.notText;
    }

    const Options& m_options;
    ProgressLine& m_progress;
    const bool m_outputOnTerminal;
    const QChar m_pathEnd;
    int m_entryTurn = 0;
    Tally m_tally;
};

void AddListFile(const QString& path, const AddEntry& add, CommandSink& sink) {
    Expected<std::string> content = ReadListFile(PathToSystemEncoding(path));
    if (!content) {
        sink.Report(ErrorDescription(content.Error()));
        return;
    }
    ForEachListFileLine(DecodeListFile(std::move(content.Value())), add);
}

void AddFolderTree(const QString& path, const std::vector<QString>& extensions, const AddEntry& add,
                   CommandSink& sink) {
    const std::string folder = PathToSystemEncoding(path);
    const Expected<PathKind> kind = QueryPathKind(folder);
    if (!kind) {
        sink.Report(ErrorDescription(kind.Error()));
        return;
    }
    if (kind.Value() != PathKind::Directory) {
        sink.Report(QStringLiteral("\"%1\" is not a folder").arg(path));
        return;
    }
    const std::vector<QString> every = {QStringLiteral("*")};
    for (const QString& extension : extensions.empty() ? every : extensions) {
        WalkFolderTree(folder, ExtensionPattern(PathToSystemEncoding(extension)),
                       TreeJoining::Repaired, [&add](std::vector<std::string>&& paths) {
                           for (const std::string& found : paths) add(found);
                       });
    }
}

// One path a line, its line end LF or CR LF, or one path before each NUL;
// nothing after the last end.
void AddStandardInput(bool nulSeparated, const AddEntry& add, CommandSink& sink) {
    Expected<std::string> input = ReadStandardInput();
    if (!input) {
        sink.Report(ErrorDescription(input.Error()));
        return;
    }
    const std::string text = DecodeListFile(std::move(input.Value()));
    const char end = nulSeparated ? '\0' : '\n';
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t cut = std::min(rest.find(end), rest.size());
        std::string_view path = rest.substr(0, cut);
        if (!nulSeparated && path.ends_with('\r')) path.remove_suffix(1);
        add(path);
        rest.remove_prefix(std::min(cut + 1, rest.size()));
    }
}

std::vector<QString> GatherEntries(const Options& options, CommandSink& sink) {
    std::vector<QString> entries;
    const AddEntry add = [&entries](std::string_view path) {
        entries.push_back(PathFromSystemEncoding(path));
    };
    for (const EntrySource& source : options.sources) {
        switch (source.kind) {
            case EntrySource::Kind::Path:
                entries.push_back(source.value);
                break;
            case EntrySource::Kind::ListFile:
                AddListFile(source.value, add, sink);
                break;
            case EntrySource::Kind::FolderTree:
                AddFolderTree(source.value, options.extensions, add, sink);
                break;
            case EntrySource::Kind::StandardInput:
                AddStandardInput(options.nulInput, add, sink);
                break;
        }
    }
    return entries;
}

void Search(const std::vector<QString>& entries, const PhraseConditions& conditions, CaseMode mode,
            CommandSink& sink) {
    const int count = static_cast<int>(entries.size());
    SearchRequest request{
        .entries = {.count = [count] { return count; },
                    .entryAt = [&entries, count](int position) -> std::optional<QString> {
                        if (position < 1 || position > count) return std::nullopt;
                        return entries[static_cast<std::size_t>(position - 1)];
                    }},
        .conditions = [&conditions] { return conditions; },
        .mode = mode,
        .yield =
            [&sink](YieldPoint point) {
                if (point == YieldPoint::BeforeEntry) sink.EntryBegins();
                YieldToEventLoop();
            },
    };
    SearchWorkers workers(0);
    SearchRun(workers, std::move(request), sink).Run();
}

int ExitStatusOf(const Tally& tally) {
    if (tally.reported > 0) return kReportedOrWrongUse;
    return tally.listed > 0 ? kSomeListed : kNoneListed;
}

}  // namespace

int RunSearchCommand(const Options& options) {
    const bool showProgress = !options.quiet && IsTerminal(Stream::Error);
    ProgressLine progress(showProgress ? TerminalColumns() : 0);
    CommandSink sink(options, progress);
    const std::vector<QString> entries = GatherEntries(options, sink);
    sink.SetEntries(static_cast<int>(entries.size()));
    Search(entries, options.conditions, options.mode, sink);
    progress.Erase();

    const Tally& tally = sink.Counted();
    if (options.countOnly) {
        Write(Stream::Output, QString::number(tally.listed) + QLatin1Char('\n'));
    }
    if (const Expected<void> written = Flush(Stream::Output); !written) {
        sink.Report(ErrorDescription(written.Error()));
    }
    if (options.summary) {
        Write(Stream::Error, kSummaryFormat.arg(tally.entries)
                                     .arg(tally.tested)
                                     .arg(tally.listed)
                                     .arg(tally.notText)
                                     .arg(tally.reported) +
                                 QLatin1Char('\n'));
    }
    return ExitStatusOf(tally);
}

}  // namespace tarnwick::cli
