// The main window on Qt's offscreen platform: start-up with and without a
// settings file, the start-up options, shut-down writes, the page veto and
// the general error report.
#include "platform/cp932.h"
#include "print/printsetting.h"
#include "settings/inifile.h"
#include "test_support.h"
#include "ui/widgets.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

using namespace testing_support;

namespace {

// No dialog is expected here: every one would be answered with Cancel.
class MainWindowTest : public ProgramTest {
  protected:
    QString Ini() const { return Path("quorvel.ini"); }
    QPoint TabCentre(int tab) {
        QTabBar *bar = program_->form1().PageControl1->tabBar();
        return bar->mapToGlobal(bar->tabRect(tab).center());
    }
};

TEST_F(MainWindowTest, FirstStartWithoutSettingsUsesDefaultsAndWritesThemAtExit) {
    TForm1 &f = Start();
    EXPECT_EQ(f.ListFileName, Path("quorvel.lst"));
    EXPECT_EQ(f.pos(), QPoint(100, 113));
    EXPECT_EQ(f.PageControl1->currentIndex(), 0);
    EXPECT_FALSE(f.N9->isChecked());
    EXPECT_FALSE(f.N10->isChecked());
    EXPECT_EQ(f.N9->text(), U(" 起動時に「新規入力」ページを開く"));
    EXPECT_EQ(f.N10->text(), U(" 終了時に「ゴミ箱」を空にする"));
    EXPECT_FALSE(f.CheckBox1->isChecked());
    // The list file is missing: the beep and the load-failure message; the
    // caption keeps the layout's.
    EXPECT_EQ(platform_->events,
              QStringList(
                  {QStringLiteral("beep"),
                   QStringLiteral("message ") + Path("quorvel.lst") +
                       U("の読み込みに失敗しました。\r\nファイルが存在しない可能性があります。")}));
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Quorvel"));
    EXPECT_TRUE(f.Memo1->text().isEmpty());
    // No recent entries: the File menu still ends in its separator.
    ASSERT_EQ(f.N2->actions().size(), 7);
    EXPECT_FALSE(f.N2->actionGeometry(f.N7).isEmpty());

    Close();
    EXPECT_EQ(Ini::ReadString(Ini(), "File", "LastFileName", "?"),
              *EncodeCp932(Path("quorvel.lst")));
    EXPECT_EQ(Ini::ReadString(Ini(), "Position", "Left", "?"), QByteArray("100"));
    EXPECT_EQ(Ini::ReadString(Ini(), "Position", "Top", "?"), QByteArray("113"));
    EXPECT_EQ(Ini::ReadString(Ini(), "Setting", "Save", "?"), QByteArray("0"));
    // Page and Trash are written only by their menu items.
    EXPECT_EQ(Ini::ReadString(Ini(), "Setting", "Page", "?"), QByteArray("?"));
    EXPECT_EQ(Ini::ReadString(Ini(), "Setting", "Trash", "?"), QByteArray("?"));
}

TEST_F(MainWindowTest, StoredSettingsAreRestored) {
    const QString list = Path("やること.lst");
    Write("やること.lst", "a\r\n");
    Write("quorvel.ini", "[File]\r\nLastFileName=" + *EncodeCp932(list) +
                             "\r\n[Position]\r\nLeft=0x64\r\nTop=$20\r\n"
                             "[Setting]\r\nPage=1\r\nTrash=1\r\nSave=1\r\n");
    TForm1 &f = Start();
    EXPECT_EQ(f.ListFileName, list);
    EXPECT_EQ(f.pos(), QPoint(100, 32));
    EXPECT_TRUE(f.N9->isChecked());
    EXPECT_TRUE(f.N10->isChecked());
    EXPECT_EQ(f.N9->text(), U("起動時に「新規入力」ページを開く"));
    EXPECT_EQ(f.N10->text(), U("終了時に「ゴミ箱」を空にする"));
    EXPECT_TRUE(f.CheckBox1->isChecked());
    // The new-memo page first: the caption is set without loading the list.
    EXPECT_EQ(f.PageControl1->currentIndex(), 1);
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Quorvel: ") + list);
    EXPECT_EQ(f.StatusText(),
              U("  ここで入力したメモの一行目が、メモの一覧記事のタイトルに指定されます。"));
    EXPECT_TRUE(f.ListBox2.isEmpty());
    EXPECT_TRUE(platform_->events.isEmpty());

    // Showing the list page loads it.
    f.ActivatePage(0);
    EXPECT_EQ(f.ListBox2, QList<QByteArray>({"a"}));
    EXPECT_EQ(f.StatusText(), U("  1件のメモが登録されています。"));

    f.CheckBox1->setChecked(false);
    f.move(-5000, 7);
    Close();
    EXPECT_EQ(Ini::ReadString(Ini(), "Position", "Left", "?"), QByteArray("-5000"));
    EXPECT_EQ(Ini::ReadString(Ini(), "Position", "Top", "?"), QByteArray("7"));
    EXPECT_EQ(Ini::ReadString(Ini(), "Setting", "Save", "?"), QByteArray("0"));
}

TEST_F(MainWindowTest, OptionTogglesFollowTheStoredValue) {
    Write("quorvel.lst", "");
    Write("quorvel.ini", "[Setting]\r\nPage=2\r\n");
    TForm1 &f = Start();
    EXPECT_FALSE(f.N9->isChecked()); // only 1 counts as set
    f.N9->trigger();
    EXPECT_TRUE(f.N9->isChecked());
    EXPECT_EQ(Ini::ReadString(Ini(), "Setting", "Page", "?"), QByteArray("1"));
    // Someone else clears the value: the next click follows the file, not the mark.
    Ini::WriteInteger(Ini(), "Setting", "Page", 0);
    f.N9->trigger();
    EXPECT_TRUE(f.N9->isChecked());
    EXPECT_EQ(Ini::ReadString(Ini(), "Setting", "Page", "?"), QByteArray("1"));
    f.N9->trigger();
    EXPECT_FALSE(f.N9->isChecked());
    EXPECT_EQ(Ini::ReadString(Ini(), "Setting", "Page", "?"), QByteArray("0"));
    EXPECT_EQ(f.N9->text(), U(" 起動時に「新規入力」ページを開く"));

    f.N10->trigger();
    EXPECT_EQ(Ini::ReadString(Ini(), "Setting", "Trash", "?"), QByteArray("1"));
}

TEST_F(MainWindowTest, EditPageCannotBePickedByTheUser) {
    Write("quorvel.lst", "");
    TForm1 &f = Start();
    QTabBar *bar = f.PageControl1->tabBar();

    // A click on the edit page's tab is refused; on another tab it is not.
    platform_->pointer = TabCentre(2);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
    EXPECT_EQ(f.PageControl1->currentIndex(), 0);
    platform_->pointer = TabCentre(1);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
    EXPECT_EQ(f.PageControl1->currentIndex(), 1);

    // Ctrl+Tab with the pointer resting on the edit tab is refused, whatever
    // the next page; with the pointer elsewhere it reaches the edit page.
    f.ActivatePage(0);
    platform_->pointer = TabCentre(2);
    QTest::keyClick(f.PageControl1, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(f.PageControl1->currentIndex(), 0);
    f.ActivatePage(1);
    platform_->pointer = QPoint(-10000, -10000);
    QTest::keyClick(f.PageControl1, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(f.PageControl1->currentIndex(), 2);
    EXPECT_EQ(f.StatusText(), QString());
    QTest::keyClick(f.PageControl1, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(f.PageControl1->currentIndex(), 1);

    // The program's own page changes are never refused.
    platform_->pointer = TabCentre(2);
    f.ActivatePage(2);
    EXPECT_EQ(f.PageControl1->currentIndex(), 2);
}

TEST_F(MainWindowTest, UncaughtErrorsAreReportedAndTheProgramGoesOn) {
    // A folder where the settings file should be: every write to it fails.
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("quorvel.ini")));
    Write("quorvel.lst", "");
    TForm1 &f = Start();
    platform_->events.clear();
    f.N9->trigger();
    EXPECT_EQ(platform_->events,
              QStringList({QStringLiteral("error ") + Ini() + U(" に書き込めません.")}));
    EXPECT_FALSE(f.N9->isChecked());
    // Shut-down stops at its first refused write.
    platform_->events.clear();
    Close();
    EXPECT_EQ(platform_->events,
              QStringList({QStringLiteral("error ") + Ini() + U(" に書き込めません.")}));
}

TEST_F(MainWindowTest, LayoutMatchesTheDesign) {
    Write("quorvel.lst", "");
    TForm1 &f = Start();
    // The client area below the menu bar is 449 x 342, the status bar its last 19 rows.
    EXPECT_EQ(f.size().width(), 449);
    EXPECT_EQ(f.size().height() - f.menuBar()->height(), 342);
    EXPECT_EQ(f.StatusBar1->geometry(), QRect(0, f.menuBar()->height() + 323, 449, 19));
    EXPECT_EQ(f.PageControl1->geometry(), QRect(12, 8, 425, 313));
    EXPECT_EQ(f.ListBox1->geometry(), QRect(8, 16, 400, 225));
    EXPECT_EQ(f.Button5->geometry(), QRect(200, 253, 121, 25));
    EXPECT_FALSE(f.DummyButton->isVisibleTo(&f));
    EXPECT_EQ(f.PageControl1->count(), 4);
    EXPECT_EQ(f.PageControl1->tabText(0), U("To Do リスト"));
    EXPECT_EQ(f.PageControl1->tabText(3), U("ごみ箱"));
    // Seven designed items in the File menu; recent entries follow the separator.
    ASSERT_GE(f.N2->actions().size(), 7);
    EXPECT_EQ(f.N2->actions().at(6), f.N7);
    EXPECT_FALSE(f.windowFlags() & Qt::WindowMaximizeButtonHint);
    const QImage bar = f.StatusBar1->grab().toImage();
    EXPECT_EQ(bar.pixelColor(bar.width() - 3, bar.height() / 2), QColor(255, 255, 102));
}

TEST_F(MainWindowTest, HelpCommandsStartTheViewerAndTheBrowser) {
    Write("quorvel.lst", "");
    TForm1 &f = Start();
    f.ReadMe->trigger();
    f.N3->trigger();
    ASSERT_EQ(platform_->events.size(), 2);
    EXPECT_EQ(platform_->events[0], QStringLiteral("viewer ") + Path("readme.txt"));
    EXPECT_TRUE(platform_->events[1].startsWith(QStringLiteral("url http://")));
}

} // namespace
