// Where the program keeps its files: beside itself when it is a copy in a
// folder of the user's own, in the user's folders when it is installed.
#include "platform/fileio.h"
#include "test_support.h"
#include "ui/widgets.h"

#include <QDir>
#include <QPushButton>
#include <sys/stat.h>

using namespace testing_support;

namespace {

const QString Config = QStringLiteral("/home/u/.config");
const QString Data = QStringLiteral("/home/u/.local/share");

int ModeOf(const QString &path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

} // namespace

namespace {

// Folders and files made under a temporary folder, as an install or an
// unpacked copy leaves them.
class PlacesRule : public ::testing::Test {
  protected:
    QString Make(const char *name) {
        const QString path = dir_.filePath(QString::fromUtf8(name));
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << name;
        return path;
    }
    QTemporaryDir dir_;
};

} // namespace

TEST_F(PlacesRule, AnInstallTreeUnderAnyPrefixKeepsTheFilesInTheUsersFolders) {
    // cmake --install build --prefix ~/.local: a folder the user may write.
    const QString exe = Make("home/.local/bin/quorvel");
    const QString readme = Make("home/.local/share/doc/quorvel/readme.txt");
    // A trailing "/" on the user's folders changes nothing.
    const ProgramPlaces p = PlacesFor(exe, Config + QLatin1Char('/'), Data);
    EXPECT_TRUE(p.perUser);
    EXPECT_EQ(p.settingsFile, QStringLiteral("/home/u/.config/quorvel/quorvel.ini"));
    EXPECT_EQ(p.defaultListFile, QStringLiteral("/home/u/.local/share/quorvel/quorvel.lst"));
    EXPECT_EQ(p.listFolder, QStringLiteral("/home/u/.local/share/quorvel/"));
    EXPECT_EQ(p.readmeFile, readme);
}

TEST_F(PlacesRule, ACopyOutsideAnInstallTreeKeepsItsFilesBesideItself) {
    // Where it was built (an install tree's readme above it does not count:
    // the folder is no bin folder), unpacked into a folder named bin without
    // the tree around it, and beside a readme folder that is no file.
    Make("share/doc/quorvel/readme.txt");
    Make("unpacked/bin/readme.txt");
    QDir().mkpath(dir_.filePath(QStringLiteral("odd/share/doc/quorvel/readme.txt")));
    for (const char *name : {"build/quorvel", "unpacked/bin/quorvel", "odd/bin/quorvel"}) {
        const QString exe = Make(name);
        const QString folder = QFileInfo(exe).path() + QLatin1Char('/');
        const ProgramPlaces own = PlacesFor(exe, Config, Data);
        EXPECT_FALSE(own.perUser) << name;
        EXPECT_EQ(own.settingsFile, folder + QStringLiteral("quorvel.ini")) << name;
        EXPECT_EQ(own.defaultListFile, folder + QStringLiteral("quorvel.lst")) << name;
        EXPECT_EQ(own.listFolder, folder) << name;
        EXPECT_EQ(own.readmeFile, folder + QStringLiteral("readme.txt")) << name;
    }
}

namespace {

// The program installed into the user's ~/.local, for a user whose home has
// no configuration or data folder yet.
class InstalledProgramTest : public ProgramTest {
  protected:
    InstalledProgramTest() {
        platform_ = std::make_unique<TestPlatform>(Path("home/.local/bin/quorvel"));
        platform_->recordDialogs = true;
    }
    void SetUp() override {
        ProgramTest::SetUp();
        oldMask_ = ::umask(027);
        ASSERT_TRUE(QDir().mkpath(Path("home/.local/share/doc/quorvel")));
        Write("home/.local/share/doc/quorvel/readme.txt", "readme");
        SetHomes(Path("home/.config"), Path("home/.local/share"));
    }
    void TearDown() override {
        ProgramTest::TearDown();
        ::umask(oldMask_);
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_DATA_HOME");
        SetFoldersMadeOnWrite({});
    }
    static void SetHomes(const QString &config, const QString &data) {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));
        qputenv("XDG_DATA_HOME", QFile::encodeName(data));
    }
    void SaveMemo(const char *text) {
        program_->form1().Memo1->setText(U(text));
        program_->form1().Button1->click();
    }

    mode_t oldMask_ = 0;
};

} // namespace

TEST_F(InstalledProgramTest, FilesGoToTheUsersFoldersMadeOnFirstWrite) {
    TForm1 &f = Start();
    const QString data = Path("home/.local/share/quorvel/");
    EXPECT_EQ(f.ListFileName, data + QStringLiteral("quorvel.lst"));

    SaveMemo("first memo");
    EXPECT_EQ(Read("home/.local/share/quorvel/quorvel.lst"), QByteArray("first memo\r\n"));
    // The program's own folder gets the user's usual permissions.
    EXPECT_EQ(ModeOf(Path("home/.local/share/quorvel")), 0750);
    EXPECT_EQ(ModeOf(Path("home/.local/share/quorvel/quorvel.lst")), 0640);

    // New lists are made there, the open dialog starts there, and the readme
    // is the installed one.
    platform_->inputs = {U("買い物")};
    f.New1->trigger();
    EXPECT_EQ(f.ListFileName, data + U("買い物.lst"));
    EXPECT_EQ(Read("home/.local/share/quorvel/買い物.lst"), QByteArray());
    platform_->events.clear();
    f.Fopen->trigger();
    f.ReadMe->trigger();
    EXPECT_EQ(platform_->events,
              QStringList(
                  {QStringLiteral("open ") + data + U("|リストファイル(*.lst)"),
                   QStringLiteral("viewer ") + Path("home/.local/share/doc/quorvel/readme.txt")}));

    Close();
    // The folders above the program's own, missing too, are private as the
    // desktop wants them.
    EXPECT_EQ(ModeOf(Path("home/.config")), 0700);
    EXPECT_EQ(ModeOf(Path("home/.config/quorvel")), 0750);
    const QByteArray ini = Read("home/.config/quorvel/quorvel.ini");
    EXPECT_TRUE(
        ini.contains("LastFileName=" + QFile::encodeName(data) + "\x94\x83\x82\xa2\x95\xa8.lst"))
        << ini.constData();

    // The next start finds its settings there again.
    EXPECT_EQ(Start().ListFileName, data + U("買い物.lst"));
}

TEST_F(InstalledProgramTest, AFolderThatCannotBeMadeIsReportedAndNothingIsLost) {
    // The data folder would have to be made inside a plain file.
    Write("plain", "x");
    SetHomes(Path("home/.config"), Path("plain"));
    TForm1 &f = Start();
    platform_->events.clear();
    SaveMemo("kept memo");
    ASSERT_EQ(platform_->events.size(), 1);
    EXPECT_TRUE(platform_->events[0].startsWith(QStringLiteral("error ")))
        << platform_->events[0].toStdString();
    EXPECT_EQ(Read("plain"), QByteArray("x"));
    EXPECT_EQ(f.Memo1->text(), U("kept memo"));

    // Once the data folder can be made, the same memo is saved there.
    ASSERT_TRUE(QFile::remove(Path("plain")));
    f.Button1->click();
    EXPECT_EQ(Read("plain/quorvel/quorvel.lst"), QByteArray("kept memo\r\n"));
}
