// Code page 932 conversion, file access, error texts and font sizes.
#include "platform/apperror.h"
#include "platform/cp932.h"
#include "platform/fileio.h"
#include "platform/pagesurface.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray B(const char *s) {
    return QByteArray(s);
}

class FileTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString Path(const char *name) const { return dir_.filePath(QString::fromUtf8(name)); }
    void Put(const char *name, const QByteArray &content) const {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(content), content.size());
    }
    QByteArray Get(const char *name) const {
        QFile f(Path(name));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
        return f.readAll();
    }
    QStringList Entries() const {
        return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    static mode_t ModeOf(const QString &path) {
        struct stat st;
        EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
        return st.st_mode & 07777;
    }

    QTemporaryDir dir_;
};

// Limits the size of files this process may write, so that writes fail even
// for a user whom permissions do not stop.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = old_;
        lim.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

  private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

} // namespace

TEST(Cp932, AsciiAndBackslashTilde) {
    EXPECT_EQ(DecodeCp932(B("a\\b~c")), QStringLiteral("a\\b~c"));
    EXPECT_EQ(EncodeCp932(QStringLiteral("a\\b~c")), B("a\\b~c"));
    EXPECT_EQ(DecodeCp932(B("\x82\xA0\\~\x8A\xBF")), QStringLiteral("あ\\~漢"));
    EXPECT_EQ(EncodeCp932(QStringLiteral("あ\\~漢")), B("\x82\xA0\\~\x8A\xBF"));
    // Half-width katakana are single bytes.
    EXPECT_EQ(DecodeCp932(B("\xB1\xDD")), QStringLiteral("ｱﾝ"));
    EXPECT_EQ(EncodeCp932(QStringLiteral("ｱﾝ")), B("\xB1\xDD"));
    EXPECT_EQ(DecodeCp932(QByteArray()), QString());
    EXPECT_EQ(EncodeCp932(QString()), QByteArray());
}

TEST(Cp932, InvalidBytesBecomeReplacementCharacters) {
    const QString r(QChar::ReplacementCharacter);
    // A lead byte at the end, and one followed by a byte that cannot trail.
    EXPECT_EQ(DecodeCp932(B("ab\x82")), QStringLiteral("ab") + r);
    EXPECT_EQ(DecodeCp932(B("\x82 x")), r + QStringLiteral(" x"));
    EXPECT_EQ(DecodeCp932(B("\x82\xA0\xFF\x82\xA2")),
              QStringLiteral("あ") + r + QStringLiteral("い"));
    EXPECT_EQ(DecodeCp932(B("\x80")), r);
    EXPECT_EQ(DecodeCp932(B("\xFD\xFE")), r + r);
}

TEST(Cp932, EveryDoubleByteCodeRoundTrips) {
    int valid = 0;
    int sameBytes = 0;
    QStringList failures;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!IsCp932LeadByte(static_cast<unsigned char>(lead)))
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            QByteArray bytes;
            bytes.append(char(lead)).append(char(trail));
            const QString text = DecodeCp932(bytes);
            if (text.contains(QChar::ReplacementCharacter))
                continue;
            ++valid;
            ASSERT_EQ(text.size(), 1) << lead << " " << trail;
            const auto back = EncodeCp932(text);
            ASSERT_TRUE(back.has_value()) << lead << " " << trail;
            // A few characters have two codes (NEC and IBM rows); the encoder
            // picks one of them, which must decode to the same character.
            if (*back == bytes)
                ++sameBytes;
            else if (DecodeCp932(*back) != text)
                failures << QString::fromLatin1(bytes.toHex());
            else if (!(lead == 0x87 || (lead >= 0xED && lead <= 0xEE) ||
                       (lead >= 0xFA && lead <= 0xFC)))
                failures << QString::fromLatin1(bytes.toHex());
        }
    }
    EXPECT_TRUE(failures.isEmpty()) << failures.join(QLatin1Char(' ')).toStdString();
    // JIS X 0208 alone has 6879 characters; code page 932 adds NEC and IBM
    // extensions and 1880 user-defined codes.
    EXPECT_GT(valid, 7000);
    EXPECT_GT(sameBytes, valid - 400);
}

TEST(Cp932, UnencodableCharacterIsReported) {
    QString bad;
    EXPECT_EQ(EncodeCp932(QStringLiteral("ok 😀 then é"), &bad), std::nullopt);
    EXPECT_EQ(bad, QStringLiteral("😀"));
    EXPECT_EQ(bad.size(), 2) << "the whole surrogate pair";
    EXPECT_EQ(EncodeCp932(QStringLiteral("あé"), &bad), std::nullopt);
    EXPECT_EQ(bad, QStringLiteral("é"));
    EXPECT_EQ(EncodeCp932(QStringLiteral("한"), nullptr), std::nullopt);
    // A lone surrogate is no character at all.
    QString lone = QStringLiteral("a");
    lone.append(QChar(0xD800));
    EXPECT_EQ(EncodeCp932(lone, &bad), std::nullopt);
    EXPECT_EQ(bad, QString(QChar(0xD800)));
    // The converter is left in a usable state after a refusal.
    EXPECT_EQ(EncodeCp932(QStringLiteral("漢字")), B("\x8A\xBF\x8E\x9A"));
}

TEST(ErrorReport, FullStopRule) {
    EXPECT_EQ(ErrorReportText(QStringLiteral("abc")), QStringLiteral("abc."));
    EXPECT_EQ(ErrorReportText(QStringLiteral("abc.")), QStringLiteral("abc."));
    EXPECT_EQ(ErrorReportText(QStringLiteral("abc ")), QStringLiteral("abc "));
    EXPECT_EQ(ErrorReportText(QStringLiteral("(5)")), QStringLiteral("(5)"));
    EXPECT_EQ(ErrorReportText(QStringLiteral("a/")), QStringLiteral("a/."));
    EXPECT_EQ(ErrorReportText(QStringLiteral("見つかりません")), QStringLiteral("見つかりません."));
    EXPECT_EQ(ErrorReportText(QStringLiteral("終わり。")), QStringLiteral("終わり。."));
    EXPECT_EQ(ErrorReportText(QString()), QStringLiteral("."));
}

TEST(FileErrors, Texts) {
    EXPECT_EQ(FileErrorText(ENOENT), QStringLiteral("ファイルが見つかりません"));
    EXPECT_EQ(FileErrorText(ENOTDIR), QStringLiteral("不正なファイル名です"));
    EXPECT_EQ(FileErrorText(ENAMETOOLONG), QStringLiteral("不正なファイル名です"));
    EXPECT_EQ(FileErrorText(EMFILE), QStringLiteral("オープンしたファイルが多すぎます"));
    EXPECT_EQ(FileErrorText(EACCES), QStringLiteral("ファイルへのアクセスが拒否されました"));
    EXPECT_EQ(FileErrorText(EISDIR), QStringLiteral("ファイルへのアクセスが拒否されました"));
    EXPECT_EQ(FileErrorText(ENOSPC), QStringLiteral("ディスクがいっぱいです"));
    EXPECT_EQ(FileErrorText(EIO), QStringLiteral("I/O エラー (%1)").arg(EIO));
}

TEST_F(FileTest, ReadWholeFile) {
    const QByteArray data = QByteArray("a\0b\r\n\x82\xA0", 7).repeated(50000);
    Put("list.lst", data);
    EXPECT_EQ(ReadWholeFile(Path("list.lst")), data);
    Put("empty.lst", QByteArray());
    EXPECT_EQ(ReadWholeFile(Path("empty.lst")), QByteArray());
    for (const QString &path : {Path("missing.lst"), dir_.path()}) {
        try {
            ReadWholeFile(path);
            ADD_FAILURE() << path.toStdString();
        } catch (const AppError &e) {
            EXPECT_EQ(e.message(),
                      QStringLiteral("ファイル ") + path + QStringLiteral(" は開けません"));
        }
    }
}

TEST_F(FileTest, WriteFileAtomicReplacesAndKeepsMode) {
    Put("list.lst", "old content");
    ASSERT_TRUE(QFile::setPermissions(Path("list.lst"),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    ASSERT_EQ(ModeOf(Path("list.lst")), mode_t(0640));
    EXPECT_TRUE(WriteFileAtomic(Path("list.lst"), "new"));
    EXPECT_EQ(Get("list.lst"), B("new"));
    EXPECT_EQ(ModeOf(Path("list.lst")), mode_t(0640));
    EXPECT_TRUE(WriteFileAtomic(Path("list.lst"), QByteArray()));
    EXPECT_EQ(Get("list.lst"), QByteArray());

    // A new file gets the mode of any newly created file.
    const mode_t oldMask = ::umask(027);
    EXPECT_TRUE(WriteFileAtomic(Path("new.lst"), "x"));
    ::umask(oldMask);
    EXPECT_EQ(ModeOf(Path("new.lst")), mode_t(0640));
    EXPECT_EQ(Entries().size(), 2) << Entries().join(QLatin1Char(' ')).toStdString();
}

TEST_F(FileTest, WriteFileAtomicFollowsSymlinksButNotHardLinks) {
    Put("real.lst", "old");
    ASSERT_TRUE(QFile::link(Path("real.lst"), Path("link.lst")));
    EXPECT_TRUE(WriteFileAtomic(Path("link.lst"), "new"));
    EXPECT_TRUE(QFileInfo(Path("link.lst")).isSymLink());
    EXPECT_EQ(Get("real.lst"), B("new"));

    // The file is replaced, not written into: another name for it keeps the
    // old content.
    ASSERT_EQ(::link(QFile::encodeName(Path("real.lst")).constData(),
                     QFile::encodeName(Path("hard.lst")).constData()),
              0);
    EXPECT_TRUE(WriteFileAtomic(Path("real.lst"), "newer"));
    EXPECT_EQ(Get("real.lst"), B("newer"));
    EXPECT_EQ(Get("hard.lst"), B("new"));
}

TEST_F(FileTest, FailedWriteKeepsOldContent) {
    Put("list.lst", "old content");
    {
        FileSizeLimit limit(1024);
        EXPECT_FALSE(WriteFileAtomic(Path("list.lst"), QByteArray(64 * 1024, 'n')));
    }
    EXPECT_EQ(Get("list.lst"), B("old content"));
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("list.lst")}) << "temporary file removed";
}

TEST_F(FileTest, WriteFileAtomicOpeningFailuresThrow) {
    const auto expectThrow = [](const QString &path, const QString &text) {
        try {
            WriteFileAtomic(path, "data");
            ADD_FAILURE() << path.toStdString();
        } catch (const AppError &e) {
            EXPECT_EQ(e.message(), text);
        }
    };
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("folder.lst")));
    expectThrow(Path("folder.lst"), QStringLiteral("ファイルへのアクセスが拒否されました"));
    EXPECT_TRUE(QFileInfo(Path("folder.lst")).isDir());
    expectThrow(Path("nofolder/list.lst"), QStringLiteral("ファイルが見つかりません"));
    Put("plain", "x");
    expectThrow(Path("plain/list.lst"), QStringLiteral("不正なファイル名です"));
    EXPECT_EQ(Get("plain"), B("x"));
}

TEST_F(FileTest, AppendToFile) {
    EXPECT_TRUE(AppendToFile(Path("list.lst"), "a\r\n"));
    EXPECT_TRUE(AppendToFile(Path("list.lst"), "b\r\n"));
    EXPECT_TRUE(AppendToFile(Path("list.lst"), QByteArray()));
    EXPECT_EQ(Get("list.lst"), B("a\r\nb\r\n"));
    EXPECT_THROW(AppendToFile(Path("nofolder/list.lst"), "x"), AppError);
    EXPECT_THROW(AppendToFile(dir_.path(), "x"), AppError);

    // A failed append leaves no half record behind.
    {
        FileSizeLimit limit(1024);
        EXPECT_FALSE(AppendToFile(Path("list.lst"), QByteArray(4096, 'z') + "\r\n"));
    }
    EXPECT_EQ(Get("list.lst"), B("a\r\nb\r\n"));
}

TEST_F(FileTest, SmallFileOperations) {
    EXPECT_FALSE(FileExists(Path("list.lst")));
    EXPECT_FALSE(FileExists(dir_.path()));
    const auto end = [this](const char *name) {
        const TextEnd e = ScanTextEnd(Path(name));
        return std::pair(e.endsAtNul, e.lastByte);
    };
    EXPECT_EQ(end("list.lst"), std::pair(false, -1));

    EXPECT_TRUE(CreateEmptyFile(Path("list.lst")));
    EXPECT_TRUE(FileExists(Path("list.lst")));
    EXPECT_EQ(end("list.lst"), std::pair(false, -1));
    Put("list.lst", "abc\xFF");
    EXPECT_EQ(end("list.lst"), std::pair(false, 0xFF));
    Put("list.lst", QByteArray("ab\0\r\nz", 6));
    EXPECT_EQ(end("list.lst"), std::pair(true, int('b')));
    Put("list.lst", QByteArray(3 << 20, 'x') + "\r\n");
    EXPECT_EQ(end("list.lst"), std::pair(false, int('\n')));
    Put("list.lst", "abc\r\n");
    EXPECT_EQ(end("list.lst"), std::pair(false, int('\n')));
    EXPECT_FALSE(CreateEmptyFile(Path("list.lst"))) << "an existing file is never emptied";
    EXPECT_EQ(Get("list.lst"), B("abc\r\n"));
    EXPECT_FALSE(CreateEmptyFile(Path("nofolder/x.lst")));

    EXPECT_TRUE(DeleteFile(Path("list.lst")));
    EXPECT_FALSE(FileExists(Path("list.lst")));
    EXPECT_FALSE(DeleteFile(Path("list.lst")));
}

TEST_F(FileTest, CopyFileAtomic) {
    Put("a.lst", "memo\r\n");
    Put("b.lst", "other\r\n");
    EXPECT_TRUE(CopyFileAtomic(Path("a.lst"), Path("b.lst")));
    EXPECT_EQ(Get("b.lst"), B("memo\r\n"));
    EXPECT_TRUE(CopyFileAtomic(Path("a.lst"), Path("c.lst")));
    EXPECT_EQ(Get("c.lst"), B("memo\r\n"));
    EXPECT_FALSE(CopyFileAtomic(Path("missing.lst"), Path("b.lst")));
    EXPECT_EQ(Get("b.lst"), B("memo\r\n"));
    EXPECT_FALSE(CopyFileAtomic(Path("a.lst"), Path("nofolder/x.lst")));
    Put("big.lst", QByteArray(8192, 'x'));
    {
        FileSizeLimit limit(1024);
        EXPECT_FALSE(CopyFileAtomic(Path("big.lst"), Path("d.lst")));
    }
    EXPECT_FALSE(QFile::exists(Path("d.lst"))) << "no partial target";
}

TEST(FontSize, HeightsAndBack) {
    EXPECT_EQ(FontHeightFor(21, 600), -175);
    EXPECT_EQ(FontHeightFor(21, 300), -88);
    EXPECT_EQ(FontHeightFor(9, 600), -75);
    EXPECT_EQ(FontHeightFor(16, 96), -21);  // 21.33
    EXPECT_EQ(FontHeightFor(10, 108), -15); // 15 exactly
    EXPECT_EQ(FontHeightFor(11, 180), -28); // 27.5
    EXPECT_EQ(FontSizeFor(-175, 600), 21);
    EXPECT_EQ(FontSizeFor(-88, 300), 21);
    EXPECT_EQ(FontSizeFor(88, 300), 21);
    EXPECT_EQ(FontSizeFor(-25, 240), 8); // 7.5
    for (int dpi : {96, 300, 360, 600, 1200})
        for (int pt = 9; pt <= 30; ++pt)
            EXPECT_EQ(FontSizeFor(FontHeightFor(pt, dpi), dpi), pt) << pt << " " << dpi;
}

TEST(RecordingSurface, LogsOperationsWithPages) {
    RecordingSurface s(600);
    s.BeginDoc(4000);
    s.SetFontSize(21);
    EXPECT_EQ(s.FontHeight(), -175);
    EXPECT_EQ(s.FontSize(), 21);
    s.TextOut(10, 20, "a");
    s.NewPage();
    s.TextOut(10, 195, "\x82\xA0");
    s.EndDoc();
    const auto &ops = s.ops();
    ASSERT_EQ(ops.size(), 6);
    EXPECT_EQ(ops[1].kind, QStringLiteral("size"));
    EXPECT_EQ(ops[1].size, 21);
    EXPECT_EQ(ops[2].kind, QStringLiteral("text"));
    EXPECT_EQ(ops[2].page, 0);
    EXPECT_EQ(ops[2].y, 20);
    EXPECT_EQ(ops[4].page, 1);
    EXPECT_EQ(ops[4].x, 10);
    EXPECT_EQ(ops[4].text, B("\x82\xA0"));
    EXPECT_EQ(ops[5].kind, QStringLiteral("end"));
}

namespace {

TEST_F(FileTest, StampsAreProofOnlyFromALaterTickOfTheFileClock) {
    // Whole seconds (a FAT or an old ext4 file system) make a two-second tick.
    FileStamp s;
    s.exists = true;
    s.mtimeNs = s.ctimeNs = 10'000'000'000;
    s.seenNs = 11'900'000'000;
    EXPECT_FALSE(s.Proven());
    s.seenNs = 12'000'000'000;
    EXPECT_TRUE(s.Proven());
    // Fine times: any later moment of the coarse clock.
    s.mtimeNs = s.ctimeNs = 10'000'000'123;
    s.seenNs = 10'000'000'123;
    EXPECT_FALSE(s.Proven());
    s.seenNs = 10'004'000'000;
    EXPECT_TRUE(s.Proven());
    s.ctimeNs = 10'004'000'001; // changed after it was seen
    EXPECT_FALSE(s.Proven());

    // A file written now is no proof of its content; one last changed long
    // before it is looked at is.
    FileStamp written;
    ASSERT_TRUE(WriteFileAtomic(Path("list.lst"), "A\r\n", &written));
    EXPECT_FALSE(written.Proven());
    EXPECT_EQ(written, StampOf(Path("list.lst")));
    QFile f(Path("list.lst"));
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        f.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
    f.close();
    QTest::qWait(20); // the change time the line above gave lies a tick back
    EXPECT_TRUE(StampOf(Path("list.lst")).Proven());
}

TEST_F(FileTest, ContentIsComparedWithoutACopy) {
    Put("list.lst", "A\r\nB\r\n");
    FileStamp seen;
    EXPECT_TRUE(FileHolds(Path("list.lst"), "A\r\nB\r\n", &seen));
    EXPECT_EQ(seen, StampOf(Path("list.lst")));
    EXPECT_FALSE(FileHolds(Path("list.lst"), "A\r\nC\r\n"));
    EXPECT_FALSE(FileHolds(Path("list.lst"), "A\r\n"));
    EXPECT_FALSE(FileHolds(Path("missing.lst"), ""));
    // Where the file cannot be mapped, it is read through a buffer.
    for (const char *bytes : {"A\r\nB\r\n", "A\r\nC\r\n"}) {
        FileFaults::Reset();
        FileFaults::FailAt(3); // open, fstat, then the map
        EXPECT_EQ(FileHolds(Path("list.lst"), bytes), bytes[3] == 'B');
        EXPECT_STREQ(FileFaults::Failed(), "mmap");
    }
    FileFaults::Reset();
}

TEST_F(FileTest, AReplacementLeavesNoOtherFileWithOrWithoutUnnamedFiles) {
    for (const bool unnamed : {true, false}) {
        FileFaults::UseUnnamedFiles(unnamed);
        Put("list.lst", "old");
        {
            FolderLock lock(Path("list.lst"));
            EXPECT_TRUE(FolderLock::Held(Path("list.lst")));
            // A replacement that a killed writer named and never renamed.
            Put(".list.lst.quorvel-new", "leftover");
            EXPECT_TRUE(WriteFileAtomic(Path("list.lst"), "new"));
        }
        EXPECT_FALSE(FolderLock::Held(Path("list.lst")));
        EXPECT_TRUE(WriteFileAtomic(Path("list.lst"), "newer"));
        EXPECT_EQ(Get("list.lst"), B("newer"));
        if (unnamed) {
            EXPECT_EQ(Entries(), QStringList{QStringLiteral("list.lst")});
        }
        QFile::remove(Path(".list.lst.quorvel-new"));
    }
    FileFaults::UseUnnamedFiles(true);
}

} // namespace
