// quorvel_bench: how long the memo commands take on big lists, measured
// through the real main window on Qt's offscreen platform, beside the floor
// every rewrite-and-reload command stands on: reading the list file whole and
// writing the same bytes with the same atomic write.
//
//   quorvel_bench                      all measurements, then the summary table
//   quorvel_bench --benchmark_filter=RE  (any Google Benchmark flag)
//   QV_BENCH_SIZES=1000,100000 QV_BENCH_REPS=3 quorvel_bench
//
// Two modes run the program in a child process of its own:
//   quorvel_bench --child-start DIR    starts with DIR as the program folder,
//                                      prints "ready N" once the window is
//                                      shown with N memos loaded
//   quorvel_bench --child-rss DIR      the same, then closes the program and
//                                      prints "rss KB", the peak resident size
//   quorvel_bench --child-history DIR KEEP  starts, makes 100 changes of
//                                      every kind, keeping them in the
//                                      history (KEEP 1) or dropping each one
//                                      at once (0), and prints "changes K"
//                                      and "rss KB"
//   quorvel_bench --child-find DIR     the same, then finds a text no memo
//                                      holds, the first search of the run,
//                                      and prints "find MS"
//   quorvel_bench --generate N FILE [SEED]  writes the list file of N memos
//                                      the measurements use (seed 1 for
//                                      the list, 2 for the trash)
#include "bench/listgen.h"
#include "platform/fileio.h"
#include "settings/inifile.h"
#include "store/undo.h"
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
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <time.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// Hands the print run a surface whose recording outlives the command, so
// that throwing the recording away is not timed with the print.
class ForwardingSurface : public PageSurface {
  public:
    explicit ForwardingSurface(PageSurface &to) : to_(to) {}
    void BeginDoc() override { to_.BeginDoc(); }
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

// A program folder with a list and a trash of n generated memos each, and
// the program started on it with its window shown.
struct Env {
    explicit Env(int memos) : n(memos) {
        if (!dir.isValid())
            throw std::runtime_error("no temporary folder");
        if (!WriteListFile(Path("quorvel.lst"), n, 1) || !WriteListFile(Path("quorvel.trh"), n, 2))
            throw std::runtime_error("cannot write the generated lists");
        // Whole memos when printing.
        Ini::WriteInteger(Path("quorvel.ini"), "Print", "OnlyHeadLine", 0);
        // The desktop as the benchmarks script it: every message is recorded
        // (a measured command must show none), the print dialog answers with
        // a recording surface, the colour dialog with the colour queued for
        // the command.
        platform = std::make_unique<testing_support::TestPlatform>(Path("quorvel"));
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
    }
    ~Env() {
        program.reset();
        SetPlatform(nullptr);
    }
    TForm1 &f() { return program->form1(); }
    QString Path(const char *name) const { return dir.filePath(QString::fromUtf8(name)); }
    QString ListFile() const { return Path("quorvel.lst"); }

    int n;
    QTemporaryDir dir;
    quint32 colour = 0x000000FF;
    std::unique_ptr<RecordingSurface> recording;
    std::unique_ptr<testing_support::TestPlatform> platform;
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
template <class Prepare, class Command>
void Timed(benchmark::State &state, int n, Prepare prepare, Command command) {
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

void SelectMiddle(Env &e) {
    e.f().ActivatePage(0);
    e.f().ListBox1->setItemIndex(int(e.f().ListBox2.size() / 2));
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

// --- The measurements ------------------------------------------------------

void Floor(benchmark::State &state, int n) {
    Env &e = EnvFor(n);
    const QString floorFile = e.Path("floor.lst");
    for (auto _ : state) {
        const Clock::time_point t0 = Clock::now();
        const QByteArray data = ReadWholeFile(e.ListFile());
        const bool ok = WriteFileAtomic(floorFile, data);
        state.SetIterationTime(Seconds(t0));
        if (!ok || data.isEmpty() != (n == 0)) {
            state.SkipWithError("the floor's read or write failed");
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

void LoadList(benchmark::State &state, int n) {
    Timed(
        state, n, [](Env &) {}, [](Env &e) { e.f().LoadList(); });
}

void MoveUp(benchmark::State &state, int n) {
    Timed(state, n, SelectMiddle, [](Env &e) { e.f().Button2Click(); });
}

void MoveToTop(benchmark::State &state, int n) {
    Timed(state, n, SelectMiddle, [](Env &e) { e.f().ToTopClick(); });
}

void MoveToBottom(benchmark::State &state, int n) {
    Timed(state, n, SelectMiddle, [](Env &e) { e.f().ToBottomClick(); });
}

void Colour(benchmark::State &state, int n) {
    Timed(
        state, n,
        [](Env &e) {
            SelectMiddle(e);
            e.colour = e.colour == 0x000000FF ? 0x0000FF00 : 0x000000FF;
            e.platform->colours = {e.colour};
        },
        [](Env &e) { e.f().BgColorClick(); });
}

void SaveEdit(benchmark::State &state, int n) {
    Timed(
        state, n,
        [](Env &e) {
            SelectMiddle(e);
            e.f().ListBox1DblClick(); // the edit page with the memo
            Settle();
            e.f().Memo3->setText(e.f().Memo3->text() + QString::fromUtf8("済"));
        },
        [](Env &e) { e.f().Button4Click(); });
}

void MoveToTrash(benchmark::State &state, int n) {
    Timed(state, n, SelectMiddle, [](Env &e) { e.f().D1Click(); });
}

void TrashShow(benchmark::State &state, int n) {
    Timed(
        state, n, [](Env &) {}, [](Env &e) { e.f().TabSheet4Show(); });
}

void Restore(benchmark::State &state, int n) {
    Timed(
        state, n,
        [](Env &e) {
            e.f().ActivatePage(0);
            e.f().ActivatePage(3); // shows the trash
            Settle();
            e.f().ListBox3->setItemIndex(e.f().ListBox3->titleModel()->count() / 2);
        },
        [](Env &e) { e.f().RestoreClick(); });
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
        SelectMiddle(e);
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

// Runs this program in a child mode on the folder; the time until it prints
// its first line, and that line.
QString RunChild(const char *mode, const QString &dir, double *secondsToFirstLine,
                 const QStringList &more = {}) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const Clock::time_point t0 = Clock::now();
    child.start(QCoreApplication::applicationFilePath(),
                QStringList{QString::fromUtf8(mode), dir} + more);
    QByteArray line;
    while (!line.contains('\n') && child.waitForReadyRead(600000))
        line += child.readAll();
    if (secondsToFirstLine)
        *secondsToFirstLine = Seconds(t0);
    child.waitForFinished(600000);
    line += child.readAll();
    return QString::fromUtf8(line).trimmed();
}

void Startup(benchmark::State &state, int n) {
    Env &e = EnvFor(n);
    for (auto _ : state) {
        double s = 0;
        const QString got = RunChild("--child-start", e.dir.path(), &s);
        state.SetIterationTime(s);
        if (got != QStringLiteral("ready ") + QString::number(n)) {
            state.SkipWithError(("child said: " + got.toStdString()).c_str());
            break;
        }
    }
}

// The first search of a run, in a new process: it also makes the tables the
// search folds characters with.
void FindFirst(benchmark::State &state, int n) {
    Env &e = EnvFor(n);
    for (auto _ : state) {
        const QStringList got = RunChild("--child-find", e.dir.path(), nullptr).split(u'\n');
        if (got.size() != 2 || !got[1].startsWith(QStringLiteral("find "))) {
            state.SkipWithError(("child said: " + got.join(u'|').toStdString()).c_str());
            break;
        }
        state.SetIterationTime(got[1].mid(5).toDouble() / 1e3);
    }
}

void PeakMemory(benchmark::State &state, int n) {
    Env &e = EnvFor(n);
    double kb = 0;
    for (auto _ : state) {
        double s = 0;
        const QStringList got = RunChild("--child-rss", e.dir.path(), &s).split(u'\n');
        state.SetIterationTime(s);
        if (got.size() != 2 || got[0] != QStringLiteral("ready ") + QString::number(n) ||
            !got[1].startsWith(QStringLiteral("rss "))) {
            state.SkipWithError(("child said: " + got.join(u'|').toStdString()).c_str());
            break;
        }
        kb = got[1].mid(4).toDouble();
    }
    state.counters["rss_kb"] = kb;
    state.counters["file_kb"] = double(QFileInfo(e.ListFile()).size()) / 1024.0;
}

void HistoryMemory(benchmark::State &state, int n) {
    Env &e = EnvFor(n);
    double kb[2] = {0, 0};
    for (auto _ : state) {
        double seconds = 0;
        for (const int keep : {0, 1}) {
            double s = 0;
            const QStringList got =
                RunChild("--child-history", e.dir.path(), &s, {QString::number(keep)}).split(u'\n');
            seconds += s;
            if (got.size() != 3 || got[1] != QStringLiteral("changes %1").arg(keep ? 100 : 0) ||
                !got[2].startsWith(QStringLiteral("rss "))) {
                state.SkipWithError(("child said: " + got.join(u'|').toStdString()).c_str());
                return;
            }
            kb[keep] = got[2].mid(4).toDouble();
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

enum class ChildMode { Start, Rss, Find };

int Child(int argc, char **argv, ChildMode mode) {
    QApplication app(argc, argv);
    testing_support::TestPlatform platform(
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
    if (mode != ChildMode::Rss)
        std::_Exit(0);
    program.reset();
    SetPlatform(nullptr);
    PrintPeakMemory();
    return 0;
}

int ChildHistory(int argc, char **argv) {
    QApplication app(argc, argv);
    testing_support::TestPlatform platform(
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
            platform.colours = {i % 2 ? 0x000000FFu : 0x0000FF00u};
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
            f.History->clear();
    }
    if (!platform.events.isEmpty())
        std::printf("the program said: %s\n", platform.events.join(u'|').toUtf8().constData());
    std::printf("changes %d\n", f.History->count());
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

int PrintTable(const Collector &c, const std::vector<int> &sizes, int reps) {
    const auto get = [&c](const char *name, int n) -> const Result * {
        const auto it = c.results.find(Key(name, n));
        return it == c.results.end() || !it->second.error.empty() ? nullptr : &it->second;
    };
    int missed = 0;
    const auto verdict = [&missed](bool applies, bool ok) {
        if (!applies)
            return "";
        if (!ok)
            ++missed;
        return ok ? "met" : "NOT MET";
    };

    std::printf("\nQuorvel on generated lists: median of %d runs, milliseconds\n\n", reps);
    std::printf("%-9s  %-34s %10s %8s  %-22s %s\n", "memos", "measurement", "median", "ratio",
                "target", "");
    const char *const commands[][2] = {
        {"MoveUp", "move up"}, {"MoveToTop", "move to top"}, {"MoveToBottom", "move to bottom"},
        {"Colour", "colour"},  {"SaveEdit", "save edit"},    {"MoveToTrash", "move to trash"},
    };
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
            if (!r)
                return failed(label, applies);
            char ratio[32] = "";
            if (base && base->ms > 0)
                std::snprintf(ratio, sizeof ratio, "%.2f", r->ms / base->ms);
            const bool ok = base && base->ms > 0 && r->ms / base->ms <= limit;
            std::printf("%-9s  %-34s %10.2f %8s  %-22s %s\n", memos.c_str(), label, r->ms, ratio,
                        applies ? target : "", verdict(applies, ok));
        };
        row("floor: read whole + atomic write", floor, floor, "", false, 0);
        row("read + plain line split", split, floor, "", false, 0);
        row("LoadList (vs. read + split)", get("LoadList", n), split, "<= 2 x read+split",
            n >= 1000000, 2.0);
        const bool big = n >= 100000;
        for (const auto &cmd : commands)
            row(cmd[1], get(cmd[0], n), floor, "<= 2 x floor", big, 2.0);
        row("trash page show", get("TrashShow", n), floor, "", false, 0);
        row("restore (list + trash files)", get("Restore", n), floor, "", false, 0);
        row("print whole memos (recording)", get("PrintMemos", n), floor, "", false, 0);
        if (const Result *s = get("ScrollRepaint", n)) {
            const double worst = s->counters.count("max_ms") ? s->counters.at("max_ms") : 0;
            char label[64];
            std::snprintf(label, sizeof label, "scroll repaint (p99 %.2f, max %.2f)",
                          s->counters.count("p99_ms") ? s->counters.at("p99_ms") : 0, worst);
            std::printf("%-9s  %-34s %10.2f %8s  %-22s %s\n", memos.c_str(), label, s->ms, "",
                        n >= 1000000 ? "each < 16 ms" : "", verdict(n >= 1000000, worst < 16.0));
        }
        const auto absolute = [&](const char *label, const char *name, bool applies, double limit) {
            const Result *r = get(name, n);
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
        if (const Result *s = get("Startup", n))
            std::printf("%-9s  %-34s %10.2f %8s  %-22s %s\n", memos.c_str(),
                        "start-up to the shown window", s->ms, "", n == 100000 ? "< 500 ms" : "",
                        verdict(n == 100000, s->ms < 500.0));
    }

    const Result *empty = get("PeakMemory", 0);
    std::printf("\n%-9s  %-34s %10s %10s %8s  %-22s\n", "memos", "peak memory", "max RSS KB",
                "file KB", "ratio", "target");
    for (int n : sizes) {
        const Result *m = get("PeakMemory", n);
        if (!m || !empty)
            continue;
        const double above = m->counters.at("rss_kb") - empty->counters.at("rss_kb");
        const double file = m->counters.at("file_kb");
        const double ratio = file > 0 ? above / file : 0;
        std::printf("%-9s  %-34s %10.0f %10.0f %8.2f  %-22s %s\n", Thousands(n).c_str(),
                    "start, load, exit (above empty)", m->counters.at("rss_kb"), file, ratio,
                    n >= 1000000 ? "<= 3 x file" : "", verdict(n >= 1000000, ratio <= 3.0));
    }
    if (empty)
        std::printf("%-9s  %-34s %10.0f\n", "0", "empty list", empty->counters.at("rss_kb"));
    if (const Result *h = get("HistoryMemory", sizes.back());
        h && h->counters.count("rss_kb_kept")) {
        const double kept = h->counters.at("rss_kb_kept"),
                     dropped = h->counters.at("rss_kb_dropped");
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
    if (argc == 3 && std::string(argv[1]) == "--child-start")
        return Child(argc, argv, ChildMode::Start);
    if (argc == 3 && std::string(argv[1]) == "--child-rss")
        return Child(argc, argv, ChildMode::Rss);
    if (argc == 3 && std::string(argv[1]) == "--child-find")
        return Child(argc, argv, ChildMode::Find);
    if (argc == 4 && std::string(argv[1]) == "--child-history")
        return ChildHistory(argc, argv);
    if ((argc == 4 || argc == 5) && std::string(argv[1]) == "--generate")
        return WriteListFile(QString::fromLocal8Bit(argv[3]), std::atoi(argv[2]),
                             argc == 5 ? std::strtoull(argv[4], nullptr, 10) : 1)
                   ? 0
                   : 1;

    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const int reps = std::max(1, qEnvironmentVariableIntValue("QV_BENCH_REPS") > 0
                                     ? qEnvironmentVariableIntValue("QV_BENCH_REPS")
                                     : 5);
    const std::vector<int> sizes = Sizes();

    using Fn = void (*)(benchmark::State &, int);
    const std::pair<const char *, Fn> measurements[] = {
        {"Floor", Floor},
        {"ReadAndSplit", ReadAndSplit},
        {"LoadList", LoadList},
        {"MoveUp", MoveUp},
        {"MoveToTop", MoveToTop},
        {"MoveToBottom", MoveToBottom},
        {"Colour", Colour},
        {"SaveEdit", SaveEdit},
        {"MoveToTrash", MoveToTrash},
        {"TrashShow", TrashShow},
        {"Restore", Restore},
        {"PrintMemos", PrintMemos},
        {"ScrollRepaint", ScrollRepaint},
        {"FindAbsent", FindAbsent},
        {"FindAbsentLatin", FindAbsentLatin},
        {"FindCommon", FindCommon},
        {"FindFirst", FindFirst},
        {"Startup", Startup},
        {"PeakMemory", PeakMemory},
        {"HistoryMemory", HistoryMemory},
    };
    const auto add = [reps](const char *name, Fn fn, int n, int iterations) {
        benchmark::RegisterBenchmark(Key(name, n).c_str(), fn, n)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(iterations)
            ->Repetitions(reps);
    };
    add("PeakMemory", PeakMemory, 0, 1);
    for (int n : sizes) {
        const int iterations = n <= 10000 ? 20 : n <= 100000 ? 2 : 1;
        for (const auto &[name, fn] : measurements) {
            const bool once = std::string(name) == "Startup" || std::string(name) == "PeakMemory" ||
                              std::string(name) == "ScrollRepaint" ||
                              std::string(name) == "FindFirst";
            // A hundred changes on the biggest list only, once: it takes minutes.
            if (std::string(name) == "HistoryMemory") {
                if (n == sizes.back())
                    benchmark::RegisterBenchmark(Key(name, n).c_str(), fn, n)
                        ->UseManualTime()
                        ->Unit(benchmark::kMillisecond)
                        ->Iterations(1)
                        ->Repetitions(1);
                continue;
            }
            add(name, fn, n, once ? 1 : iterations);
        }
    }

    Collector collector;
    std::fprintf(stderr, "Running %zu sizes, %d runs each...\n", sizes.size(), reps);
    benchmark::RunSpecifiedBenchmarks(&collector);
    current.reset();
    benchmark::Shutdown();
    PrintTable(collector, sizes, reps);
    return 0;
}
