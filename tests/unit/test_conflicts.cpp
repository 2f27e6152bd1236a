// Conflict copies that sync tools make of a list: which names are copies of
// which list, the order they are asked about in, and the memos only a copy
// holds.
#include "platform/utf8.h"
#include "store/conflicts.h"
#include "test_support.h"
#include "ui/widgets.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utility>

namespace {

TEST(ConflictCopyNames, TheThreeToolsCopiesOfTheListAndNothingElse) {
    const QString list = U("todo.lst");
    const char *const copies[] = {
        "todo.sync-conflict-20240501-093000-ABCD123.lst",
        "todo (conflicted copy 2024-05-01 093000).lst",
        "todo (conflicted copy 2024-05-01 093000) (conflicted copy 2024-05-02 101500).lst",
        "todo (Taro's conflicted copy 2024-05-01).lst",
        "todo (山田 太郎's conflicted copy).lst",
    };
    for (const char *name : copies)
        EXPECT_TRUE(IsConflictCopyName(list, U(name))) << name;

    const char *const others[] = {
        "todo.lst",
        "todo.lst.bak",
        "todo (copy).lst",
        "todo.old.lst",
        "todo.trh",
        // Copies of the trash file.
        "todo.sync-conflict-20240501-093000-ABCD123.trh",
        "todo (conflicted copy 2024-05-01 093000).trh",
        "todo (Taro's conflicted copy 2024-05-01).trh",
        // Copies of another list.
        "todo2.sync-conflict-20240501-093000-ABCD123.lst",
        "other (conflicted copy 2024-05-01 093000).lst",
        "to.sync-conflict-20240501-093000-ABCD123.lst",
        // Syncthing's form not quite kept.
        "todo.sync-conflict-20240501-093000-abcd123.lst",
        "todo.sync-conflict-2024051-093000-ABCD123.lst",
        "todo.sync-conflict-20240501-093000-ABCD12.lst",
        "todo.sync-conflict-20240501-093000-ABCD1234.lst",
        "todo.sync-conflict-２０240501-093000-ABCD123.lst",
        "todo.sync-conflict-20240501-093000-ABCD123.lst.tmp",
        // Nextcloud's and Dropbox's without their words or brackets.
        "todo (conflicted copy).lst",
        "todo(conflicted copy 2024-05-01).lst",
        "todo ('s conflicted copy).lst",
        "todo (Taro's copy).lst",
    };
    for (const char *name : others)
        EXPECT_FALSE(IsConflictCopyName(list, U(name))) << name;
}

TEST(ConflictCopyNames, TheListsOwnNameIsTakenLiterally) {
    // Brackets, dots and the like in a list's name are its own letters.
    EXPECT_TRUE(IsConflictCopyName(U("a.b (1).lst"), U("a.b (1) (conflicted copy x).lst")));
    EXPECT_FALSE(IsConflictCopyName(U("a.b (1).lst"), U("aXb (1) (conflicted copy x).lst")));
    EXPECT_FALSE(
        IsConflictCopyName(U("a+.lst"), U("aa.sync-conflict-20240501-093000-ABCD123.lst")));
    // A list named with another extension, or none, has copies named so.
    EXPECT_TRUE(
        IsConflictCopyName(U("memo.LST"), U("memo.sync-conflict-20240501-093000-ABCD123.LST")));
    EXPECT_FALSE(
        IsConflictCopyName(U("memo.LST"), U("memo.sync-conflict-20240501-093000-ABCD123.lst")));
    EXPECT_TRUE(IsConflictCopyName(U("memo"), U("memo (conflicted copy 1)")));
    EXPECT_FALSE(IsConflictCopyName(U("memo"), U("memo (conflicted copy 1).trh")));
}

TEST(ConflictCopyFiles, PlainFilesBesideTheListOldestFirst) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QDateTime now = QDateTime::currentDateTime();
    const auto put = [&](const char *name, qint64 secondsAgo) {
        QFile f(dir.filePath(U(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("m\r\n");
        f.flush(); // before the time is set: a later write would set it anew
        ASSERT_TRUE(f.setFileTime(now.addSecs(-secondsAgo), QFileDevice::FileModificationTime));
    };
    put("todo.lst", 0);
    put("todo (conflicted copy b).lst", 300);
    put("todo (conflicted copy a).lst", 100);
    put("todo.sync-conflict-20240501-093000-ABCD123.lst", 300);
    put("todo (Taro's conflicted copy).trh", 900);
    put("other (conflicted copy a).lst", 900);
    ASSERT_TRUE(QDir(dir.path()).mkdir(U("todo (conflicted copy dir).lst")));

    const QString folder = dir.path() + QLatin1Char('/');
    EXPECT_EQ(ConflictCopiesOf(folder + U("todo.lst")).join(u'|').toStdString(),
              (QStringList{folder + U("todo (conflicted copy b).lst"),
                           folder + U("todo.sync-conflict-20240501-093000-ABCD123.lst"),
                           folder + U("todo (conflicted copy a).lst")})
                  .join(u'|')
                  .toStdString());
    EXPECT_EQ(ConflictCopiesOf(folder + U("none/todo.lst")), QStringList());
}

Records RecordsOf(const QByteArray &text) {
    Records r;
    r.Take(text);
    return r;
}

TEST(ConflictCopyMemos, ThoseInNeitherListNorTrashCountedWithRepeats) {
    const Records list = RecordsOf("a\r\nb\r\nb\r\n");
    const QList<QByteArray> trash = {"t", "a"};
    // a: twice in the list and the trash, twice in the copy; b: twice held,
    // three times in the copy; t once held, once in the copy; the rest new,
    // bytes compared exactly (a trailing blank, a colour, an empty record).
    const QList<QByteArray> copy = {
        "b", "new", "a", "b", "t", "a", "b", "a ", "", "b<!--x-->clRed", "new"};
    EXPECT_EQ(RecordsOnlyInCopy(copy, list, trash),
              (QList<QByteArray>{"new", "b", "a ", "", "b<!--x-->clRed", "new"}));
    EXPECT_EQ(RecordsOnlyInCopy({"a", "b", "b", "t"}, list, trash), QList<QByteArray>());
    EXPECT_EQ(RecordsOnlyInCopy({"x"}, Records(), {}), QList<QByteArray>{"x"});
}

} // namespace

namespace {

using ConflictCopyWindow = testing_support::ProgramTest;

const char *const CopyName = "quorvel.sync-conflict-20240501-093000-ABCD123.lst";

QString Question(const QString &name) {
    return U("question 同期ソフトが作った競合コピーがあります：「") + name +
           U("」\r\nこのコピーにだけあるメモをリストの最後に加えますか？");
}

TEST_F(ConflictCopyWindow, ACopyThatCannotBeReadIsReportedOnceAndKept) {
    Write("quorvel.lst", "A\r\n");
    // A named pipe under a copy's name: there, but never read.
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path(CopyName)).constData(), 0600), 0);
    platform_->answers = {true};
    TForm1 &f = Start();
    EXPECT_EQ(platform_->events,
              (QStringList{
                  U("beep"), Question(U(CopyName)), U("beep"),
                  U("message ") + Path(CopyName) +
                      U("の読み込みに失敗しました。\r\nファイルが存在しない可能性があります。")}));
    EXPECT_EQ(Read("quorvel.lst"), QByteArray("A\r\n"));
    EXPECT_FALSE(f.Undo1->isEnabled());
    platform_->events.clear();
    f.ActivatePage(TForm1::NewMemoPage);
    f.ActivatePage(TForm1::ListPage);
    EXPECT_EQ(platform_->events, QStringList());
    EXPECT_TRUE(QFileInfo::exists(Path(CopyName)));
}

// Another program writes the list while the question waits for the user.
class ChangedWhileAsked : public testing_support::TestPlatform {
  public:
    using TestPlatform::TestPlatform;
    std::function<void()> whileAsked;
    bool AskYesNo(const QString &text) override {
        if (whileAsked)
            std::exchange(whileAsked, nullptr)();
        return TestPlatform::AskYesNo(text);
    }
};

TEST_F(ConflictCopyWindow, AListChangedWhileTheQuestionWaitedIsReloadedAndAskedAgain) {
    auto desk = std::make_unique<ChangedWhileAsked>(Path("quorvel"));
    ChangedWhileAsked &d = *desk;
    platform_ = std::move(desk);
    SetPlatform(platform_.get());
    Write("quorvel.lst", "A\r\n");
    Write(CopyName, "A\r\nB\r\nC\r\n");
    d.whileAsked = [this] { Write("quorvel.lst", "A\r\nC\r\n"); };
    d.answers = {true, true};
    TForm1 &f = Start();
    // Nothing was written over the other program's change; the copy was
    // compared with the list as that change left it.
    EXPECT_EQ(d.events,
              (QStringList{U("beep"), Question(U(CopyName)), U("beep"),
                           U("message リストファイルが他のプログラムによって変更されました。"
                             "読み込み直しましたので、もう一度操作してください。"),
                           U("beep"), Question(U(CopyName))}));
    EXPECT_EQ(Read("quorvel.lst"), QByteArray("A\r\nC\r\nB\r\n"));
    EXPECT_FALSE(QFileInfo::exists(Path(CopyName)));
    EXPECT_EQ(f.ListBox1->itemIndex(), 2);
    EXPECT_EQ(f.StatusText(), U("競合コピーから1件のメモを加えました。"));
}

} // namespace
