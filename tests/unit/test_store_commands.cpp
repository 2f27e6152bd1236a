// Memo and trash commands where a write fails half-way or the window's lists
// do not match: no memo may be lost, nothing may be written that should not
// be, and nothing may crash. Failed writes come from files that are links to
// /dev/full, which opens but takes no byte.
#include "platform/fileio.h"
#include "store/editing.h"
#include "test_support.h"
#include "ui/widgets.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QImage>
#include <QPainter>

using namespace testing_support;

namespace {

// Dialogs are recorded among the events: a command that should stop before
// its dialog shows it.
class StoreCommandsTest : public ProgramTest {
  protected:
    StoreCommandsTest() { platform_->recordDialogs = true; }

    // A file under name that can be opened for writing but never written.
    bool FullDisk(const char *name) const {
        return QFile::exists(QStringLiteral("/dev/full")) &&
               QFile::link(QStringLiteral("/dev/full"), Path(name));
    }
    QStringList Message(const char *text) const {
        return {QStringLiteral("beep"), QStringLiteral("message ") + U(text)};
    }
    // Another program changes a file in place, keeping its size, a second
    // after it was last written.
    void ChangeInPlace(const char *name, const QByteArray &bytes) const {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_EQ(f.size(), bytes.size());
        ASSERT_EQ(f.write(bytes), bytes.size());
        f.close();
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        const QDateTime then = f.fileTime(QFileDevice::FileModificationTime);
        ASSERT_TRUE(f.setFileTime(then.addSecs(1), QFileDevice::FileModificationTime));
    }
};

TEST_F(StoreCommandsTest, AppendedRecordStartsOnALineOfItsOwn) {
    EXPECT_TRUE(ListFile(Path("new.lst")).Append("a"));
    EXPECT_EQ(Read("new.lst"), QByteArray("a\r\n"));
    Write("empty.lst", "");
    EXPECT_TRUE(ListFile(Path("empty.lst")).Append("a"));
    EXPECT_EQ(Read("empty.lst"), QByteArray("a\r\n"));
    Write("cr.lst", "x\r");
    EXPECT_TRUE(ListFile(Path("cr.lst")).Append("a"));
    EXPECT_EQ(Read("cr.lst"), QByteArray("x\ra\r\n"));
    Write("lf.lst", "x\n");
    EXPECT_TRUE(ListFile(Path("lf.lst")).Append("a"));
    EXPECT_EQ(Read("lf.lst"), QByteArray("x\na\r\n"));
    Write("open.lst", "x\r\ny");
    EXPECT_TRUE(ListFile(Path("open.lst")).Append("a"));
    EXPECT_EQ(Read("open.lst"), QByteArray("x\r\ny\r\na\r\n"));
}

// The list and the trash are taken from memory only while their files are
// the ones this program last read or wrote: a change by another program,
// even one that keeps a file's size and identity, is seen by the next
// reload, and the commands after it work on what the files then hold.
TEST_F(StoreCommandsTest, FilesChangedByAnotherProgramAreReadAgain) {
    Write("quorvel.lst", "A\r\nB\r\nC\r\n");
    Write("quorvel.trh", "t1\r\nt2\r\n");
    TForm1 &f = Start();
    f.ListBox1->setItemIndex(1);
    f.Button2Click();
    EXPECT_EQ(Read("quorvel.lst"), QByteArray("B\r\nA\r\nC\r\n"));
    EXPECT_EQ(f.ListBox2, QList<QByteArray>({"B", "A", "C"}));
    EXPECT_EQ(f.ListBox1->itemIndex(), 0);

    // The last line now has no line end: a new memo starts a line of its own.
    ChangeInPlace("quorvel.lst", "X\r\nY\r\nZZZ");
    f.ActivatePage(1);
    f.ActivatePage(0);
    EXPECT_EQ(f.ListBox2, QList<QByteArray>({"X", "Y", "ZZZ"}));
    f.ActivatePage(1);
    f.Memo1->setText(U("new"));
    f.Button1Click();
    EXPECT_EQ(Read("quorvel.lst"), QByteArray("X\r\nY\r\nZZZ\r\nnew\r\n"));
    EXPECT_EQ(f.ListBox2, QList<QByteArray>({"X", "Y", "ZZZ", "new"}));

    // Restore takes the entry the trash file holds at the selected row.
    f.ActivatePage(3);
    ASSERT_EQ(f.ListBox3->titleModel()->titles(), QList<QByteArray>({"t1", "t2"}));
    f.ListBox3->setItemIndex(1);
    ChangeInPlace("quorvel.trh", "u1\r\nu2\r\n");
    f.RestoreClick();
    EXPECT_EQ(Read("quorvel.lst"), QByteArray("X\r\nY\r\nZZZ\r\nnew\r\nu2\r\n"));
    EXPECT_EQ(Read("quorvel.trh"), QByteArray("u1\r\n"));
    EXPECT_EQ(f.ListBox3->titleModel()->titles(), QList<QByteArray>({"u1"}));
    EXPECT_EQ(f.ListBox2.at(f.ListBox2.size() - 1), QByteArrayView("u2"));
    // Then one from the trash as this program wrote it.
    f.ListBox3->setItemIndex(0);
    f.RestoreClick();
    EXPECT_EQ(Read("quorvel.lst"), QByteArray("X\r\nY\r\nZZZ\r\nnew\r\nu2\r\nu1\r\n"));
    EXPECT_EQ(Read("quorvel.trh"), QByteArray());
    EXPECT_EQ(f.ListBox3->titleModel()->count(), 0);
    EXPECT_EQ(f.StatusText(), U("0件のメモがゴミ箱に入っています。"));
    EXPECT_TRUE(platform_->events.isEmpty()) << platform_->events.join(u'|').toStdString();
}

// A rewrite made in the loaded list's own memory that fails at any file call
// leaves the window showing the file, with the selection the failure calls
// for: a command stopped by an error keeps the memo it was to move selected;
// one whose write failed goes on to reload and select as after a move.
TEST_F(StoreCommandsTest, FailedRewriteLeavesTheFileShownAndTheMemoSelected) {
    Write("quorvel.lst", "A\r\nB\r\nC\r\n");
    TForm1 &f = Start();
    const QString writeFailed = U("message ファイルへの保存時にエラーが発生しました。");
    int stopped = 0, wentOn = 0;
    for (long call = 1;; ++call) {
        SCOPED_TRACE(call);
        f.ListBox1->setItemIndex(1);
        platform_->events.clear();
        FileFaults::Reset();
        FileFaults::FailAt(call);
        f.Run([&f] { f.Button3Click(); });
        const char *failed = FileFaults::Failed();
        FileFaults::Reset();
        if (!failed)
            break; // past the last call: the move went through
        // Whatever failed, no title row stands for a record not loaded.
        EXPECT_EQ(f.ListBox1->titleModel()->count(), f.ListBox2.size());
        const bool moved = Read("quorvel.lst") == QByteArray("A\r\nC\r\nB\r\n");
        const int row = f.ListBox1->itemIndex();
        if (!moved && platform_->events.filter(U("error ")).size() == 1) {
            ++stopped;
            EXPECT_EQ(f.ListBox2, SplitLines(Read("quorvel.lst")));
            EXPECT_EQ(row >= 0 && row < f.ListBox2.size() ? f.ListBox2.copy(row) : QByteArray(),
                      QByteArray("B"));
        } else if (platform_->events.contains(writeFailed)) {
            ++wentOn;
            EXPECT_EQ(f.ListBox2, SplitLines(Read("quorvel.lst")));
            EXPECT_EQ(row, 2);
        }
        // The next try starts from the same file, loaded.
        Write("quorvel.lst", "A\r\nB\r\nC\r\n");
        f.LoadList();
    }
    EXPECT_GT(stopped, 0);
    EXPECT_GT(wentOn, 0);
    EXPECT_EQ(Read("quorvel.lst"), QByteArray("A\r\nC\r\nB\r\n"));
    EXPECT_EQ(f.ListBox1->itemIndex(), 2);
}

TEST_F(StoreCommandsTest, MemoStaysInTheListWhenTheTrashCannotTakeIt) {
    Write("quorvel.lst", "A\r\nB\r\n");
    if (!FullDisk("quorvel.trh"))
        GTEST_SKIP() << "no /dev/full";
    TForm1 &f = Start();
    f.ListBox1->setItemIndex(1);
    f.D1Click();
    EXPECT_EQ(platform_->events, Message("ゴミ箱ファイルへの書き込みに失敗しました。"));
    EXPECT_EQ(Read("quorvel.lst"), QByteArray("A\r\nB\r\n"));
    EXPECT_EQ(f.ListBox2, QList<QByteArray>({"A", "B"}));
    EXPECT_EQ(f.ListBox1->itemIndex(), 1);
}

TEST_F(StoreCommandsTest, FailedSavesKeepTheTextAndTheTrashEntry) {
    // Started on the new-memo page, the list is never read: /dev/full would
    // read as endless zeros.
    Write("quorvel.ini", "[Setting]\r\nPage=1\r\n");
    Write("quorvel.trh", "x\r\ny<!--colour-->\r\n");
    if (!FullDisk("quorvel.lst"))
        GTEST_SKIP() << "no /dev/full";
    TForm1 &f = Start();
    ASSERT_EQ(f.PageControl1->currentIndex(), 1);

    f.Memo1->setText(U("typed"));
    f.Button1Click();
    EXPECT_EQ(platform_->events, Message("新規入力内容の保存時にエラーが発生しました。"));
    EXPECT_EQ(f.Memo1->text(), U("typed"));
    EXPECT_EQ(f.PageControl1->currentIndex(), 1);

    platform_->events.clear();
    f.ActivatePage(3);
    ASSERT_EQ(f.ListBox3->titleModel()->count(), 2);
    f.ListBox3->setItemIndex(1);
    f.RestoreClick();
    EXPECT_EQ(platform_->events, Message("新規入力内容の保存時にエラーが発生しました。"));
    EXPECT_EQ(Read("quorvel.trh"), QByteArray("x\r\ny<!--colour-->\r\n"));
    EXPECT_EQ(f.ListBox3->titleModel()->count(), 2);
    EXPECT_EQ(f.PageControl1->currentIndex(), 3);
}

TEST_F(StoreCommandsTest, RestoreKeepsBytesThatDoNotRoundTrip) {
    // 0xED 0x40 is an NEC-selected IBM extension: it shows as the same
    // character as 0xFA 0x5C, whose bytes code page 932 would write; and 0xFF
    // is no character at all. The restored record keeps its own bytes.
    const QByteArray record("a\xED\x40 b\xFF", 6);
    Write("quorvel.lst", "");
    Write("quorvel.trh", record + "\r\n");
    TForm1 &f = Start();
    f.ActivatePage(3);
    f.ListBox3->setItemIndex(0);
    f.RestoreClick();
    EXPECT_TRUE(platform_->events.isEmpty()) << platform_->events.join(u'|').toStdString();
    EXPECT_EQ(Read("quorvel.lst"), record + "\r\n");
    EXPECT_EQ(Read("quorvel.trh"), QByteArray());
}

TEST_F(StoreCommandsTest, EditSavedUnchangedKeepsBytesThatDoNotRoundTrip) {
    const QByteArray file("\xED\x40<!--\x89\xFC\x8D\x73\x82\xAA\x93\xFC\x82\xE8\x82\xDC\x82\xB7"
                          "a7ui9[xz-->\xFF\r\n");
    Write("quorvel.lst", file);
    TForm1 &f = Start();
    f.ListBox1->setItemIndex(0);
    f.ListBox1DblClick();
    ASSERT_EQ(f.PageControl1->currentIndex(), 2);
    f.Button4Click();
    EXPECT_TRUE(platform_->events.isEmpty()) << platform_->events.join(u'|').toStdString();
    EXPECT_EQ(Read("quorvel.lst"), file);
}

TEST_F(StoreCommandsTest, TitleRowWithoutRecordNeitherCrashesNorWrites) {
    // A title row whose raw record is missing, as a failed reload could leave.
    Write("quorvel.lst", "");
    TForm1 &f = Start();
    Records ghosts;
    ghosts.Take("ghost\r\nghost2\r\n");
    f.ListBox1->titleModel()->setRecords(&ghosts);
    f.ListBox1->setItemIndex(1);
    ASSERT_TRUE(f.ListBox2.isEmpty());
    platform_->colours.push_back(0x000000FF);

    f.Button2Click();
    f.Button3Click();
    f.ToTopClick();
    f.ToBottomClick();
    f.BgColorClick();
    f.N1Click();
    f.Button4Click();
    EXPECT_EQ(Read("quorvel.lst"), QByteArray());
    EXPECT_EQ(platform_->events,
              QStringList() << Message("メモの順番を入れ替えるには、まずメモを選択してください。")
                            << Message("メモの順番を入れ替えるには、まずメモを選択してください。")
                            << Message("移動させるメモを選択してください。")
                            << Message("移動させるメモを選択してください。")
                            << Message("背景色を設定するメモを選択してください。")
                            << Message("編集対象のメモが選択されていません。")
                            << Message("編集対象のメモが選択されていません。"));

    platform_->events.clear();
    f.Button5Click();
    EXPECT_EQ(platform_->events, Message("ゴミ箱ファイルへの書き込みに失敗しました。"));
    EXPECT_EQ(Read("quorvel.lst"), QByteArray());
    EXPECT_EQ(Read("quorvel.trh"), QByteArray());

    // Painting such a row fills it with the window colour.
    QImage image(100, 13, QImage::Format_RGB32);
    QPainter painter(&image);
    f.ListBox1DrawItem(&painter, 1, QRect(0, 0, 100, 13), false);
    f.ListBox1DrawItem(&painter, 7, QRect(0, 0, 100, 13), false);
    painter.end();
    EXPECT_EQ(f.ListBox1Fills.value(1), 0x80000005u);
    EXPECT_EQ(f.ListBox1Fills.value(7), 0x80000005u);
}

} // namespace
