#include "ui/program.h"

#include "platform/platform.h"
#include "print/printsetting.h"
#include "store/editing.h"
#include "ui/Quorvelmain.h"
#include "ui/finddialog.h"
#include "ui/quickcapture.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

namespace {

// How often a request waiting for a command to end looks again.
constexpr int RequestRetryMs = 100;

void BringToFront(QWidget &w) {
    if (w.isMinimized())
        w.setWindowState(w.windowState() & ~Qt::WindowMinimized);
    w.raise();
    w.activateWindow();
}

} // namespace

void InitApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Quorvel"));
    // The desktop entry an installed copy is started from: the desktop shows
    // its name and icon for the window.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.quorvel.Quorvel"));
}

bool InstallQtTranslation(QTranslator &translator, const QLocale &locale) {
    if (!translator.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

QuorvelProgram::QuorvelProgram() {
    // Where the files are kept is known from here on: an installed copy may
    // make the user's folders for them.
    MakeFoldersOnWrite(Places());
    form1_ = std::make_unique<TForm1>();
    form2_ = std::make_unique<TForm2>();
    Form2 = form2_.get();
    Form3 = new TForm3(form1_.get()); // a dialog of the main window, which owns it
    form4_ = std::make_unique<TForm4>([this](const QString &text) {
        bool saved = false;
        form1_->Run([&] { saved = SaveQuickMemo(*form1_, text); });
        return saved;
    });
}

QuorvelProgram::~QuorvelProgram() {
    // No request is taken while the windows go; a start meanwhile waits
    // until the settings are written and the window is gone, then finds
    // none and starts anew.
    if (channel_)
        channel_->Receive(nullptr);
    form4_.reset();
    Form2 = nullptr;
    form2_.reset();
    Form3 = nullptr;
    form1_.reset();
    channel_.reset(); // later starts find no window
}

void QuorvelProgram::Listen(std::unique_ptr<WindowChannel> channel) {
    channel_ = std::move(channel);
    if (channel_)
        channel_->Receive([this](const QByteArray &bytes) {
            // Anything but the three forms is no request of the program's.
            if (const std::optional<WindowRequest> r = ParseWindowRequest(bytes))
                Request(*r);
        });
}

void QuorvelProgram::Request(const WindowRequest &request) {
    requests_.append(request);
    HandleRequests();
}

void QuorvelProgram::HandleRequests() {
    TForm1 &f = *form1_;
    while (!requests_.isEmpty()) {
        if (f.CommandRunning() || QApplication::activeModalWidget()) {
            QTimer::singleShot(RequestRetryMs, &f, [this] { HandleRequests(); });
            return;
        }
        const WindowRequest r = requests_.takeFirst();
        if (r.kind == WindowRequest::Kind::NewMemo) {
            form4_->ShowCapture();
            continue;
        }
        BringToFront(f);
        if (r.kind == WindowRequest::Kind::Open)
            f.Run([&] { f.OpenListFile(r.path); });
    }
}

Started StartProgram(const WindowRequest &request) {
    Started started;
    const bool captureOnly = request.kind == WindowRequest::Kind::NewMemo;
    WindowClaim claim =
        platform().ClaimWindow(Places().settingsFile, EncodeWindowRequest(request), !captureOnly);
    if (claim.handedOver)
        return started;
    if (captureOnly) {
        // Quick capture alone saves to the current list: an installed copy
        // may make the user's folders for it.
        MakeFoldersOnWrite(Places());
        started.capture = MakeCaptureAlone();
        started.capture->ShowCapture();
        return started;
    }
    started.program = std::make_unique<QuorvelProgram>();
    TForm1 &f = started.program->form1();
    if (request.kind == WindowRequest::Kind::Open)
        f.Run([&] { f.OpenListFile(request.path); });
    f.show();
    started.program->Listen(std::move(claim.channel));
    return started;
}
