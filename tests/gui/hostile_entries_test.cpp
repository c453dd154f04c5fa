// Entries that name special files, paths the system cannot take, or files
// whose names are not UTF-8, searched as the user searches them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <fstream>

#include "gui_test_support.h"
#include "platform/list_view.h"
#include "search/search_texts.h"

namespace tarnwick::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class HostileEntriesTest : public FormTest {
protected:
    void LoadListFile(const QByteArray& content) {
        answerer.QueueFileChoice({{files.Path(), files.Write("entries.lst", content)}});
        Click(form.PushButton8);
    }

    // The reports at line, each with the reason it gives.
    std::vector<std::string> ReportsAt(int line) const {
        std::vector<std::string> reports;
        for (const SeenMessage& message : answerer.Seen()) {
            if (message.title == kErrorReportTitle &&
                message.text.contains(QStringLiteral("at line %1\n").arg(line))) {
                reports.push_back(message.text.section(QLatin1Char('\n'), 0, 0).toStdString());
            }
        }
        return reports;
    }

    const QList<QString>& Results() const { return form.ListView2->Entries(); }
};

TEST_F(HostileEntriesTest, SpecialFilesArePassedOverAndBrokenLinksReported) {
    const QString lacking = files.Write("lacking.txt", "plain words");
    const QString sparse = files.Write("sparse.txt", "");
    ASSERT_EQ(truncate(qPrintable(sparse), 5LL << 30), 0);
    const QString fifo = files.Path() + "/fifo";
    ASSERT_EQ(mkfifo(qPrintable(fifo), 0600), 0);
    const QString loop = files.Path() + "/loop";
    ASSERT_EQ(symlink(qPrintable(loop), qPrintable(loop)), 0);
    const QString dangling = files.Path() + "/dangling";
    ASSERT_EQ(symlink(qPrintable(files.Path() + "/gone"), qPrintable(dangling)), 0);
    const QString folder = files.MakeFolder("special");
    ASSERT_EQ(mkfifo(qPrintable(folder + "/fifo"), 0600), 0);
    ASSERT_EQ(symlink(qPrintable(folder + "/loop"), qPrintable(folder + "/loop")), 0);
    const QString inFolder = files.Write("special/lacking.txt", "plain words");
    AddEntries(form, {"/dev/zero", "/dev/null", fifo, sparse, loop, dangling, folder, lacking});
    Search(QStringLiteral("needle"));

    EXPECT_THAT(Results(), ElementsAre(inFolder, lacking));
    // A link loop names no file, but its look-up fails: it is reported as a
    // file of its entry or folder, unlike a link that leads nowhere.
    const std::string loopReason = "\": Too many levels of symbolic links";
    EXPECT_THAT(ReportsAt(136), ElementsAre("Cannot look up \"" + loop.toStdString() + loopReason));
    EXPECT_THAT(ReportsAt(138), ElementsAre("Cannot open folder \"" + dangling.toStdString() +
                                            "\": No such file or directory"));
    EXPECT_THAT(ReportsAt(140),
                ElementsAre("Cannot look up \"" + folder.toStdString() + "/loop" + loopReason));
    EXPECT_EQ(answerer.Seen().back().text, kDoneText);
}

// Before, the path was cut at the NUL and the file before it was tested.
TEST_F(HostileEntriesTest, AnEntryHoldingANulNamesNothing) {
    const QString lacking = files.Write("lacking.txt", "plain words");
    LoadListFile(lacking.toUtf8() + QByteArray("\0.bak\r\n", 7) + lacking.toUtf8() + "\r\n");
    ASSERT_EQ(form.ListView1->Count(), 2);
    EXPECT_EQ(form.ListView1->Entries()[0], lacking + QChar(0) + ".bak");
    Search(QStringLiteral("needle"));

    EXPECT_THAT(Results(), ElementsAre(lacking));
    ASSERT_EQ(ReportsAt(138).size(), 1u);
    EXPECT_THAT(ReportsAt(138)[0], HasSubstr("\": Invalid argument"));
    EXPECT_EQ(answerer.Seen().back().text, kDoneText);
}

TEST_F(HostileEntriesTest, ATenMegabyteEntryGivesOneShortReportAndDone) {
    QByteArray line(10 << 20, 'a');
    line[0] = '/';
    LoadListFile(line);
    QString shownHeader;
    WhenDuringRun look(
        [&] { return form.ListView1->HeaderText().size() > line.size(); },
        [&] {
            shownHeader =
                form.ListView1->model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString();
        });
    Search(QStringLiteral("needle"));

    ASSERT_EQ(answerer.Seen().size(), 3u);
    const QString& report = answerer.Seen()[1].text;
    EXPECT_LT(report.size(), 5000);
    EXPECT_THAT(report.toStdString(), HasSubstr("\": File name too long\nin Velmora.Form1."
                                                "PushButton1_Click at line 138"));
    EXPECT_EQ(answerer.Seen()[2].text, kDoneText);
    EXPECT_TRUE(look.Happened());
    EXPECT_TRUE(shownHeader.startsWith(kSearchingEntryPrefix + "/aaa"));
    EXPECT_LT(shownHeader.size(), 5000);
    EXPECT_EQ(form.ListView1->Entries()[0].size(), line.size());
}

TEST_F(HostileEntriesTest, FilesWhoseNamesAreNotUtf8AreFoundUnderTheirOwnBytes) {
    const std::string folderBytes = files.MakeFolder("latin").toStdString();
    std::ofstream(folderBytes + "/caf\xe9.txt") << "plain words";
    const QString folder = QString::fromStdString(folderBytes);
    const QString file = folder + "/caf" + QChar(0xDCE9) + ".txt";
    AddEntries(form, {file, folder});
    Search(QStringLiteral("needle"));

    EXPECT_THAT(Results(), ElementsAre(file, file));
    EXPECT_THAT(answerer.Texts(), ElementsAre(kDoneText));
    // Qt cannot name such a file to remove it with the temporary folder.
    std::filesystem::remove_all(folderBytes);
}

}  // namespace
}  // namespace tarnwick::test
