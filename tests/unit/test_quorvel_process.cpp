// The built program run as its own process: --add and --list with no
// display at all, their exit codes and messages; a later start handing its
// request to the running window over the real socket; and four --add
// processes appending while a window moves memos.
#include "platform/fileio.h"
#include "platform/windowchannel.h"
#include "settings/inifile.h"
#include "store/record.h"
#include "test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <algorithm>
#include <sys/stat.h>

using namespace testing_support;

namespace {

struct Ran {
    int code = -1;
    QByteArray out, err;
};

// Without a display, and without the offscreen platform the tests use.
QProcessEnvironment NoDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QString::fromLatin1(name));
    return env;
}

Ran Quorvel(const QStringList &args, const QByteArray &input = {},
            const QString &exe = QStringLiteral(QV_QUORVEL_EXE),
            const QProcessEnvironment &env = NoDisplay()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(exe, args);
    p.write(input);
    p.closeWriteChannel();
    Ran r;
    if (p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit)
        r.code = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// A copy of the program in a folder of its own: its settings and default
// list live beside it.
class ProgramCopy : public DesktopTest {
  protected:
    void SetUp() override {
        DesktopTest::SetUp();
        ASSERT_TRUE(QFile::copy(QStringLiteral(QV_QUORVEL_EXE), Path("quorvel")));
    }
    Ran Run(const QStringList &args, const QByteArray &input = {}) {
        return Quorvel(args, input, Path("quorvel"));
    }
};

const QByteArray Marker = LineBreakMarker();

} // namespace

TEST_F(ProgramCopy, AddWritesTheBytesTheNewMemoPageWrites) {
    Write("quorvel.lst", "A\r\n");
    Ran r = Run({QStringLiteral("--add"), U("買い物")});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out + r.err, QByteArray());
    r = Run({QStringLiteral("--add"), QStringLiteral("-")}, "\xEF\xBB\xBF牛乳\n卵\r\nパン\n");
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(Read("quorvel.lst"), "A\r\n\x94\x83\x82\xA2\x95\xA8\r\n\x8B\x8D\x93\xFB" + Marker +
                                       "\x97\x91" + Marker + "\x83\x70\x83\x93\r\n");

    // Refused: nothing written, the reason on standard error.
    const QByteArray before = Read("quorvel.lst");
    r = Run({QStringLiteral("--add"), U("x😀")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(QString::fromUtf8(r.err), U("保存できない文字が含まれています：「😀」\n"));
    r = Run({QStringLiteral("--add=-")}, "\n");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(QString::fromUtf8(r.err), U("何か入力してください。\n"));
    EXPECT_EQ(Read("quorvel.lst"), before);
    EXPECT_FALSE(QFile::exists(Path("quorvel.ini"))); // only read

    // The list file the settings name, else the default one.
    Write("quorvel.ini", "[File]\r\nLastFileName=" + Path("other.lst").toUtf8() + "\r\n");
    EXPECT_EQ(Run({QStringLiteral("--add"), QStringLiteral("o")}).code, 0);
    EXPECT_EQ(Read("other.lst"), "o\r\n");
    EXPECT_EQ(Run({QStringLiteral("--list")}).out, "1\to\n");
}

TEST_F(ProgramCopy, ListPrintsUtf8AndExitCodesTellWhatHappened) {
    Write("l.lst", "\x94\x83\x82\xA2\x95\xA8" + Marker + "x\r\n\x82\xA0\r\n");
    Ran r = Run({QStringLiteral("--list"), QStringLiteral("--file"), Path("l.lst")});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(QString::fromUtf8(r.out), U("1\t買い物\n2\tあ\n"));
    r = Run({QStringLiteral("--list"), QStringLiteral("--file"), Path("none.lst")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(QString::fromUtf8(r.err),
              Path("none.lst") +
                  U("の読み込みに失敗しました。\nファイルが存在しない可能性があります。\n"));
    r = Run({QStringLiteral("--bogus")});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, QByteArray());
    const QList<QByteArray> lines = r.err.split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(QString::fromUtf8(lines[0]), U("quorvel: 不明なオプションです：--bogus"));
    EXPECT_TRUE(QString::fromUtf8(lines[1]).startsWith(U("使い方: quorvel ")));
    r = Run({QStringLiteral("--help")});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(r.out.startsWith(lines[1] + '\n'));
    EXPECT_EQ(Run({QStringLiteral("--version")}).out, "Quorvel " QV_VERSION "\n");
}

TEST_F(ProgramCopy, ALaterStartReachesTheRunningWindowOverItsSocket) {
    Write("quorvel.lst", "A\r\n");
    Write("other.lst", "O\r\n");
    const QString run = Path("run");
    ASSERT_TRUE(QDir().mkdir(run));
    ::chmod(QFile::encodeName(run).constData(), 0700);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), run);
    const QString socket = WindowSocketPath(run, Path("quorvel.ini"));
    const auto startWindow = [&](QProcess &w) {
        w.setProcessEnvironment(env);
        w.start(Path("quorvel"), {});
        w.waitForStarted();
        for (QElapsedTimer t; !t.isValid() || (!QFile::exists(socket) && t.elapsed() < 10000);
             QThread::msleep(20))
            t.start();
    };
    const auto later = [&](const QStringList &args) {
        return Quorvel(args, {}, Path("quorvel"), env);
    };
    QProcess window;
    startWindow(window);
    ASSERT_TRUE(QFile::exists(socket));
    // What is not a request of the program's is ignored.
    for (const QByteArray &junk : {QByteArray("quit\0", 5), QByteArray(70000, 'x')}) {
        QLocalSocket s;
        s.connectToServer(socket);
        ASSERT_TRUE(s.waitForConnected(2000));
        s.write(junk);
        s.waitForBytesWritten(2000);
        s.waitForDisconnected(6000);
    }
    EXPECT_EQ(later({Path("other.lst")}).code, 0);
    const auto recent = [&] {
        return Ini::ReadString(Path("quorvel.ini"), "RecentFile", "ID0", "");
    };
    for (QElapsedTimer t;
         !t.isValid() || (recent() != Path("other.lst").toUtf8() && t.elapsed() < 10000);
         QThread::msleep(20))
        t.start();
    EXPECT_EQ(recent(), Path("other.lst").toUtf8());
    EXPECT_FALSE(window.waitForFinished(100)); // still running

    // Killed, the window leaves its socket: the next start removes it and
    // becomes the window that a start after it reaches.
    window.kill();
    window.waitForFinished();
    ASSERT_TRUE(QFileInfo(socket).exists());
    QProcess next;
    startWindow(next);
    QThread::msleep(500);
    EXPECT_EQ(later({}).code, 0);
    EXPECT_FALSE(next.waitForFinished(100));
    next.kill();
    next.waitForFinished();
}

// A window moving memos while four processes add 200 memos each: every memo
// is in the list exactly once, none lost and none twice.
TEST_F(ProgramTest, MemosAddedByOtherProcessesSurviveTheWindowsMoves) {
    QByteArray seed;
    for (int i = 0; i < 20; ++i)
        seed += "m" + QByteArray::number(i) + "\r\n";
    Write("quorvel.lst", seed);
    TForm1 &f = Start();
    QList<QProcess *> adders;
    for (int k = 0; k < 4; ++k) {
        auto *p = new QProcess;
        p->setProcessEnvironment(NoDisplay());
        p->start(QStringLiteral("sh"),
                 {QStringLiteral("-c"),
                  QStringLiteral("for i in $(seq 1 200); do \"$0\" --add p$1-$i --file \"$2\" || "
                                 "exit 1; done"),
                  QStringLiteral(QV_QUORVEL_EXE), QString::number(k), Path("quorvel.lst")});
        adders << p;
    }
    int moved = 0;
    QRandomGenerator random(23);
    const auto running = [&] {
        return std::any_of(adders.cbegin(), adders.cend(),
                           [](QProcess *p) { return p->state() != QProcess::NotRunning; });
    };
    while (running()) {
        const int n = int(f.ListBox2.size());
        const int from = random.bounded(n), to = random.bounded(n);
        const QByteArray before = f.ListBox2.copy(from);
        f.Run([&] { f.MoveMemo(from, to); });
        moved += from != to && f.ListBox2.size() == n && f.ListBox2.copy(to) == before;
        QApplication::processEvents();
    }
    for (QProcess *p : adders) {
        EXPECT_EQ(p->exitCode(), 0);
        delete p;
    }
    EXPECT_GT(moved, 20);
    QMap<QByteArray, int> seen;
    for (const QByteArray &r : SplitLines(Read("quorvel.lst")))
        ++seen[r];
    EXPECT_EQ(seen.size(), 820);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(seen.value("m" + QByteArray::number(i)), 1);
    for (int k = 0; k < 4; ++k)
        for (int i = 1; i <= 200; ++i)
            EXPECT_EQ(seen.value("p" + QByteArray::number(k) + "-" + QByteArray::number(i)), 1);
}
