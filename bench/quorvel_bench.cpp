// quorvel_bench: how long the memo commands take on big lists, measured
// through the real main window on Qt's offscreen platform, beside the floor
// every rewrite-and-reload command stands on: the list file's bytes replaced
// durably (the program's own atomic write: temporary file, write, flush,
// rename, folder flush), then read again into memory already in use and
// its line ends found. Each figure is measured twice: in this program's loop,
// on a window that has run many commands before, and in a new process that
// starts the window on the list and runs the command once.
//
//   quorvel_bench                      all measurements, then the summary table
//   quorvel_bench --benchmark_filter=RE  (any Google Benchmark flag)
//   QV_BENCH_SIZES=1000,100000 QV_BENCH_REPS=3 QV_BENCH_FRESH_REPS=9 quorvel_bench
//
// These modes run the program, or a floor, in a child process of its own:
//   quorvel_bench --child-start DIR    starts with DIR as the program folder,
//                                      prints "ready N" once the window is
//                                      shown with N memos loaded
//   quorvel_bench --child-rss DIR      the same, then closes the program and
//                                      prints "rss KB", the peak resident size
//   quorvel_bench --child-edit-rss DIR the same after saving one edit of the
//                                      middle memo
//   quorvel_bench --child-history DIR KEEP  starts, makes 100 changes of
//                                      every kind, keeping them in the
//                                      history (KEEP 1) or dropping each one
//                                      at once (0), and prints "changes K"
//                                      and "rss KB"
//   quorvel_bench --child-find DIR     the same, then finds a text no memo
//                                      holds, the first search of the run,
//                                      and prints "find MS"
//   quorvel_bench --child-command DIR CMD RUN  starts the program on DIR,
//                                      prepares the command CMD (selects the
//                                      middle memo, ...) and, with RUN 1, runs
//                                      it once; prints "ready N", then "ran MS"
//                                      (the command timed inside) and exits
//   quorvel_bench --child-floor FILE MODE  the floors, by themselves: MODE
//                                      load reads FILE into new memory and
//                                      finds its line ends; MODE command then
//                                      also replaces a file beside it with the
//                                      same bytes (durably) and reads that
//                                      again into the memory in use, finding
//                                      its line ends; prints "lines K" (and
//                                      "ran MS") and exits
//   quorvel_bench --generate N FILE [SEED]  writes the list file of N memos
//                                      the measurements use (seed 1 for
//                                      the list, 2 for the trash)
#include "bench/listgen.h"
#include "platform/fileio.h"
#include "settings/inifile.h"
#include "store/history.h"
#include "tests/unit/test_platform.h"
#include "ui/Quorvelmain.h"
#include "ui/finddialog.h"
#include "ui/program.h"
#include "ui/widgets.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <time.h>
#include <tuple>
#include <vector>

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using testing_support::TestPlatform;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// Hands the print run a surface whose recording outlives the command, so
// that throwing the recording away is not timed with the print.
class ForwardingSurface : public PageSurface {
  public:
    explicit ForwardingSurface(PageSurface &to) : to_(to) {}
    void BeginDoc(int gridHeight) override { to_.BeginDoc(gridHeight); }
    void SetFontSize(int points) override { to_.SetFontSize(points); }
    int FontHeight() const override { return to_.FontHeight(); }
    int FontSize() const override { return to_.FontSize(); }
    void TextOut(int x, int y, const QByteArray &text) override { to_.TextOut(x, y, text); }
    void NewPage() override { to_.NewPage(); }
    void EndDoc() override { to_.EndDoc(); }
    void AbortDoc() override { to_.AbortDoc(); }

  private:
    PageSurface &to_;
};

// Lets the window finish what the command left for the event loop (the
// list's delayed layout, the repaint), as the user would wait for it.
void Settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// --- The floors ----------------------------------------------------------------

// Reads the open file from its start into [to, to + room); the bytes read,
// or -1.
qsizetype ReadFd(int fd, char *to, qsizetype room) {
    qsizetype used = 0;
    while (used < room) {
        const ssize_t n = ::read(fd, to + used, size_t(room - used));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        used += n;
    }
    return used;
}

// The line ends of a text: what any loader must at least look for.
qsizetype LineEnds(const char *p, qsizetype size) {
    qsizetype count = 0;
    const char *const end = p + size;
    while (const void *hit = std::memchr(p, '\n', size_t(end - p))) {
        ++count;
        p = static_cast<const char *>(hit) + 1;
    }
    return count;
}

// The floor of a command after the load: the same bytes put durably in
// place of a file beside the list (the program's own atomic write), read
// again into the buffer they came from, and their line ends found. -1 when
// a step fails.
qsizetype ReplaceAndReread(const QString &beside, char *buffer, qsizetype size) {
    if (!WriteFileAtomic(beside, QByteArray::fromRawData(buffer, size)))
        return -1;
    const int fd = ::open(QFile::encodeName(beside).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    const qsizetype got = ReadFd(fd, buffer, size);
    ::close(fd);
    return got == size ? LineEnds(buffer, size) : -1;
}

QString BesideFile(const QString &list) {
    return QFileInfo(list).dir().filePath(QStringLiteral("floor.lst"));
}

// --- The program and its commands -------------------------------------------

void SelectMiddle(TForm1 &f) {
    f.ActivatePage(0);
    f.ListBox1->setItemIndex(int(f.ListBox2.size() / 2));
}

// A command as the benchmarks run it: what is done before it, untimed, and
// the command itself.
struct Command {
    const char *name;  // of the measurement
    const char *label; // in the table
    void (*prepare)(TForm1 &, TestPlatform &);
    void (*run)(TForm1 &);
};

const Command kCommands[] = {
    {"MoveUp", "move up", [](TForm1 &f, TestPlatform &) { SelectMiddle(f); },
     [](TForm1 &f) { f.Button2Click(); }},
    {"MoveDown", "move down", [](TForm1 &f, TestPlatform &) { SelectMiddle(f); },
     [](TForm1 &f) { f.Button3Click(); }},
    {"MoveToTop", "move to top", [](TForm1 &f, TestPlatform &) { SelectMiddle(f); },
     [](TForm1 &f) { f.ToTopClick(); }},
    {"MoveToBottom", "move to bottom", [](TForm1 &f, TestPlatform &) { SelectMiddle(f); },
     [](TForm1 &f) { f.ToBottomClick(); }},
    {"Colour", "colour",
     [](TForm1 &f, TestPlatform &p) {
         SelectMiddle(f);
         // Red and green by turns, so that every run changes the memo.
         static quint32 colour = 0x000000FF;
         colour = colour == 0x000000FF ? 0x0000FF00 : 0x000000FF;
         p.colours = {colour};
     },
     [](TForm1 &f) { f.BgColorClick(); }},
    {"SaveEdit", "save edit",
     [](TForm1 &f, TestPlatform &) {
         SelectMiddle(f);
         f.ListBox1DblClick(); // the edit page with the memo
         Settle();
         f.Memo3->setText(f.Memo3->text() + QString::fromUtf8("済"));
     },
     [](TForm1 &f) { f.Button4Click(); }},
    {"MoveToTrash", "move to trash", [](TForm1 &f, TestPlatform &) { SelectMiddle(f); },
     [](TForm1 &f) { f.D1Click(); }},
    {"Restore", "restore (list + trash files)",
     [](TForm1 &f, TestPlatform &) {
         f.ActivatePage(0);
         f.ActivatePage(3); // shows the trash
         Settle();
         f.ListBox3->setItemIndex(f.ListBox3->titleModel()->count() / 2);
     },
     [](TForm1 &f) { f.RestoreClick(); }},
};

const Command *FindCommand(const std::string &name) {
    for (const Command &c : kCommands)
        if (name == c.name)
            return &c;
    return nullptr;
}

// Writes the files of a program folder: the list and the trash of n
// generated memos each, and settings that print whole memos.
void WriteFolder(const QString &dir, int n) {
    const auto path = [&dir](const char *name) {
        return QDir(dir).filePath(QString::fromUtf8(name));
    };
    if (!WriteListFile(path("quorvel.lst"), n, 1) || !WriteListFile(path("quorvel.trh"), n, 2))
        throw std::runtime_error("cannot write the generated lists");
    Ini::WriteInteger(path("quorvel.ini"), "Print", "OnlyHeadLine", 0);
}

// A program folder with a list and a trash of n generated memos each, and
// the program started on it with its window shown; beside it, the same
// folder with empty files, for the fresh processes' base.
struct Env {
    explicit Env(int memos) : n(memos) {
        if (!dir.isValid() || !emptyDir.isValid())
            throw std::runtime_error("no temporary folder");
        WriteFolder(dir.path(), n);
        WriteFolder(emptyDir.path(), 0);
        // The desktop as the benchmarks script it: every message is recorded
        // (a measured command must show none), the print dialog answers with
        // a recording surface, the colour dialog with the colour queued for
        // the command.
        platform = std::make_unique<TestPlatform>(Path("quorvel"));
        platform->printer = [this] {
            recording = std::make_unique<RecordingSurface>(600);
            return std::make_unique<ForwardingSurface>(*recording);
        };
        SetPlatform(platform.get());
        InitApplication();
        program = std::make_unique<QuorvelProgram>();
        f().show();
        Settle();
        if (f().ListBox2.size() != n)
            throw std::runtime_error("the generated list did not load");
        // The floor's bytes, read once: its re-reads land in memory in use.
        floorBytes = ReadWholeFile(ListFile());
    }
    ~Env() {
        program.reset();
        SetPlatform(nullptr);
    }
    TForm1 &f() { return program->form1(); }
    QString Path(const char *name) const { return dir.filePath(QString::fromUtf8(name)); }
    QString ListFile() const { return Path("quorvel.lst"); }

    int n;
    QTemporaryDir dir, emptyDir;
    QByteArray floorBytes;
    std::unique_ptr<RecordingSurface> recording;
    std::unique_ptr<TestPlatform> platform;
    std::unique_ptr<QuorvelProgram> program;
};

// One program at a time: the benchmarks of one size run one after another.
std::unique_ptr<Env> current;

Env &EnvFor(int n) {
    if (!current || current->n != n) {
        current.reset();
        current = std::make_unique<Env>(n);
    }
    return *current;
}

// Runs a command once per iteration, timing only the command (and the event
// processing it leaves behind), after an untimed preparation.
template <class Prepare, class Run>
void Timed(benchmark::State &state, int n, Prepare prepare, Run command) {
    Env &e = EnvFor(n);
    for (auto _ : state) {
        prepare(e);
        e.platform->events.clear();
        const Clock::time_point t0 = Clock::now();
        command(e);
        Settle();
        state.SetIterationTime(Seconds(t0));
        if (!e.platform->events.isEmpty()) {
            state.SkipWithError(e.platform->events.join(u'|').toStdString().c_str());
            break;
        }
    }
}

void TimedCommand(benchmark::State &state, int n, const Command &c) {
    Timed(
        state, n, [&c](Env &e) { c.prepare(e.f(), *e.platform); }, [&c](Env &e) { c.run(e.f()); });
}

// The lines of a file split by the plainest loop: what loading a list
// cannot do much better than.
QList<QByteArray> PlainSplit(const QByteArray &data) {
    QList<QByteArray> lines;
    const char *p = data.constData();
    const char *const end = p + data.size();
    const char *start = p;
    while (p < end) {
        if (*p == '\r' || *p == '\n') {
            lines.append(QByteArray(start, p - start));
            if (*p == '\r' && p + 1 < end && p[1] == '\n')
                ++p;
            start = ++p;
        } else {
            ++p;
        }
    }
    if (start < end)
        lines.append(QByteArray(start, end - start));
    return lines;
}

// --- The measurements in this program's loop -------------------------------------

void Floor(benchmark::State &state, int n) {
    Env &e = EnvFor(n);
    const QString beside = BesideFile(e.ListFile());
    QByteArray &bytes = e.floorBytes;
    for (auto _ : state) {
        const Clock::time_point t0 = Clock::now();
        const qsizetype lines = ReplaceAndReread(beside, bytes.data(), bytes.size());
        state.SetIterationTime(Seconds(t0));
        if (lines != n) {
            state.SkipWithError("the floor's write or read failed");
            break;
        }
    }
}

void ReadAndSplit(benchmark::State &state, int n) {
    Env &e = EnvFor(n);
    for (auto _ : state) {
        const Clock::time_point t0 = Clock::now();
        qsizetype lines = 0;
        {
            const QList<QByteArray> split = PlainSplit(ReadWholeFile(e.ListFile()));
            lines = split.size();
        }
        state.SetIterationTime(Seconds(t0));
        if (lines != e.f().ListBox2.size()) {
            state.SkipWithError("the plain split disagrees with the program");
            break;
        }
    }
}

// Another program puts the same bytes in place of a file: the program can
// no longer take the file for the one it read, and reads it.
void ReplacedBehindItsBack(const QString &path) {
    if (!WriteFileAtomic(path, ReadWholeFile(path)))
        throw std::runtime_error("cannot replace a file");
}

void LoadList(benchmark::State &state, int n) {
    Timed(
        state, n, [](Env &e) { ReplacedBehindItsBack(e.ListFile()); },
        [](Env &e) { e.f().LoadList(); });
}

// The list page shown again while the file is the one loaded.
void LoadListUnchanged(benchmark::State &state, int n) {
    Timed(
        state, n, [](Env &) {}, [](Env &e) { e.f().LoadList(); });
}

void TrashShow(benchmark::State &state, int n) {
    Timed(
        state, n, [](Env &e) { ReplacedBehindItsBack(e.Path("quorvel.trh")); },
        [](Env &e) { e.f().TabSheet4Show(); });
}

void PrintMemos(benchmark::State &state, int n) {
    Timed(
        state, n,
        [](Env &e) {
            e.f().ActivatePage(0);
            e.recording.reset();
        },
        [](Env &e) { e.f().PrintClick(); });
    if (current && current->recording)
        state.counters["ops"] = double(current->recording->ops().size());
}

// The texts searched for: a word and a Latin word that no generated memo
// holds, and a word that about a quarter of them hold.
const char *const kAbsentWord = "郵便局";
const char *const kAbsentLatin = "invoice";
const char *const kCommonWord = "牛乳";

// The processor time this thread has used, in seconds: beside the time on
// the clock, what a command cost when other programs share the processor.
double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Next (F3) from the middle memo with the find dialog's text: a search round
// the whole list. A text that no memo holds ends in the refusal, the only
// message expected. The counter cpu_ms is the processor time of the command.
void FindNext(benchmark::State &state, int n, const char *text) {
    Env &e = EnvFor(n);
    Form3->Edit1->setText(QString::fromUtf8(text));
    const bool absent = std::string(text) != kCommonWord;
    const QStringList refusal = {QStringLiteral("beep"),
                                 QStringLiteral("message 「") + QString::fromUtf8(text) +
                                     QString::fromUtf8("」が見つかりません。")};
    double cpu = 0;
    int runs = 0;
    for (auto _ : state) {
        SelectMiddle(e.f());
        Settle();
        e.platform->events.clear();
        const Clock::time_point t0 = Clock::now();
        const double cpu0 = ThreadSeconds();
        e.f().FindNext1Click();
        Settle();
        state.SetIterationTime(Seconds(t0));
        cpu += ThreadSeconds() - cpu0;
        ++runs;
        if (e.platform->events != (absent ? refusal : QStringList())) {
            state.SkipWithError(e.platform->events.join(u'|').toStdString().c_str());
            break;
        }
    }
    state.counters["cpu_ms"] = runs > 0 ? cpu / runs * 1e3 : 0;
}

void FindAbsent(benchmark::State &state, int n) {
    FindNext(state, n, kAbsentWord);
}

void FindAbsentLatin(benchmark::State &state, int n) {
    FindNext(state, n, kAbsentLatin);
}

void FindCommon(benchmark::State &state, int n) {
    FindNext(state, n, kCommonWord);
}

// Drags the list's scroll bar from the top to the bottom in even steps,
// repainting the list at each; the slowest repaint is what the user sees.
void ScrollRepaint(benchmark::State &state, int n) {
    Env &e = EnvFor(n);
    constexpr int kSteps = 1000;
    TitleListView *list = e.f().ListBox1;
    e.f().ActivatePage(0);
    Settle();
    double slowest = 0;
    std::vector<double> each;
    for (auto _ : state) {
        QScrollBar *bar = list->verticalScrollBar();
        bar->setValue(0);
        Settle();
        const int last = bar->maximum();
        if (n > 1000 && last < n - 1000) {
            state.SkipWithError("the list does not scroll over all its rows");
            break;
        }
        double total = 0;
        for (int i = 0; i < kSteps; ++i) {
            const Clock::time_point t0 = Clock::now();
            bar->setValue(int(qint64(last) * i / (kSteps - 1)));
            list->viewport()->repaint();
            const double s = Seconds(t0);
            total += s;
            each.push_back(s);
            slowest = std::max(slowest, s);
        }
        state.SetIterationTime(total / kSteps);
    }
    std::sort(each.begin(), each.end());
    state.counters["max_ms"] = slowest * 1e3;
    if (!each.empty())
        state.counters["p99_ms"] = each[each.size() * 99 / 100] * 1e3;
}

// --- The measurements in new processes ---------------------------------------------

struct ChildRun {
    double firstLine = 0; // seconds from the start to the first line
    double whole = 0;     // seconds from the start to the end of the process
    QStringList lines;    // what it printed
};

// The processor every new process runs on: the last one this program may
// use, or QV_BENCH_CPU. On a virtual machine one processor can start the same
// process tens of milliseconds slower than another; a base and a measured
// process on different ones would differ by that alone.
int ChildCpu() {
    static const int cpu = [] {
        bool given = false;
        const int env = qEnvironmentVariableIntValue("QV_BENCH_CPU", &given);
        if (given)
            return env;
        cpu_set_t set;
        CPU_ZERO(&set);
        if (sched_getaffinity(0, sizeof set, &set) != 0)
            return -1;
        for (int i = CPU_SETSIZE - 1; i >= 0; --i)
            if (CPU_ISSET(i, &set))
                return i;
        return -1;
    }();
    return cpu;
}

// Runs this program in a child mode, on the processor ChildCpu() names.
ChildRun RunChild(const QStringList &args) {
    ChildRun r;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.setChildProcessModifier([cpu = ChildCpu()] {
        if (cpu < 0)
            return;
        cpu_set_t set;
        CPU_ZERO(&set);
        CPU_SET(cpu, &set);
        sched_setaffinity(0, sizeof set, &set);
    });
    const Clock::time_point t0 = Clock::now();
    child.start(QCoreApplication::applicationFilePath(), args);
    QByteArray out;
    while (!out.contains('\n') && child.waitForReadyRead(600000))
        out += child.readAll();
    r.firstLine = Seconds(t0);
    child.waitForFinished(600000);
    r.whole = Seconds(t0);
    out += child.readAll();
    r.lines = QString::fromUtf8(out).trimmed().split(u'\n');
    return r;
}

// The value of the line "key VALUE" a child printed, or nullopt.
std::optional<double> Said(const ChildRun &r, const QString &key) {
    for (const QString &line : r.lines)
        if (line.startsWith(key + u' '))
            return line.mid(key.size() + 1).toDouble();
    return std::nullopt;
}

// Runs a base and a measured child by turns, once each per iteration: the
// iteration time is the measured one's whole run; the counters hold the
// base's whole run, the difference between the two (the median of which is
// the figure) and what the measured child timed inside, when it says.
// expect checks what each printed. The two take turns at going first: a
// process runs faster just after one of its kind, and slower while the file
// system finishes what the one before it left (a replaced file's blocks).
void FreshPair(benchmark::State &state, const QStringList &base, const QStringList &measured,
               const std::function<bool(const ChildRun &, const ChildRun &)> &expect) {
    static int turn = 0;
    for (auto _ : state) {
        const bool baseFirst = turn++ % 2 == 0;
        ChildRun b, m;
        if (baseFirst)
            b = RunChild(base);
        m = RunChild(measured);
        if (!baseFirst)
            b = RunChild(base);
        if (!expect(b, m)) {
            state.SkipWithError(("child said: " + b.lines.join(u'|').toStdString() + " / " +
                                 m.lines.join(u'|').toStdString())
                                    .c_str());
            return;
        }
        state.SetIterationTime(m.whole);
        state.counters["base_ms"] = b.whole * 1e3;
        state.counters["diff_ms"] = (m.whole - b.whole) * 1e3;
        state.counters["inside_ms"] = Said(m, QStringLiteral("ran")).value_or(0);
    }
}

QString Arg(int n) {
    return QString::number(n);
}

// The program started on the list, against the same on an empty list.
void FreshLoad(benchmark::State &state, int n) {
    Env &e = EnvFor(n);
    const QString cmd = QStringLiteral("--child-command");
    FreshPair(state, {cmd, e.emptyDir.path(), QStringLiteral("none"), Arg(0)},
              {cmd, e.dir.path(), QStringLiteral("none"), Arg(0)},
              [](const ChildRun &b, const ChildRun &m) {
                  return b.lines.value(0) == QStringLiteral("ready 0") &&
                         Said(m, QStringLiteral("ready")).value_or(0) > 0;
              });
}

// The list file read into new memory and its line ends found, against the
// same on an empty file.
void FreshFloorLoad(benchmark::State &state, int n) {
    Env &e = EnvFor(n);
    const QString floor = QStringLiteral("--child-floor");
    const QString empty = QDir(e.emptyDir.path()).filePath(QStringLiteral("quorvel.lst"));
    FreshPair(state, {floor, empty, QStringLiteral("load")},
              {floor, e.ListFile(), QStringLiteral("load")},
              [](const ChildRun &b, const ChildRun &m) {
                  return b.lines.value(0) == QStringLiteral("lines 0") &&
                         Said(m, QStringLiteral("lines")).value_or(0) > 0;
              });
}

// The same, then the durable replace and the re-read, against the load alone.
void FreshFloorCommand(benchmark::State &state, int n) {
    Env &e = EnvFor(n);
    const QString floor = QStringLiteral("--child-floor");
    FreshPair(state, {floor, e.ListFile(), QStringLiteral("load")},
              {floor, e.ListFile(), QStringLiteral("command")},
              [](const ChildRun &b, const ChildRun &m) {
                  return Said(b, QStringLiteral("lines")).value_or(0) > 0 &&
                         b.lines.value(0) == m.lines.value(0) && Said(m, QStringLiteral("ran"));
              });
}

// The program started on the list with the command prepared, run once,
// against the same without the command.
void FreshCommand(benchmark::State &state, int n, const Command &c) {
    Env &e = EnvFor(n);
    const QString cmd = QStringLiteral("--child-command");
    const QString name = QString::fromUtf8(c.name);
    FreshPair(state, {cmd, e.dir.path(), name, Arg(0)}, {cmd, e.dir.path(), name, Arg(1)},
              [](const ChildRun &b, const ChildRun &m) {
                  return b.lines.value(0).startsWith(QStringLiteral("ready ")) &&
                         b.lines.size() == 1 && m.lines.size() == 2 &&
                         Said(m, QStringLiteral("ran"));
              });
}

void Startup(benchmark::State &state, int n) {
    Env &e = EnvFor(n);
    for (auto _ : state) {
        const ChildRun r = RunChild({QStringLiteral("--child-start"), e.dir.path()});
        state.SetIterationTime(r.firstLine);
        if ((Said(r, QStringLiteral("ready")).value_or(0) > 0) != (n > 0)) {
            state.SkipWithError(("child said: " + r.lines.join(u'|').toStdString()).c_str());
            break;
        }
    }
}

// The first search of a run, in a new process: it also makes the tables the
// search folds characters with.
void FindFirst(benchmark::State &state, int n) {
    Env &e = EnvFor(n);
    for (auto _ : state) {
        const ChildRun r = RunChild({QStringLiteral("--child-find"), e.dir.path()});
        const auto ms = Said(r, QStringLiteral("find"));
        if (r.lines.size() != 2 || !ms) {
            state.SkipWithError(("child said: " + r.lines.join(u'|').toStdString()).c_str());
            break;
        }
        state.SetIterationTime(*ms / 1e3);
    }
}

void PeakMemory(benchmark::State &state, int n) {
    Env &e = EnvFor(n);
    double kb = 0, editKb = 0;
    for (auto _ : state) {
        // The same process that also saves one edit before it closes.
        const ChildRun edit = RunChild({QStringLiteral("--child-edit-rss"), e.dir.path()});
        const auto editRss = Said(edit, QStringLiteral("rss"));
        if (edit.lines.size() != 2 || !editRss) {
            state.SkipWithError(("child said: " + edit.lines.join(u'|').toStdString()).c_str());
            break;
        }
        editKb = *editRss;
        const ChildRun r = RunChild({QStringLiteral("--child-rss"), e.dir.path()});
        state.SetIterationTime(r.firstLine);
        const auto rss = Said(r, QStringLiteral("rss"));
        if (r.lines.size() != 2 || (Said(r, QStringLiteral("ready")).value_or(0) > 0) != (n > 0) ||
            !rss) {
            state.SkipWithError(("child said: " + r.lines.join(u'|').toStdString()).c_str());
            break;
        }
        kb = *rss;
    }
    state.counters["rss_kb"] = kb;
    state.counters["edit_rss_kb"] = editKb;
    state.counters["file_kb"] = double(QFileInfo(e.ListFile()).size()) / 1024.0;
}

void HistoryMemory(benchmark::State &state, int n) {
    Env &e = EnvFor(n);
    double kb[2] = {0, 0};
    for (auto _ : state) {
        double seconds = 0;
        for (const int keep : {0, 1}) {
            const ChildRun r =
                RunChild({QStringLiteral("--child-history"), e.dir.path(), QString::number(keep)});
            seconds += r.firstLine;
            const auto rss = Said(r, QStringLiteral("rss"));
            // Kept, nearly every command enters a change: one that left the
            // list as it was (a memo moved past an equal one) enters none.
            const int changes = int(Said(r, QStringLiteral("changes")).value_or(-1));
            if (r.lines.size() != 3 || (keep ? changes < 90 : changes != 0) || !rss) {
                state.SkipWithError(("child said: " + r.lines.join(u'|').toStdString()).c_str());
                return;
            }
            kb[keep] = *rss;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["rss_kb_dropped"] = kb[0];
    state.counters["rss_kb_kept"] = kb[1];
}

// --- The child modes ---------------------------------------------------------

// Prints "rss KB": the high-water mark of this program image. (getrusage
// would also count the pages of the benchmark process this one was forked
// from.)
void PrintPeakMemory() {
    QFile status(QStringLiteral("/proc/self/status"));
    long long kb = -1;
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                kb = line.mid(6).trimmed().split(' ').first().toLongLong();
    std::printf("rss %lld\n", kb);
    std::fflush(stdout);
}

enum class ChildMode { Start, Rss, EditRss, Find };

int Child(int argc, char **argv, ChildMode mode) {
    QApplication app(argc, argv);
    TestPlatform platform(
        QDir(QString::fromLocal8Bit(argv[2])).filePath(QStringLiteral("quorvel")));
    SetPlatform(&platform);
    InitApplication();
    auto program = std::make_unique<QuorvelProgram>();
    program->form1().show();
    Settle();
    std::printf("ready %lld\n", static_cast<long long>(program->form1().ListBox2.size()));
    std::fflush(stdout);
    if (mode == ChildMode::Find) {
        Form3->Edit1->setText(QString::fromUtf8(kAbsentWord));
        program->form1().ListBox1->setItemIndex(int(program->form1().ListBox2.size() / 2));
        Settle();
        const Clock::time_point t0 = Clock::now();
        program->form1().FindNext1Click();
        Settle();
        std::printf("find %.3f\n", Seconds(t0) * 1e3);
        std::fflush(stdout);
    }
    if (mode == ChildMode::EditRss && program->form1().ListBox2.size() > 0) {
        // The middle memo opened, one character added, saved.
        TForm1 &f = program->form1();
        f.ListBox1->setItemIndex(int(f.ListBox2.size() / 2));
        f.ListBox1DblClick();
        Settle();
        f.Memo3->setText(f.Memo3->text() + QString::fromUtf8("済"));
        f.Button4Click();
        Settle();
        if (!platform.events.isEmpty())
            std::printf("the program said: %s\n", platform.events.join(u'|').toUtf8().constData());
    }
    if (mode != ChildMode::Rss && mode != ChildMode::EditRss)
        std::_Exit(0);
    program.reset();
    SetPlatform(nullptr);
    PrintPeakMemory();
    return 0;
}

// Starts the program, prepares a command and runs it once, then leaves at
// once: what a user who starts the program for one change waits for.
int ChildCommand(int argc, char **argv) {
    QApplication app(argc, argv);
    TestPlatform platform(
        QDir(QString::fromLocal8Bit(argv[2])).filePath(QStringLiteral("quorvel")));
    SetPlatform(&platform);
    InitApplication();
    auto program = std::make_unique<QuorvelProgram>();
    TForm1 &f = program->form1();
    f.show();
    Settle();
    const Command *c = FindCommand(argv[3]);
    if (c)
        c->prepare(f, platform);
    std::printf("ready %lld\n", static_cast<long long>(f.ListBox2.size()));
    if (c && std::string(argv[4]) == "1") {
        platform.events.clear();
        const Clock::time_point t0 = Clock::now();
        c->run(f);
        Settle();
        const double s = Seconds(t0);
        if (platform.events.isEmpty())
            std::printf("ran %.3f\n", s * 1e3);
        else
            std::printf("the program said: %s\n", platform.events.join(u'|').toUtf8().constData());
    }
    std::fflush(stdout);
    std::_Exit(0);
}

int ChildFloor(char **argv) {
    const int fd = ::open(argv[2], O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return 1;
    // New memory, as a process that has read nothing yet has.
    const qsizetype size = qsizetype(st.st_size);
    std::unique_ptr<char[]> buffer(new char[size_t(size) + 1]);
    const qsizetype got = ReadFd(fd, buffer.get(), size + 1);
    ::close(fd);
    if (got != size)
        return 1;
    qsizetype lines = LineEnds(buffer.get(), size);
    double s = -1;
    if (std::string(argv[3]) == "command") {
        const Clock::time_point t0 = Clock::now();
        lines = ReplaceAndReread(BesideFile(QString::fromLocal8Bit(argv[2])), buffer.get(), size);
        s = Seconds(t0);
    }
    std::printf("lines %lld\n", static_cast<long long>(lines));
    if (s >= 0)
        std::printf("ran %.3f\n", s * 1e3);
    std::fflush(stdout);
    std::_Exit(0);
}

int ChildHistory(int argc, char **argv) {
    QApplication app(argc, argv);
    TestPlatform platform(
        QDir(QString::fromLocal8Bit(argv[2])).filePath(QStringLiteral("quorvel")));
    SetPlatform(&platform);
    InitApplication();
    const bool keep = std::string(argv[3]) == "1";
    auto program = std::make_unique<QuorvelProgram>();
    TForm1 &f = program->form1();
    f.show();
    Settle();
    const int n = int(f.ListBox2.size());
    std::printf("ready %d\n", n);
    std::fflush(stdout);
    // Moves, colours, edits and moves to the trash of memos all over the list.
    for (int i = 0; i < 100 && n > 2; ++i) {
        f.ActivatePage(0);
        Settle();
        f.ListBox1->setItemIndex(1 + int((qint64(i) * 7919) % (n - 2)));
        switch (i % 5) {
        case 0:
            f.Button2Click();
            break;
        case 1:
            // A colour no memo has yet: a colour a memo has already changes
            // nothing and enters no change.
            platform.colours = {0x00100000u + quint32(i)};
            f.BgColorClick();
            break;
        case 2:
            f.ListBox1DblClick();
            Settle();
            f.Memo3->setText(f.Memo3->text() + QString::fromUtf8("済"));
            f.Button4Click();
            break;
        case 3:
            f.ToTopClick();
            break;
        case 4:
            f.D1Click();
            break;
        }
        Settle();
        if (!keep)
            f.History->Clear();
    }
    if (!platform.events.isEmpty())
        std::printf("the program said: %s\n", platform.events.join(u'|').toUtf8().constData());
    std::printf("changes %d\n", int(f.History->Names().size()));
    program.reset();
    SetPlatform(nullptr);
    PrintPeakMemory();
    return 0;
}

// --- The summary -------------------------------------------------------------

struct Result {
    double ms = 0; // median
    std::map<std::string, double> counters;
    std::string error;
    double counter(const char *name) const {
        const auto it = counters.find(name);
        return it == counters.end() ? 0 : it->second;
    }
};

// Keeps the medians, and tells on stderr how far the run has got.
class Collector : public benchmark::BenchmarkReporter {
  public:
    std::map<std::string, Result> results; // by "Name/n"
    bool ReportContext(const Context &) override { return true; }
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &r : runs) {
            const std::string name = r.run_name.function_name;
            if (r.error_occurred) {
                results[name].error = r.error_message;
                std::fprintf(stderr, "  %-28s ERROR %s\n", name.c_str(), r.error_message.c_str());
                continue;
            }
            const bool single = r.repetitions <= 1 && r.run_type == Run::RT_Iteration;
            if (!single && !(r.run_type == Run::RT_Aggregate && r.aggregate_name == "median"))
                continue;
            Result &res = results[name];
            res.ms = r.GetAdjustedRealTime() * (r.time_unit == benchmark::kMillisecond   ? 1.0
                                                : r.time_unit == benchmark::kMicrosecond ? 1e-3
                                                : r.time_unit == benchmark::kNanosecond  ? 1e-6
                                                                                         : 1e3);
            for (const auto &[k, c] : r.counters)
                res.counters[k] = c.value;
            if (res.counters.count("diff_ms"))
                std::fprintf(stderr, "  %-28s %10.2f ms (inside %.2f)\n", name.c_str(),
                             res.counters["diff_ms"], res.counters["inside_ms"]);
            else
                std::fprintf(stderr, "  %-28s %10.2f ms\n", name.c_str(), res.ms);
        }
    }
};

std::string Key(const char *name, int n) {
    return std::string(name) + "/" + std::to_string(n);
}

std::string Thousands(long long v) {
    const std::string digits = std::to_string(v);
    std::string s;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            s += ',';
        s += digits[i];
    }
    return s;
}

int PrintTable(const Collector &c, const std::vector<int> &sizes, int reps, int freshReps) {
    // A measurement left out (by --benchmark_filter) gives no row and no
    // verdict; one that ran and failed gives the row "failed".
    static const Result notRun;
    const auto get = [&c](const std::string &name, int n) -> const Result * {
        const auto it = c.results.find(Key(name.c_str(), n));
        if (it == c.results.end())
            return &notRun;
        return it->second.error.empty() ? &it->second : nullptr;
    };
    const auto ran = [](const Result *r) { return r && r != &notRun; };
    int missed = 0;
    const auto verdict = [&missed](bool applies, bool ok) {
        if (!applies)
            return "";
        if (!ok)
            ++missed;
        return ok ? "met" : "NOT MET";
    };

    std::printf("\nQuorvel on generated lists: median of %d runs (in new processes %d), "
                "milliseconds\n",
                reps, freshReps);
    std::printf("\nIn the benchmark's loop, on a window that has run many commands before:\n\n");
    std::printf("%-9s  %-34s %10s %8s  %-22s %s\n", "memos", "measurement", "median", "ratio",
                "target", "");
    for (int n : sizes) {
        const std::string memos = Thousands(n);
        const Result *floor = get("Floor", n);
        const Result *split = get("ReadAndSplit", n);
        // A measurement that gave no figure: a target it had is missed.
        const auto failed = [&](const char *label, bool applies) {
            std::printf("%-9s  %-34s %10s\n", memos.c_str(), label, "failed");
            if (applies)
                ++missed;
        };
        const auto row = [&](const char *label, const Result *r, const Result *base,
                             const char *target, bool applies, double limit) {
            if (r == &notRun)
                return;
            applies = applies && base != &notRun;
            if (!r)
                return failed(label, applies);
            char ratio[32] = "";
            if (base && base->ms > 0)
                std::snprintf(ratio, sizeof ratio, "%.2f", r->ms / base->ms);
            const bool ok = base && base->ms > 0 && r->ms / base->ms <= limit;
            std::printf("%-9s  %-34s %10.2f %8s  %-22s %s\n", memos.c_str(), label, r->ms, ratio,
                        applies ? target : "", verdict(applies, ok));
        };
        const bool big = n >= 100000;
        row("floor: replace + re-read + ends", floor, floor, "", false, 0);
        row("read + plain line split", split, floor, "", false, 0);
        row("LoadList (vs. read + split)", get("LoadList", n), split, "<= 2 x read+split",
            n >= 1000000, 2.0);
        row("LoadList, file unchanged", get("LoadListUnchanged", n), split, "", false, 0);
        for (const Command &cmd : kCommands) {
            if (std::string(cmd.name) == "Restore")
                row("restore (vs. move up)", get(cmd.name, n), get("MoveUp", n), "<= 2 x move up",
                    n >= 1000000, 2.0);
            else
                row(cmd.label, get(cmd.name, n), floor, "<= 2 x floor", big, 2.0);
        }
        row("trash page show (file replaced)", get("TrashShow", n), floor, "", false, 0);
        row("print whole memos (recording)", get("PrintMemos", n), floor, "", false, 0);
        if (const Result *s = get("ScrollRepaint", n); ran(s)) {
            const double worst = s->counter("max_ms");
            char label[64];
            std::snprintf(label, sizeof label, "scroll repaint (p99 %.2f, max %.2f)",
                          s->counter("p99_ms"), worst);
            std::printf("%-9s  %-34s %10.2f %8s  %-22s %s\n", memos.c_str(), label, s->ms, "",
                        n >= 1000000 ? "each < 16 ms" : "", verdict(n >= 1000000, worst < 16.0));
        }
        const auto absolute = [&](const char *label, const char *name, bool applies, double limit) {
            const Result *r = get(name, n);
            if (r == &notRun)
                return;
            if (!r)
                return failed(label, applies);
            char target[32] = "";
            if (applies)
                std::snprintf(target, sizeof target, "< %.0f ms", limit);
            char withCpu[64];
            if (r->counters.count("cpu_ms")) {
                std::snprintf(withCpu, sizeof withCpu, "%s (cpu %.1f)", label,
                              r->counters.at("cpu_ms"));
                label = withCpu;
            }
            std::printf("%-9s  %-34s %10.2f %8s  %-22s %s\n", memos.c_str(), label, r->ms, "",
                        target, verdict(applies, r->ms < limit));
        };
        absolute("find, no match, kanji", "FindAbsent", n >= 1000000, 100.0);
        absolute("find, no match, Latin", "FindAbsentLatin", n >= 1000000, 100.0);
        absolute("find, a quarter match", "FindCommon", false, 0);
        absolute("find, first of a run (tables)", "FindFirst", false, 0);
        if (const Result *s = get("Startup", n); ran(s))
            std::printf("%-9s  %-34s %10.2f %8s  %-22s %s\n", memos.c_str(),
                        "start-up to the shown window", s->ms, "", n == 100000 ? "< 500 ms" : "",
                        verdict(n == 100000, s->ms < 500.0));
    }

    std::printf("\nIn a new process that starts the window on the list and runs the command "
                "once:\nthe whole process against the same process without it (the load: on an "
                "empty\nlist); \"inside\" is the command as the process timed it itself; the "
                "ratios are to\nthe floor of the same kind, the whole and the inside figure "
                "each\n\n");
    std::printf("%-9s  %-34s %10s %8s %8s %8s  %-18s %s\n", "memos", "measurement", "whole",
                "inside", "ratio", "inside", "target", "");
    for (int n : sizes) {
        const std::string memos = Thousands(n);
        const bool big = n >= 100000;
        const auto row = [&](const char *label, const Result *r, const Result *base,
                             const char *target, bool applies, double limit) {
            if (r == &notRun)
                return;
            applies = applies && base != &notRun;
            if (!r) {
                std::printf("%-9s  %-34s %10s\n", memos.c_str(), label, "failed");
                if (applies)
                    ++missed;
                return;
            }
            const double whole = r->counter("diff_ms"), inside = r->counter("inside_ms");
            char ratio[32] = "", ratioInside[32] = "", in[32] = "";
            bool ok = base != nullptr;
            if (inside > 0)
                std::snprintf(in, sizeof in, "%.2f", inside);
            if (base && base->counter("diff_ms") > 0) {
                const double q = whole / base->counter("diff_ms");
                std::snprintf(ratio, sizeof ratio, "%.2f", q);
                ok = ok && q <= limit;
            }
            if (base && inside > 0 && base->counter("inside_ms") > 0) {
                const double q = inside / base->counter("inside_ms");
                std::snprintf(ratioInside, sizeof ratioInside, "%.2f", q);
                ok = ok && q <= limit;
            }
            std::printf("%-9s  %-34s %10.2f %8s %8s %8s  %-18s %s\n", memos.c_str(), label, whole,
                        in, ratio, ratioInside, applies ? target : "", verdict(applies, ok));
        };
        const Result *floorLoad = get("FreshFloorLoad", n);
        const Result *floor = get("FreshFloorCommand", n);
        row("floor: read into new memory + ends", floorLoad, floorLoad, "", false, 0);
        row("floor: replace + re-read + ends", floor, floor, "", false, 0);
        row("load (vs. the empty list)", get("FreshLoad", n), floorLoad, "<= 1.3 x floor",
            n == 100000, 1.3);
        for (const Command &cmd : kCommands) {
            const std::string name = std::string("Fresh") + cmd.name;
            if (std::string(cmd.name) == "Restore")
                row("restore (vs. move up)", get(name, n), get("FreshMoveUp", n), "", false, 0);
            else
                row(cmd.label, get(name, n), floor, "<= 2 x floor", big, 2.0);
        }
    }

    const Result *empty = get("PeakMemory", 0);
    std::printf("\n%-9s  %-34s %10s %10s %8s  %-22s\n", "memos", "peak memory", "max RSS KB",
                "file KB", "ratio", "target");
    for (int n : sizes) {
        const Result *m = get("PeakMemory", n);
        if (!ran(m) || !ran(empty))
            continue;
        const double above = m->counter("rss_kb") - empty->counter("rss_kb");
        const double file = m->counter("file_kb");
        const double ratio = file > 0 ? above / file : 0;
        std::printf("%-9s  %-34s %10.0f %10.0f %8.2f  %-22s %s\n", Thousands(n).c_str(),
                    "start, load, exit (above empty)", m->counter("rss_kb"), file, ratio,
                    n >= 1000000 ? "<= 1.37 x file" : "", verdict(n >= 1000000, ratio <= 1.37));
        const double edit = m->counter("edit_rss_kb") / m->counter("rss_kb");
        std::printf("%-9s  %-34s %10.0f %10s %8.2f  %-22s %s\n", Thousands(n).c_str(),
                    "the same, one edit saved", m->counter("edit_rss_kb"), "", edit,
                    n >= 1000000 ? "<= 1.05 x load" : "", verdict(n >= 1000000, edit <= 1.05));
    }
    if (ran(empty))
        std::printf("%-9s  %-34s %10.0f\n", "0", "empty list", empty->counter("rss_kb"));
    if (const Result *h = get("HistoryMemory", sizes.back());
        ran(h) && h->counters.count("rss_kb_kept")) {
        const double kept = h->counter("rss_kb_kept"), dropped = h->counter("rss_kb_dropped");
        std::printf("%-9s  %-34s %10.0f\n%-9s  %-34s %10.0f\n%-9s  %-34s %10.0f\n",
                    Thousands(sizes.back()).c_str(), "100 changes, history dropped", dropped,
                    Thousands(sizes.back()).c_str(), "100 changes, history kept", kept,
                    Thousands(sizes.back()).c_str(), "the history's cost", kept - dropped);
    }
    std::printf("\n%s\n", missed == 0 ? "Every target is met." : "Some targets are NOT met.");
    return missed;
}

std::vector<int> Sizes() {
    std::vector<int> sizes;
    const QByteArray env = qgetenv("QV_BENCH_SIZES");
    for (const QByteArray &s : (env.isEmpty() ? QByteArray("1000,100000,1000000") : env).split(','))
        if (s.toInt() > 0)
            sizes.push_back(s.toInt());
    return sizes;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::string mode = argc > 1 ? argv[1] : "";
    if (argc == 3 && mode == "--child-start")
        return Child(argc, argv, ChildMode::Start);
    if (argc == 3 && mode == "--child-rss")
        return Child(argc, argv, ChildMode::Rss);
    if (argc == 3 && mode == "--child-edit-rss")
        return Child(argc, argv, ChildMode::EditRss);
    if (argc == 3 && mode == "--child-find")
        return Child(argc, argv, ChildMode::Find);
    if (argc == 4 && mode == "--child-history")
        return ChildHistory(argc, argv);
    if (argc == 5 && mode == "--child-command")
        return ChildCommand(argc, argv);
    if (argc == 4 && mode == "--child-floor")
        return ChildFloor(argv);
    if ((argc == 4 || argc == 5) && mode == "--generate")
        return WriteListFile(QString::fromLocal8Bit(argv[3]), std::atoi(argv[2]),
                             argc == 5 ? std::strtoull(argv[4], nullptr, 10) : 1)
                   ? 0
                   : 1;

    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const int reps = std::max(1, qEnvironmentVariableIntValue("QV_BENCH_REPS") > 0
                                     ? qEnvironmentVariableIntValue("QV_BENCH_REPS")
                                     : 5);
    // A new process's run varies by tens of milliseconds: the new-process
    // figures take more runs.
    const int freshReps = qEnvironmentVariableIntValue("QV_BENCH_FRESH_REPS") > 0
                              ? qEnvironmentVariableIntValue("QV_BENCH_FRESH_REPS")
                              : 3 * reps;
    const std::vector<int> sizes = Sizes();

    using Fn = std::function<void(benchmark::State &, int)>;
    enum Kind { Loop, Once, Fresh, Last };
    std::vector<std::tuple<std::string, Fn, Kind>> measurements = {
        {"Floor", Floor, Loop},
        {"ReadAndSplit", ReadAndSplit, Loop},
        {"LoadList", LoadList, Loop},
        {"LoadListUnchanged", LoadListUnchanged, Loop},
    };
    for (const Command &c : kCommands)
        measurements.emplace_back(
            c.name, [&c](benchmark::State &s, int n) { TimedCommand(s, n, c); }, Loop);
    measurements.insert(measurements.end(), {
                                                {"TrashShow", TrashShow, Loop},
                                                {"PrintMemos", PrintMemos, Loop},
                                                {"ScrollRepaint", ScrollRepaint, Once},
                                                {"FindAbsent", FindAbsent, Loop},
                                                {"FindAbsentLatin", FindAbsentLatin, Loop},
                                                {"FindCommon", FindCommon, Loop},
                                                {"FindFirst", FindFirst, Once},
                                                {"Startup", Startup, Once},
                                                {"PeakMemory", PeakMemory, Once},
                                                {"FreshFloorLoad", FreshFloorLoad, Fresh},
                                                {"FreshFloorCommand", FreshFloorCommand, Fresh},
                                                {"FreshLoad", FreshLoad, Fresh},
                                            });
    for (const Command &c : kCommands)
        measurements.emplace_back(
            std::string("Fresh") + c.name,
            [&c](benchmark::State &s, int n) { FreshCommand(s, n, c); }, Fresh);
    // A hundred changes on the biggest list only, once: it takes minutes.
    measurements.emplace_back("HistoryMemory", HistoryMemory, Last);

    const auto add = [](const std::string &name, const Fn &fn, int n, int iterations,
                        int repetitions) {
        benchmark::RegisterBenchmark(Key(name.c_str(), n).c_str(), fn, n)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(iterations)
            ->Repetitions(repetitions);
    };
    add("PeakMemory", PeakMemory, 0, 1, reps);
    for (int n : sizes) {
        const int iterations = n <= 10000 ? 20 : n <= 100000 ? 2 : 1;
        for (const auto &[name, fn, kind] : measurements) {
            if (kind == Last) {
                if (n == sizes.back())
                    add(name, fn, n, 1, 1);
                continue;
            }
            add(name, fn, n, kind == Loop ? iterations : 1, kind == Fresh ? freshReps : reps);
        }
    }

    Collector collector;
    std::fprintf(stderr, "Running %zu sizes, %d runs each...\n", sizes.size(), reps);
    benchmark::RunSpecifiedBenchmarks(&collector);
    current.reset();
    benchmark::Shutdown();
    PrintTable(collector, sizes, reps, freshReps);
    return 0;
}
