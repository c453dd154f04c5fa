// Times the list operations of the main window on a million entries:
// loading a list file, a filter that removes half, clearing, and the copy.
//
// usage: tarnwick_list_bench [ENTRIES]
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>

#include "app/form1.h"
#include "filelist/add_files.h"
#include "filelist/list_filters.h"
#include "platform/list_view.h"
#include "results/save_and_copy.h"

namespace {

double Milliseconds(const std::function<void()>& operation) {
    QElapsedTimer timer;
    timer.start();
    operation();
    QCoreApplication::processEvents();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

QString WriteListFile(const QString& folder, int entries) {
    const QString path = folder + QStringLiteral("/list.txt");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    QByteArray text;
    for (int i = 0; i < entries; ++i) {
        text += QStringLiteral("/data/%1/reports/quarterly-%2.txt\r\n")
                    .arg(i % 2 ? "keep" : "drop")
                    .arg(i)
                    .toUtf8();
    }
    file.write(text);
    return path;
}

}  // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int entries = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir folder;
    const QString listFile = WriteListFile(folder.path(), entries);

    tarnwick::StartupEnvironment environment = tarnwick::StartupEnvironment::FromSystem();
    environment.programFolder = folder.path();
    tarnwick::Form1 form(std::move(environment));
    form.show();
    QCoreApplication::processEvents();
    tarnwick::ListView& list = *form.ListView1;

    std::printf("%-28s %10s\n", "operation", "ms");
    std::printf("%-28s %10.1f\n", "load list file", Milliseconds([&] {
                    tarnwick::LoadListFile(&form, list, listFile);
                    list.Flush();
                }));
    std::printf("%-28s %10.1f\n", "filter removing half", Milliseconds([&] {
                    tarnwick::RemoveEntriesContaining(list, QStringLiteral("DROP"));
                }));
    std::printf("%-28s %10.1f\n", "copy to clipboard",
                Milliseconds([&] { tarnwick::CopyListToClipboard(list); }));
    std::printf("%-28s %10.1f\n", "clear", Milliseconds([&] { list.Clear(); }));
    std::printf("entries: %d, left after clear: %d\n", entries, list.Count());
    return 0;
}
