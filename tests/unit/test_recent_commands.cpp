// The file commands as the dialogs see them: the input box's title, prompt
// and length limit, the open dialog's folder and filter, the save dialog's
// folder, filter and default extension, and a recent entry made from its
// menu item.
#include "test_support.h"

#include <QAction>
#include <QDir>
#include <QMenu>

using namespace testing_support;

namespace {

// The program started on a list of one memo; each dialog's call is recorded
// among the events, and the dialogs give the queued answers.
class FileCommandsTest : public ProgramTest {
  protected:
    FileCommandsTest() { platform_->recordDialogs = true; }
    void SetUp() override {
        ProgramTest::SetUp();
        if (HasFatalFailure())
            return;
        Write("quorvel.lst", "memo\r\n");
        Start();
        platform_->events.clear();
    }
    QString Folder() const { return dir_.path() + QLatin1Char('/'); }
};

const char *const Filter = "リストファイル(*.lst)";

} // namespace

TEST_F(FileCommandsTest, InputBoxIsAskedAgainWithTheSameTitleAndPrompt) {
    Write("taken.lst", "");
    platform_->inputs = {U("taken"), std::nullopt};
    program_->form1().New1->trigger();
    const QString input = U("input ファイル名を入力してください|"
                            "新規ファイル名を入力してください。\r\n"
                            "拡張子は必要ありません。\r\n"
                            "例：newfile|255");
    EXPECT_EQ(platform_->events,
              QStringList({input, QStringLiteral("beep"),
                           U("message 既にそのファイル名で存在しています。"), input}));
    EXPECT_EQ(program_->form1().ListFileName, Folder() + QStringLiteral("quorvel.lst"));
}

TEST_F(FileCommandsTest, OpenStartsInTheProgramFolderSaveInTheListsAndAddsLst) {
    ASSERT_TRUE(QDir().mkpath(Path("lists")));
    Write("lists/other.lst", "x\r\n");
    platform_->opens = {std::nullopt, Path("lists/other.lst")};
    for (int i = 0; i < 2; ++i) {
        program_->form1().Fopen->trigger();
        program_->form1().SaveAs1->trigger();
    }
    const QString open = QStringLiteral("open ") + Folder() + QLatin1Char('|') + U(Filter);
    const QString save = QLatin1Char('|') + U(Filter) + QStringLiteral("|lst");
    EXPECT_EQ(platform_->events,
              QStringList({open, QStringLiteral("save ") + dir_.path() + save, open,
                           QStringLiteral("save ") + Path("lists") + save}));
}

TEST_F(FileCommandsTest, RecentEntriesAreTheItemsAfterTheSeparator) {
    TForm1 &f = program_->form1();
    Write("R&D.lst", "x\r\n");
    platform_->opens = {Folder() + U("R&D.lst")};
    f.Fopen->trigger();
    QList<QAction *> items = f.N2->actions();
    ASSERT_EQ(items.size(), 9);
    EXPECT_EQ(items[6], f.N7);
    EXPECT_EQ(items[7]->text(), QStringLiteral("1 ") + Folder() + U("R&&D.lst"));
    EXPECT_EQ(items[8]->text(), QStringLiteral("2 ") + Folder() + U("quorvel.lst"));

    // The click reads the path back from the entry, "&" and all.
    items[8]->trigger();
    EXPECT_EQ(f.ListFileName, Folder() + U("quorvel.lst"));
    items = f.N2->actions();
    ASSERT_EQ(items.size(), 9);
    EXPECT_EQ(items[7]->text(), QStringLiteral("1 ") + Folder() + U("quorvel.lst"));
    items[8]->trigger();
    EXPECT_EQ(f.ListFileName, Folder() + U("R&D.lst"));
    EXPECT_TRUE(platform_->events.filter(QStringLiteral("message")).isEmpty());
}
