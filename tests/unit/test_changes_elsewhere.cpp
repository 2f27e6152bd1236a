// Changes other programs make to the list and trash files: the desktop's
// watch notices them, also after a file is replaced by renaming another over
// it; the window shows a burst once it settles, never under a running command.
#include "test_support.h"
#include "ui/widgets.h"

#include <QAction>
#include <QPushButton>
#include <QTest>
#include <cstdio>

using namespace testing_support;

namespace {

TEST(DesktopFileWatch, WritesReplacementsRemovalsAndNewFilesButNotOtherFiles) {
    QTemporaryDir dir;
    const auto path = [&](const char *name) { return dir.filePath(QString::fromUtf8(name)); };
    const auto write = [&](const char *name, const char *bytes, bool append = false) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(append ? QIODevice::Append : QIODevice::WriteOnly));
        f.write(bytes);
    };
    const auto replace = [&](const char *bytes) { // as editors and sync tools save
        write("new.tmp", bytes);
        ASSERT_EQ(std::rename(QFile::encodeName(path("new.tmp")).constData(),
                              QFile::encodeName(path("a.lst")).constData()),
                  0);
    };
    write("a.lst", "A\r\n");
    SetPlatform(nullptr);
    int notices = 0;
    std::unique_ptr<FileWatch> watch = platform().WatchFiles([&] { ++notices; });
    watch->SetFiles({path("a.lst"), path("a.trh")});
    // A notice comes; the others the change brings are let in before the next.
    const auto noticed = [&](const std::function<void()> &change, int ms = 5000) {
        const int before = notices;
        change();
        const bool came = QTest::qWaitFor([&] { return notices > before; }, ms);
        QTest::qWait(200);
        return came;
    };
    EXPECT_TRUE(noticed([&] { write("a.lst", "B\r\n", true); }));
    EXPECT_TRUE(noticed([&] { replace("C\r\n"); }));
    EXPECT_TRUE(noticed([&] { write("a.lst", "D\r\n", true); }));
    EXPECT_TRUE(noticed([&] { QFile::remove(path("a.lst")); }));
    EXPECT_TRUE(noticed([&] { write("a.trh", "T\r\n"); }));
    watch->SetFiles({path("b.lst"), path("b.trh")});
    EXPECT_FALSE(noticed(
        [&] {
            write("quorvel.ini", "[File]\r\n");
            replace("E\r\n");
        },
        1000));
}

TEST(DesktopFileWatch, AFileWhoseFolderIsMadeLaterIsNoticedWhenWritten) {
    // A first start in the user's folders: neither the folder nor the file
    // is there yet.
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("share/quorvel"));
    const QString list = folder + QStringLiteral("/quorvel.lst");
    SetPlatform(nullptr);
    int notices = 0;
    std::unique_ptr<FileWatch> watch = platform().WatchFiles([&] { ++notices; });
    watch->SetFiles({list});
    ASSERT_TRUE(QDir().mkpath(folder));
    QTest::qWait(300);
    const int before = notices;
    QFile f(list);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("A\r\n");
    f.close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return notices > before; }, 5000));
    // And a later write to the file itself.
    QTest::qWait(300);
    const int after = notices;
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("B\r\n");
    f.close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return notices > after; }, 5000));
}

// A colour dialog open while another program rewrites the list file.
class ChangeDuringDialog : public TestPlatform {
  public:
    using TestPlatform::TestPlatform;
    std::function<void()> whileOpen;
    std::optional<quint32> ChooseColor(quint32) override {
        whileOpen();
        return 0x000000FF;
    }
};

class ChangesElsewhereTest : public ProgramTest {
  protected:
    ChangesElsewhereTest() {
        auto p = std::make_unique<ChangeDuringDialog>(Path("quorvel"));
        dialog_ = p.get();
        platform_ = std::move(p);
    }
    ChangeDuringDialog *dialog_;
};

TEST_F(ChangesElsewhereTest, BurstIsShownOnceAfterItSettlesAndOwnWritesNever) {
    Write("quorvel.lst", "A\r\nB\r\nC\r\n");
    TForm1 &f = Start();
    int loads = 0;
    QObject::connect(f.ListBox1->titleModel(), &QAbstractItemModel::modelReset, [&] { ++loads; });
    f.ListBox1->setItemIndex(0);
    f.Button3->click();
    loads = 0;
    platform_->notice();
    QTest::qWait(600);
    EXPECT_EQ(loads, 0);
    // Gone for a moment, back shorter, several notices: no message, one load.
    QFile::remove(Path("quorvel.lst"));
    platform_->notice();
    QApplication::processEvents();
    Write("quorvel.lst", "X\r\nY\r\n");
    platform_->notice();
    QTest::qWait(1000);
    EXPECT_EQ(f.ListBox2, (QList<QByteArray>{"X", "Y"}));
    EXPECT_TRUE(platform_->events.isEmpty());
    const int burst = loads;
    loads = 0;
    f.LoadList();
    EXPECT_EQ(burst, loads);
}

TEST_F(ChangesElsewhereTest, NoReloadUnderACommandWaitingForADialog) {
    Write("quorvel.lst", "A\r\nB\r\nC\r\n");
    TForm1 &f = Start();
    f.ListBox1->setItemIndex(2);
    dialog_->whileOpen = [&] {
        Write("quorvel.lst", "X\r\nY\r\nZ\r\n");
        platform_->notice();
        QTest::qWait(1000);
    };
    f.BgColor->trigger();
    // The colour chosen for C lands on no memo of the other program's list.
    EXPECT_EQ(Read("quorvel.lst"), QByteArray("X\r\nY\r\nZ\r\n"));
    QTest::qWait(600);
    EXPECT_EQ(platform_->events,
              QStringList({QStringLiteral("beep"),
                           U("message リストファイルが他のプログラムによって変更されました。"
                             "読み込み直しましたので、もう一度操作してください。")}));
}

} // namespace
