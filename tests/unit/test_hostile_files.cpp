// Large and hostile files: each loads (or is refused with a message), and
// whatever the program writes back keeps every byte it did not change.
#include "platform/cp932.h"
#include "settings/inifile.h"
#include "store/record.h"
#include "test_support.h"
#include "ui/widgets.h"

#include <QAction>
#include <QElapsedTimer>
#include <QMenu>
#include <QPushButton>
#include <QRandomGenerator>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool Sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool Sanitized = true;
#else
constexpr bool Sanitized = false;
#endif
#else
constexpr bool Sanitized = false;
#endif

QByteArray Sjis(const char *utf8) {
    return *EncodeCp932(QString::fromUtf8(utf8));
}

QByteArray Join(const QList<QByteArray> &records) {
    QByteArray text;
    for (const QByteArray &r : records)
        text += r + "\r\n";
    return text;
}

class HostileFilesTest : public ProgramTest {};

TEST_F(HostileFilesTest, HundredMegabyteListLoadsAndRewritesExactly) {
    if (Sanitized)
        GTEST_SKIP() << "too slow under the sanitizers";
    // About 1,000,000 records of about 100 bytes: Japanese, some with line
    // breaks and colours, some with bytes that are not code page 932.
    QRandomGenerator random(7);
    const QByteArray words[] = {Sjis("買い物"), Sjis("歯医者の予約"), Sjis("週報を提出"),
                                QByteArray("todo item "), QByteArray("\x80\xA0\xFF", 3)};
    QList<QByteArray> records;
    qsizetype size = 0;
    while (size < 100 * 1000 * 1000) {
        QByteArray r;
        while (r.size() < 90)
            r += words[random.bounded(5)];
        if (random.bounded(4) == 0)
            r.insert(20, LineBreakMarker());
        if (random.bounded(5) == 0)
            r += ColorMarker() + "clYellow";
        size += r.size() + 2;
        records.append(r);
    }
    Write("quorvel.lst", Join(records));

    QElapsedTimer timer;
    timer.start();
    TForm1 &f = Start();
    const qint64 loadMs = timer.elapsed();
    ASSERT_EQ(f.ListBox2.size(), records.size());
    EXPECT_EQ(f.ListBox2.at(f.ListBox2.size() - 1), records.last());

    timer.restart();
    f.ListBox1->setItemIndex(int(records.size()) - 1);
    f.ToTopClick();
    const qint64 moveMs = timer.elapsed();
    records.move(records.size() - 1, 0);
    EXPECT_TRUE(Read("quorvel.lst") == Join(records));
    EXPECT_EQ(f.ListBox1->itemIndex(), 0);
    EXPECT_TRUE(platform_->events.isEmpty())
        << platform_->events.join(QLatin1Char('\n')).toStdString();
    std::printf(
        "[ figures  ] %lld records, %lld MB: start-up with load %lld ms, move to top %lld ms\n",
        static_cast<long long>(records.size()), static_cast<long long>(size >> 20),
        static_cast<long long>(loadMs), static_cast<long long>(moveMs));
}

TEST_F(HostileFilesTest, TenMegabyteRecordAndAMillionEmptyLines) {
    // One memo of 10 MB: lines of double-byte text joined by line-break markers.
    QByteArray big;
    while (big.size() < 10 * 1000 * 1000)
        big += Sjis("あいうえおかきくけこさしすせそたちつてと") + LineBreakMarker();
    big += ColorMarker() + "clAqua";
    Write("quorvel.lst", "short\r\n" + big + "\r\n");
    TForm1 &f = Start();
    ASSERT_EQ(f.ListBox2.size(), 2);
    EXPECT_EQ(f.ListBox1->titleModel()->title(1), Sjis("あいうえおかきくけこさしすせそたちつてと"));

    // Opened for editing and saved unchanged, it is written back byte for byte.
    f.ListBox1->setItemIndex(1);
    f.ListBox1DblClick();
    f.Button4Click();
    EXPECT_TRUE(Read("quorvel.lst") == "short\r\n" + big + "\r\n");
    f.ListBox1->setItemIndex(1);
    f.Button2Click();
    EXPECT_TRUE(Read("quorvel.lst") == big + "\r\nshort\r\n");
    Close();

    // A million empty lines are a million empty memos.
    QByteArray empty;
    for (int i = 0; i < 1000 * 1000; ++i)
        empty += "\r\n";
    Write("quorvel.lst", "x" + empty);
    TForm1 &g = Start();
    ASSERT_EQ(g.ListBox2.size(), 1000 * 1000);
    g.ListBox1->setItemIndex(0);
    g.ToBottomClick();
    EXPECT_TRUE(Read("quorvel.lst") == empty.mid(2) + "x\r\n");
    EXPECT_EQ(g.ListBox1->itemIndex(), 1000 * 1000 - 1);
    EXPECT_TRUE(platform_->events.isEmpty());
}

TEST_F(HostileFilesTest, BytesThatAreNotCodePage932SurviveEveryCommand) {
    // Undefined single bytes, an undefined double-byte code and a lead byte
    // cut off at the end of the record.
    const QByteArray odd("a\x80 \xA0 \xFD\xFE\xFF \x85\x40 z\x82", 14);
    Write("quorvel.lst", odd + "\r\nplain\r\n");
    TForm1 &f = Start();
    ASSERT_EQ(f.ListBox2.size(), 2);
    EXPECT_TRUE(f.ListBox1->model()->index(0, 0).data().toString().contains(QChar(0xFFFD)));

    f.ListBox1->setItemIndex(0);
    f.ListBox1DblClick();
    f.Button4Click(); // saved unchanged
    EXPECT_TRUE(Read("quorvel.lst") == odd + "\r\nplain\r\n");

    f.ListBox1->setItemIndex(0);
    platform_->colours.push_back(0x000000FF);
    f.BgColorClick();
    EXPECT_TRUE(Read("quorvel.lst") == odd + ColorMarker() + "clRed\r\nplain\r\n");

    f.ListBox1->setItemIndex(0);
    f.Button3Click();
    EXPECT_TRUE(Read("quorvel.lst") == "plain\r\n" + odd + ColorMarker() + "clRed\r\n");

    // Through the trash and back.
    f.ListBox1->setItemIndex(1);
    f.D1Click();
    f.ActivatePage(3);
    f.ListBox3->setItemIndex(0);
    f.RestoreClick();
    EXPECT_TRUE(Read("quorvel.lst") == "plain\r\n" + odd + ColorMarker() + "clRed\r\n");
    EXPECT_TRUE(Read("quorvel.trh").isEmpty());
    EXPECT_TRUE(platform_->events.isEmpty())
        << platform_->events.join(QLatin1Char('\n')).toStdString();
}

TEST_F(HostileFilesTest, GarbageInEverySettingGivesTheDefaultsAndIsKept) {
    Write("quorvel.lst", "a\r\n");
    const QByteArray garbage = "[File]\r\nLastFileName=\r\n"
                               "[Position]\r\nLeft=abc\r\nTop=0x\r\n"
                               "[Setting]\r\nPage=--1\r\nTrash=$\r\nSave=1.5\r\n"
                               "[RecentFile]\r\nID0=\xFF\xFE\x80\r\nID1=\r\nID2==\r\n"
                               "[Print]\r\nPrintFontSize=\xEF\xBB\xBF"
                               "21\r\nPrintKankaku=1e3\r\nOnlyHeadLine= + 1\r\n"
                               "junk line without equals\r\n[unclosed\r\n=value without key\r\n";
    Write("quorvel.ini", garbage);
    TForm1 &f = Start();
    // An empty LastFileName is a name of its own: nothing loads from it.
    EXPECT_EQ(f.ListFileName, QString());
    EXPECT_EQ(f.pos(), QPoint(100, 113));
    EXPECT_FALSE(f.N9->isChecked());
    EXPECT_FALSE(f.N10->isChecked());
    EXPECT_EQ(platform_->events.size(), 2); // the load-failure message for the empty name
    platform_->events.clear();
    Close();
    EXPECT_TRUE(platform_->events.isEmpty());

    // Shut-down replaced its four keys and kept every other byte.
    QByteArray expected = garbage;
    expected.replace("Left=abc", "Left=100")
        .replace("Top=0x", "Top=113")
        .replace("Save=1.5", "Save=0");
    EXPECT_EQ(Read("quorvel.ini"), expected);
}

TEST_F(HostileFilesTest, MegabyteSettingsValuesAreCutNotFatal) {
    Write("quorvel.ini", "[File]\r\nLastFileName=" + QByteArray(1 << 20, 'a') +
                             "\r\n[RecentFile]\r\nID0=" + QByteArray(1 << 20, 'b') + "\r\n");
    TForm1 &f = Start();
    EXPECT_EQ(f.ListFileName, QString(2047, QLatin1Char('a')));
    ASSERT_GE(f.N2->actions().size(), 8);
    EXPECT_EQ(f.N2->actions().at(7)->text().size(), 2 + 2047);
    ASSERT_EQ(platform_->events.size(), 2); // the list file cannot be found: beep and message
    Close();
    // The recent entry nobody changed is kept whole.
    EXPECT_TRUE(Read("quorvel.ini").contains("ID0=" + QByteArray(1 << 20, 'b') + "\r\n"));
    EXPECT_EQ(Ini::ReadString(Path("quorvel.ini"), "File", "LastFileName", ""),
              QByteArray(2047, 'a'));
}

TEST_F(HostileFilesTest, NamedPipesAreRefusedWithoutWaiting) {
    // An open that waits for a writer would hang here: the alarm ends the
    // run instead.
    struct Alarm {
        Alarm() { ::alarm(60); }
        ~Alarm() { ::alarm(0); }
    } alarm;
    for (const char *name : {"quorvel.ini", "quorvel.lst", "quorvel.trh"})
        ASSERT_EQ(::mkfifo(Path(name).toLocal8Bit().constData(), 0600), 0) << name;
    const auto cannotOpen = [this](const char *name) {
        return QStringLiteral("error ファイル ") + Path(name) + U(" は開けません.");
    };

    // The settings read as missing; the list cannot be read.
    TForm1 &f = Start();
    EXPECT_EQ(f.pos(), QPoint(100, 113));
    EXPECT_EQ(platform_->events, QStringList{cannotOpen("quorvel.lst")});
    EXPECT_TRUE(f.ListBox2.isEmpty());

    // A new memo is not appended to the pipe, and stays where it was typed.
    platform_->events.clear();
    f.ActivatePage(1);
    f.Memo1->setText(U("牛乳"));
    f.Button1->click();
    EXPECT_EQ(platform_->events, QStringList{cannotOpen("quorvel.lst")});
    EXPECT_EQ(f.Memo1->text(), U("牛乳"));

    // The trash page cannot read its pipe either.
    platform_->events.clear();
    f.ActivatePage(3);
    EXPECT_EQ(platform_->events, QStringList{cannotOpen("quorvel.trh")});

    // With a program reading the pipe, still nothing goes into it.
    const int reader = ::open(Path("quorvel.lst").toLocal8Bit().constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    platform_->events.clear();
    f.ActivatePage(1);
    f.Button1->click();
    EXPECT_EQ(platform_->events, QStringList{cannotOpen("quorvel.lst")});
    char buffer[64];
    EXPECT_LE(::read(reader, buffer, sizeof buffer), 0) << "bytes went into the pipe";
    ::close(reader);

    // Shut-down cannot replace the settings pipe by reading it first.
    platform_->events.clear();
    Close();
    EXPECT_EQ(platform_->events, QStringList{QStringLiteral("error ") + Path("quorvel.ini") +
                                             U(" に書き込めません.")});
}

} // namespace
