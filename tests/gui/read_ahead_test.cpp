#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <filesystem>

#include "gui_test_support.h"
#include "platform/list_view.h"

namespace tarnwick::test {
namespace {

using ::testing::ElementsAreArray;

std::unique_ptr<FormUnderTest> FormWithWorkers(unsigned workers) {
    return MakeForm([workers](StartupEnvironment& environment, const TempFolder&) {
        environment.searchWorkers = workers;
    });
}

std::vector<QString> Search(unsigned workers, const std::vector<QString>& entries,
                            const QString& phrase) {
    auto made = FormWithWorkers(workers);
    MessageAnswerer answerer(*made->form);
    AddEntries(*made->form, entries);
    made->form->Text1->setText(phrase);
    ClickStart(*made->form);
    EXPECT_THAT(answerer.Texts(), ElementsAreArray({QStringLiteral("Done.")}));
    const QList<QString>& results = made->form->ListView2->Entries();
    return {results.begin(), results.end()};
}

QStringList Lines(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

TEST(ReadAhead, ResultsComeInFileListOrderWhateverFinishesFirst) {
    TempFolder files;
    std::vector<QString> entries;
    std::vector<QString> lacking;
    for (int i = 0; i < 24; ++i) {
        const bool large = i % 3 == 0;
        const bool contains = i % 4 == 1;
        QByteArray content(large ? 3 << 20 : 100, 'a');
        if (contains) {
            content.append("needle");
        }
        entries.push_back(files.Write(QStringLiteral("%1.txt").arg(i), content));
        if (!contains) {
            lacking.push_back(entries.back());
        }
    }
    EXPECT_THAT(Search(4, entries, QStringLiteral("needle")), ElementsAreArray(lacking));
}

TEST(ReadAhead, OneWorkerAndSeveralFindTheExpectedFilesOfTheCorpus) {
    const std::string script = TARNWICK_CORPUS_SCRIPT;
    if (!std::filesystem::exists(script)) {
        GTEST_SKIP() << "no corpus generator at " << script;
    }
    TempFolder folder;
    const QString corpus = folder.Path() + "/corpus";
    const std::string command = std::string(TARNWICK_PYTHON) + " '" + script + "' '" +
                                corpus.toStdString() + "' tiny > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    std::vector<QString> entries;
    for (const QString& path : Lines(corpus + "/files.txt")) {
        entries.push_back(path);
    }
    const std::vector<QString> single = Search(1, entries, QStringLiteral("Quarterly Revenue"));
    const std::vector<QString> several = Search(4, entries, QStringLiteral("Quarterly Revenue"));
    EXPECT_EQ(single, several);

    QStringList found;
    for (const QString& path : several) {
        found.append(QDir(corpus + "/tree").relativeFilePath(path));
    }
    found.sort();
    QStringList expected = Lines(corpus + "/expected-cs.txt");
    expected.sort();
    EXPECT_EQ(found, expected);
}

}  // namespace
}  // namespace tarnwick::test
