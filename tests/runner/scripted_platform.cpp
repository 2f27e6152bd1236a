#include "tests/runner/scripted_platform.h"

#include "platform/cp932.h"
#include "platform/fileio.h"
#include "platform/pagesurface.h"

#include <QObject>
#include <utility>

namespace {

// The print run owns its surface and destroys it when done, so every
// operation is copied to the runner's record as it happens.
class MirroredSurface : public RecordingSurface {
  public:
    MirroredSurface(int dpi, QList<QStringList> *record) : RecordingSurface(dpi), record_(record) {}
    void BeginDoc(int gridHeight) override {
        RecordingSurface::BeginDoc(gridHeight);
        Mirror();
    }
    void SetFontSize(int points) override {
        RecordingSurface::SetFontSize(points);
        Mirror();
    }
    void TextOut(int x, int y, const QByteArray &text) override {
        RecordingSurface::TextOut(x, y, text);
        Mirror();
    }
    void NewPage() override {
        RecordingSurface::NewPage();
        Mirror();
    }
    void EndDoc() override {
        RecordingSurface::EndDoc();
        Mirror();
    }
    void AbortDoc() override {
        RecordingSurface::AbortDoc();
        Mirror();
    }

  private:
    void Mirror() {
        const Op &op = ops().last();
        QStringList words{op.kind};
        if (op.kind == QLatin1String("size")) {
            words << QString::number(op.size);
        } else if (op.kind == QLatin1String("text")) {
            words << QString::number(op.page) << QString::number(op.y) << DecodeCp932(op.text);
        }
        record_->append(words);
    }

    QList<QStringList> *record_;
};

} // namespace

class ScriptedPlatform::Watch final : public FileWatch {
  public:
    Watch(ScriptedPlatform &platform, std::function<void()> changed)
        : platform_(platform), changed_(std::move(changed)) {
        platform_.watches_.append(this);
    }
    ~Watch() override { platform_.watches_.removeOne(this); }
    void SetFiles(const QStringList &paths) override {
        seen_.clear();
        for (const QString &path : paths)
            seen_.append({path, StampOf(path)});
    }
    void NoticeChanges() {
        bool changed = false;
        for (auto &[path, stamp] : seen_) {
            const FileStamp now = StampOf(path);
            changed = changed || now != stamp;
            stamp = now;
        }
        if (changed)
            changed_();
    }

  private:
    ScriptedPlatform &platform_;
    std::function<void()> changed_;
    QList<std::pair<QString, FileStamp>> seen_;
};

std::unique_ptr<FileWatch> ScriptedPlatform::WatchFiles(std::function<void()> changed) {
    return std::make_unique<Watch>(*this, std::move(changed));
}

void ScriptedPlatform::DeliverFileNotices() {
    for (Watch *w : QList<Watch *>(watches_))
        w->NoticeChanges();
}

QPoint PointerNowhere() {
    return QPoint(-30000, -30000);
}

ScriptedPlatform::ScriptedPlatform(QString executablePath)
    : executable_(std::move(executablePath)), cursor_(PointerNowhere()) {}

void ScriptedPlatform::Reset() {
    boxes.clear();
    starts.clear();
    printRecord.clear();
    answers_.clear();
    cursor_ = PointerNowhere();
    lastWasBeep_ = false;
    fault_.clear();
}

QString ScriptedPlatform::TakeFault() {
    QString f = fault_;
    fault_.clear();
    return f;
}

QString ScriptedPlatform::DialogName(Dialog d) {
    switch (d) {
    case Dialog::Input:
        return QStringLiteral("input");
    case Dialog::Open:
        return QStringLiteral("open");
    case Dialog::Save:
        return QStringLiteral("save");
    case Dialog::Color:
        return QStringLiteral("color");
    case Dialog::Print:
        return QStringLiteral("print");
    case Dialog::Question:
        return QStringLiteral("question");
    }
    return QString();
}

std::optional<ScriptedPlatform::Answer> ScriptedPlatform::Take(Dialog kind) {
    Event();
    if (answers_.isEmpty()) {
        if (fault_.isEmpty())
            fault_ = QStringLiteral("the program opened the %1 dialog, but no answer was queued")
                         .arg(DialogName(kind));
        return std::nullopt;
    }
    if (answers_.first().kind != kind) {
        if (fault_.isEmpty())
            fault_ = QStringLiteral("the program opened the %1 dialog, but the next answer "
                                    "(line %2) is for the %3 dialog")
                         .arg(DialogName(kind))
                         .arg(answers_.first().line)
                         .arg(DialogName(answers_.first().kind));
        return std::nullopt;
    }
    return answers_.takeFirst();
}

void ScriptedPlatform::Beep() {
    lastWasBeep_ = true;
}

void ScriptedPlatform::ShowMessage(const QString &text) {
    boxes.append(Box{false, lastWasBeep_, text});
    Event();
}

void ScriptedPlatform::ShowError(const QString &text) {
    boxes.append(Box{true, lastWasBeep_, text});
    Event();
}

bool ScriptedPlatform::AskYesNo(const QString &text) {
    const bool afterBeep = lastWasBeep_;
    const std::optional<Answer> a = Take(Dialog::Question);
    boxes.append(Box{false, afterBeep, text, true});
    return a && !a->cancel;
}

std::optional<QString> ScriptedPlatform::InputBox(const QString &, const QString &, int) {
    const std::optional<Answer> a = Take(Dialog::Input);
    if (!a || a->cancel)
        return std::nullopt;
    return a->text;
}

std::optional<QString> ScriptedPlatform::OpenFileName(const QString &, const QString &) {
    const std::optional<Answer> a = Take(Dialog::Open);
    if (!a || a->cancel)
        return std::nullopt;
    return a->text;
}

std::optional<QString> ScriptedPlatform::SaveFileName(const QString &, const QString &,
                                                      const QString &) {
    const std::optional<Answer> a = Take(Dialog::Save);
    if (!a || a->cancel)
        return std::nullopt;
    return a->text;
}

std::optional<quint32> ScriptedPlatform::ChooseColor(quint32) {
    const std::optional<Answer> a = Take(Dialog::Color);
    if (!a || a->cancel)
        return std::nullopt;
    return a->color;
}

std::unique_ptr<PageSurface> ScriptedPlatform::ChoosePrinter() {
    const std::optional<Answer> a = Take(Dialog::Print);
    // A new print run: whatever the last one drew is gone, also on Cancel.
    printRecord.clear();
    if (!a || a->cancel)
        return nullptr;
    return std::make_unique<MirroredSurface>(a->dpi, &printRecord);
}

void ScriptedPlatform::StartViewer(const QString &path) {
    Event();
    starts.append(StartRequest{true, path});
}

void ScriptedPlatform::OpenUrl(const QString &address) {
    Event();
    starts.append(StartRequest{false, address});
}

// The window's end: a request reaches it from the event loop, as from a
// socket, once the runner lets the program run.
class ScriptedPlatform::Channel final : public WindowChannel {
  public:
    explicit Channel(ScriptedPlatform &platform) : platform_(platform) {
        platform_.channel_ = this;
    }
    ~Channel() override {
        if (platform_.channel_ == this)
            platform_.channel_ = nullptr;
    }
    using WindowChannel::Deliver; // the runner hands on a later start's request

  private:
    ScriptedPlatform &platform_;
};

WindowClaim ScriptedPlatform::ClaimWindow(const QString &, const QByteArray &request, bool listen) {
    if (channel_) {
        channel_->Deliver(request);
        return WindowClaim{true, nullptr};
    }
    if (!listen)
        return {};
    return WindowClaim{false, std::make_unique<Channel>(*this)};
}
