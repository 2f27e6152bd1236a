// The desktop's services through Qt.
#include "platform/fileio.h"
#include "platform/pagesurface.h"
#include "platform/platform.h"
#include "platform/windowchannel.h"

#include <QApplication>
#include <QColorDialog>
#include <QCursor>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHash>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QUrl>

std::unique_ptr<PageSurface> ChoosePrinterSurface(QWidget *parent);

namespace {

QWidget *DialogParent() {
    return QApplication::activeWindow();
}

// Messages separate their lines with CR LF; a label wants LF.
QString Shown(QString text) {
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// A file chosen in Qt's own file dialog, on every desktop: the file-type box
// then shows a filter's description exactly as given, where a desktop's
// dialog may cut it at its first bracket. nullopt on Cancel.
std::optional<QString> ChosenFile(const QString &initialFolder, const QString &filter,
                                  QFileDialog::AcceptMode mode,
                                  const QString &defaultSuffix = QString()) {
    QFileDialog dialog(DialogParent(), QString(), initialFolder, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

// A message box in the middle of the screen that the program's window is on,
// not over the window itself.
class CentredMessageBox : public QMessageBox {
  public:
    CentredMessageBox(Icon icon, const QString &text, QWidget *parent)
        : QMessageBox(icon, QStringLiteral("Quorvel"), Shown(text), QMessageBox::Ok, parent) {
        setTextFormat(Qt::PlainText);
    }

  protected:
    void showEvent(QShowEvent *e) override {
        QMessageBox::showEvent(e); // gives the box its final size
        const QScreen *on = parentWidget() ? parentWidget()->screen() : screen();
        QRect frame = frameGeometry();
        frame.moveCenter(on->availableGeometry().center());
        move(frame.topLeft());
    }
};

// Watches each file and the folder it is in. Writing to a file is noticed on
// the file; a file removed, created, or replaced by renaming another over it
// (as editors, sync tools and this program do) is noticed on the folder, and
// the new file is watched from then on. The folder also changes for every
// other file in it: that counts only when one of the watched files is not
// what it was. A folder that is not there yet (a first start in the user's
// folders) is waited for on the nearest one above it that is, then on each
// folder made on the way, until the file itself can be watched.
class DesktopFileWatch final : public FileWatch {
  public:
    explicit DesktopFileWatch(std::function<void()> changed) : changed_(std::move(changed)) {
        QObject::connect(&watcher_, &QFileSystemWatcher::fileChanged, [this] { Look(true); });
        QObject::connect(&watcher_, &QFileSystemWatcher::directoryChanged, [this] { Look(false); });
    }

    void SetFiles(const QStringList &paths) override {
        seen_.clear();
        for (const QString &path : paths)
            seen_.insert(path, StampOf(path));
        Arm();
    }

  private:
    // Watches what there is to watch now: each file that is there, and the
    // nearest folder that is there on the way to it.
    void Arm() {
        QSet<QString> wanted;
        for (auto it = seen_.cbegin(); it != seen_.cend(); ++it) {
            if (it.value().exists)
                wanted << it.key();
            QString folder = QFileInfo(it.key()).absolutePath();
            while (!QFileInfo(folder).isDir() && QFileInfo(folder).path() != folder)
                folder = QFileInfo(folder).path();
            wanted << folder;
        }
        const QStringList old = watcher_.files() + watcher_.directories();
        const QSet<QString> watched(old.cbegin(), old.cend());
        if (const QStringList gone = (watched - wanted).values(); !gone.isEmpty())
            watcher_.removePaths(gone);
        if (const QStringList added = (wanted - watched).values(); !added.isEmpty())
            watcher_.addPaths(added);
    }

    void Look(bool fileNotice) {
        bool changed = fileNotice;
        for (auto it = seen_.begin(); it != seen_.end(); ++it) {
            const FileStamp now = StampOf(it.key());
            if (now == it.value())
                continue;
            changed = true;
            // Another file under the name (or none): the watch moves to it.
            if ((now.exists != it.value().exists || now.device != it.value().device ||
                 now.inode != it.value().inode) &&
                watcher_.files().contains(it.key()))
                watcher_.removePath(it.key());
            it.value() = now;
        }
        // A folder made on the way to a file is watched from now on.
        Arm();
        if (changed)
            changed_();
    }

    QFileSystemWatcher watcher_;
    // Each watched file as it was last seen.
    QHash<QString, FileStamp> seen_;
    std::function<void()> changed_;
};

class DesktopPlatform : public Platform {
  public:
    void Beep() override { QApplication::beep(); }

    void ShowMessage(const QString &text) override {
        CentredMessageBox(QMessageBox::NoIcon, text, DialogParent()).exec();
    }

    void ShowError(const QString &text) override {
        CentredMessageBox(QMessageBox::Critical, text, DialogParent()).exec();
    }

    bool AskYesNo(const QString &text) override {
        CentredMessageBox box(QMessageBox::Question, text, DialogParent());
        box.setStandardButtons(QMessageBox::NoButton);
        QPushButton *yes = box.addButton(QString::fromUtf8("はい"), QMessageBox::YesRole);
        QPushButton *no = box.addButton(QString::fromUtf8("いいえ"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no); // Escape and the window's close button answer いいえ
        box.exec();
        return box.clickedButton() == yes;
    }

    std::optional<QString> InputBox(const QString &title, const QString &prompt,
                                    int maxLength) override {
        QInputDialog dialog(DialogParent());
        dialog.setWindowTitle(title);
        dialog.setLabelText(prompt);
        dialog.setInputMode(QInputDialog::TextInput);
        dialog.setTextValue(QString());
        if (auto *edit = dialog.findChild<QLineEdit *>())
            edit->setMaxLength(maxLength);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.textValue();
    }

    std::optional<QString> OpenFileName(const QString &initialFolder,
                                        const QString &filter) override {
        return ChosenFile(initialFolder, filter, QFileDialog::AcceptOpen);
    }

    std::optional<QString> SaveFileName(const QString &initialFolder, const QString &filter,
                                        const QString &defaultSuffix) override {
        return ChosenFile(initialFolder, filter, QFileDialog::AcceptSave, defaultSuffix);
    }

    std::optional<quint32> ChooseColor(quint32 initial) override {
        const QColor start(initial & 0xFF, (initial >> 8) & 0xFF, (initial >> 16) & 0xFF);
        const QColor c = QColorDialog::getColor(start, DialogParent());
        if (!c.isValid())
            return std::nullopt;
        return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
    }

    std::unique_ptr<PageSurface> ChoosePrinter() override {
        return ChoosePrinterSurface(DialogParent());
    }

    QPoint CursorPos() override { return QCursor::pos(); }

    void StartViewer(const QString &path) override {
        QProcess::startDetached(QStringLiteral("xdg-open"), {path});
    }

    void OpenUrl(const QString &address) override { QDesktopServices::openUrl(QUrl(address)); }

    std::unique_ptr<FileWatch> WatchFiles(std::function<void()> changed) override {
        return std::make_unique<DesktopFileWatch>(std::move(changed));
    }

    QString ExecutablePath() override { return QCoreApplication::applicationFilePath(); }

    WindowClaim ClaimWindow(const QString &settingsFile, const QByteArray &request,
                            bool listen) override {
        return ClaimDesktopWindow(settingsFile, request, listen);
    }
};

} // namespace

std::unique_ptr<Platform> MakeDesktopPlatform() {
    return std::make_unique<DesktopPlatform>();
}
