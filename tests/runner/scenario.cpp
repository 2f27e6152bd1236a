#include "tests/runner/scenario.h"

#include "platform/cp932.h"
#include "print/printsetting.h"
#include "settings/inifile.h"
#include "store/record.h"
#include "ui/Quorvelmain.h"
#include "ui/arguments.h"
#include "ui/program.h"
#include "ui/quickcapture.h"
#include "ui/widgets.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMap>
#include <QMenu>
#include <QMimeData>
#include <QRegularExpression>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <QUrl>
#include <exception>

namespace {

// A step that did not hold: the scenario stops here.
struct StepFailure {
    QString message;
};

[[noreturn]] void Fail(const QString &message) {
    throw StepFailure{message};
}

// "what: expected ..., got ..."; without what when the step's name says it all.
QString Expected(const QString &what, const QString &expected, const QString &got) {
    const QString core = QStringLiteral("expected %1, got %2").arg(expected, got);
    return what.isEmpty() ? core : what + QStringLiteral(": ") + core;
}

// The step's own words, as a reader finds it in the script: "expect caption".
QString StepName(const qvs::Step &step, int words) {
    QStringList parts;
    for (int i = 0; i < words && i < step.words.size(); ++i)
        parts << step.words[i].text();
    return parts.join(QLatin1Char(' '));
}

void NeedWords(const qvs::Step &step, int min, int max, const char *usage) {
    const int n = int(step.words.size());
    if (n < min || (max >= 0 && n > max))
        Fail(QStringLiteral("wrong number of words; the step reads: %1")
                 .arg(QString::fromUtf8(usage)));
}

QByteArray Bytes(const qvs::Word &w) {
    QString bad;
    const std::optional<QByteArray> b = w.bytes(&bad);
    if (!b)
        Fail(QStringLiteral("the character %1 of %2 has no code page 932 form")
                 .arg(qvs::QuoteText(bad), qvs::QuoteText(w.text())));
    return *b;
}

int Int(const qvs::Word &w, const char *what) {
    bool ok = false;
    const int v = w.text().toInt(&ok);
    if (!ok)
        Fail(QStringLiteral("%1 must be a whole number, not %2")
                 .arg(QString::fromUtf8(what), qvs::QuoteText(w.text())));
    return v;
}

bool Flag(const qvs::Word &w) {
    if (w.is("1"))
        return true;
    if (w.is("0"))
        return false;
    Fail(QStringLiteral("expected 0 or 1, not %1").arg(qvs::QuoteText(w.text())));
}

// A colour as the script writes it: a name or "$XXXXXXXX" as the program
// writes them, or "#RRGGBB" for a plain colour.
TColor Colour(const qvs::Word &w) {
    const QString t = w.text();
    if (t.startsWith(QLatin1Char('#')) && t.size() == 7) {
        bool ok = false;
        const uint rgb = t.mid(1).toUInt(&ok, 16);
        if (ok)
            return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
    }
    const std::optional<TColor> c = TryTextToColor(Bytes(w));
    if (!c)
        Fail(QStringLiteral("%1 is not a colour").arg(qvs::QuoteText(t)));
    return *c;
}

QString ColourText(TColor c) {
    return QString::fromLatin1(ColorToText(c));
}

QString QuoteList(const QStringList &texts) {
    if (texts.isEmpty())
        return QStringLiteral("nothing");
    QStringList q;
    for (const QString &t : texts)
        q << qvs::QuoteText(t);
    return q.join(QLatin1Char(' '));
}

QString QuoteByteList(const QList<QByteArray> &list) {
    if (list.isEmpty())
        return QStringLiteral("nothing");
    QStringList q;
    for (const QByteArray &b : list)
        q << qvs::QuoteBytes(b);
    return q.join(QLatin1Char(' '));
}

// One line of a print record as the script writes it.
QString RecordLine(const QStringList &words) {
    QStringList q;
    for (const QString &w : words) {
        const bool plain = !w.isEmpty() && !w.contains(QLatin1Char(' ')) &&
                           !w.contains(QLatin1Char('"')) && !w.contains(QLatin1Char('\t')) &&
                           qvs::QuoteText(w) == QLatin1Char('"') + w + QLatin1Char('"');
        q << (plain ? w : qvs::QuoteText(w));
    }
    return q.join(QLatin1Char(' '));
}

QStringList Texts(const qvs::Step &step, int from) {
    QStringList out;
    for (qsizetype i = from; i < step.words.size(); ++i)
        out << step.words[i].text();
    return out;
}

// "Form2", "Form3.Edit1": a dialog or one of its controls, never a menu item.
bool IsDialogName(const QString &name) {
    static const QRegularExpression dialog(QStringLiteral("^Form[2-9][0-9]*(\\.|$)"));
    return dialog.match(name).hasMatch();
}

// A key with its modifiers, as a step writes it: "ctrl+shift+z", "delete".
struct KeyPress {
    Qt::Key key = Qt::Key_unknown;
    Qt::KeyboardModifiers modifiers;
};

KeyPress ParseKeys(const qvs::Word &word) {
    static const QMap<QString, Qt::Key> named = {
        {QStringLiteral("up"), Qt::Key_Up},
        {QStringLiteral("down"), Qt::Key_Down},
        {QStringLiteral("left"), Qt::Key_Left},
        {QStringLiteral("right"), Qt::Key_Right},
        {QStringLiteral("home"), Qt::Key_Home},
        {QStringLiteral("end"), Qt::Key_End},
        {QStringLiteral("pageup"), Qt::Key_PageUp},
        {QStringLiteral("pagedown"), Qt::Key_PageDown},
        {QStringLiteral("delete"), Qt::Key_Delete},
        {QStringLiteral("backspace"), Qt::Key_Backspace},
        {QStringLiteral("return"), Qt::Key_Return},
        {QStringLiteral("enter"), Qt::Key_Enter},
        {QStringLiteral("escape"), Qt::Key_Escape},
        {QStringLiteral("tab"), Qt::Key_Tab},
        {QStringLiteral("space"), Qt::Key_Space},
    };
    const QString text = word.text();
    const QStringList parts = text.split(QLatin1Char('+'));
    KeyPress press;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString &p = parts[i];
        const bool last = i == parts.size() - 1;
        if (!last && p == QLatin1String("ctrl")) {
            press.modifiers |= Qt::ControlModifier;
        } else if (!last && p == QLatin1String("shift")) {
            press.modifiers |= Qt::ShiftModifier;
        } else if (!last && p == QLatin1String("alt")) {
            press.modifiers |= Qt::AltModifier;
        } else if (last && named.contains(p)) {
            press.key = named.value(p);
        } else if (last && p.size() == 1 && p[0] >= QLatin1Char('a') && p[0] <= QLatin1Char('z')) {
            press.key = Qt::Key(Qt::Key_A + (p[0].unicode() - 'a'));
        } else if (last && p.size() == 1 && p[0] >= QLatin1Char('0') && p[0] <= QLatin1Char('9')) {
            press.key = Qt::Key(Qt::Key_0 + (p[0].unicode() - '0'));
        } else if (last && p.size() >= 2 && p.size() <= 3 && p[0] == QLatin1Char('f') &&
                   p.mid(1).toInt() >= 1 && p.mid(1).toInt() <= 12) {
            press.key = Qt::Key(Qt::Key_F1 + p.mid(1).toInt() - 1);
        } else {
            Fail(
                QStringLiteral("unknown keys %1: modifiers ctrl, shift, alt joined by + to one key "
                               "(a-z, 0-9, f1-f12, up, down, left, right, home, end, pageup, "
                               "pagedown, delete, backspace, return, enter, escape, tab, space)")
                    .arg(qvs::QuoteText(text)));
        }
    }
    // The keypad's Enter; Shift+Tab arrives as Backtab, as from a keyboard.
    if (press.key == Qt::Key_Enter)
        press.modifiers |= Qt::KeypadModifier;
    if (press.key == Qt::Key_Tab && (press.modifiers & Qt::ShiftModifier))
        press.key = Qt::Key_Backtab;
    return press;
}

} // namespace

Scenario::Scenario(QString dir, QString startFolder)
    : dir_(std::move(dir)), startFolder_(std::move(startFolder)),
      platform_(dir_ + QStringLiteral("/quorvel")) {
    SetPlatform(&platform_);
    // A window of the program's own that waits for the user would stop the
    // run for good: close it and fail the step that opened it.
    modalGuard_ = new QTimer();
    modalGuard_->setInterval(200);
    QObject::connect(modalGuard_, &QTimer::timeout, [this] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        platform_.RecordFault(
            QStringLiteral("the program opened a window of its own that waits for the user: %1")
                .arg(qvs::QuoteText(modal->windowTitle())));
        if (auto *d = qobject_cast<QDialog *>(modal))
            d->reject();
        else
            modal->close();
    });
    modalGuard_->start();
}

Scenario::~Scenario() {
    if (program_) {
        try {
            CloseProgram();
        } catch (...) {
        }
    }
    delete modalGuard_;
    SetPlatform(nullptr);
}

Scenario::Outcome Scenario::Run(const qvs::Script &script) {
    for (const qvs::Step &step : script.steps) {
        try {
            Execute(step);
            Settle();
            const QString fault = platform_.TakeFault();
            if (!fault.isEmpty())
                Fail(fault);
        } catch (const StepFailure &f) {
            return Outcome{false, step.line, StepName(step, 2) + QStringLiteral(": ") + f.message};
        } catch (const std::exception &e) {
            return Outcome{false, step.line,
                           StepName(step, 2) +
                               QStringLiteral(": the runner caught an exception: ") +
                               QString::fromLocal8Bit(e.what())};
        }
    }
    // The file ends: the program is closed as the user would close it.
    if (capture_ && !program_) {
        CloseCapture();
        const QString fault = platform_.TakeFault();
        if (!fault.isEmpty())
            return Outcome{false, script.lastLine, QStringLiteral("at the end: ") + fault};
    }
    if (program_) {
        CloseProgram();
        const QString fault = platform_.TakeFault();
        if (!fault.isEmpty())
            return Outcome{false, script.lastLine, QStringLiteral("at the end: ") + fault};
    }
    const QString left = Leftover();
    if (!left.isEmpty())
        return Outcome{false, script.lastLine, QStringLiteral("at the end: ") + left};
    return Outcome{};
}

// --- The program's run --------------------------------------------------------

TForm1 &Scenario::Form1() {
    if (!program_)
        Fail(QStringLiteral("the program is not running"));
    return program_->form1();
}

void Scenario::Start(const QStringList &args) {
    // The command line as the program entry reads it; relative paths are
    // taken from the program's folder.
    const Arguments a = ParseArguments(args, dir_);
    if (a.mode == Arguments::Mode::Error)
        Fail(QStringLiteral("the program refuses the arguments: ") + a.error);
    if (a.mode != Arguments::Mode::Window)
        Fail(QStringLiteral("start takes no argument, FILE or --new-memo; the other forms "
                            "run without a window"));
    if (!program_ && capture_ && a.request.kind == WindowRequest::Kind::NewMemo)
        Fail(QStringLiteral("quick capture shows alone already"));
    // As the program entry does: the title, then the request goes to the
    // window that runs, or the main window is made (FormCreate) with the
    // hidden dialogs and shown, or quick capture is shown alone.
    InitApplication();
    Started started = StartProgram(a.request);
    if (started.program) {
        closedByProgram_ = false;
        program_ = std::move(started.program);
        QObject::connect(&program_->form1(), &TForm1::Closed, [this] { closedByProgram_ = true; });
        ActivateWindow();
    } else if (started.capture) {
        capture_ = std::move(started.capture);
        ActivateWindow(capture_.get());
    }
}

void Scenario::CloseCapture() {
    if (capture_ && capture_->isVisible())
        capture_->close();
    QCoreApplication::processEvents();
    capture_.reset();
    QCoreApplication::processEvents();
}

void Scenario::ActivateWindow(QWidget *window) {
    QWidget *w = window ? window->window() : &Form1();
    if (QApplication::activeWindow() == w)
        return;
    w->activateWindow();
    QCoreApplication::processEvents();
    if (QApplication::activeWindow() != w)
        QApplication::setActiveWindow(w);
    QCoreApplication::processEvents();
}

void Scenario::CloseProgram() {
    if (!program_)
        return;
    if (program_->form1().isVisible())
        program_->form1().close();
    QCoreApplication::processEvents();
    // The message loop ends: both windows are destroyed, FormDestroy runs.
    program_.reset();
    closedByProgram_ = false;
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void Scenario::Settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    if (program_ && closedByProgram_)
        CloseProgram();
    // Quick capture alone ends the run of the program when it closes.
    if (capture_ && !capture_->isVisible())
        CloseCapture();
}

QString Scenario::Leftover() const {
    if (!platform_.boxes.isEmpty()) {
        const ScriptedPlatform::Box &b = platform_.boxes.first();
        return QStringLiteral("%1 that no step expected: %2")
            .arg(b.error      ? QStringLiteral("an error report")
                 : b.question ? QStringLiteral("a question box")
                              : QStringLiteral("a message box"),
                 qvs::QuoteText(b.text));
    }
    if (!platform_.starts.isEmpty()) {
        const ScriptedPlatform::StartRequest &s = platform_.starts.first();
        return QStringLiteral("a start request that no step expected: %1 %2")
            .arg(s.viewer ? QStringLiteral("viewer") : QStringLiteral("url"),
                 qvs::QuoteText(s.target));
    }
    if (!platform_.pendingAnswers().isEmpty()) {
        const ScriptedPlatform::Answer &a = platform_.pendingAnswers().first();
        return QStringLiteral(
                   "the answer for the %1 dialog from line %2 was not taken by any dialog")
            .arg(ScriptedPlatform::DialogName(a.kind))
            .arg(a.line);
    }
    return QString();
}

QString Scenario::Path(const QString &name) const {
    if (QFileInfo(name).isAbsolute())
        return name;
    return dir_ + QLatin1Char('/') + name;
}

// --- Controls --------------------------------------------------------------------

QWidget *Scenario::Dialog(const QString &form) {
    if (!Running())
        Form1(); // fails: the program is not running
    // The print settings dialog is the program's Form2, quick capture its
    // Form4 (or the one shown alone); the others are found among the
    // top-level windows by their names.
    QWidget *w = nullptr;
    if (form == QLatin1String("Form2")) {
        w = Form2;
    } else if (form == QLatin1String("Form4")) {
        w = capture_ ? static_cast<QWidget *>(capture_.get()) : &program_->form4();
    } else {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->objectName() == form)
                w = top;
    }
    if (!w)
        Fail(QStringLiteral("the program has no dialog %1").arg(form));
    return w;
}

QWidget *Scenario::Control(const QString &name) {
    // "Form2.SpinEdit1", "Form3.Edit1": a control of a dialog.
    static const QRegularExpression dialogControl(QStringLiteral("^(Form[0-9]+)(?:\\.(.+))?$"));
    const QRegularExpressionMatch m = dialogControl.match(name);
    if (m.hasMatch() && m.captured(1) != QLatin1String("Form1")) {
        QWidget *dialog = Dialog(m.captured(1));
        if (m.captured(2).isEmpty())
            return dialog;
        QWidget *w = dialog->findChild<QWidget *>(m.captured(2));
        if (!w)
            Fail(QStringLiteral("the dialog %1 has no control %2 (no child widget with that "
                                "objectName)")
                     .arg(m.captured(1), m.captured(2)));
        return w;
    }
    QWidget *w = Form1().findChild<QWidget *>(name);
    if (!w)
        Fail(QStringLiteral("the program has no control %1").arg(name));
    return w;
}

QWidget *Scenario::ReachableControl(const QString &name) {
    QWidget *w = Control(name);
    if (!w->isVisible())
        Fail(QStringLiteral("%1 is not visible (hidden, or on a page that is not showing)")
                 .arg(name));
    if (!w->isEnabled())
        Fail(QStringLiteral("%1 is disabled").arg(name));
    return w;
}

QAction *Scenario::MenuItem(const QString &name) {
    TForm1 &f = Form1();
    for (QAction *a : f.findChildren<QAction *>(name))
        if (!a->isSeparator())
            return a;
    return nullptr;
}

QList<QAction *> Scenario::RecentItems() {
    TForm1 &f = Form1();
    QList<QAction *> out;
    const QList<QAction *> all = f.N2->actions();
    for (qsizetype i = 7; i < all.size(); ++i)
        if (!all[i]->isSeparator() && all[i]->isVisible())
            out << all[i];
    return out;
}

// --- Steps -----------------------------------------------------------------------

void Scenario::Execute(const qvs::Step &step) {
    const qvs::Word &verb = step.words.first();
    const auto &w = step.words;

    if (verb.is("file")) {
        NeedWords(step, 3, 3, "file NAME TEXT");
        const QString path = Path(w[1].text());
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            Fail(QStringLiteral("cannot write %1: %2").arg(path, f.errorString()));
        const QByteArray data = Bytes(w[2]);
        if (f.write(data) != data.size())
            Fail(QStringLiteral("cannot write %1: %2").arg(path, f.errorString()));
    } else if (verb.is("delete")) {
        NeedWords(step, 2, 2, "delete NAME");
        const QString path = Path(w[1].text());
        const QFileInfo info(path);
        if (info.isDir() && !info.isSymLink())
            QDir(path).removeRecursively();
        else if (info.exists() || info.isSymLink())
            QFile::remove(path);
        if (QFileInfo::exists(path))
            Fail(QStringLiteral("cannot delete %1").arg(path));
    } else if (verb.is("mkdir")) {
        NeedWords(step, 2, 2, "mkdir NAME");
        if (!QDir().mkpath(Path(w[1].text())))
            Fail(QStringLiteral("cannot create the folder %1").arg(Path(w[1].text())));
    } else if (verb.is("start")) {
        Start(Texts(step, 1));
    } else if (verb.is("close")) {
        NeedWords(step, 1, 1, "close");
        if (!capture_)
            Form1();
        // What the run showed so far must have been expected; what shut-down
        // shows may still be expected by the steps after this one.
        const QString left = Leftover();
        if (!left.isEmpty())
            Fail(left);
        if (program_)
            CloseProgram();
        else
            CloseCapture();
    } else if (verb.is("screenshot")) {
        NeedWords(step, 2, 3, "screenshot [Form2|Form3|Form4] FILE");
        QWidget *target = w.size() == 3 ? nullptr : &Form1();
        if (w.size() == 3) {
            if (!IsDialogName(w[1].text()) || w[1].text().contains(QLatin1Char('.')))
                Fail(QStringLiteral(
                    "only a dialog (Form2, Form3, Form4) can be named before the file"));
            target = Dialog(w[1].text());
        }
        const QString file = QDir(startFolder_).absoluteFilePath(w.last().text());
        QDir().mkpath(QFileInfo(file).absolutePath());
        if (!target->grab().save(file, "PNG"))
            Fail(QStringLiteral("cannot write the picture %1").arg(file));
    } else if (verb.is("click")) {
        ExecuteClick(step);
    } else if (verb.is("select") || verb.is("dblclick")) {
        NeedWords(step, 3, 3, "select|dblclick NAME INDEX");
        auto *list = qobject_cast<TitleListView *>(ReachableControl(w[1].text()));
        if (!list)
            Fail(QStringLiteral("%1 is not a list").arg(w[1].text()));
        const int row = Int(w[2], "INDEX");
        const int count = list->titleModel()->count();
        if (row == -1 && verb.is("select")) {
            list->setItemIndex(-1);
            return;
        }
        if (row < 0 || row >= count)
            Fail(QStringLiteral("%1 has no row %2 (it has %3)")
                     .arg(w[1].text())
                     .arg(row)
                     .arg(count));
        const QModelIndex idx = list->titleModel()->index(row);
        list->scrollTo(idx);
        QCoreApplication::processEvents();
        const QPoint at = list->visualRect(idx).center();
        QWidget *vp = list->viewport();
        QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, at);
        if (verb.is("dblclick")) {
            // The second press of a double click arrives as a double-click event.
            QTest::mouseDClick(vp, Qt::LeftButton, Qt::NoModifier, at);
            QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, at);
        }
    } else if (verb.is("type")) {
        NeedWords(step, 3, 3, "type NAME TEXT");
        QWidget *c = ReachableControl(w[1].text());
        if (auto *memo = qobject_cast<MemoEdit *>(c)) {
            // Typing goes where the keyboard focus is: the user clicks into the area first.
            ActivateWindow(memo);
            memo->setFocus(Qt::MouseFocusReason);
            QCoreApplication::processEvents();
            // The user selects everything and types over it: one edit that the
            // area's own Ctrl+Z takes back.
            QString typed = w[2].text();
            typed.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            typed.replace(QLatin1Char('\r'), QLatin1Char('\n'));
            QTextCursor cursor(memo->document());
            cursor.select(QTextCursor::Document);
            cursor.insertText(typed);
            memo->setTextCursor(cursor);
        } else if (auto *spin = qobject_cast<QAbstractSpinBox *>(c)) {
            auto *edit = spin->findChild<QLineEdit *>();
            if (!edit)
                Fail(QStringLiteral("%1 has no edit field").arg(w[1].text()));
            spin->setFocus(Qt::MouseFocusReason);
            edit->setText(w[2].text());
        } else if (auto *edit = qobject_cast<QLineEdit *>(c)) {
            ActivateWindow(edit);
            edit->setFocus(Qt::MouseFocusReason);
            // Typed over everything: one edit that the field's own Ctrl+Z takes back.
            edit->selectAll();
            edit->insert(w[2].text());
        } else {
            Fail(QStringLiteral("%1 takes no typed text").arg(w[1].text()));
        }
    } else if (verb.is("choose")) {
        NeedWords(step, 3, 3, "choose Form2.ComboBox1 INDEX");
        auto *combo = qobject_cast<QComboBox *>(ReachableControl(w[1].text()));
        if (!combo)
            Fail(QStringLiteral("%1 is not a combo box").arg(w[1].text()));
        const int index = Int(w[2], "INDEX");
        if (index < -1 || index >= combo->count())
            Fail(QStringLiteral("%1 has no item %2 (it has %3)")
                     .arg(w[1].text())
                     .arg(index)
                     .arg(combo->count()));
        combo->setCurrentIndex(index);
    } else if (verb.is("pointer") || verb.is("tab")) {
        NeedWords(step, 2, 2, "pointer TAB|none / tab TAB");
        PageTabBar *bar = Form1().PageControl1->pageTabBar();
        if (verb.is("pointer") && w[1].is("none")) {
            platform_.SetCursor(PointerNowhere());
            return;
        }
        const int tab = Int(w[1], "TAB");
        if (tab < 0 || tab >= bar->count())
            Fail(QStringLiteral("PageControl1 has no tab %1").arg(tab));
        const QPoint centre = bar->tabRect(tab).center();
        platform_.SetCursor(bar->mapToGlobal(centre));
        if (verb.is("tab")) {
            if (!bar->isVisible())
                Fail(QStringLiteral("the tabs of PageControl1 are not visible"));
            QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, centre);
        }
    } else if (verb.is("key")) {
        NeedWords(step, 2, 3, "key [NAME] KEYS");
        if (w.size() == 3) {
            // A key press where the user gave the focus: the control's own
            // keys, and the shortcuts of its window and menus.
            const KeyPress keys = ParseKeys(w[2]);
            QWidget *c = ReachableControl(w[1].text());
            ActivateWindow(c);
            c->setFocus(Qt::OtherFocusReason);
            QCoreApplication::processEvents();
            QTest::keyClick(c, keys.key, keys.modifiers);
            return;
        }
        QWidget *pages = ReachableControl(QStringLiteral("PageControl1"));
        ActivateWindow();
        if (w[1].is("ctrl+tab"))
            QTest::keyClick(pages, Qt::Key_Tab, Qt::ControlModifier);
        else if (w[1].is("ctrl+shift+tab"))
            QTest::keyClick(pages, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        else
            Fail(QStringLiteral("unknown keys %1 (ctrl+tab or ctrl+shift+tab)")
                     .arg(qvs::QuoteText(w[1].text())));
    } else if (verb.is("drop")) {
        NeedWords(step, 3, -1, "drop NAME PATH...");
        QList<QUrl> files;
        for (qsizetype i = 2; i < w.size(); ++i)
            files << QUrl::fromLocalFile(Path(w[i].text()));
        Drop(ReachableControl(w[1].text()), files);
    } else if (verb.is("drag")) {
        NeedWords(step, 4, 4, "drag ListBox1 FROM TO|end");
        Drag(w[1].text(), Int(w[2], "FROM"), w[3].is("end") ? -1 : Int(w[3], "TO"));
    } else if (verb.is("wait")) {
        NeedWords(step, 2, 2, "wait MS");
        const int ms = Int(w[1], "MS");
        if (ms < 0 || ms > 5000)
            Fail(QStringLiteral("MS must lie between 0 and 5000"));
        Wait(ms);
    } else if (verb.is("focus")) {
        NeedWords(step, 2, 2, "focus NAME");
        QWidget *c = ReachableControl(w[1].text());
        ActivateWindow(c);
        c->setFocus(Qt::OtherFocusReason);
    } else if (verb.is("answer")) {
        ExecuteAnswer(step);
    } else if (verb.is("expect")) {
        ExecuteExpect(step);
    } else {
        Fail(QStringLiteral("unknown step %1").arg(qvs::QuoteText(verb.text())));
    }
}

void Scenario::Drag(const QString &name, int from, int to) {
    auto *list = qobject_cast<TitleListView *>(ReachableControl(name));
    if (!list || name != QLatin1String("ListBox1"))
        Fail(QStringLiteral("only ListBox1 takes a drag"));
    const int count = list->titleModel()->count();
    if (from < 0 || from >= count || to < -1 || to >= count)
        Fail(QStringLiteral("%1 has no row %2 (it has %3)")
                 .arg(name)
                 .arg(from < 0 || from >= count ? from : to)
                 .arg(count));
    ActivateWindow(list);
    QWidget *vp = list->viewport();
    const QModelIndex start = list->titleModel()->index(from);
    list->scrollTo(start);
    QCoreApplication::processEvents();
    const QPoint pressed = list->visualRect(start).center();
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, pressed);
    // Where the button is let go: on row TO (end: below the last row).
    const QModelIndex target = list->titleModel()->index(to >= 0 ? to : count - 1);
    list->scrollTo(target);
    QCoreApplication::processEvents();
    const QRect r = list->visualRect(target);
    const QPoint released =
        to >= 0 ? r.center()
                : QPoint(r.center().x(), qMin(r.bottom() + r.height() / 2 + 1, vp->height() - 1));
    // The pointer travels in a few steps, the first beyond the drag distance.
    const int distance = QApplication::startDragDistance() + 1;
    const QPoint away = pressed + QPoint(0, released.y() >= pressed.y() ? distance : -distance);
    QTest::mouseMove(vp, away);
    constexpr int steps = 4;
    for (int i = 1; i <= steps; ++i)
        QTest::mouseMove(vp, away + (released - away) * i / steps);
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, released);
}

void Scenario::Drop(QWidget *c, const QList<QUrl> &files) {
    ActivateWindow(c);
    // The pointer is over the middle of the control: over a list or text
    // area, over the part that shows its rows or text.
    QWidget *under = c;
    if (auto *area = qobject_cast<QAbstractScrollArea *>(c))
        under = area->viewport();
    const QPoint at = under->rect().center();
    QMimeData data;
    data.setUrls(files);
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    // The drag comes over the control, moves, and is let go; a drag that no
    // widget there takes is not dropped at all.
    QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(under, &enter);
    if (!enter.isAccepted())
        return;
    QDragMoveEvent move(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(under, &move);
    if (!move.isAccepted())
        return;
    QDropEvent drop(QPointF(at), offered, &data, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(under, &drop);
}

void Scenario::Wait(int ms) {
    // The desktop's notices of what changed on disk since the last wait
    // reach the program now, whatever the time the steps before took.
    platform_.DeliverFileNotices();
    QTest::qWait(ms);
}

void Scenario::ExecuteClick(const qvs::Step &step) {
    NeedWords(step, 2, 3, "click NAME / click recent K");
    const auto &w = step.words;
    if (w[1].is("recent")) {
        NeedWords(step, 3, 3, "click recent K");
        const int k = Int(w[2], "K");
        const QList<QAction *> items = RecentItems();
        if (k < 1 || k > items.size())
            Fail(QStringLiteral("the File menu has no recent entry %1 (it shows %2)")
                     .arg(k)
                     .arg(items.size()));
        if (!items[k - 1]->isEnabled())
            Fail(QStringLiteral("recent entry %1 is disabled").arg(k));
        items[k - 1]->trigger();
        return;
    }
    NeedWords(step, 2, 2, "click NAME");
    const QString name = w[1].text();
    if (QAction *a = IsDialogName(name) ? nullptr : MenuItem(name)) {
        TForm1 &f = Form1();
        // Items of a context menu are there while their list is on the showing page.
        if (f.PopupMenu1->actions().contains(a) && !f.ListBox1->isVisible())
            Fail(QStringLiteral("%1 is in the context menu of ListBox1, whose page is not showing")
                     .arg(name));
        if (f.PopupMenu2->actions().contains(a) && !f.ListBox3->isVisible())
            Fail(QStringLiteral("%1 is in the context menu of ListBox3, whose page is not showing")
                     .arg(name));
        if (!a->isEnabled())
            Fail(QStringLiteral("the menu item %1 is disabled").arg(name));
        a->trigger();
        return;
    }
    QWidget *c = ReachableControl(name);
    auto *button = qobject_cast<QAbstractButton *>(c);
    if (!button)
        Fail(QStringLiteral("%1 is not a button, check box or menu item").arg(name));
    // A check box reacts to a click on its box; a button anywhere on its face.
    const QPoint at = qobject_cast<QCheckBox *>(button)
                          ? QPoint(qMin(6, button->width() / 2), button->height() / 2)
                          : button->rect().center();
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, at);
}

void Scenario::ExecuteAnswer(const qvs::Step &step) {
    NeedWords(step, 3, 3, "answer KIND VALUE|cancel / answer question yes|no");
    const auto &w = step.words;
    ScriptedPlatform::Answer a;
    a.line = step.line;
    const QString kind = w[1].text();
    if (kind == QLatin1String("input"))
        a.kind = ScriptedPlatform::Dialog::Input;
    else if (kind == QLatin1String("open"))
        a.kind = ScriptedPlatform::Dialog::Open;
    else if (kind == QLatin1String("save"))
        a.kind = ScriptedPlatform::Dialog::Save;
    else if (kind == QLatin1String("color"))
        a.kind = ScriptedPlatform::Dialog::Color;
    else if (kind == QLatin1String("print"))
        a.kind = ScriptedPlatform::Dialog::Print;
    else if (kind == QLatin1String("question"))
        a.kind = ScriptedPlatform::Dialog::Question;
    else
        Fail(QStringLiteral("unknown dialog %1 (input, open, save, color, print, question)")
                 .arg(qvs::QuoteText(kind)));
    // An unquoted cancel is the Cancel button; "cancel" quoted is the text itself.
    a.cancel = w[2].is("cancel") && !w[2].quoted;
    if (a.kind == ScriptedPlatform::Dialog::Question) {
        // はい or いいえ: the box has no Cancel; いいえ is kept as one.
        if (w[2].quoted || !(w[2].is("yes") || w[2].is("no")))
            Fail(QStringLiteral("a question is answered yes or no, not %1")
                     .arg(qvs::QuoteText(w[2].text())));
        a.cancel = w[2].is("no");
    } else if (!a.cancel) {
        switch (a.kind) {
        case ScriptedPlatform::Dialog::Input:
        case ScriptedPlatform::Dialog::Open:
        case ScriptedPlatform::Dialog::Save:
            a.text = w[2].text();
            break;
        case ScriptedPlatform::Dialog::Color:
            a.color = Colour(w[2]);
            break;
        case ScriptedPlatform::Dialog::Print:
            a.dpi = Int(w[2], "DPI");
            if (a.dpi <= 0)
                Fail(QStringLiteral("DPI must be positive"));
            break;
        case ScriptedPlatform::Dialog::Question:
            break;
        }
    }
    platform_.Queue(a);
}

void Scenario::ExecuteExpect(const qvs::Step &step) {
    NeedWords(step, 2, -1, "expect WHAT ...");
    const auto &w = step.words;
    const qvs::Word &what = w[1];

    if (what.is("caption") || what.is("status")) {
        NeedWords(step, 3, 3, "expect caption|status TEXT");
        TForm1 &f = Form1();
        const QString got = what.is("caption") ? f.windowTitle() : f.StatusText();
        if (got != w[2].text())
            Fail(Expected(QString(), qvs::QuoteText(w[2].text()), qvs::QuoteText(got)));
    } else if (what.is("page")) {
        NeedWords(step, 3, 3, "expect page INDEX");
        const int got = Form1().PageControl1->currentIndex();
        const int want = Int(w[2], "INDEX");
        if (got != want)
            Fail(Expected(QString(), QString::number(want), QString::number(got)));
    } else if (what.is("rows")) {
        NeedWords(step, 3, -1, "expect rows NAME TEXT...");
        auto *list = qobject_cast<TitleListView *>(Control(w[2].text()));
        if (!list)
            Fail(QStringLiteral("%1 is not a list").arg(w[2].text()));
        QStringList got;
        for (const QByteArray &t : list->titleModel()->titles())
            got << DecodeCp932(t);
        const QStringList want = Texts(step, 3);
        if (got != want)
            Fail(Expected(QStringLiteral("rows of ") + w[2].text(), QuoteList(want),
                          QuoteList(got)));
    } else if (what.is("raw")) {
        const QList<QByteArray> got = Form1().ListBox2.ToList();
        QList<QByteArray> want;
        for (qsizetype i = 2; i < w.size(); ++i)
            want << Bytes(w[i]);
        if (got != want)
            Fail(Expected(QStringLiteral("raw list"), QuoteByteList(want), QuoteByteList(got)));
    } else if (what.is("selected")) {
        NeedWords(step, 4, 4, "expect selected NAME INDEX");
        auto *list = qobject_cast<TitleListView *>(Control(w[2].text()));
        if (!list)
            Fail(QStringLiteral("%1 is not a list").arg(w[2].text()));
        const int want = Int(w[3], "INDEX");
        const int got = list->itemIndex();
        if (got != want)
            Fail(Expected(QStringLiteral("selected row of ") + w[2].text(), QString::number(want),
                          QString::number(got)));
    } else if (what.is("text")) {
        NeedWords(step, 4, 4, "expect text NAME TEXT");
        QWidget *c = Control(w[2].text());
        QString got;
        if (auto *memo = qobject_cast<MemoEdit *>(c)) {
            got = memo->text();
        } else if (auto *spin = qobject_cast<QAbstractSpinBox *>(c)) {
            auto *edit = spin->findChild<QLineEdit *>();
            got = edit ? edit->text() : spin->text();
        } else if (auto *edit = qobject_cast<QLineEdit *>(c)) {
            got = edit->text();
        } else {
            Fail(QStringLiteral("%1 has no text to compare").arg(w[2].text()));
        }
        if (got != w[3].text())
            Fail(Expected(QStringLiteral("text of ") + w[2].text(), qvs::QuoteText(w[3].text()),
                          qvs::QuoteText(got)));
    } else if (what.is("checked")) {
        NeedWords(step, 4, 4, "expect checked NAME 0|1");
        const QString name = w[2].text();
        const bool want = Flag(w[3]);
        bool got = false;
        if (QAction *a = IsDialogName(name) ? nullptr : MenuItem(name)) {
            got = a->isChecked();
        } else {
            auto *b = qobject_cast<QAbstractButton *>(Control(name));
            if (!b)
                Fail(QStringLiteral("%1 cannot be checked").arg(name));
            got = b->isChecked();
        }
        if (got != want)
            Fail(Expected(name + QStringLiteral(" checked"), QString::number(int(want)),
                          QString::number(int(got))));
    } else if (what.is("label")) {
        NeedWords(step, 4, 4, "expect label NAME TEXT");
        QAction *a = MenuItem(w[2].text());
        if (!a)
            Fail(QStringLiteral("the program has no menu item %1").arg(w[2].text()));
        if (a->text() != w[3].text())
            Fail(Expected(QStringLiteral("label of ") + w[2].text(), qvs::QuoteText(w[3].text()),
                          qvs::QuoteText(a->text())));
    } else if (what.is("recent")) {
        QStringList got;
        for (QAction *a : RecentItems())
            got << QString(a->text()).replace(QStringLiteral("&&"), QStringLiteral("&"));
        const QStringList want = Texts(step, 2);
        if (got != want)
            Fail(Expected(QStringLiteral("recent entries"), QuoteList(want), QuoteList(got)));
    } else if (what.is("visible")) {
        NeedWords(step, 4, 4, "expect visible Form2|Form3|Form4 0|1");
        const QString form = w[2].text();
        if (!IsDialogName(form) || form.contains(QLatin1Char('.')))
            Fail(QStringLiteral(
                "only a dialog (Form2, Form3, Form4) can be expected visible or hidden"));
        const bool want = Flag(w[3]);
        // With the program ended none of its windows shows.
        const bool got = Running() && Dialog(form)->isVisible();
        if (got != want)
            Fail(Expected(form + QStringLiteral(" visible"), QString::number(int(want)),
                          QString::number(int(got))));
    } else if (what.is("enabled")) {
        NeedWords(step, 4, 4, "expect enabled NAME 0|1");
        const QString name = w[2].text();
        const bool want = Flag(w[3]);
        QAction *a = IsDialogName(name) ? nullptr : MenuItem(name);
        const bool got = a ? a->isEnabled() : Control(name)->isEnabled();
        if (got != want)
            Fail(Expected(name + QStringLiteral(" enabled"), QString::number(int(want)),
                          QString::number(int(got))));
    } else if (what.is("combo")) {
        NeedWords(step, 3, 3, "expect combo INDEX");
        auto *combo = qobject_cast<QComboBox *>(Control(QStringLiteral("Form2.ComboBox1")));
        if (!combo)
            Fail(QStringLiteral("Form2.ComboBox1 is not a combo box"));
        const int want = Int(w[2], "INDEX");
        if (combo->currentIndex() != want)
            Fail(Expected(QStringLiteral("selected item of Form2.ComboBox1"), QString::number(want),
                          QString::number(combo->currentIndex())));
    } else if (what.is("rowcolor")) {
        NeedWords(step, 4, 4, "expect rowcolor INDEX COLOUR");
        TForm1 &f = Form1();
        const int row = Int(w[2], "INDEX");
        const TColor want = Colour(w[3]);
        TitleListView *list = f.ListBox1;
        if (row < 0 || row >= list->titleModel()->count())
            Fail(QStringLiteral("ListBox1 has no row %1 (it has %2)")
                     .arg(row)
                     .arg(list->titleModel()->count()));
        list->doItemsLayout();
        list->scrollTo(list->titleModel()->index(row));
        QCoreApplication::processEvents();
        f.ListBox1Fills.clear();
        (void)list->viewport()->grab();
        const auto it = f.ListBox1Fills.constFind(row);
        if (it == f.ListBox1Fills.constEnd())
            Fail(QStringLiteral("painting ListBox1 did not fill row %1").arg(row));
        if (*it != want)
            Fail(Expected(QStringLiteral("fill of row %1").arg(row), ColourText(want),
                          ColourText(*it)));
    } else if (what.is("message") || what.is("error") || what.is("question")) {
        NeedWords(step, 3, 3, "expect message|error|question TEXT");
        const bool error = what.is("error");
        const bool question = what.is("question");
        const QString want = w[2].text();
        if (platform_.boxes.isEmpty())
            Fail(Expected(QString(), qvs::QuoteText(want), QStringLiteral("no message box")));
        const ScriptedPlatform::Box box = platform_.boxes.takeFirst();
        const QString gotKind = box.error      ? QStringLiteral("the error report ")
                                : box.question ? QStringLiteral("a question box ")
                                               : QStringLiteral("a message box ");
        if (box.error != error || box.question != question || box.text != want)
            Fail(Expected(QString(), qvs::QuoteText(want), gotKind + qvs::QuoteText(box.text)));
        if (!error && !box.afterBeep)
            Fail(QStringLiteral("the box %1 came without the beep before it")
                     .arg(qvs::QuoteText(box.text)));
    } else if (what.is("started")) {
        NeedWords(step, 4, 4, "expect started viewer|url TARGET");
        bool viewer = false;
        if (w[2].is("viewer"))
            viewer = true;
        else if (!w[2].is("url"))
            Fail(QStringLiteral("expect started viewer PATH, or url ADDRESS"));
        const QString want = w[3].text();
        const QString wantText = w[2].text() + QLatin1Char(' ') + qvs::QuoteText(want);
        if (platform_.starts.isEmpty())
            Fail(Expected(QString(), wantText, QStringLiteral("no start request")));
        const ScriptedPlatform::StartRequest s = platform_.starts.takeFirst();
        if (s.viewer != viewer || s.target != want)
            Fail(Expected(QString(), wantText,
                          (s.viewer ? QStringLiteral("viewer ") : QStringLiteral("url ")) +
                              qvs::QuoteText(s.target)));
    } else if (what.is("file")) {
        NeedWords(step, 4, 4, "expect file NAME TEXT");
        const QString path = Path(w[2].text());
        const QByteArray want = Bytes(w[3]);
        const QFileInfo info(path);
        if (!info.exists())
            Fail(Expected(QStringLiteral("file ") + w[2].text(), qvs::QuoteBytes(want),
                          QStringLiteral("no file")));
        if (info.isDir())
            Fail(Expected(QStringLiteral("file ") + w[2].text(), qvs::QuoteBytes(want),
                          QStringLiteral("a folder")));
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            Fail(QStringLiteral("cannot read %1: %2").arg(path, f.errorString()));
        const QByteArray got = f.readAll();
        if (got != want)
            Fail(Expected(QStringLiteral("file ") + w[2].text(), qvs::QuoteBytes(want),
                          qvs::QuoteBytes(got)));
    } else if (what.is("nofile")) {
        NeedWords(step, 3, 3, "expect nofile NAME");
        const QFileInfo info(Path(w[2].text()));
        if (info.exists() || info.isSymLink())
            Fail(Expected(QStringLiteral("nofile ") + w[2].text(), QStringLiteral("no file"),
                          info.isDir() ? QStringLiteral("a folder") : QStringLiteral("a file")));
    } else if (what.is("ini") || what.is("noini")) {
        const bool present = what.is("ini");
        if (present)
            NeedWords(step, 5, 5, "expect ini SECTION KEY TEXT");
        else
            NeedWords(step, 4, 4, "expect noini SECTION KEY");
        const QString ini = dir_ + QStringLiteral("/quorvel.ini");
        // A value never holds a line end: "\n" stands for a missing key.
        const QByteArray missing("\n");
        const QByteArray got = Ini::ReadString(ini, Bytes(w[2]), Bytes(w[3]), missing);
        const QString key = w[2].text() + QLatin1Char(' ') + w[3].text();
        const QString gotText =
            got == missing ? QStringLiteral("no such key") : qvs::QuoteBytes(got);
        if (present) {
            const QByteArray want = Bytes(w[4]);
            if (got != want)
                Fail(Expected(QStringLiteral("ini ") + key, qvs::QuoteBytes(want), gotText));
        } else if (got != missing) {
            Fail(Expected(QStringLiteral("noini ") + key, QStringLiteral("no such key"), gotText));
        }
    } else if (what.is("printed")) {
        NeedWords(step, 3, 3, "expect printed <<END");
        const QString body = w[2].text();
        QList<QStringList> want;
        if (!body.isEmpty()) {
            const QStringList lines = body.split(QLatin1Char('\n'));
            for (qsizetype i = 0; i < lines.size(); ++i) {
                QString error;
                const std::optional<QList<qvs::Word>> words =
                    qvs::SplitWords(lines[i], dir_, &error);
                if (!words)
                    Fail(
                        QStringLiteral("line %1 of the expected record: %2").arg(i + 1).arg(error));
                QStringList texts;
                for (const qvs::Word &word : *words)
                    texts << word.text();
                want << texts;
            }
        }
        const QList<QStringList> &got = platform_.printRecord;
        for (qsizetype i = 0; i < qMax(want.size(), got.size()); ++i) {
            const QString wantLine =
                i < want.size() ? RecordLine(want[i]) : QStringLiteral("the end of the record");
            const QString gotLine =
                i < got.size() ? RecordLine(got[i]) : QStringLiteral("the end of the record");
            if (i >= want.size() || i >= got.size() || want[i] != got[i])
                Fail(Expected(QStringLiteral("printed, line %1").arg(i + 1), wantLine, gotLine));
        }
    } else {
        Fail(QStringLiteral("unknown expectation %1").arg(qvs::QuoteText(what.text())));
    }
}
