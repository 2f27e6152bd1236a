// The file commands as the dialogs see them: the input box's title, prompt
// and length limit, the open dialog's folder and filter, the save dialog's
// filter and default extension, and a recent entry made from its menu item.
#include "platform/pagesurface.h"
#include "platform/platform.h"
#include "ui/Quorvelmain.h"
#include "ui/program.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString U(const char *s) {
    return QString::fromUtf8(s);
}

// Records each dialog's arguments and gives the queued answers.
class DialogPlatform : public Platform {
  public:
    explicit DialogPlatform(QString exe) : exe_(std::move(exe)) {}
    QStringList calls;
    QList<std::optional<QString>> answers;

    void Beep() override { calls << QStringLiteral("beep"); }
    void ShowMessage(const QString &t) override { calls << QStringLiteral("message ") + t; }
    void ShowError(const QString &t) override { calls << QStringLiteral("error ") + t; }
    std::optional<QString> InputBox(const QString &title, const QString &prompt,
                                    int maxLength) override {
        calls << QStringLiteral("input ") + title + QLatin1Char('|') + prompt + QLatin1Char('|') +
                     QString::number(maxLength);
        return Next();
    }
    std::optional<QString> OpenFileName(const QString &folder, const QString &filter) override {
        calls << QStringLiteral("open ") + folder + QLatin1Char('|') + filter;
        return Next();
    }
    std::optional<QString> SaveFileName(const QString &filter, const QString &suffix) override {
        calls << QStringLiteral("save ") + filter + QLatin1Char('|') + suffix;
        return Next();
    }
    std::optional<quint32> ChooseColor(quint32) override { return {}; }
    std::unique_ptr<PageSurface> ChoosePrinter() override { return nullptr; }
    QPoint CursorPos() override { return {-10000, -10000}; }
    void StartViewer(const QString &) override {}
    void OpenUrl(const QString &) override {}
    QString ExecutablePath() override { return exe_; }

  private:
    std::optional<QString> Next() {
        if (answers.isEmpty())
            return std::nullopt;
        return answers.takeFirst();
    }
    QString exe_;
};

class FileCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        platform_ = std::make_unique<DialogPlatform>(dir_.filePath(QStringLiteral("quorvel")));
        SetPlatform(platform_.get());
        InitApplication();
        Write("quorvel.lst", "memo\r\n");
        program_ = std::make_unique<QuorvelProgram>();
        program_->form1().show();
        QApplication::processEvents();
        platform_->calls.clear();
    }
    void TearDown() override {
        program_.reset();
        SetPlatform(nullptr);
    }
    QString Folder() const { return dir_.path() + QLatin1Char('/'); }
    void Write(const char *name, const QByteArray &bytes) const {
        QFile f(dir_.filePath(U(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir dir_;
    std::unique_ptr<DialogPlatform> platform_;
    std::unique_ptr<QuorvelProgram> program_;
};

const char *const Filter = "リストファイル(*.lst) (*.lst)";

} // namespace

TEST_F(FileCommandsTest, InputBoxIsAskedAgainWithTheSameTitleAndPrompt) {
    Write("taken.lst", "");
    platform_->answers = {U("taken"), std::nullopt};
    program_->form1().New1->trigger();
    const QString input = U("input ファイル名を入力してください|"
                            "新規ファイル名を入力してください。\r\n"
                            "拡張子は必要ありません。\r\n"
                            "例：newfile|255");
    EXPECT_EQ(platform_->calls,
              QStringList({input, QStringLiteral("beep"),
                           U("message 既にそのファイル名で存在しています。"), input}));
    EXPECT_EQ(program_->form1().ListFileName, Folder() + QStringLiteral("quorvel.lst"));
}

TEST_F(FileCommandsTest, OpenStartsInTheProgramFolderAndSaveAddsLst) {
    program_->form1().Fopen->trigger();
    program_->form1().SaveAs1->trigger();
    EXPECT_EQ(platform_->calls,
              QStringList({QStringLiteral("open ") + Folder() + QLatin1Char('|') + U(Filter),
                           QStringLiteral("save ") + U(Filter) + QStringLiteral("|lst")}));
}

TEST_F(FileCommandsTest, RecentEntriesAreTheItemsAfterTheSeparator) {
    TForm1 &f = program_->form1();
    Write("R&D.lst", "x\r\n");
    platform_->answers = {Folder() + U("R&D.lst")};
    f.Fopen->trigger();
    QList<QAction *> items = f.N2->actions();
    ASSERT_EQ(items.size(), 9);
    EXPECT_EQ(items[6], f.N7);
    EXPECT_EQ(items[7]->text(), QStringLiteral("1 ") + Folder() + U("R&&D.lst"));
    EXPECT_EQ(items[8]->text(), QStringLiteral("2 ") + Folder() + U("quorvel.lst"));

    // The click reads the path back from the entry, "&" and all.
    items[8]->trigger();
    EXPECT_EQ(f.ListFileName, Folder() + U("quorvel.lst"));
    items = f.N2->actions();
    ASSERT_EQ(items.size(), 9);
    EXPECT_EQ(items[7]->text(), QStringLiteral("1 ") + Folder() + U("quorvel.lst"));
    items[8]->trigger();
    EXPECT_EQ(f.ListFileName, Folder() + U("R&D.lst"));
    EXPECT_TRUE(platform_->calls.filter(QStringLiteral("message")).isEmpty());
}
