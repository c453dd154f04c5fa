#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "filelist/add_files.h"
#include "gui_test_support.h"
#include "platform/list_view.h"
#include "system_files.h"

namespace tarnwick::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

const QString kListFileFormatShown =
    QStringLiteral("File should look like:\nC:\\test\\1.txt\nC:\\test\\2.txt\netc.");

class FileListTest : public FormTest {
protected:
    const QList<QString>& Entries() const { return form.ListView1->Entries(); }

    void Drop(const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths) {
            urls.append(QUrl::fromLocalFile(path));
        }
        data.setUrls(urls);
        DropData(data);
    }

    bool DropData(const QMimeData& data) {
        QWidget* target = form.ListView1->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) {
            return false;
        }
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }
};

TEST_F(FileListTest, FiltersIgnoreCaseAndLookAtTheWholePath) {
    const std::vector<QString> entries = {"/a/B.txt", "/txtdir/c.doc", "/d.doc"};
    AddEntries(form, entries);
    answerer.QueueInput(QStringLiteral("TXT"));
    Click(form.PushButton5);
    EXPECT_THAT(Entries(), ElementsAre("/d.doc"));
    EXPECT_EQ(form.Pointer().State(), PointerState::Default);

    form.ListView1->Clear();
    AddEntries(form, entries);
    answerer.QueueInput(QStringLiteral("TXT"));
    Click(form.PushButton10);
    EXPECT_THAT(Entries(), ElementsAre("/a/B.txt", "/txtdir/c.doc"));
    EXPECT_THAT(answerer.InputPrompts(),
                ElementsAre("Remove entries containing: ", "Remove entries not containing: "));
}

TEST_F(FileListTest, OneBlankIsAPhraseAndCancelChangesNothing) {
    AddEntries(form, {"/My Documents/a", "/b", "/c d/e", "/f"});
    answerer.QueueInput(std::nullopt);
    Click(form.PushButton5);
    answerer.QueueInput(QString());
    Click(form.PushButton5);
    EXPECT_EQ(Entries().size(), 4u);
    EXPECT_EQ(form.Pointer().State(), PointerState::Default);

    form.Pointer().Set(PointerState::Arrow);
    answerer.QueueInput(std::nullopt);
    Click(form.PushButton10);
    EXPECT_EQ(form.Pointer().State(), PointerState::Arrow);

    answerer.QueueInput(QStringLiteral(" "));
    Click(form.PushButton5);
    EXPECT_THAT(Entries(), ElementsAre("/b", "/f"));
}

TEST_F(FileListTest, FilterOverManyRangesKeepsOrder) {
    std::vector<QString> entries;
    std::vector<QString> kept;
    for (int i = 0; i < 1000; ++i) {
        entries.push_back(QStringLiteral("/%1/%2").arg(i % 3 == 0 ? "drop" : "keep").arg(i));
        if (i % 3 != 0) {
            kept.push_back(entries.back());
        }
    }
    AddEntries(form, entries);
    answerer.QueueInput(QStringLiteral("DROP"));
    Click(form.PushButton5);
    EXPECT_THAT(Entries(), ElementsAreArray(kept));
    EXPECT_EQ(form.ListView1->model()->rowCount(), static_cast<int>(kept.size()));
}

// Rows added faster than the view takes them in reach it in parts, each
// inserted at once, and every one of them in the end.
TEST_F(FileListTest, ManyRowsAddedAtOnceAreShownInPartsAndAllInTheEnd) {
    QAbstractItemModel* model = form.ListView1->model();
    std::vector<int> inserted;
    const QObject receiver;
    QObject::connect(
        model, &QAbstractItemModel::rowsInserted, &receiver,
        [&](const QModelIndex&, int first, int last) { inserted.push_back(last - first + 1); });
    form.ListView1->AppendAll(std::vector<QString>(100000, QStringLiteral("/a")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return model->rowCount() == 100000; }));
    EXPECT_GT(inserted.size(), 1u);
    EXPECT_LE(*std::max_element(inserted.begin(), inserted.end()), 32768);
}

TEST_F(FileListTest, DeleteKeyAndDoubleClickRemoveTheSelectedEntryOnly) {
    AddEntries(form, {"/a", "/b", "/c", "/d"});
    QTest::keyClick(form.ListView1, Qt::Key_Delete);
    EXPECT_EQ(Entries().size(), 4u);

    form.ListView1->selectRow(1);
    QTest::keyClick(form.ListView1, Qt::Key_Delete, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_THAT(Entries(), ElementsAre("/a", "/c", "/d"));

    const QRect row = form.ListView1->visualRect(form.ListView1->model()->index(2, 0));
    QTest::mouseDClick(form.ListView1->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_THAT(Entries(), ElementsAre("/a", "/c"));

    Click(form.PushButton9);
    EXPECT_THAT(Entries(), IsEmpty());
    EXPECT_EQ(form.ListView1->HeaderText(), QStringLiteral("File(s)"));
}

TEST_F(FileListTest, OpenDialogAddsEveryPickedFileInOrder) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        files.Write(name, "x");
    }
    answerer.QueueFileChoice({{files.Path(), "\"c.txt\" \"a.txt\" \"b.txt\""}});
    Click(form.PushButton7);
    answerer.QueueFileChoice({{files.Path(), "a.txt"}});
    Click(form.PushButton7);
    answerer.QueueFileChoice({{files.Path(), "typed-but-missing.txt"}});
    Click(form.PushButton7);
    answerer.QueueFileChoice(std::nullopt);
    Click(form.PushButton7);

    const QString folder = files.Path() + QDir::separator();
    EXPECT_THAT(Entries(), ElementsAre(folder + "c.txt", folder + "a.txt", folder + "b.txt",
                                       folder + "a.txt", folder + "typed-but-missing.txt"));
    EXPECT_THAT(answerer.DialogTitles(),
                testing::Each(QStringLiteral("Add File(s) - Use Ctrl & Shift to select multiple "
                                             "files")));
    EXPECT_THAT(answerer.Seen(), IsEmpty());
}

// Gives the file name box of every file dialog shown another name, as
// another Qt version might.
class NameBoxRenamer : public QObject {
public:
    NameBoxRenamer() { QCoreApplication::instance()->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* box = watched->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (event->type() == QEvent::Show && qobject_cast<QFileDialog*>(watched) && box) {
            box->setObjectName(QStringLiteral("renamed"));
        }
        return false;
    }
};

TEST_F(FileListTest, OpenDialogWhoseNameBoxIsNamedOtherwiseGivesItsSelection) {
    const QString file = files.Write("a.txt", "x");
    const NameBoxRenamer renamer;
    answerer.QueueFileChoice({{files.Path(), "a.txt"}});
    Click(form.PushButton7);
    EXPECT_THAT(Entries(), ElementsAre(file));
}

// L/link leads to T/sub, and T holds files of the same names as L: a name
// joined to the wrong folder would name those.
TEST_F(FileListTest, OpenDialogsGiveTheFilesPickedWhateverFolderTheyAreIn) {
    for (const char* name : {"L/good1.txt", "L/good2.txt", "T/good1.txt", "T/good2.txt",
                             "T/sub/inner1.txt", "T/sub/inner2.txt", "M/other.txt"}) {
        files.Write(name, "x");
    }
    const QString l = files.Path() + "/L";
    const QString link = l + "/link";
    std::filesystem::create_directory_symlink(QDir(files.Path() + "/T/sub").filesystemPath(),
                                              QDir(link).filesystemPath());
    const struct {
        QString folder;
        QString typed;
        std::vector<QString> entries;
    } choices[] = {
        {link,
         "\"" + l + "/good1.txt\" \"" + l + "/good2.txt\"",
         {l + "/good1.txt", l + "/good2.txt"}},
        {link, "\"inner1.txt\" \"inner2.txt\"", {link + "/inner1.txt", link + "/inner2.txt"}},
        {link, "\"../good1.txt\" \"inner1.txt\"", {l + "/good1.txt", link + "/inner1.txt"}},
        {l,
         "\"good1.txt\" \"" + files.Path() + "/M/other.txt\"",
         {l + "/good1.txt", files.Path() + "/M/other.txt"}},
    };
    for (const auto& [folder, typed, entries] : choices) {
        form.ListView1->Clear();
        answerer.QueueFileChoice({{folder, typed}});
        Click(form.PushButton7);
        EXPECT_THAT(Entries(), ElementsAreArray(entries)) << typed.toStdString();

        form.ListView1->Clear();
        for (const QString& entry : entries) {
            files.Write(entry.mid(files.Path().size() + 1) + ".lst", (entry + "\r\n").toUtf8());
        }
        QString lists = typed;
        answerer.QueueFileChoice({{folder, lists.replace(".txt", ".txt.lst")}});
        Click(form.PushButton8);
        EXPECT_THAT(Entries(), ElementsAreArray(entries)) << typed.toStdString();
    }
}

TEST_F(FileListTest, ListFilesAddEveryLineAsWritten) {
    files.Write("crlf.lst", "/test/1.txt\r\n/test/2.txt\r\n");
    files.Write("lf.lst", "/test/1.txt\n  blanks kept \n");
    files.Write("mixed.lst", "a\r\n\r\nb\rc\nd");
    files.Write("accented.lst", FileTextOf(QStringLiteral("/école.txt\r\n")));
    const QString unicode = QStringLiteral("/Ωμέγα.txt\r\n/中文.txt");
    files.Write("unicode.lst",
                "\xFF\xFE" +
                    QByteArray(reinterpret_cast<const char*>(unicode.utf16()), unicode.size() * 2));
    files.Write("utf8.lst", QStringLiteral("/Привет.txt").toUtf8());
    answerer.QueueFileChoice({{files.Path(),
                               "\"crlf.lst\" \"lf.lst\" \"mixed.lst\" \"accented.lst\" "
                               "\"unicode.lst\" \"utf8.lst\""}});
    Click(form.PushButton8);

    EXPECT_THAT(Entries(), ElementsAre("/test/1.txt", "/test/2.txt", "/test/1.txt",
                                       "  blanks kept ", "", "a", "", "b", "c", "d",
                                       QStringLiteral("/école.txt"), QStringLiteral("/Ωμέγα.txt"),
                                       QStringLiteral("/中文.txt"), QStringLiteral("/Привет.txt")));
    EXPECT_THAT(answerer.Texts(), ElementsAre(kListFileFormatShown));
    EXPECT_THAT(answerer.DialogTitles(),
                ElementsAre("Add File(s) - Hold Ctrl to select multiple files"));
}

TEST_F(FileListTest, UnloadableListFilesAreReportedByNameWhileTheOthersLoad) {
    files.Write("good.lst", "/x\r\n");
    const QString longName = QString(300, QLatin1Char('n'));
    answerer.QueueFileChoice({{files.Path(), "\"missing.lst\" \"" + longName + "\" \"good.lst\""}});
    Click(form.PushButton8);

    EXPECT_THAT(Entries(), ElementsAre("/x"));
    ASSERT_EQ(answerer.Seen().size(), 3u);
    EXPECT_EQ(answerer.Seen()[1].text, "File not found\n\n" + files.PathOf("missing.lst"));
    EXPECT_EQ(answerer.Seen()[2].text,
              files.PathOf(longName) +
                  "\n\nwas not added because it has bad characters in the filename.");
}

// Anything but a regular file could block the window or never end.
TEST_F(FileListTest, ListFilesThatAreNotRegularFilesAreReportedWhileTheOthersLoad) {
    files.Write("first.lst", "/1\r\n");
    files.Write("last.lst", "/2\r\n");
    const QString fifo = files.Path() + "/fifo.lst";
    ASSERT_TRUE(MakeSystemFile(fifo));
    const QString folder = files.MakeFolder("folder.lst");
    const QString sparse = files.Write("sparse.lst", "");
    std::filesystem::resize_file(QDir(sparse).filesystemPath(), 5LL << 30);
    const struct {
        QString path;
        QString reason;
    } refused[] = {
        {fifo, "not a regular file"},
        {"/dev/zero", "not a regular file"},
        {"/dev/urandom", "not a regular file"},
        {folder, "not a regular file"},
        {sparse, "larger than 268435456 bytes"},
    };
    QString typed = QStringLiteral("\"first.lst\"");
    for (const auto& [path, reason] : refused) {
        typed += " \"" + path + "\"";
    }
    answerer.QueueFileChoice({{files.Path(), typed + " \"last.lst\""}});
    Click(form.PushButton8);

    EXPECT_THAT(Entries(), ElementsAre("/1", "/2"));
    std::vector<QString> expected = {kListFileFormatShown};
    for (const auto& [path, reason] : refused) {
        expected.push_back("Could not read the list file\n\nCannot read \"" + path +
                           "\": " + reason);
    }
    EXPECT_THAT(answerer.Texts(), ElementsAreArray(expected));
}

// What is drawn and read out is cut; the entry itself stays whole.
TEST_F(FileListTest, AListFileOfOneTenMegabyteLineGivesOneWholeEntryShownCut) {
    QByteArray line(10 << 20, 'a');
    line[0] = '/';
    line.append("/end.txt");
    answerer.QueueFileChoice({{files.Path(), files.Write("long.lst", line)}});
    Click(form.PushButton8);
    form.ListView1->SetHeaderText(QString::fromLatin1(line));
    form.ListView1->Flush();

    ASSERT_EQ(Entries().size(), 1u);
    EXPECT_EQ(Entries()[0], QString::fromLatin1(line));
    const QString shown =
        QString::fromLatin1(line.first(4096)) + QChar(0x2026) + QString::fromLatin1(line.last(256));
    const QAbstractItemModel& model = *form.ListView1->model();
    EXPECT_EQ(model.index(0, 0).data(Qt::DisplayRole).toString(), shown);
    EXPECT_EQ(model.index(0, 0).data(Qt::AccessibleTextRole).toString(), shown);
    EXPECT_EQ(model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), shown);
}

// The bytes of names that are not UTF-8 survive every road into the list;
// the list shows a replacement mark for them.
class LosslessNamesTest : public FileListTest {
protected:
    LosslessNamesTest() {
        files.MakeFolder("latin");
        WriteNamed(folderBytes + "/caf\xe9.txt");
        std::filesystem::create_directory(folderBytes + "/sub\xff");
        WriteNamed(folderBytes + "/sub\xff/x.txt");
    }

    // Qt cannot name such files to remove them with the temporary folder.
    ~LosslessNamesTest() override { std::filesystem::remove_all(folderBytes); }

    static void WriteNamed(const std::string& path) { std::ofstream(path) << "x"; }

    const std::string folderBytes = files.Path().toStdString() + "/latin";
    const QString folder = files.Path() + "/latin";
    const QString file = folder + "/caf" + QChar(0xDCE9) + ".txt";
    const QString inSubfolder = folder + "/sub" + QChar(0xDCFF) + "/x.txt";
};

TEST_F(LosslessNamesTest, EveryRoadIntoTheListKeepsTheBytes) {
    const QString lossy = folder + "/caf" + QChar::ReplacementCharacter + ".txt";
    const struct {
        const char* road;
        std::function<void()> take;
        std::vector<QString> entries;
    } roads[] = {
        {"list file",
         [&] {
             files.Write("names.lst", QByteArray::fromStdString(folderBytes + "/caf\xe9.txt\r\n"));
             answerer.QueueFileChoice({{files.Path(), "names.lst"}});
             Click(form.PushButton8);
         },
         {file}},
        {"open dialog",
         [&] {
             answerer.QueueFileChoice({{folder, lossy}});
             Click(form.PushButton7);
         },
         {file}},
        {"folder walk",
         [&] {
             answerer.QueueInput(QStringLiteral("txt"));
             answerer.QueueFileChoice({{files.Path(), folder}});
             Click(form.PushButton3);
         },
         {file, inSubfolder}},
        {"drop",
         [&] {
             QMimeData data;
             data.setUrls({QUrl::fromEncoded(
                               QByteArray::fromStdString("file://" + folderBytes + "/caf%E9.txt")),
                           QUrl::fromLocalFile(lossy), QUrl::fromLocalFile(folder)});
             EXPECT_TRUE(DropData(data));
         },
         {file, file, file, inSubfolder}},
    };
    for (const auto& [road, take, entries] : roads) {
        form.ListView1->Clear();
        take();
        EXPECT_THAT(Entries(), ElementsAreArray(entries)) << road;
    }
    form.ListView1->Flush();
    EXPECT_EQ(form.ListView1->model()->index(0, 0).data().toString(), lossy);
}

TEST(HasBadName, RefusesNamesTheSystemCannotTake) {
    EXPECT_FALSE(HasBadName(QStringLiteral("/no/such/file.txt")));
    EXPECT_FALSE(HasBadName(QStringLiteral("/tmp")));
    EXPECT_TRUE(HasBadName(QStringLiteral("/tmp/") + QString(300, QLatin1Char('n'))));
    EXPECT_TRUE(HasBadName(QStringLiteral("/tmp/a") + QChar(0xD800)));
}

class FolderTreeTest : public FileListTest {
protected:
    FolderTreeTest() {
        for (const char* path :
             {"R/a.txt", "R/~skip.txt", "R/B.TXT", "R/.hidden.txt", "R/c.doc", "R/A/x.txt",
              "R/B/y.txt", "R/A/C/z.txt", "R/.git/h.txt", "R/~old/o.txt", "Empty/.keep/none.txt"}) {
            files.Write(path, "x");
        }
        root = files.Path() + "/R";
    }

    QString root;
};

TEST_F(FolderTreeTest, AddsMatchingFilesLevelByLevel) {
    answerer.QueueInput(QStringLiteral("txt"));
    answerer.QueueFileChoice({{files.Path(), root}});
    Click(form.PushButton3);

    EXPECT_THAT(Entries(), ElementsAre(root + "/.hidden.txt", root + "/a.txt", root + "/B.TXT",
                                       root + "/A/x.txt", root + "/B/y.txt", root + "/~old/o.txt",
                                       root + "/A/C/z.txt"));
    EXPECT_THAT(answerer.DialogTitles(), ElementsAre("Tarnwick", "Please select folder:"));
    EXPECT_EQ(answerer.InputPrompts()[0],
              QStringLiteral("Enter file extension to load:\n\n(* for all files, txt for all txt "
                             "files, doc for all doc files, etc.)"));
    EXPECT_EQ(form.Pointer().State(), PointerState::Default);
}

TEST_F(FolderTreeTest, ExtensionIsUsedAsTyped) {
    files.Write("R/A/notes..txt", "x");
    answerer.QueueInput(QStringLiteral(".txt"));
    answerer.QueueFileChoice({{files.Path(), root}});
    Click(form.PushButton3);
    EXPECT_THAT(Entries(), ElementsAre(root + "/A/notes..txt"));
}

TEST_F(FolderTreeTest, CancelAtEitherPromptAddsNothing) {
    form.Pointer().Set(PointerState::Arrow);
    answerer.QueueInput(std::nullopt);
    Click(form.PushButton3);
    answerer.QueueInput(QStringLiteral("*"));
    answerer.QueueFileChoice(std::nullopt);
    Click(form.PushButton3);
    EXPECT_THAT(Entries(), IsEmpty());
    EXPECT_EQ(form.Pointer().State(), PointerState::Arrow);
}

TEST_F(FolderTreeTest, DropAddsFilesAsTheyAreAndFoldersByTheirTrees) {
    const QString tempFile = files.Write("~temp.txt", "x");
    const QString hiddenFolder = files.MakeFolder(".secret");
    files.Write(".secret/inside.txt", "x");
    std::filesystem::create_directory_symlink(QDir(root).filesystemPath(),
                                              QDir(files.Path() + "/link").filesystemPath());
    Drop({tempFile, files.Path() + "/R/A", hiddenFolder, files.Path() + "/Empty",
          files.Path() + "/link"});

    EXPECT_THAT(Entries(), ElementsAre(tempFile, root + "/A/x.txt", root + "/A/C/z.txt",
                                       hiddenFolder, files.Path() + "/link"));
    EXPECT_THAT(answerer.Seen(), IsEmpty());
}

TEST_F(FileListTest, DropWithoutLocalFilesIsRefused) {
    QMimeData text;
    text.setText(QStringLiteral("/etc/passwd"));
    EXPECT_FALSE(DropData(text));
    EXPECT_THAT(Entries(), IsEmpty());
}

}  // namespace
}  // namespace tarnwick::test
