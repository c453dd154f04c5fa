// Drives the real main window offscreen and times its operations, each with
// the longest stall of the event loop while it ran.
//
// usage: tarnwick_window_bench COMMAND ...
//   search LISTFILE PHRASE [--ignore-case] [--workers N] [--print-results]
//       fills the file list with the lines of LISTFILE and clicks "Start
//       Searching"; --workers N tests N files at once, 0 (the default) one
//       per core, more while the tests wait for the storage; --print-results
//       writes the results to stdout and the timings to stderr. Besides the
//       times it reports the GUI thread's CPU time per entry and that of one
//       bare yield to the event loop.
//   walk FOLDER
//       adds every file of FOLDER's tree as a drop of FOLDER does; besides the
//       time and the longest stall it reports the GUI thread's CPU time
//   lists N
//       loads a list file of N entries, filters half of them away, clears the
//       list, then saves and copies N results, and reports resident memory
//   startup [--launched-at EPOCHSECONDS]
//       time to the shown and painted window; EPOCHSECONDS (for instance bash's
//       $EPOCHREALTIME when launching) adds the time from before the launch

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/form1.h"
#include "dialog_answerer.h"
#include "filelist/add_files.h"
#include "filelist/add_folder.h"
#include "filelist/list_filters.h"
#include "platform/list_view.h"
#include "search/search_texts.h"

namespace {

using Clock = std::chrono::steady_clock;

// Taken during static initialisation, before main and before Qt starts.
const Clock::time_point kProcessEntered = Clock::now();

constexpr int kStallTickMs = 5;

// CPU time of the calling thread.
double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double MillisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

[[noreturn]] void Fail(const QString& message) {
    std::fprintf(stderr, "%s\n", qPrintable(message));
    std::exit(1);
}

// Ticks every few milliseconds whenever the event loop runs; a long gap
// between ticks is a time the window could not respond.
class StallMeter {
public:
    StallMeter() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kStallTickMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { m_ticks.push_back(Clock::now()); });
        m_ticks.push_back(Clock::now());
        m_timer.start();
    }

    // The longest gap between ticks within [from, to], both ends counting as
    // ticks, so that a stall before from is not charged to what began at from.
    double LongestGapMs(Clock::time_point from, Clock::time_point to) const {
        Clock::time_point previous = from;
        double longest = 0;
        for (auto next = std::upper_bound(m_ticks.begin(), m_ticks.end(), from);
             next != m_ticks.end() && *next <= to; ++next) {
            longest = std::max(longest, MillisecondsBetween(previous, *next));
            previous = *next;
        }
        return std::max(longest, MillisecondsBetween(previous, to));
    }

private:
    QTimer m_timer;
    std::vector<Clock::time_point> m_ticks;
};

struct Span {
    Clock::time_point start;
    Clock::time_point end;
};

struct Measured {
    double ms = 0;
    double stallMs = 0;
};

Measured Over(const StallMeter& meter, Clock::time_point from, Clock::time_point to) {
    return {MillisecondsBetween(from, to), meter.LongestGapMs(from, to)};
}

// Runs operation up to the moment the window has processed what it left
// behind, such as the repaint of new rows.
Span Timed(const std::function<void()>& operation) {
    const Clock::time_point start = Clock::now();
    operation();
    QCoreApplication::processEvents();
    return {start, Clock::now()};
}

Measured Measure(const StallMeter& meter, const std::function<void()>& operation) {
    const Span span = Timed(operation);
    return Over(meter, span.start, span.end);
}

// Answers the window's dialogs as they are shown; one that cannot be
// answered ends the benchmark.
class BenchDialogAnswerer : public tarnwick::test::DialogAnswerer {
public:
    BenchDialogAnswerer() : DialogAnswerer([](const QString& problem) { Fail(problem); }) {}

    // The GUI thread's CPU time when the last dialog was shown.
    std::optional<double> CpuMsAtLastDialog() const { return m_cpuMsAtLastDialog; }

    void TypeIntoNextFileDialog(const QString& path) {
        const QFileInfo target(path);
        QueueFileChoice(tarnwick::test::FileChoice{target.absolutePath(), target.fileName()});
    }

    bool SawMessage(const QString& text) const {
        const std::vector<QString> texts = Texts();
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && qobject_cast<QDialog*>(watched)) {
            m_cpuMsAtLastDialog = ThreadCpuMs();
        }
        return DialogAnswerer::eventFilter(watched, event);
    }

private:
    std::optional<double> m_cpuMsAtLastDialog;
};

// The main window as start-up makes it, minus the splash, the skin and the
// home page, which an empty program folder and a fixed draw leave out.
class BenchWindow {
public:
    explicit BenchWindow(unsigned searchWorkers) {
        if (!m_programFolder.isValid()) {
            Fail(QStringLiteral("cannot make a temporary folder"));
        }
        tarnwick::StartupEnvironment environment = tarnwick::StartupEnvironment::FromSystem();
        environment.programFolder = m_programFolder.path();
        environment.drawOneToHundred = [] { return 1; };
        environment.openUrl = [](const QString&) {};
        environment.endProcess = [] {};
        environment.searchWorkers = searchWorkers;
        m_form = std::make_unique<tarnwick::Form1>(std::move(environment));
    }

    tarnwick::Form1& Form() { return *m_form; }
    QString ScratchPath(const QString& name) const { return m_programFolder.filePath(name); }

private:
    QTemporaryDir m_programFolder;
    std::unique_ptr<tarnwick::Form1> m_form;
};

void ShowAndSettle(tarnwick::Form1& form) {
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) {
        Fail(QStringLiteral("the window was never exposed"));
    }
    QCoreApplication::processEvents();
}

void PrintRow(const char* operation, const Measured& measured) {
    std::printf("%-34s %10.1f %12.1f\n", operation, measured.ms, measured.stallMs);
}

void PrintTableHead() {
    std::printf("%-34s %10s %12s\n", "operation", "ms", "stall ms");
}

// Kilobytes of a /proc/self/status line such as VmRSS or VmHWM.
long StatusKilobytes(const std::string& key) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(key + ":", 0) == 0) {
            return std::atol(line.c_str() + key.size() + 1);
        }
    }
    return -1;
}

void PrintMemory(const char* moment) {
    std::printf("%-34s %10.1f MB resident (peak so far %.1f MB)\n", moment,
                static_cast<double>(StatusKilobytes("VmRSS")) / 1024.0,
                static_cast<double>(StatusKilobytes("VmHWM")) / 1024.0);
}

QStringList ReadLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Fail(QStringLiteral("cannot read ") + path);
    }
    QStringList lines;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (!line.isEmpty()) {
            lines.append(line);
        }
    }
    return lines;
}

void AppendAll(tarnwick::ListView& list, const QStringList& entries) {
    for (const QString& entry : entries) {
        list.Append(entry);
    }
    list.Flush();
    QCoreApplication::processEvents();
}

// --- search ---------------------------------------------------------------

struct SearchOptions {
    QString listFile;
    QString phrase;
    bool ignoreCase = false;
    bool printResults = false;
    unsigned workers = 0;
};

SearchOptions ParseSearchOptions(const QStringList& arguments) {
    SearchOptions options;
    QStringList positional;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--ignore-case")) {
            options.ignoreCase = true;
        } else if (argument == QLatin1String("--print-results")) {
            options.printResults = true;
        } else if (argument == QLatin1String("--workers") && i + 1 < arguments.size()) {
            options.workers = arguments[++i].toUInt();
        } else {
            positional.append(argument);
        }
    }
    if (positional.size() != 2) {
        Fail(
            QStringLiteral("usage: search LISTFILE PHRASE [--ignore-case] [--workers N] "
                           "[--print-results]"));
    }
    options.listFile = positional[0];
    options.phrase = positional[1];
    return options;
}

// The GUI thread's CPU time of one yield to the event loop when nothing is
// pending: the least that a search pays per entry.
double YieldCpuUs() {
    constexpr int kYields = 20000;
    const double start = ThreadCpuMs();
    for (int i = 0; i < kYields; ++i) {
        QCoreApplication::processEvents();
    }
    return 1e3 * (ThreadCpuMs() - start) / kYields;
}

int RunSearch(const QStringList& arguments) {
    const SearchOptions options = ParseSearchOptions(arguments);
    BenchWindow window(options.workers);
    tarnwick::Form1& form = window.Form();
    ShowAndSettle(form);
    AppendAll(*form.ListView1, ReadLines(options.listFile));
    form.Text1->setText(options.phrase);
    form.Check4->setChecked(!options.ignoreCase);

    const StallMeter meter;
    const BenchDialogAnswerer answerer;
    const double cpuAtClick = ThreadCpuMs();
    const Span span = Timed([&] { form.PushButton1->click(); });
    const Measured click = Over(meter, span.start, span.end);
    if (!answerer.SawMessage(tarnwick::kDoneText)) {
        Fail(QStringLiteral("the search ended without \"Done.\""));
    }
    const int entries = form.ListView1->Count();
    const double searchCpuMs = *answerer.CpuMsAtLastDialog() - cpuAtClick;

    FILE* report = options.printResults ? stderr : stdout;
    std::fprintf(report, "entries %d\n", entries);
    std::fprintf(report, "workers %u\n", options.workers);
    std::fprintf(report, "click %.1f ms\n", click.ms);
    std::fprintf(report, "until-done %.1f ms\n",
                 MillisecondsBetween(span.start, *answerer.LastSeenAt()));
    std::fprintf(report, "longest-stall %.1f ms\n", click.stallMs);
    std::fprintf(report, "other-messages %lld\n",
                 static_cast<long long>(answerer.Seen().size() - 1));
    std::fprintf(report, "results %d\n", form.ListView2->Count());
    // Until "Done." showed, so the message box's own work is left out.
    std::fprintf(report, "gui-cpu-per-entry %.2f us\n", 1e3 * searchCpuMs / entries);
    std::fprintf(report, "yield-cpu %.2f us\n", YieldCpuUs());
    if (options.printResults) {
        for (const QString& result : form.ListView2->Entries()) {
            std::printf("%s\n", qPrintable(result));
        }
    }
    return 0;
}

// --- walk -----------------------------------------------------------------

int RunWalk(const QStringList& arguments) {
    if (arguments.size() != 1) {
        Fail(QStringLiteral("usage: walk FOLDER"));
    }
    BenchWindow window(0);
    tarnwick::Form1& form = window.Form();
    ShowAndSettle(form);

    const StallMeter meter;
    const double guiCpuBefore = ThreadCpuMs();
    const Measured walk = Measure(meter, [&] {
        tarnwick::AddDroppedPaths(*form.ListView1, {arguments[0]});
        form.ListView1->Flush();
    });
    const double guiCpu = ThreadCpuMs() - guiCpuBefore;
    std::printf("entries %d\n", form.ListView1->Count());
    std::printf("walk %.1f ms\n", walk.ms);
    std::printf("longest-stall %.1f ms\n", walk.stallMs);
    std::printf("gui-cpu %.1f ms\n", guiCpu);
    return 0;
}

// --- lists ----------------------------------------------------------------

// Half the lines name a "drop" folder, so that one filter removes half.
// Written in pieces so that the text never sits in memory whole.
QString WriteListFile(const QString& path, int entries) {
    constexpr int kLinesPerWrite = 10000;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        Fail(QStringLiteral("cannot write ") + path);
    }
    QByteArray text;
    for (int i = 0; i < entries; ++i) {
        text += QStringLiteral("/data/%1/reports/quarterly-%2.txt\r\n")
                    .arg(i % 2 ? QStringLiteral("keep") : QStringLiteral("drop"))
                    .arg(i)
                    .toUtf8();
        if ((i + 1) % kLinesPerWrite == 0 || i + 1 == entries) {
            file.write(text);
            text.clear();
        }
    }
    return path;
}

void AppendResultPaths(tarnwick::ListView& results, int entries) {
    for (int i = 0; i < entries; ++i) {
        results.Append(QStringLiteral("/data/archive/%1/report-%2.txt").arg(i % 1000).arg(i));
    }
    results.Flush();
}

struct DialogClick {
    Measured whole;
    Measured beforeDialog;
    Measured afterDialog;
};

// Clicks a button whose handler shows a dialog, and splits the click at the
// moment the dialog was seen: the work of a save follows its dialog, the
// work of a copy precedes its message.
DialogClick ClickThroughDialog(const StallMeter& meter, const BenchDialogAnswerer& answerer,
                               QPushButton* button) {
    const Span span = Timed([&] { button->click(); });
    const Clock::time_point seen = answerer.LastSeenAt().value_or(span.start);
    return {Over(meter, span.start, span.end), Over(meter, span.start, seen),
            Over(meter, seen, span.end)};
}

void RunFileListOperations(const StallMeter& meter, BenchWindow& window, int entries) {
    tarnwick::Form1& form = window.Form();
    const QString listFile = WriteListFile(window.ScratchPath(QStringLiteral("list.txt")), entries);
    PrintRow("load list file", Measure(meter, [&] {
                 tarnwick::LoadListFile(&form, *form.ListView1, listFile);
                 form.ListView1->Flush();
             }));
    std::printf("%-34s %10d\n", "  entries loaded", form.ListView1->Count());
    PrintMemory("  with the file list full");
    PrintRow("filter removing half", Measure(meter, [&] {
                 tarnwick::RemoveEntriesContaining(*form.ListView1, QStringLiteral("DROP"));
             }));
    std::printf("%-34s %10d\n", "  entries left", form.ListView1->Count());
    PrintRow("clear file list (button)", Measure(meter, [&] { form.PushButton9->click(); }));
}

void RunResultOperations(const StallMeter& meter, BenchDialogAnswerer& answerer,
                         BenchWindow& window, int entries) {
    tarnwick::Form1& form = window.Form();
    PrintRow("append results to the list",
             Measure(meter, [&] { AppendResultPaths(*form.ListView2, entries); }));
    PrintMemory("  with the result list full");

    const QString savedPath = window.ScratchPath(QStringLiteral("results.txt"));
    answerer.TypeIntoNextFileDialog(savedPath);
    const DialogClick save = ClickThroughDialog(meter, answerer, form.PushButton2);
    PrintRow("save results (whole click)", save.whole);
    PrintRow("save results (after the dialog)", save.afterDialog);
    std::printf("%-34s %10lld bytes\n", "  saved", QFileInfo(savedPath).size());

    const DialogClick copy = ClickThroughDialog(meter, answerer, form.PushButton4);
    PrintRow("copy results (whole click)", copy.whole);
    PrintRow("copy results (until the message)", copy.beforeDialog);
    // The size of what the clipboard holds, without making a copy of it.
    const QMimeData* copied = QGuiApplication::clipboard()->mimeData();
    std::printf(
        "%-34s %10lld bytes\n", "  on the clipboard",
        static_cast<long long>(copied ? copied->data(QStringLiteral("text/plain")).size() : 0));
}

int RunLists(const QStringList& arguments) {
    const int entries = arguments.isEmpty() ? 1000000 : arguments[0].toInt();
    if (entries <= 0) {
        Fail(QStringLiteral("usage: lists N"));
    }
    BenchWindow window(0);
    ShowAndSettle(window.Form());
    PrintMemory("shown window");

    const StallMeter meter;
    BenchDialogAnswerer answerer;
    std::printf("%d entries\n", entries);
    PrintTableHead();
    RunFileListOperations(meter, window, entries);
    RunResultOperations(meter, answerer, window, entries);
    PrintMemory("after the operations");
    return 0;
}

// --- startup --------------------------------------------------------------

// Notes the first paint of the watched window.
class FirstPaintWatcher : public QObject {
public:
    bool Painted() const { return m_painted; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            m_painted = true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_painted = false;
};

double EpochSecondsNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

int RunStartup(const QStringList& arguments) {
    BenchWindow window(0);
    tarnwick::Form1& form = window.Form();
    FirstPaintWatcher watcher;
    form.installEventFilter(&watcher);
    form.show();
    while (!watcher.Painted()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const Clock::time_point painted = Clock::now();
    const double epochPainted = EpochSecondsNow();

    std::printf("from-main %.1f ms\n", MillisecondsBetween(kProcessEntered, painted));
    const int launchedAt = static_cast<int>(arguments.indexOf(QStringLiteral("--launched-at")));
    if (launchedAt >= 0 && launchedAt + 1 < arguments.size()) {
        const double launched = arguments[launchedAt + 1].toDouble();
        std::printf("from-launch %.1f ms\n", (epochPainted - launched) * 1000.0);
    }
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: tarnwick_window_bench search LISTFILE PHRASE [--ignore-case] "
                 "[--workers N] [--print-results]\n"
                 "       tarnwick_window_bench walk FOLDER\n"
                 "       tarnwick_window_bench lists N\n"
                 "       tarnwick_window_bench startup [--launched-at EPOCHSECONDS]\n");
    return 2;
}

}  // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty()) {
        return Usage();
    }
    const QString command = arguments.takeFirst();
    if (command == QLatin1String("search")) {
        return RunSearch(arguments);
    }
    if (command == QLatin1String("walk")) {
        return RunWalk(arguments);
    }
    if (command == QLatin1String("lists")) {
        return RunLists(arguments);
    }
    if (command == QLatin1String("startup")) {
        return RunStartup(arguments);
    }
    return Usage();
}
