// The command line's rules: the forms it takes and refuses, the requests a
// later start hands over, a new memo's text from outside the window, and the
// folder the window's socket may live in.
#include "platform/windowchannel.h"
#include "store/memotext.h"
#include "ui/arguments.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QString U(const char *s) {
    return QString::fromUtf8(s);
}

Arguments Parse(const QStringList &args) {
    return ParseArguments(args, QStringLiteral("/home/u"));
}

} // namespace

TEST(CommandLine, TakesEachFormAndRefusesAnythingElse) {
    using M = Arguments::Mode;
    EXPECT_EQ(Parse({}).mode, M::Window);
    EXPECT_EQ(Parse({}).request.kind, WindowRequest::Kind::Show);
    const Arguments open = Parse({QStringLiteral("lists/../a.lst")});
    EXPECT_EQ(open.request,
              (WindowRequest{WindowRequest::Kind::Open, QStringLiteral("/home/u/a.lst")}));
    EXPECT_EQ(Parse({QStringLiteral("--"), QStringLiteral("-x.lst")}).request.path,
              QStringLiteral("/home/u/-x.lst"));
    EXPECT_EQ(Parse({QStringLiteral("--new-memo")}).request.kind, WindowRequest::Kind::NewMemo);
    const Arguments add = Parse({QStringLiteral("--add"), QStringLiteral("-x"),
                                 QStringLiteral("--file"), QStringLiteral("b.lst")});
    EXPECT_EQ(add.mode, M::Add);
    EXPECT_EQ(add.addText, QStringLiteral("-x"));
    EXPECT_EQ(add.file, QStringLiteral("/home/u/b.lst"));
    EXPECT_TRUE(Parse({QStringLiteral("--add=-")}).addFromStdin);
    EXPECT_EQ(Parse({QStringLiteral("--list"), QStringLiteral("--help")}).mode, M::Help);

    const std::pair<QStringList, const char *> refused[] = {
        {{QStringLiteral("--bogus")}, "不明なオプションです：--bogus"},
        {{QStringLiteral("-x")}, "不明なオプションです：-x"},
        {{QStringLiteral("--add")}, "オプションに値がありません：--add"},
        {{QStringLiteral("--list=1")}, "このオプションは値をとりません：--list"},
        {{QStringLiteral("a.lst"), QStringLiteral("b.lst")}, "FILE は一つだけ指定できます：b.lst"},
        {{QStringLiteral("--add"), QStringLiteral("a"), QStringLiteral("--add"),
          QStringLiteral("b")},
         "--add は一度だけ指定できます"},
        {{QStringLiteral("--new-memo"), QStringLiteral("a.lst")},
         "FILE、--new-memo、--add、--list はどれか一つだけ指定できます"},
        {{QStringLiteral("--file"), QStringLiteral("a.lst")},
         "--file は --add か --list と一緒に指定します"},
    };
    for (const auto &[args, message] : refused) {
        const Arguments a = Parse(args);
        EXPECT_EQ(a.mode, M::Error) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(a.error, QStringLiteral("quorvel: ") + U(message));
    }
}

TEST(CommandLine, WindowRequestsAreExactlyTheThreeForms) {
    for (const WindowRequest &r :
         {WindowRequest{}, WindowRequest{WindowRequest::Kind::NewMemo, {}},
          WindowRequest{WindowRequest::Kind::Open, U("/tmp/買い物\nリスト.lst")}})
        EXPECT_EQ(ParseWindowRequest(EncodeWindowRequest(r)), r);
    for (const char *junk : {"", "show\n", "Show", "new-memo ", "open", "open\n", "open\nrel.lst",
                             "open /a.lst", "open\n/a\xFF.lst", "quit"})
        EXPECT_FALSE(ParseWindowRequest(QByteArray(junk))) << junk;
}

TEST(CommandLine, MemoTextFromOutsideHasTheNewMemoPagesLineEnds) {
    EXPECT_EQ(MemoTextFromInput("\xEF\xBB\xBF"
                                "a\nb\r\nc\rd\n"),
              QStringLiteral("a\r\nb\r\nc\r\nd"));
    EXPECT_EQ(MemoTextFromInput("a\r\n\r\n"), QStringLiteral("a\r\n"));
    EXPECT_EQ(MemoTextFromInput("\n"), QString());
    EXPECT_EQ(MemoTextFrom(QStringLiteral("a\nb\n"), false), QStringLiteral("a\r\nb\r\n"));

    QString refusal;
    EXPECT_FALSE(NewMemoBytes(QString(), &refusal));
    EXPECT_EQ(refusal, U("何か入力してください。"));
    EXPECT_FALSE(NewMemoBytes(MemoTextFromInput("a\xFF"), &refusal));
    EXPECT_EQ(refusal, U("保存できない文字が含まれています：「\uFFFD」"));
    // A NUL would end the list file's text and hide every memo after it.
    EXPECT_FALSE(NewMemoBytes(QStringLiteral("a") + QChar(0) + QStringLiteral("b"), &refusal));
    EXPECT_EQ(refusal, U("保存できない文字が含まれています：「NUL」"));
}

TEST(WindowSocket, LivesInAFolderOnlyTheUserMayEnter) {
    QTemporaryDir tmp;
    const QString runtime = tmp.filePath(QStringLiteral("run"));
    ASSERT_TRUE(QDir().mkdir(runtime));
    ::chmod(QFile::encodeName(runtime).constData(), 0700);
    EXPECT_EQ(PrivateRuntimeFolder(runtime, tmp.path()), runtime);

    // A runtime folder others may enter is not used: one of the user's own
    // under the temporary folder is made instead, with mode 0700.
    ::chmod(QFile::encodeName(runtime).constData(), 0755);
    const QString own = tmp.filePath(QStringLiteral("quorvel-%1").arg(::geteuid()));
    EXPECT_EQ(PrivateRuntimeFolder(runtime, tmp.path()), own);
    struct stat st;
    ASSERT_EQ(::lstat(QFile::encodeName(own).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // One that others may enter, or a link put in its place, is refused.
    ::chmod(QFile::encodeName(own).constData(), 0777);
    EXPECT_EQ(PrivateRuntimeFolder(QString(), tmp.path()), QString());
    ASSERT_TRUE(QDir(own).removeRecursively());
    ASSERT_TRUE(QFile::link(runtime, own));
    EXPECT_EQ(PrivateRuntimeFolder(QString(), tmp.path()), QString());

    const QString a = WindowSocketPath(runtime, QStringLiteral("/a/quorvel.ini"));
    EXPECT_EQ(a, WindowSocketPath(runtime, QStringLiteral("/a/quorvel.ini")));
    EXPECT_NE(a, WindowSocketPath(runtime, QStringLiteral("/b/quorvel.ini")));
    EXPECT_TRUE(a.startsWith(runtime + QStringLiteral("/quorvel-")));
}
