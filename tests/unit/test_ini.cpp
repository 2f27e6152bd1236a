// The settings file reader and writer.
#include "platform/apperror.h"
#include "platform/fileio.h"
#include "settings/inifile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class IniTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QString Path(const char *name = "quorvel.ini") const {
        return dir_.filePath(QString::fromUtf8(name));
    }
    void Put(const QByteArray &content, const char *name = "quorvel.ini") const {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(content), content.size());
    }
    QByteArray Get(const char *name = "quorvel.ini") const {
        QFile f(Path(name));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }
    // Names of the entries in the folder, hidden ones included.
    QStringList Entries() const {
        return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir_;
};

QByteArray B(const char *s) {
    return QByteArray(s);
}

} // namespace

TEST_F(IniTest, MissingFileSectionOrKeyGivesDefault) {
    EXPECT_EQ(Ini::ReadString(Path(), "File", "LastFileName", "def"), B("def"));
    EXPECT_EQ(Ini::ReadInteger(Path(), "Position", "Left", 100), 100);
    Put("[Position]\r\nTop=5\r\n");
    EXPECT_EQ(Ini::ReadString(Path(), "File", "LastFileName", "def"), B("def"));
    EXPECT_EQ(Ini::ReadInteger(Path(), "Position", "Left", 100), 100);
    EXPECT_EQ(Ini::ReadInteger(Path(), "Position", "Top", 113), 5);
    EXPECT_TRUE(Entries().size() == 1) << "reading creates nothing";
}

TEST_F(IniTest, EmptyValueIsNotAMissingKey) {
    Put("[Print]\r\nOnlyHeadLine=\r\nPrintFontSize =  \t\r\n");
    EXPECT_EQ(Ini::ReadString(Path(), "Print", "OnlyHeadLine", "def"), QByteArray());
    EXPECT_EQ(Ini::ReadString(Path(), "Print", "PrintFontSize", "def"), QByteArray());
    // As an integer an empty value is unusable and gives the default.
    EXPECT_EQ(Ini::ReadInteger(Path(), "Print", "OnlyHeadLine", 1), 1);
}

TEST_F(IniTest, NamesIgnoreCaseAndBlanks) {
    Put("top=1\n"
        "; comment\n"
        "  [ setting ]  \n"
        "  page\t=  2 \t\n"
        "no equals sign here\n"
        "PAGE=3\n"
        "[Setting]\n"
        "Page=4\n"
        "Trash=1\n"
        "[Other]\r"
        "Path= C:\\\x83\x81\x83\x82\\a b.lst \r");
    EXPECT_EQ(Ini::ReadString(Path(), "Setting", "Page", ""), B("2"));
    EXPECT_EQ(Ini::ReadInteger(Path(), "SETTING", "PAGE", 0), 2);
    // Only the first section of the name counts.
    EXPECT_EQ(Ini::ReadInteger(Path(), "Setting", "Trash", 0), 0);
    // A key before every section belongs to none.
    EXPECT_EQ(Ini::ReadString(Path(), "Setting", "top", "none"), B("none"));
    EXPECT_EQ(Ini::ReadString(Path(), "other", "path", ""), B("C:\\\x83\x81\x83\x82\\a b.lst"));
}

TEST_F(IniTest, LongValuesAreCut) {
    Put("[File]\r\nLastFileName=" + QByteArray(5000, 'p') + "\r\nNext=1\r\n");
    EXPECT_EQ(Ini::ReadString(Path(), "File", "LastFileName", ""), QByteArray(2047, 'p'));
    EXPECT_EQ(Ini::ReadInteger(Path(), "File", "Next", 0), 1);

    const QByteArray huge(1 << 20, 'q');
    Ini::WriteString(Path(), "File", "LastFileName", huge);
    EXPECT_EQ(Ini::ReadString(Path(), "File", "LastFileName", ""), QByteArray(2047, 'q'));
    EXPECT_TRUE(Get().contains(huge));
}

// A typed text keeps its blanks, and a value too long to read whole is cut
// between characters; every other read trims and cuts at 2047 bytes.
TEST_F(IniTest, ExactReadKeepsBlanksAndWholeCharacters) {
    const QByteArray kanji("\x8B\x8D"); // 牛
    const QByteArray odd = QByteArray(2046, 'a') + kanji;
    Put("[Find]\r\nText= \t" + kanji + " \r\nLong=" + odd + "\r\nFits=" + QByteArray(2046, 'a') +
        '\x8B' + "\r\nEmpty=\r\n");
    EXPECT_EQ(Ini::ReadExactString(Path(), "Find", "Text", "def"), " \t" + kanji + ' ');
    EXPECT_EQ(Ini::ReadString(Path(), "Find", "Text", "def"), kanji);
    EXPECT_EQ(Ini::ReadExactString(Path(), "Find", "Long", ""), QByteArray(2046, 'a'));
    EXPECT_EQ(Ini::ReadString(Path(), "Find", "Long", ""), odd.left(2047));
    // 2047 bytes come back whole, a lone lead byte at the end included.
    EXPECT_EQ(Ini::ReadExactString(Path(), "Find", "Fits", ""), QByteArray(2046, 'a') + '\x8B');
    EXPECT_EQ(Ini::ReadExactString(Path(), "Find", "Empty", "def"), QByteArray());
    EXPECT_EQ(Ini::ReadExactString(Path(), "Find", "Missing", "def"), B("def"));
    EXPECT_EQ(Ini::ReadExactString(Path("none.ini"), "Find", "Text", "def"), B("def"));

    Ini::Changes changes(Path());
    changes.WriteString("Find", "Text", "  x  ");
    EXPECT_EQ(changes.ReadExactString("Find", "Text", ""), B("  x  "));
    EXPECT_EQ(changes.ReadString("Find", "Text", ""), B("x"));
    changes.Save();
    EXPECT_EQ(Ini::ReadExactString(Path(), "Find", "Text", ""), B("  x  "));
}

TEST_F(IniTest, IntegerConversion) {
    Put("[Position]\r\n"
        "a=0x64\r\nb=$64\r\nc=abc\r\nd=100px\r\ne=\r\nf=-5000\r\ng=0x\r\nh= 0x64\r\n"
        "i=$FFFFFFFF\r\nj=2147483648\r\nk=0X1f\r\n"
        "l=$00000020\r\nm=$000000020\r\nn=0x000000020\r\no=000000000020\r\n");
    // The default here is distinct from every value that converts.
    const auto read = [&](const char *key) {
        return Ini::ReadInteger(Path(), "Position", QByteArray(key), -7);
    };
    EXPECT_EQ(read("a"), 100);
    EXPECT_EQ(read("b"), 100);
    EXPECT_EQ(read("c"), -7);
    EXPECT_EQ(read("d"), -7);
    EXPECT_EQ(read("e"), -7);
    EXPECT_EQ(read("f"), -5000);
    EXPECT_EQ(read("g"), -7);
    EXPECT_EQ(read("h"), 100) << "value is trimmed on reading";
    EXPECT_EQ(read("i"), -1);
    EXPECT_EQ(read("j"), -7);
    EXPECT_EQ(read("k"), 31);
    // Eight hexadecimal digits at most, leading zeros counted; decimal ones
    // may have any number of leading zeros.
    EXPECT_EQ(read("l"), 32);
    EXPECT_EQ(read("m"), -7);
    EXPECT_EQ(read("n"), -7);
    EXPECT_EQ(read("o"), 20);
    EXPECT_EQ(read("missing"), -7);
    EXPECT_EQ(Ini::ConvertInteger(B("0x7")), 7);
    EXPECT_EQ(Ini::ConvertInteger(B("  0x7")), 7);
    EXPECT_EQ(Ini::ConvertInteger(B("0x")), std::nullopt);
    EXPECT_EQ(Ini::ConvertInteger(B("0x-1")), std::nullopt);
}

TEST_F(IniTest, WriteCreatesFileSectionAndKey) {
    Ini::WriteString(Path(), "File", "LastFileName", "/home/u/メモ.lst");
    EXPECT_EQ(Get(), B("[File]\r\nLastFileName=/home/u/メモ.lst\r\n"));
    Ini::WriteInteger(Path(), "Position", "Left", -5000);
    Ini::WriteInteger(Path(), "Position", "Top", 113);
    Ini::WriteString(Path(), "RecentFile", "ID0", "");
    EXPECT_EQ(Get(), B("[File]\r\nLastFileName=/home/u/メモ.lst\r\n"
                       "[Position]\r\nLeft=-5000\r\nTop=113\r\n"
                       "[RecentFile]\r\nID0=\r\n"));
    EXPECT_EQ(Ini::ReadInteger(Path(), "Position", "Left", 100), -5000);
    EXPECT_EQ(Ini::ReadString(Path(), "RecentFile", "ID0", "def"), QByteArray());
    Ini::WriteInteger(Path(), "position", "LEFT", 7);
    EXPECT_EQ(Ini::ReadInteger(Path(), "Position", "Left", 100), 7);
    EXPECT_EQ(Get().count("Left"), 0);
    EXPECT_EQ(Get().count("LEFT=7"), 1);
}

TEST_F(IniTest, WriteKeepsOtherLinesByteForByte) {
    const QByteArray head = "; settings\n\t[Setting] \nPage = 1\n\n";
    const QByteArray tail = "\n[Print]\r\nPrintFontSize=\x82\xA0\r\n\r\n[Other]\rx=1";
    Put(head + "Trash\t=  0 \r\n" + tail);
    Ini::WriteInteger(Path(), "Setting", "Trash", 1);
    EXPECT_EQ(Get(), head + "Trash=1\r\n" + tail);

    // A new key goes after the section's last key, before its blank lines.
    Ini::WriteInteger(Path(), "Setting", "Save", 1);
    EXPECT_EQ(Get(), head + "Trash=1\r\nSave=1\r\n" + tail);

    // A new key in the last section, whose last line has no line end.
    Ini::WriteString(Path(), "Other", "y", "2");
    EXPECT_EQ(Get(), head + "Trash=1\r\nSave=1\r\n" + tail + "\r\ny=2\r\n");
}

TEST_F(IniTest, NewSectionAfterUnterminatedLastLine) {
    Put("[A]\r\nk=v");
    Ini::WriteString(Path(), "B", "k", "w");
    EXPECT_EQ(Get(), B("[A]\r\nk=v\r\n[B]\r\nk=w\r\n"));
    // An empty section gets its key right after the header.
    Put("[A]\r\n[B]\r\nk=v\r\n");
    Ini::WriteString(Path(), "A", "n", "1");
    EXPECT_EQ(Get(), B("[A]\r\nn=1\r\n[B]\r\nk=v\r\n"));
}

TEST_F(IniTest, EraseSection) {
    Put("[File]\r\nLastFileName=a\r\n[RecentFile]\r\nID0=x\r\nID1=y\r\n\r\n[Print]\nP=1\n"
        "[recentfile]\r\nID4=z\r\n");
    Ini::EraseSection(Path(), "RecentFile");
    EXPECT_EQ(Get(), B("[File]\r\nLastFileName=a\r\n[Print]\nP=1\n"));
    EXPECT_EQ(Ini::ReadString(Path(), "RecentFile", "ID4", "gone"), B("gone"));

    // Not there: the file stays as it is.
    Ini::EraseSection(Path(), "RecentFile");
    EXPECT_EQ(Get(), B("[File]\r\nLastFileName=a\r\n[Print]\nP=1\n"));

    // Erase then write again, as the recent-list update does.
    Ini::WriteString(Path(), "RecentFile", "ID0", "new");
    EXPECT_EQ(Ini::ReadString(Path(), "RecentFile", "ID0", ""), B("new"));
}

TEST_F(IniTest, EraseOnMissingFileCreatesNothing) {
    Ini::EraseSection(Path(), "RecentFile");
    EXPECT_FALSE(QFile::exists(Path()));
    EXPECT_TRUE(Entries().isEmpty());
}

TEST_F(IniTest, RefusedWriteThrowsWithPath) {
    const auto expectRefused = [](const QString &path, auto &&write) {
        try {
            write();
            ADD_FAILURE() << "write went through: " << path.toStdString();
        } catch (const AppError &e) {
            EXPECT_EQ(e.message(), path + QStringLiteral(" に書き込めません"));
        }
    };
    // A folder where the file should be.
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("quorvel.ini")));
    expectRefused(Path(), [&] { Ini::WriteInteger(Path(), "Setting", "Page", 1); });
    EXPECT_TRUE(QFileInfo(Path()).isDir());
    EXPECT_EQ(Ini::ReadInteger(Path(), "Setting", "Page", 9), 9);

    // A path under a regular file, and one in a missing folder.
    Put("x", "plain");
    const QString under = Path("plain") + QStringLiteral("/quorvel.ini");
    expectRefused(under, [&] { Ini::WriteString(under, "A", "b", "c"); });
    const QString missing = Path("nofolder") + QStringLiteral("/quorvel.ini");
    expectRefused(missing, [&] { Ini::WriteString(missing, "A", "b", "c"); });
}

TEST_F(IniTest, LineEndsInValuesAreRefused) {
    Put("[File]\r\nLastFileName=a\r\n");
    for (const QByteArray &value :
         {B("x\r\n[Setting]\r\nTrash=1"), B("x\ny"), B("x\ry"), QByteArray("x\0y", 3)}) {
        EXPECT_THROW(Ini::WriteString(Path(), "File", "LastFileName", value), AppError);
        EXPECT_EQ(Get(), B("[File]\r\nLastFileName=a\r\n"));
    }
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("quorvel.ini")}) << "no temporary file left";
}
