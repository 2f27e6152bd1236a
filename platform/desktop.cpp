// The desktop's services through Qt.
#include "platform/pagesurface.h"
#include "platform/platform.h"

#include <QApplication>
#include <QColorDialog>
#include <QCursor>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QUrl>

std::unique_ptr<PageSurface> ChoosePrinterSurface(QWidget *parent);

namespace {

QWidget *DialogParent() {
    return QApplication::activeWindow();
}

QString AppTitle() {
    return QStringLiteral("Quorvel");
}

// Messages separate their lines with CR LF; a label wants LF.
QString Shown(QString text) {
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// Qt's own file dialog, on every desktop: the file-type box then shows a
// filter's description exactly as given, where a desktop's dialog may cut it
// at its first bracket.
void UseOwnFileDialog(QFileDialog &dialog) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
}

// A message box in the middle of the screen that the program's window is on,
// not over the window itself.
class CentredMessageBox : public QMessageBox {
  public:
    CentredMessageBox(Icon icon, const QString &text, QWidget *parent)
        : QMessageBox(icon, AppTitle(), Shown(text), QMessageBox::Ok, parent) {
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

class DesktopPlatform : public Platform {
  public:
    void Beep() override { QApplication::beep(); }

    void ShowMessage(const QString &text) override {
        CentredMessageBox(QMessageBox::NoIcon, text, DialogParent()).exec();
    }

    void ShowError(const QString &text) override {
        CentredMessageBox(QMessageBox::Critical, text, DialogParent()).exec();
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
        QFileDialog dialog(DialogParent(), QString(), initialFolder, filter);
        UseOwnFileDialog(dialog);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().first();
    }

    std::optional<QString> SaveFileName(const QString &filter,
                                        const QString &defaultSuffix) override {
        QFileDialog dialog(DialogParent(), QString(), QString(), filter);
        UseOwnFileDialog(dialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(defaultSuffix);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().first();
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

    QString ExecutablePath() override { return QCoreApplication::applicationFilePath(); }
};

} // namespace

std::unique_ptr<Platform> MakeDesktopPlatform() {
    return std::make_unique<DesktopPlatform>();
}
