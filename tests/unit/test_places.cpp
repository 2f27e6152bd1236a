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

TEST(PlacesRule, ACopyOfTheUsersOwnKeepsItsFilesBesideItself) {
    const ProgramPlaces own = PlacesFor(QStringLiteral("/home/u/apps/quorvel"), true, Config, Data);
    EXPECT_FALSE(own.perUser);
    EXPECT_EQ(own.settingsFile, QStringLiteral("/home/u/apps/quorvel.ini"));
    EXPECT_EQ(own.defaultListFile, QStringLiteral("/home/u/apps/quorvel.lst"));
    EXPECT_EQ(own.listFolder, QStringLiteral("/home/u/apps/"));
    EXPECT_EQ(own.readmeFile, QStringLiteral("/home/u/apps/readme.txt"));

    // Folders whose names only begin like the system's are the user's too.
    for (const char *exe : {"/usrdata/quorvel", "/optional/bin/quorvel", "/home/usr/quorvel"})
        EXPECT_FALSE(PlacesFor(QString::fromUtf8(exe), true, Config, Data).perUser) << exe;
}

TEST(PlacesRule, AnInstalledProgramKeepsItsFilesInTheUsersFolders) {
    struct Case {
        const char *exe;
        bool writable;
        const char *readme;
    };
    const Case cases[] = {
        {"/usr/bin/quorvel", true, "/usr/share/doc/quorvel/readme.txt"},
        {"/usr/local/bin/quorvel", true, "/usr/local/share/doc/quorvel/readme.txt"},
        {"/opt/quorvel/bin/quorvel", true, "/opt/quorvel/share/doc/quorvel/readme.txt"},
        {"/usr/../opt/quorvel", true, "/share/doc/quorvel/readme.txt"},
        // A folder the user cannot write, wherever it is.
        {"/home/other/bin/quorvel", false, "/home/other/share/doc/quorvel/readme.txt"},
    };
    for (const Case &c : cases) {
        // A trailing "/" on the user's folders changes nothing.
        const ProgramPlaces p =
            PlacesFor(QString::fromUtf8(c.exe), c.writable, Config + QLatin1Char('/'), Data);
        EXPECT_TRUE(p.perUser) << c.exe;
        EXPECT_EQ(p.settingsFile, QStringLiteral("/home/u/.config/quorvel/quorvel.ini")) << c.exe;
        EXPECT_EQ(p.defaultListFile, QStringLiteral("/home/u/.local/share/quorvel/quorvel.lst"))
            << c.exe;
        EXPECT_EQ(p.listFolder, QStringLiteral("/home/u/.local/share/quorvel/")) << c.exe;
        EXPECT_EQ(p.readmeFile, QString::fromUtf8(c.readme)) << c.exe;
    }
}

namespace {

// The program installed in /usr/bin, for a user whose home has no
// configuration or data folder yet.
class InstalledProgramTest : public ProgramTest {
  protected:
    InstalledProgramTest() {
        platform_ = std::make_unique<TestPlatform>(QStringLiteral("/usr/bin/quorvel"));
        platform_->recordDialogs = true;
    }
    void SetUp() override {
        ProgramTest::SetUp();
        oldMask_ = ::umask(027);
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
    // The program's own folder gets the user's usual permissions; the
    // folders above it, missing too, are private as the desktop wants them.
    EXPECT_EQ(ModeOf(Path("home")), 0700);
    EXPECT_EQ(ModeOf(Path("home/.local")), 0700);
    EXPECT_EQ(ModeOf(Path("home/.local/share")), 0700);
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
              QStringList({QStringLiteral("open ") + data + U("|リストファイル(*.lst)"),
                           QStringLiteral("viewer /usr/share/doc/quorvel/readme.txt")}));

    Close();
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

    // Once the data folder can be made, the same memo is saved.
    SetHomes(Path("home/.config"), Path("home/.local/share"));
    f.SetListFileName(Places().defaultListFile);
    f.Button1->click();
    EXPECT_EQ(Read("home/.local/share/quorvel/quorvel.lst"), QByteArray("kept memo\r\n"));
}
