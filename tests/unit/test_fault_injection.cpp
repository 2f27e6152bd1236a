// Every command that changes a file, run again and again from the same files
// with one system call of the file layer refused each time: the first call,
// the second, ... up to the last one the command makes. After each run no
// memo may be lost, no file may be half-written or left as a temporary, a
// command that did not fully take effect must have said so, and the program
// must go on working.
#include "platform/apperror.h"
#include "platform/fileio.h"
#include "print/printsetting.h"
#include "settings/inifile.h"
#include "store/conflicts.h"
#include "store/record.h"
#include "test_platform.h"
#include "ui/Quorvelmain.h"
#include "ui/program.h"
#include "ui/widgets.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <string_view>
#include <sys/stat.h>

using namespace testing_support;

namespace {

// Every file of the program's folder, hidden ones included, by name.
using Folder = QMap<QString, QByteArray>;

QList<QByteArray> Records(const QByteArray &file) {
    QList<QByteArray> records = file.split('\n');
    records.removeLast(); // what follows the last line end: empty in the files written here
    for (QByteArray &r : records)
        if (r.endsWith('\r'))
            r.chop(1);
    return records;
}

// One run of the program in a folder of its own.
// Every run uses the same folder, emptied first, so that paths written into
// the files are the same in every run.
class Trial {
  public:
    explicit Trial(const QString &folder) : dir_(folder) {
        dir_.removeRecursively();
        EXPECT_TRUE(QDir().mkpath(folder));
        platform_ = std::make_unique<TestPlatform>(Path("quorvel"));
        SetPlatform(platform_.get());
        InitApplication();
        // Every check compares content: the same calls whatever the time,
        // and the compare swept too.
        FileFaults::StampsProveNothing(true);
    }
    ~Trial() {
        FileFaults::StampsProveNothing(false);
        FileFaults::Reset();
        program_.reset();
        SetPlatform(nullptr);
        dir_.removeRecursively();
    }

    QString Path(const char *name) const { return dir_.filePath(U(name)); }
    void Write(const char *name, const QByteArray &bytes) const {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    Folder Snapshot() const {
        Folder files;
        const QDir &d = dir_;
        for (const QString &name :
             d.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            QFile f(d.filePath(name));
            files[name] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
        }
        return files;
    }
    void Start() {
        program_ = std::make_unique<QuorvelProgram>();
        program_->form1().show();
        QApplication::processEvents();
    }
    void Stop() { program_.reset(); }
    bool Running() const { return program_ != nullptr; }
    TForm1 &Form() { return program_->form1(); }
    TestPlatform &Desk() { return *platform_; }

  private:
    QDir dir_;
    std::unique_ptr<TestPlatform> platform_;
    std::unique_ptr<QuorvelProgram> program_;
};

const QByteArray Colour = QByteArrayLiteral("$000000FF");
const char *const ConflictCopy = "quorvel.sync-conflict-20240501-093000-ABCD123.lst";

QByteArray StartingList() {
    return "alpha\r\nbeta" + LineBreakMarker() + "second line\r\ngamma" + ColorMarker() + Colour +
           "\r\ndelta\r\n";
}

QByteArray StartingSettings(const Trial &r, bool emptyTrashAtExit) {
    const QByteArray list = QFile::encodeName(r.Path("quorvel.lst"));
    return "[File]\r\nLastFileName=" + list +
           "\r\n[Position]\r\nLeft=100\r\nTop=50\r\n"
           "[Setting]\r\nPage=0\r\nTrash=" +
           QByteArray(emptyTrashAtExit ? "1" : "0") + "\r\n[RecentFile]\r\nID0=" + list +
           "\r\nID1=" + QFile::encodeName(r.Path("other.lst")) +
           "\r\nID2=/nowhere/gone.lst\r\nID3=\r\nID4=\r\n"
           "[Print]\r\nPrintFontSize=21\r\nPrintKankaku=15\r\nOnlyHeadLine=1\r\n";
}

// A command as the user gives it, and what the program must be ready for.
struct Command {
    const char *name;
    // Files, answers and the window made ready; nothing of it is counted.
    std::function<void(Trial &)> prepare;
    // The command itself.
    std::function<void(Trial &)> run;
    // The settings states a run may stop between (besides the old and the
    // new one): shut-down writes its keys one by one.
    std::function<QList<QByteArray>(Trial &, const QByteArray &old, const QByteArray &clean)>
        settingsSteps = nullptr;
    // Files a failure may leave missing: emptying the trash deletes the
    // trash file before it makes a new empty one.
    QStringList mayBeMissing = {};
    // Files a failure may leave as they were without a word. At shut-down a
    // setting that cannot be read reads as its default, as every setting
    // does: the trash is then not emptied, which loses nothing.
    QStringList mayStayQuietly = {};
};

void StandardFiles(Trial &r, bool emptyTrashAtExit = false) {
    r.Write("quorvel.lst", StartingList());
    r.Write("quorvel.trh", "old one\r\nold two<!--x-->\r\n");
    r.Write("other.lst", "other memo\r\n");
    r.Write("quorvel.ini", StartingSettings(r, emptyTrashAtExit));
}

void StartWith(Trial &r, bool emptyTrashAtExit = false) {
    StandardFiles(r, emptyTrashAtExit);
    r.Start();
}

void SelectRow(Trial &r, int row) {
    r.Form().ListBox1->setItemIndex(row);
}

void OpenTrash(Trial &r, int row) {
    r.Form().ActivatePage(3);
    r.Form().ListBox3->setItemIndex(row);
}

// The states of the settings file between the writes of shut-down, in the
// order it makes them, each value taken from the file a clean shut-down left.
QList<QByteArray> ShutDownSteps(Trial &r, const QByteArray &old, const QByteArray &clean) {
    const QString scratch = r.Path("steps.ini");
    const QString done = r.Path("clean.ini");
    r.Write("steps.ini", old);
    r.Write("clean.ini", clean);
    QList<QByteArray> states;
    const std::pair<const char *, const char *> keys[] = {
        {"File", "LastFileName"}, {"Position", "Left"}, {"Position", "Top"}, {"Setting", "Save"}};
    for (const auto &[section, key] : keys) {
        Ini::WriteString(scratch, section, key, Ini::ReadString(done, section, key, {}));
        QFile f(scratch);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        states << f.readAll();
    }
    QFile::remove(scratch);
    QFile::remove(done);
    return states;
}

QList<Command> MemoCommands() {
    return {
        {"save_new_memo",
         [](Trial &r) {
             StartWith(r);
             r.Form().ActivatePage(1);
             r.Form().Memo1->setText(U("新しいメモ\r\n二行目"));
         },
         [](Trial &r) { r.Form().Button1->click(); }},
        {"move_up",
         [](Trial &r) {
             StartWith(r);
             SelectRow(r, 2);
         },
         [](Trial &r) { r.Form().Button2->click(); }},
        {"move_down",
         [](Trial &r) {
             StartWith(r);
             SelectRow(r, 1);
         },
         [](Trial &r) { r.Form().Button3->click(); }},
        {"move_to_top",
         [](Trial &r) {
             StartWith(r);
             SelectRow(r, 2);
         },
         [](Trial &r) { r.Form().ToTop->trigger(); }},
        {"move_to_bottom",
         [](Trial &r) {
             StartWith(r);
             SelectRow(r, 1);
         },
         [](Trial &r) { r.Form().ToBottom->trigger(); }},
        {"drag",
         [](Trial &r) {
             StartWith(r);
             SelectRow(r, 3);
         },
         [](Trial &r) { Q_EMIT r.Form().ListBox1->rowDropped(3, 1); }},
        {"colour",
         [](Trial &r) {
             StartWith(r);
             SelectRow(r, 2);
             r.Desk().colours.push_back(0x0000FF00);
         },
         [](Trial &r) { r.Form().BgColor->trigger(); }},
        {"save_edit",
         [](Trial &r) {
             StartWith(r);
             SelectRow(r, 1);
             r.Form().N1->trigger();
             r.Form().Memo3->setText(U("beta edited\r\nsecond line\r\n"));
         },
         [](Trial &r) { r.Form().Button4->click(); }},
        {"trash_from_edit_page",
         [](Trial &r) {
             StartWith(r);
             SelectRow(r, 2);
             r.Form().N1->trigger();
         },
         [](Trial &r) { r.Form().Button5->click(); }},
        {"trash_from_list",
         [](Trial &r) {
             StartWith(r);
             SelectRow(r, 2);
         },
         [](Trial &r) { r.Form().D1->trigger(); }},
        {"restore",
         [](Trial &r) {
             StartWith(r);
             OpenTrash(r, 1);
         },
         [](Trial &r) { r.Form().Restore->trigger(); }},
        {"purge",
         [](Trial &r) {
             StartWith(r);
             OpenTrash(r, 0);
         },
         [](Trial &r) { r.Form().Button6->click(); }},
        {"empty_trash",
         [](Trial &r) {
             StartWith(r);
             OpenTrash(r, -1);
         },
         [](Trial &r) { r.Form().Button7->click(); },
         nullptr,
         {U("quorvel.trh")}},
        {"take_in_conflict_copy",
         [](Trial &r) {
             StartWith(r);
             r.Form().ActivatePage(1);
             // A memo of the list, one of the trash, one in both, two new.
             r.Write(ConflictCopy, "alpha\r\nold one\r\nnew from elsewhere\r\ndelta\r\n"
                                   "delta\r\nsecond new\r\n");
             r.Desk().answers.push_back(true);
         },
         // Showing the list page asks, and the memos are taken in.
         [](Trial &r) { r.Form().ActivatePage(0); }},
        {"new_list",
         [](Trial &r) {
             StartWith(r);
             r.Desk().inputs.push_back(U("fresh"));
         },
         [](Trial &r) { r.Form().New1->trigger(); }},
        {"save_as",
         [](Trial &r) {
             StartWith(r);
             r.Desk().saves.push_back(r.Path("copy.lst"));
         },
         [](Trial &r) { r.Form().SaveAs1->trigger(); }},
        {"open",
         [](Trial &r) {
             StartWith(r);
             r.Desk().opens.push_back(r.Path("other.lst"));
         },
         [](Trial &r) { r.Form().Fopen->trigger(); }},
        {"recent_entry", [](Trial &r) { StartWith(r); },
         [](Trial &r) {
             // The File menu's second recent entry: other.lst.
             const QList<QAction *> items = r.Form().N2->actions();
             items.at(items.size() - 2)->trigger();
         }},
        {"start_page_option", [](Trial &r) { StartWith(r); },
         [](Trial &r) { r.Form().N9->trigger(); }},
        {"empty_trash_option", [](Trial &r) { StartWith(r); },
         [](Trial &r) { r.Form().N10->trigger(); }},
        {"print_settings",
         [](Trial &r) {
             StartWith(r);
             r.Form().PrintSetting->trigger();
             Form2->SpinEdit1->SetValue(30);
             Form2->CheckBox1->setChecked(false);
         },
         [](Trial &) { Form2->Button1->click(); }},
        {"first_start", [](Trial &r) { r.Write("quorvel.lst", StartingList()); },
         [](Trial &r) { r.Start(); }},
        {"shut_down", [](Trial &r) { StartWith(r); }, [](Trial &r) { r.Stop(); }, ShutDownSteps},
        {"shut_down_emptying_trash",
         [](Trial &r) { StartWith(r, true); },
         [](Trial &r) { r.Stop(); },
         ShutDownSteps,
         {U("quorvel.trh")},
         {U("quorvel.trh")}},
    };
}

// Taking back and making again every kind of change: the change is made (and
// for a redo taken back) while nothing fails, then the Edit menu's item runs.
QList<Command> HistoryCommands(const QList<Command> &memoCommands) {
    static const char *const kinds[] = {
        "save_new_memo",        "move_up", "move_down", "move_to_top",
        "move_to_bottom",       "drag",    "colour",    "save_edit",
        "trash_from_list",      "restore", "purge",     "empty_trash",
        "take_in_conflict_copy"};
    static std::deque<std::string> names; // the names outlive the tests; a deque never moves them
    QList<Command> out;
    for (const char *kind : kinds) {
        const auto it =
            std::find_if(memoCommands.cbegin(), memoCommands.cend(),
                         [&](const Command &c) { return std::string_view(c.name) == kind; });
        if (it == memoCommands.cend())
            continue;
        const Command change = *it;
        for (const bool redo : {false, true}) {
            names.push_back((redo ? "redo_" : "undo_") + std::string(kind));
            out.append({names.back().c_str(),
                        [change, redo](Trial &r) {
                            change.prepare(r);
                            change.run(r);
                            if (redo)
                                r.Form().Undo1->trigger();
                        },
                        [redo](Trial &r) { (redo ? r.Form().Redo1 : r.Form().Undo1)->trigger(); }});
        }
    }
    return out;
}

QList<Command> Commands() {
    const QList<Command> memo = MemoCommands();
    return memo + HistoryCommands(memo);
}

void PrintTo(const Command &c, std::ostream *os) {
    *os << c.name;
}

// What one run of a command did.
struct Outcome {
    long calls = 0;
    const char *failed = nullptr;
    Folder before, after;
    bool reported = false;
};

Outcome Execute(Trial &r, const Command &c, long failAt) {
    FileFaults::Reset();
    c.prepare(r);
    QApplication::processEvents();
    Outcome o;
    o.before = r.Snapshot();
    r.Desk().events.clear();
    FileFaults::Reset();
    FileFaults::FailAt(failAt);
    c.run(r);
    QApplication::processEvents();
    o.calls = FileFaults::Calls();
    o.failed = FileFaults::Failed();
    FileFaults::Reset();
    o.after = r.Snapshot();
    o.reported = r.Desk().Reported();
    return o;
}

QString Show(const std::optional<QByteArray> &b) {
    return b ? QString::fromLatin1(b->toPercentEncoding(" <>!-=[]$/\r\n.")) : U("<missing>");
}

std::optional<QByteArray> In(const Folder &f, const QString &name) {
    if (!f.contains(name))
        return std::nullopt;
    return f.value(name);
}

// The memos of the current list, its trash and the sync tools' conflict
// copies of the list.
QList<QByteArray> Memos(const Folder &f) {
    QList<QByteArray> memos =
        Records(f.value(U("quorvel.lst"))) + Records(f.value(U("quorvel.trh")));
    for (auto it = f.cbegin(); it != f.cend(); ++it)
        if (IsConflictCopyName(U("quorvel.lst"), it.key()))
            memos += Records(it.value());
    return memos;
}

// After a run with a refused call: the program can still load its list and
// save a new memo (or, when the run shut it down, start again and load it).
void CheckGoesOn(Trial &r, const QString &where) {
    SCOPED_TRACE(where.toStdString());
    r.Desk().events.clear();
    if (!r.Running()) {
        r.Start();
        EXPECT_FALSE(r.Desk().Reported()) << r.Desk().events.join(U(" | ")).toStdString();
        r.Desk().events.clear();
    }
    TForm1 &f = r.Form();
    if (f.PageControl1->currentIndex() == 3) {
        // Restore and purge take the entry at the selected row from the
        // file: each row must stand for the entry of the file at its place.
        // Fewer rows (none, after a failure to read) leave nothing to mistake.
        QFile trash(r.Path("quorvel.trh"));
        QList<QByteArray> titles;
        if (trash.open(QIODevice::ReadOnly))
            for (const QByteArray &m : Records(trash.readAll()))
                titles << MakeTitle(m);
        const QList<QByteArray> shown = f.ListBox3->titleModel()->titles();
        EXPECT_EQ(shown, titles.mid(0, shown.size())) << "the trash page shows the file";
    }
    // The option marks show the stored values.
    const QString ini = r.Path("quorvel.ini");
    EXPECT_EQ(f.N9->isChecked(), Ini::ReadInteger(ini, "Setting", "Page", 0) == 1);
    EXPECT_EQ(f.N10->isChecked(), Ini::ReadInteger(ini, "Setting", "Trash", 0) == 1);
    f.Run([&f] { f.LoadList(); });
    QFile list(f.ListFileName);
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    const QByteArray held = list.readAll();
    list.close();
    EXPECT_EQ(f.ListBox2, Records(held)) << "the window shows the file";

    f.Memo1->setText(U("next memo"));
    f.Button1->click();
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_EQ(list.readAll(), held + "next memo\r\n") << "the next command works";
    EXPECT_FALSE(r.Desk().Reported()) << r.Desk().events.join(U(" | ")).toStdString();
}

// The flush of the file or of its folder, or the write itself: a failure of
// one of them leaves the new content unconfirmed.
bool Durability(std::string_view call) {
    return call == "write" || call == "fsync" || call == "fsync folder" || call == "open folder" ||
           call == "rename" || call == "close temporary";
}

struct Figures {
    const char *name;
    long calls;
    long tried;
};
std::vector<Figures> figures;

class FaultInjection : public ::testing::TestWithParam<Command> {
  protected:
    static void TearDownTestSuite() {
        long commands = 0, points = 0;
        std::printf("\nInjected file failures, per command (I/O calls K, failure points tried):\n");
        for (const Figures &f : figures) {
            std::printf("  %-26s K = %3ld  tried %3ld\n", f.name, f.calls, f.tried);
            ++commands;
            points += f.tried;
        }
        std::printf("  %ld commands x their failure points: %ld runs with a refused call\n\n",
                    commands, points);
        std::fflush(stdout);
    }
};

TEST_P(FaultInjection, NoFailedCallLosesAMemoOrHalfWritesAFile) {
    const Command &c = GetParam();

    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
    const QString folder = base.filePath(QStringLiteral("run"));

    Folder clean;
    long k = 0;
    QList<QByteArray> removed; // the memos the command itself takes away
    {
        Trial r(folder);
        const Outcome o = Execute(r, c, 0);
        k = o.calls;
        clean = o.after;
        EXPECT_FALSE(o.reported) << "without a failure the command goes through silently: "
                                 << r.Desk().events.join(U(" | ")).toStdString();
        ASSERT_NE(o.before, o.after) << "the command changes a file";
        ASSERT_GT(k, 0);
        QList<QByteArray> kept = Memos(o.after);
        for (const QByteArray &m : Memos(o.before))
            if (!kept.removeOne(m))
                removed << m;
    }

    long tried = 0;
    for (long n = 1; n <= k; ++n) {
        Trial r(folder);
        const Outcome o = Execute(r, c, n);
        ++tried;
        const QString where = QStringLiteral("%1: call %2 of %3 (%4) refused")
                                  .arg(U(c.name))
                                  .arg(n)
                                  .arg(k)
                                  .arg(U(o.failed ? o.failed : "none"));
        SCOPED_TRACE(where.toStdString());
        ASSERT_NE(o.failed, nullptr) << "the same command makes the same calls";

        // Every file is as it was or as a clean run leaves it, whole.
        QStringList names = o.before.keys() + clean.keys() + o.after.keys();
        names.removeDuplicates();
        QList<QByteArray> steps;
        if (c.settingsSteps)
            steps =
                c.settingsSteps(r, o.before.value(U("quorvel.ini")), clean.value(U("quorvel.ini")));
        bool fullyDone = true;
        for (const QString &name : std::as_const(names)) {
            EXPECT_FALSE(name.startsWith(QLatin1Char('.')))
                << "temporary left: " << name.toStdString();
            const auto now = In(o.after, name), old = In(o.before, name), neu = In(clean, name);
            fullyDone =
                fullyDone && (now == neu || (now == old && c.mayStayQuietly.contains(name)));
            const bool allowed = now == old || now == neu ||
                                 (!now && c.mayBeMissing.contains(name)) ||
                                 (name == U("quorvel.ini") && now && steps.contains(*now));
            EXPECT_TRUE(allowed) << name.toStdString() << " is neither old nor new:\n  now "
                                 << Show(now).toStdString() << "\n  old " << Show(old).toStdString()
                                 << "\n  new " << Show(neu).toStdString();
        }

        // No memo is lost: each one is still in the list or the trash, but
        // for those the command itself takes away.
        QList<QByteArray> left = Memos(o.after);
        for (const QByteArray &m : Memos(o.before)) {
            if (removed.contains(m))
                continue;
            EXPECT_TRUE(left.removeOne(m)) << "memo lost: " << m.toStdString();
        }

        // A command that did not fully take effect has said so; so has one
        // whose data may not have reached the disk.
        if (!fullyDone) {
            EXPECT_TRUE(o.reported) << "silent failure";
        }
        if (Durability(o.failed ? o.failed : "")) {
            EXPECT_TRUE(o.reported) << "a save not on disk was not reported";
        }

        CheckGoesOn(r, where);
        if (::testing::Test::HasFailure())
            break; // one broken point says enough; the rest would repeat it
    }
    figures.push_back({c.name, k, tried});
    RecordProperty("io_calls", int(k));
    RecordProperty("failure_points_tried", int(tried));
}

// --- The file layer's own promises, call by call ---------------------------------

class FileLayerFaults : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    void TearDown() override { FileFaults::Reset(); }
    QString Path(const char *name) const { return dir_.filePath(U(name)); }
    void Put(const char *name, const QByteArray &bytes) const {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    std::optional<QByteArray> Get(const char *name) const {
        QFile f(Path(name));
        if (!f.open(QIODevice::ReadOnly))
            return std::nullopt;
        return f.readAll();
    }
    QStringList Leftovers() const {
        return QDir(dir_.path())
            .entryList(QDir::Hidden | QDir::Files | QDir::NoDotAndDotDot)
            .filter(QRegularExpression(QStringLiteral("^\\.")));
    }
    // The calls an operation makes when nothing fails.
    template <class F> long CallsOf(F &&operation) {
        FileFaults::Reset();
        operation();
        const long k = FileFaults::Calls();
        FileFaults::Reset();
        return k;
    }

    QTemporaryDir dir_;
};

TEST_F(FileLayerFaults, ReplaceIsOldOrNewAndOnlyConfirmedWhenOnDisk) {
    const QByteArray old = "old memo\r\n", neu = QByteArray(5000, 'n') + "\r\n";
    const auto fresh = [&] {
        Put("list.lst", old);
        ::chmod(QFile::encodeName(Path("list.lst")).constData(), 0640);
    };
    fresh();
    const long k = CallsOf([&] { EXPECT_TRUE(WriteFileAtomic(Path("list.lst"), neu)); });
    ASSERT_GT(k, 8);
    for (long n = 1; n <= k; ++n) {
        fresh();
        FileFaults::FailAt(n);
        bool confirmed = false;
        try {
            confirmed = WriteFileAtomic(Path("list.lst"), neu);
        } catch (const AppError &) {
        }
        const std::string_view failed = FileFaults::Failed() ? FileFaults::Failed() : "";
        FileFaults::Reset();
        SCOPED_TRACE(std::to_string(n) + " " + std::string(failed));
        const std::optional<QByteArray> now = Get("list.lst");
        EXPECT_TRUE(now == old || now == neu);
        EXPECT_EQ(Leftovers(), QStringList());
        if (confirmed) {
            EXPECT_EQ(now, neu);
            EXPECT_FALSE(Durability(failed));
        }
        if (failed == "fsync folder" || failed == "open folder") {
            EXPECT_EQ(now, neu) << "the rename was made";
            EXPECT_FALSE(confirmed) << "but it is not known to be on disk";
        }
        if (now == neu) {
            struct stat st;
            ASSERT_EQ(::stat(QFile::encodeName(Path("list.lst")).constData(), &st), 0);
            EXPECT_EQ(st.st_mode & 0777, 0640u) << "the permissions are kept";
        }
    }
}

TEST_F(FileLayerFaults, AppendIsWholeOrCutBack) {
    const QByteArray old = "a\r\nb\r\n", record = QByteArray(3000, 'c') + "\r\n";
    Put("list.lst", old);
    const long k = CallsOf([&] { EXPECT_TRUE(AppendToFile(Path("list.lst"), record)); });
    for (long n = 1; n <= k; ++n) {
        Put("list.lst", old);
        FileFaults::FailAt(n);
        bool appended = false;
        try {
            appended = AppendToFile(Path("list.lst"), record);
        } catch (const AppError &) {
        }
        const std::string_view failed = FileFaults::Failed() ? FileFaults::Failed() : "";
        FileFaults::Reset();
        SCOPED_TRACE(std::to_string(n) + " " + std::string(failed));
        // A true answer is the memo saved; a false one is the file as it was,
        // so that saving again gives no second copy.
        EXPECT_EQ(Get("list.lst"), appended ? old + record : old);
        if (failed == "close") {
            EXPECT_TRUE(appended) << "flushed data is saved whatever the close says";
        }
    }
}

TEST_F(FileLayerFaults, CopyTakesTheSameWayAsAReplace) {
    Put("a.lst", "memo\r\n");
    Put("b.lst", "other\r\n");
    const long k = CallsOf([&] { EXPECT_TRUE(CopyFileAtomic(Path("a.lst"), Path("b.lst"))); });
    long folderFlushes = 0;
    for (long n = 1; n <= k; ++n) {
        Put("b.lst", "other\r\n");
        FileFaults::FailAt(n);
        const bool copied = CopyFileAtomic(Path("a.lst"), Path("b.lst"));
        const std::string_view failed = FileFaults::Failed() ? FileFaults::Failed() : "";
        FileFaults::Reset();
        SCOPED_TRACE(std::to_string(n) + " " + std::string(failed));
        const std::optional<QByteArray> now = Get("b.lst");
        EXPECT_TRUE(now == QByteArray("memo\r\n") || now == QByteArray("other\r\n"));
        EXPECT_EQ(Leftovers(), QStringList());
        EXPECT_EQ(Get("a.lst"), QByteArray("memo\r\n"));
        if (copied) {
            EXPECT_FALSE(Durability(failed));
        }
        folderFlushes += failed == "fsync folder";
    }
    EXPECT_EQ(folderFlushes, 1) << "the copy flushes its folder";
}

TEST_F(FileLayerFaults, CreatingNeverEmptiesAFileThatCouldNotBeSeen) {
    // A look at the file that fails must not turn into the file's loss.
    Put("list.trh", "kept\r\n");
    FileFaults::Reset();
    FileFaults::FailAt(1);
    EXPECT_FALSE(FileExists(Path("list.trh")));
    EXPECT_FALSE(CreateEmptyFile(Path("list.trh")));
    FileFaults::Reset();
    FileFaults::FailAt(1);
    EXPECT_THROW(FileIsPresent(Path("list.trh")), AppError);
    FileFaults::Reset();
    EXPECT_EQ(Get("list.trh"), QByteArray("kept\r\n"));
    EXPECT_FALSE(FileIsPresent(Path("none.trh")));
    EXPECT_EQ(ReadFileIfPresent(Path("none.trh")), std::nullopt);
    FileFaults::Reset();
    FileFaults::FailAt(1);
    EXPECT_THROW(ReadFileIfPresent(Path("list.trh")), AppError)
        << "a read error is no missing file";
}

INSTANTIATE_TEST_SUITE_P(Commands, FaultInjection, ::testing::ValuesIn(Commands()),
                         [](const ::testing::TestParamInfo<Command> &info) {
                             return std::string(info.param.name);
                         });

} // namespace
