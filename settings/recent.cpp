// The recent-file list of the File menu and the file commands that change
// the current list file: new, open, save as, and a click on a recent entry.
// After every successful change the recent list is updated and the list is
// loaded from the new file.
#include "platform/cp932.h"
#include "platform/fileio.h"
#include "platform/platform.h"
#include "platform/utf8.h"
#include "settings/inifile.h"
#include "settings/recentslots.h"
#include "ui/Quorvelmain.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <algorithm>

namespace {

const QByteArray RecentSection("RecentFile");

// The File menu's designed items (six commands and the separator) come
// first; recent entries follow from this index on.
constexpr int FirstRecentIndex = 7;

// The one file type, as the dialog's file-type box shows it; the pattern is
// taken from the brackets at its end.
QString ListFilter() {
    return U("リストファイル(*.lst)");
}

// The settings file keeps paths in code page 932, one to a line; a path with
// a character that has no form there, or with a line break, could not be
// remembered, so no command makes it current. Shows the refusal and returns
// false for such a path.
bool StorablePath(const QString &path) {
    QString bad;
    if (Ini::PathValue(path, &bad))
        return true;
    // A line break or NUL is named: the character itself would not show.
    if (bad == QStringLiteral("\r") || bad == QStringLiteral("\n"))
        bad = U("改行");
    else if (bad == QChar(u'\0'))
        bad = QStringLiteral("NUL");
    BeepMessage(U("このファイル名は保存できない文字を含んでいます：「") + bad + U("」"));
    return false;
}

RecentSlots ReadRecentSlots(const QString &ini) {
    RecentSlots values;
    for (int i = 0; i < RecentSlotCount; ++i)
        values[i] = Ini::ReadString(ini, RecentSection, RecentKey(i), QByteArray());
    return values;
}

} // namespace

void TForm1::UpdateRecentFiles() {
    // The list is read, erased and written again in one replace of the
    // settings file: a failure on the way leaves every entry where it was.
    Ini::Changes ini(SettingsFileName());
    RecentSlots read;
    for (int i = 0; i < RecentSlotCount; ++i)
        read[i] = ini.ReadString(RecentSection, RecentKey(i), QByteArray());
    ini.EraseSection(RecentSection);

    const std::optional<QByteArray> path = Ini::PathValue(ListFileName);
    // A file the system cannot look at is not taken for a missing one: that
    // would drop it from the list.
    const bool exists = path && FileIsPresent(ListFileName);
    const RecentUpdate update = UpdateRecentSlots(read, path.value_or(QByteArray()), exists);

    // A current file that is not added leaves the other entries kept. With
    // nothing to keep the section stays away, so a first start on a missing
    // list file does not create the settings file.
    if (update.added ||
        std::ranges::any_of(update.values, [](const QByteArray &slot) { return !slot.isEmpty(); }))
        for (int i = 0; i < RecentSlotCount; ++i)
            ini.WriteString(RecentSection, RecentKey(i), update.values[i]);
    ini.Save();
    // Without an added file the menu keeps the entries it shows.
    if (update.added)
        BuildRecentMenu();
}

void TForm1::BuildRecentMenu() {
    const QList<QAction *> items = N2->actions();
    for (qsizetype i = items.size() - 1; i >= FirstRecentIndex; --i) {
        N2->removeAction(items[i]);
        // The clicked entry may be the one going: it is deleted once its
        // click has been handled.
        items[i]->deleteLater();
    }

    const RecentSlots values = ReadRecentSlots(SettingsFileName());
    for (int i = 0; i < RecentSlotCount; ++i) {
        if (values[i].isEmpty())
            continue;
        auto *entry = new QAction(RecentMenuText(RecentCaption(i, DecodeCp932(values[i]))), N2);
        N2->addAction(entry);
        connect(entry, &QAction::triggered, this,
                [this, entry] { Run([this, entry] { RecentFileClick(entry); }); });
    }
}

void TForm1::RecentFileClick(QAction *Sender) {
    // An entry edited by hand into the settings file may hold what no path
    // the program remembers can.
    const QString path = RecentPathOf(RecentCaptionOf(Sender->text()));
    if (!StorablePath(path))
        return;
    SetListFileName(path);
    UpdateRecentFiles();
    LoadList();
    ActivatePage(ListPage);
}

void TForm1::New1Click() {
    const QString title = U("ファイル名を入力してください");
    const QString prompt = U("新規ファイル名を入力してください。\r\n"
                             "拡張子は必要ありません。\r\n"
                             "例：newfile");
    const QString folder = Places().listFolder;
    QString path;
    for (;;) {
        const std::optional<QString> name = platform().InputBox(title, prompt, 255);
        if (!name)
            return;
        path = folder + *name + QStringLiteral(".lst");
        if (!StorablePath(path))
            return;
        if (!FileExists(path))
            break;
        BeepMessage(U("既にそのファイル名で存在しています。"));
    }
    if (!CreateEmptyFile(path)) {
        BeepMessage(path + U("の作成に失敗しました"));
        return;
    }
    SetListFileName(path);
    UpdateRecentFiles();
    LoadList();
}

void TForm1::FopenClick() {
    const std::optional<QString> chosen =
        platform().OpenFileName(Places().listFolder, ListFilter());
    if (chosen)
        OpenListFile(*chosen);
}

void TForm1::OpenListFile(const QString &chosen) {
    if (!chosen.endsWith(QStringLiteral(".lst"), Qt::CaseSensitive)) {
        BeepMessage(U("拡張子が.lstになっているファイルのみ読み込めます"));
        return;
    }
    if (!StorablePath(chosen))
        return;
    SetListFileName(chosen);
    UpdateRecentFiles();
    // Before the window is first shown (a file named when the program
    // starts), showing the list page loads it.
    if (isVisible())
        LoadList();
    ActivatePage(ListPage);
}

void TForm1::SaveAs1Click() {
    // The dialog starts in the folder of the list it copies.
    const std::optional<QString> chosen = platform().SaveFileName(
        QFileInfo(ListFileName).absolutePath(), ListFilter(), QStringLiteral("lst"));
    if (!chosen || !StorablePath(*chosen))
        return;
    // Choosing the current list file itself needs no copy: the file already
    // holds the list.
    if (!SameFile(ListFileName, *chosen) && !CopyFileAtomic(ListFileName, *chosen)) {
        BeepMessage(U("別ファイル名での保存時にエラーが発生しました。"));
        return;
    }
    SetListFileName(*chosen);
    UpdateRecentFiles();
    LoadList();
}
