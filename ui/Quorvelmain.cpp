#include "ui/Quorvelmain.h"

#include "platform/fileio.h"
#include "platform/platform.h"
#include "platform/utf8.h"
#include "settings/inifile.h"
#include "settings/settings.h"
#include "store/history.h"
#include "store/rowpaint.h"
#include "ui/fonts.h"
#include "ui/placement.h"
#include "ui/widgets.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDropEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <functional>

namespace {

// The product's home page, opened by the Help menu.
const char *const HomePageAddress = "http://quorvel.example.org/";

// How long the list and trash files must stay unchanged before a change
// made by another program is shown: editors and sync tools write a file in
// several steps (a temporary file, a rename), and only the last counts.
constexpr int SettleMs = 400;

// The layout's captions of the two start-up options, with their leading blank.
const char *const N9Caption = " 起動時に「新規入力」ページを開く";
const char *const N10Caption = " 終了時に「ゴミ箱」を空にする";

// A text area, named for screen readers. Tab and Shift+Tab move the focus
// on, as from any other control: the areas take no tab characters.
MemoEdit *MakeMemo(QWidget *parent, const char *name, const char *spokenName, int l, int t, int w,
                   int h) {
    auto *m = new MemoEdit(parent);
    m->setObjectName(U(name));
    m->setAccessibleName(U(spokenName));
    m->setGeometry(l, t, w, h);
    m->setFont(ProportionalGothic(13));
    m->setTabChangesFocus(true);
    return m;
}

// A title list of 13-pixel rows, each painted by the window's handler, named
// for screen readers after its page.
TitleListView *MakeTitleList(QWidget *parent, const char *name, const char *spokenName,
                             RowDelegate::Painter paint) {
    auto *list = new TitleListView(parent);
    list->setObjectName(U(name));
    list->setAccessibleName(U(spokenName));
    list->setGeometry(8, 16, 400, 225);
    list->setFont(FixedGothic(13));
    list->setItemDelegate(new RowDelegate(13, std::move(paint), list));
    return list;
}

// Where a window that is not yet shown goes from its position now: there,
// unless the user could not reach it on the screens as they are.
QPoint ReachableWindowPosition(const QWidget *w) {
    // The window system adds the title bar later; the style's one stands in.
    const int titleBar = w->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, w);
    QList<QRect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    return ReachablePosition(QRect(w->pos(), w->size() + QSize(0, titleBar)), titleBar, screens);
}

QAction *MakeSeparator(QMenu *menu, const char *name) {
    QAction *a = menu->addSeparator();
    a->setObjectName(U(name));
    return a;
}

} // namespace

TForm1::TForm1(QWidget *parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form1"));
    BuildLayout();
    BuildMenus();
    WireHandlers();
    WatchFiles();
    Run([this] { FormCreate(); });
}

TForm1::~TForm1() {
    if (!destroyed_) {
        destroyed_ = true;
        Run([this] { FormDestroy(); });
    }
}

QString TForm1::SettingsFileName() {
    return Places().settingsFile;
}

void TForm1::BuildLayout() {
    setWindowTitle(QStringLiteral("Quorvel"));
    setFont(ProportionalGothic(12));
    QPalette pal = palette();
    setBackgroundRole(QPalette::Button);
    setPalette(pal);

    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client"));
    client->setFixedSize(449, 323);
    setCentralWidget(client);

    PageControl1 = new PageControl(client);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(12, 8, 425, 313);
    PageControl1->setUsesScrollButtons(false);

    auto page = [this](const char *name, const char *caption) {
        auto *w = new QWidget();
        w->setObjectName(U(name));
        w->setAccessibleName(U(caption));
        PageControl1->addTab(w, U(caption));
        return w;
    };
    TabSheet1 = page("TabSheet1", "To Do リスト");
    TabSheet2 = page("TabSheet2", "新規入力");
    TabSheet3 = page("TabSheet3", "編集削除");
    TabSheet4 = page("TabSheet4", "ごみ箱");

    // The list page.
    ListBox1 = MakeTitleList(TabSheet1, "ListBox1", "To Do リスト",
                             std::bind_front(&TForm1::ListBox1DrawItem, this));
    const QFont redBold = ProportionalGothic(15, true);
    Button2 = MakeButton(TabSheet1, "Button2", "↑上に", 72, 256, 75, 25);
    Button3 = MakeButton(TabSheet1, "Button3", "↓下に", 224, 256, 75, 25);
    for (QPushButton *b : {Button2, Button3}) {
        b->setFont(redBold);
        QPalette bp = b->palette();
        bp.setColor(QPalette::ButtonText, Qt::red);
        b->setPalette(bp);
    }

    // The new-memo page.
    Memo1 = MakeMemo(TabSheet2, "Memo1", "新規入力", 24, 16, 369, 209);
    Button1 = MakeButton(TabSheet2, "Button1", "保存する", 32, 240, 75, 25);
    CheckBox1 = new QCheckBox(U("保存して連続して新規追加する"), TabSheet2);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(123, 242, 185, 17);

    // The edit page.
    Memo3 = MakeMemo(TabSheet3, "Memo3", "メモの編集", 16, 8, 385, 233);
    Button4 = MakeButton(TabSheet3, "Button4", "編集保存する", 56, 253, 121, 25);
    Button5 = MakeButton(TabSheet3, "Button5", "削除（ゴミ箱に移動）", 200, 253, 121, 25);

    // The trash page.
    ListBox3 = MakeTitleList(TabSheet4, "ListBox3", "ごみ箱",
                             std::bind_front(&TForm1::ListBox3DrawItem, this));
    Button6 = MakeButton(TabSheet4, "Button6", "選択した記事を完全削除する", 40, 248, 161, 25);
    Button7 = MakeButton(TabSheet4, "Button7", "ゴミ箱を空にする", 232, 248, 105, 25);
    DummyButton = MakeButton(TabSheet4, "DummyButton", "DummyButton", 360, 248, 19, 25);
    DummyButton->setVisible(false);
    DummyButton->setFocusPolicy(Qt::NoFocus);

    // Tab order within each page follows the layout: the list or text area first.
    setTabOrder(ListBox1, Button2);
    setTabOrder(Button2, Button3);
    setTabOrder(Memo1, Button1);
    setTabOrder(Button1, CheckBox1);
    setTabOrder(Memo3, Button4);
    setTabOrder(Button4, Button5);
    setTabOrder(ListBox3, Button6);
    setTabOrder(Button6, Button7);

    // The status bar: one panel over the whole bar, light yellow.
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setFixedHeight(19);
    // Light yellow: 6750207 in blue-green-red order, with its text read on
    // it whatever the theme.
    const QColor statusColour(255, 255, 102);
    QPalette statusPalette = StatusBar1->palette();
    statusPalette.setColor(QPalette::Window, statusColour);
    statusPalette.setColor(QPalette::WindowText,
                           TextColorOn(statusColour, statusPalette.color(QPalette::WindowText)));
    StatusBar1->setPalette(statusPalette);
    // Its own roles, not the button face that the window is drawn in.
    StatusBar1->setBackgroundRole(QPalette::Window);
    StatusBar1->setForegroundRole(QPalette::WindowText);
    StatusBar1->setAutoFillBackground(true);
    statusPanel_ = new QLabel(StatusBar1);
    statusPanel_->setObjectName(QStringLiteral("StatusPanel"));
    statusPanel_->setTextFormat(Qt::PlainText);
    statusPanel_->setMinimumWidth(50);
    StatusBar1->addWidget(statusPanel_, 1);
    setStatusBar(StatusBar1);

    // Fixed size, no Maximize: the client area is 449 x 342 below the menu bar.
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    move(349, 113);
    setAcceptDrops(true); // list files from a file manager
}

template <class Sender, class Signal>
void TForm1::On(Sender *sender, Signal signal, void (TForm1::*handler)()) {
    connect(sender, signal, this,
            [this, handler] { Run([this, handler] { (this->*handler)(); }); });
}

void TForm1::BuildMenus() {
    // A menu item that runs its handler as a command.
    const auto MakeAction = [this](QMenu *menu, const char *name, const char *caption,
                                   void (TForm1::*handler)()) {
        QAction *a = menu->addAction(U(caption));
        a->setObjectName(U(name));
        On(a, &QAction::triggered, handler);
        return a;
    };
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    setMenuBar(MainMenu1);

    N2 = MainMenu1->addMenu(U("ファイル(&F)"));
    N2->setObjectName(QStringLiteral("N2"));
    New1 = MakeAction(N2, "New1", "新規作成(&N)", &TForm1::New1Click);
    Fopen = MakeAction(N2, "Fopen", "開く(&O)", &TForm1::FopenClick);
    SaveAs1 = MakeAction(N2, "SaveAs1", "名前を付けて保存(&A)", &TForm1::SaveAs1Click);
    PrintSetting = MakeAction(N2, "PrintSetting", "印刷設定", &TForm1::PrintSettingClick);
    Print = MakeAction(N2, "Print", "印刷する(&P)", &TForm1::PrintClick);
    CloseMenu = MakeAction(N2, "CloseMenu", "終了(&X)", &TForm1::CloseMenuClick);
    N7 = MakeSeparator(N2, "N7");
    // The separator shows also as the menu's last item, with no recent
    // entries after it.
    N2->setSeparatorsCollapsible(false);

    N8 = MainMenu1->addMenu(U("設定(&S)"));
    N8->setObjectName(QStringLiteral("N8"));
    N9 = MakeAction(N8, "N9", N9Caption, &TForm1::N9Click);
    N10 = MakeAction(N8, "N10", N10Caption, &TForm1::N10Click);
    N9->setCheckable(true);
    N10->setCheckable(true);

    // The Edit menu: taking back and making again changes to the memos.
    Edit1 = MainMenu1->addMenu(U("編集(&E)"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Undo1 = MakeAction(Edit1, "Undo1", "元に戻す(&U)", &TForm1::Undo1Click);
    Undo1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    Redo1 = MakeAction(Edit1, "Redo1", "やり直し(&R)", &TForm1::Redo1Click);
    Redo1->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    N11 = MakeSeparator(Edit1, "N11");
    History = new ChangeHistory(this);
    Undo1->setEnabled(false);
    Redo1->setEnabled(false);
    connect(History, &ChangeHistory::Changed, this, [this] {
        Undo1->setEnabled(History->CanUndo());
        Redo1->setEnabled(History->CanRedo());
    });
    // Finding memos, after the separator.
    Find1 = MakeAction(Edit1, "Find1", "検索(&F)...", &TForm1::Find1Click);
    Find1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    FindNext1 = MakeAction(Edit1, "FindNext1", "次を検索(&N)", &TForm1::FindNext1Click);
    FindNext1->setShortcut(QKeySequence(Qt::Key_F3));
    FindPrev1 = MakeAction(Edit1, "FindPrev1", "前を検索(&V)", &TForm1::FindPrev1Click);
    FindPrev1->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));

    Help1 = MainMenu1->addMenu(U("ヘルプ(&H)"));
    Help1->setObjectName(QStringLiteral("Help1"));
    ReadMe = MakeAction(Help1, "ReadMe", "Readme.txtを読む(&R)", &TForm1::ReadMeClick);
    N3 = MakeAction(Help1, "N3", "ホームページ", &TForm1::N3Click);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N1 = MakeAction(PopupMenu1, "N1", "編集する", &TForm1::N1Click);
    D1 = MakeAction(PopupMenu1, "D1", "削除（ゴミ箱に移動する）", &TForm1::D1Click);
    N5 = MakeSeparator(PopupMenu1, "N5");
    BgColor = MakeAction(PopupMenu1, "BgColor", "背景色を指定", &TForm1::BgColorClick);
    N4 = MakeSeparator(PopupMenu1, "N4");
    ToTop = MakeAction(PopupMenu1, "ToTop", "最上部に移動する", &TForm1::ToTopClick);
    ToBottom = MakeAction(PopupMenu1, "ToBottom", "最下部に移動する", &TForm1::ToBottomClick);

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    Restore = MakeAction(PopupMenu2, "Restore", "復活させる", &TForm1::RestoreClick);
    N6 = MakeAction(PopupMenu2, "N6", "完全に削除する", &TForm1::N6Click);

    // The client area stays 449 x 342 whatever height the menu bar takes.
    setFixedSize(449, MainMenu1->sizeHint().height() + 342);
}

void TForm1::WireHandlers() {
    On(Button1, &QPushButton::clicked, &TForm1::Button1Click);
    On(Button2, &QPushButton::clicked, &TForm1::Button2Click);
    On(Button3, &QPushButton::clicked, &TForm1::Button3Click);
    On(Button4, &QPushButton::clicked, &TForm1::Button4Click);
    On(Button5, &QPushButton::clicked, &TForm1::Button5Click);
    On(Button6, &QPushButton::clicked, &TForm1::Button6Click);
    On(Button7, &QPushButton::clicked, &TForm1::Button7Click);
    On(DummyButton, &QPushButton::clicked, &TForm1::DummyButtonClick);
    On(ListBox1, &TitleListView::doubleClickedAnywhere, &TForm1::ListBox1DblClick);

    // Keys of the lists and the edit areas, each running what the mouse
    // runs. A context menu item's keys are shown beside it and work while
    // its list has the focus.
    const auto itemKeys = [](QAction *item, QWidget *list, const QList<QKeySequence> &keys) {
        item->setShortcuts(keys);
        item->setShortcutContext(Qt::WidgetShortcut);
        list->addAction(item);
    };
    const QKeySequence del(Qt::Key_Delete), ret(Qt::Key_Return), enter(Qt::Key_Enter);
    itemKeys(D1, ListBox1, {del});
    itemKeys(N1, ListBox1, {ret, enter});
    itemKeys(ToTop, ListBox1, {QKeySequence(Qt::CTRL | Qt::Key_Home)});
    itemKeys(ToBottom, ListBox1, {QKeySequence(Qt::CTRL | Qt::Key_End)});
    itemKeys(N6, ListBox3, {del});
    itemKeys(Restore, ListBox3, {ret, enter});
    const auto keys = [this](QWidget *where, const QList<QKeySequence> &keys,
                             void (TForm1::*handler)()) {
        auto *shortcut = new QShortcut(where);
        shortcut->setKeys(keys);
        shortcut->setContext(Qt::WidgetShortcut);
        On(shortcut, &QShortcut::activated, handler);
    };
    keys(ListBox1, {QKeySequence(Qt::CTRL | Qt::Key_Up)}, &TForm1::Button2Click);
    keys(ListBox1, {QKeySequence(Qt::CTRL | Qt::Key_Down)}, &TForm1::Button3Click);
    const QList<QKeySequence> save{QKeySequence(Qt::CTRL | Qt::Key_Return),
                                   QKeySequence(Qt::CTRL | Qt::Key_Enter)};
    keys(Memo1, save, &TForm1::Button1Click);
    keys(Memo3, save, &TForm1::Button4Click);

    // A memo dragged to another row of the list.
    ListBox1->setRowsDraggable(true);
    connect(ListBox1, &TitleListView::rowDropped, this,
            [this](int from, int to) { Run([=, this] { MoveMemo(from, to); }); });

    // Context menus open on the right button without changing the selection.
    ListBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListBox1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu1->popup(ListBox1->mapToGlobal(pos)); });
    ListBox3->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListBox3, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu2->popup(ListBox3->mapToGlobal(pos)); });

    // Pages: the veto on user-made changes, the show handlers, the edit
    // page's exit.
    PageControl1->pageTabBar()->allowUserChange = [this] {
        bool allow = true;
        PageControl1Changing(allow);
        return allow;
    };
    connect(PageControl1, &QTabWidget::currentChanged, this, &TForm1::PageShown);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *old, QWidget *now) {
        if (old && now && now->window() == this && TabSheet3->isAncestorOf(old) &&
            !TabSheet3->isAncestorOf(now))
            Run([this] { TabSheet3Exit(); });
    });
}

void TForm1::PageShown(int index) {
    // The edit page left: no memo is open for editing any more.
    if (index != EditPage)
        Memo3Record = -1;
    // A page's show handler runs when it becomes visible: not while the window
    // is still being created or is closed.
    static constexpr void (TForm1::*shows[])() = {&TForm1::TabSheet1Show, &TForm1::TabSheet2Show,
                                                  &TForm1::TabSheet3Show, &TForm1::TabSheet4Show};
    static_assert(ListPage == 0 && NewMemoPage == 1 && EditPage == 2 && TrashPage == 3);
    if (isVisible() && !destroyed_ && index >= 0 && index < int(std::size(shows)))
        Run([this, show = shows[index]] { (this->*show)(); });
}

void TForm1::WatchFiles() {
    settleTimer_ = new QTimer(this);
    settleTimer_->setSingleShot(true);
    settleTimer_->setInterval(SettleMs);
    fileWatch_ = platform().WatchFiles([this] { settleTimer_->start(); });
    connect(settleTimer_, &QTimer::timeout, this, [this] {
        // Never under a running command: it may hold rows of the list it
        // read, and a reload would make them stand for other memos.
        if (commandsRunning_ > 0)
            changeSettledMeanwhile_ = true;
        else
            Run([this] { ReloadChangedPage(); });
    });
}

void TForm1::CommandEnded() {
    // A command may have made another list file the current one.
    const QStringList files{List.path(), Trash.path()};
    if (files != watchedFiles_) {
        watchedFiles_ = files;
        fileWatch_->SetFiles(files);
    }
    if (changeSettledMeanwhile_) {
        changeSettledMeanwhile_ = false;
        settleTimer_->start();
    }
    // The list page loaded the list: the sync tools' copies of it are looked
    // at now, after the command, so that a question never comes between the
    // steps of one.
    if (ConflictCopiesDue && isVisible() && !destroyed_ &&
        PageControl1->currentIndex() == ListPage) {
        ConflictCopiesDue = false;
        Run([this] { TakeInConflictCopies(); });
    }
}

void TForm1::ReloadChangedPage() {
    if (!isVisible() || destroyed_)
        return;
    // Each page compares its file with what it holds: the program's own
    // writes left the two the same. The memo selected stays selected where
    // it now stands.
    // A file that was not there and still is not has not changed either.
    const auto unchanged = [](ListFile &file) {
        return file.Held() ? file.Unchanged() : !StampOf(file.path()).exists;
    };
    switch (PageControl1->currentIndex()) {
    case ListPage:
        if (!unchanged(List)) {
            KeepSelection(ListBox1, ListBox2, [this] { LoadList(); });
            if (!List.Held()) // the file is gone: the list shows no memo
                SetStatusText(QStringLiteral("  0") +
                              QString::fromUtf8("件のメモが登録されています。"));
            ConflictCopiesDue = true;
        }
        break;
    case TrashPage:
        if (!unchanged(Trash))
            KeepSelection(ListBox3, Trash.records(), [this] { TabSheet4Show(); });
        break;
    default:
        // What the user types on the new-memo and edit pages stays; the list
        // is loaded when its page is shown again.
        break;
    }
}

void TForm1::KeepSelection(TitleListView *list, const Records &records,
                           const std::function<void()> &reload) {
    const int row = list->itemIndex();
    const QByteArray selected = row >= 0 && row < records.size() ? records.copy(row) : QByteArray();
    reload();
    list->setItemIndex(row >= 0 ? RowOf(records, selected, row) : -1);
}

void TForm1::showEvent(QShowEvent *e) {
    QMainWindow::showEvent(e);
    if (!shownOnce_) {
        shownOnce_ = true;
        PageShown(PageControl1->currentIndex());
    }
}

void TForm1::closeEvent(QCloseEvent *e) {
    e->accept();
    QMainWindow::closeEvent(e);
    Q_EMIT Closed();
}

namespace {

// The one local file a drag from a file manager carries; empty for
// anything else (several files, addresses, text).
QString DraggedFile(const QMimeData *data) {
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    return urls.size() == 1 && urls.first().isLocalFile() ? urls.first().toLocalFile() : QString();
}

} // namespace

void TForm1::dragEnterEvent(QDragEnterEvent *e) {
    if (!DraggedFile(e->mimeData()).isEmpty())
        e->acceptProposedAction();
}

void TForm1::dragMoveEvent(QDragMoveEvent *e) {
    if (!DraggedFile(e->mimeData()).isEmpty())
        e->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent *e) {
    const QString file = DraggedFile(e->mimeData());
    if (file.isEmpty())
        return;
    e->acceptProposedAction();
    activateWindow();
    // Once the drop is over: the file manager's drag does not wait for a
    // message the command may show.
    QTimer::singleShot(0, this, [this, file] { Run([this, file] { OpenListFile(file); }); });
}

void TForm1::SetStatusText(const QString &text) {
    statusPanel_->setText(text);
}

QString TForm1::StatusText() const {
    return statusPanel_->text();
}

void TForm1::ActivatePage(int index) {
    PageControl1->setCurrentIndex(index);
}

void TForm1::FormCreate() {
    Memo1->clear();
    // No Maximize command: the window has a fixed size (set in BuildLayout).

    const QString ini = SettingsFileName();
    const bool settingsExisted = FileExists(ini);

    SetListFileName(CurrentListFileName());
    move(Ini::ReadInteger(ini, "Position", "Left", 100), y());
    move(x(), Ini::ReadInteger(ini, "Position", "Top", y()));
    // Stored on another screen layout or scale, the window may lie out of
    // the user's reach: it then goes onto the nearest screen.
    move(ReachableWindowPosition(this));
    if (Ini::ReadInteger(ini, "Setting", "Page", 0) == 1) {
        N9->setText(QString::fromUtf8(N9Caption).mid(1));
        N9->setChecked(true);
    }
    if (Ini::ReadInteger(ini, "Setting", "Trash", 0) == 1) {
        N10->setText(QString::fromUtf8(N10Caption).mid(1));
        N10->setChecked(true);
    }
    if (Ini::ReadInteger(ini, "Setting", "Save", 0) == 1)
        CheckBox1->setChecked(true);

    if (settingsExisted)
        BuildRecentMenu();
    else
        UpdateRecentFiles();

    if (N9->isChecked()) {
        ActivatePage(NewMemoPage);
        setWindowTitle(QStringLiteral("Quorvel: ") + ListFileName);
    } else {
        ActivatePage(ListPage);
    }
}

void TForm1::FormDestroy() {
    // The four values go to the file in one replace: all of them or, when it
    // fails, none and the error report.
    Ini::Changes ini(SettingsFileName());
    // A path that the settings file cannot hold (a character code page 932
    // lacks, a line break) is not stored; the one stored before stays.
    if (const std::optional<QByteArray> path = Ini::PathValue(ListFileName))
        ini.WriteString("File", "LastFileName", *path);
    ini.WriteInteger("Position", "Left", x());
    ini.WriteInteger("Position", "Top", y());
    ini.WriteInteger("Setting", "Save", CheckBox1->isChecked() ? 1 : 0);
    ini.Save();
    if (ini.ReadInteger("Setting", "Trash", 0) == 1)
        Button7Click();
}

void TForm1::PageControl1Changing(bool &AllowChange) {
    QTabBar *bar = PageControl1->tabBar();
    const int hit = bar->tabAt(bar->mapFromGlobal(platform().CursorPos()));
    AllowChange = hit != EditPage;
}

void TForm1::TabSheet1Show() {
    LoadList();
    ConflictCopiesDue = true;
}

void TForm1::TabSheet2Show() {
    Memo1->setFocus();
    SetStatusText(U("  ここで入力したメモの一行目が、メモの一覧記事のタイトルに指定されます。"));
}

void TForm1::TabSheet3Show() {
    SetStatusText(QString());
}

void TForm1::TabSheet3Exit() {
    Memo3->clear();
    Memo3Record = -1;
}

void TForm1::CloseMenuClick() {
    close();
}

void TForm1::ReadMeClick() {
    platform().StartViewer(Places().readmeFile);
}

void TForm1::N3Click() {
    platform().OpenUrl(QString::fromLatin1(HomePageAddress));
}
