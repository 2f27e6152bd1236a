#include "ui/widgets.h"

#include "platform/cp932.h"
#include "platform/utf8.h"
#include "store/record.h"
#include "store/records.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QUrl>
#include <QWheelEvent>
#include <algorithm>

namespace {
// Takes an event that the veto refused; true when it did.
bool Refused(QEvent *e, bool refused) {
    if (refused)
        e->accept();
    return refused;
}
} // namespace

void PageTabBar::mousePressEvent(QMouseEvent *e) {
    const int hit = tabAt(e->position().toPoint());
    if (!Refused(e,
                 e->button() == Qt::LeftButton && hit >= 0 && hit != currentIndex() && !allowed()))
        QTabBar::mousePressEvent(e);
}

void PageTabBar::mouseDoubleClickEvent(QMouseEvent *e) {
    // A double click is two presses to the tab strip; the second one is
    // treated like the first.
    mousePressEvent(e);
}

void PageTabBar::keyPressEvent(QKeyEvent *e) {
    static constexpr int pageKeys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up,
                                       Qt::Key_Down, Qt::Key_Home,  Qt::Key_End};
    if (!Refused(e, std::ranges::count(pageKeys, e->key()) > 0 && !allowed()))
        QTabBar::keyPressEvent(e);
}

void PageTabBar::wheelEvent(QWheelEvent *e) {
    if (!Refused(e, !allowed()))
        QTabBar::wheelEvent(e);
}

PageControl::PageControl(QWidget *parent) : QTabWidget(parent), bar_(new PageTabBar(this)) {
    setTabBar(bar_);
}

void PageControl::keyPressEvent(QKeyEvent *e) {
    static constexpr int pageKeys[] = {Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_PageUp,
                                       Qt::Key_PageDown};
    const bool pageKey =
        (e->modifiers() & Qt::ControlModifier) && std::ranges::count(pageKeys, e->key()) > 0;
    if (!Refused(e, pageKey && count() > 1 && !bar_->allowed()))
        QTabWidget::keyPressEvent(e);
}

int TitleModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : rows_;
}

QVariant TitleModel::data(const QModelIndex &index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_)
        return {};
    return titleText(index.row());
}

void TitleModel::setRecords(const Records *records) {
    beginResetModel();
    records_ = records;
    rows_ = records ? int(records->size()) : 0;
    endResetModel();
}

QByteArray TitleModel::title(int row) const {
    if (!records_ || row < 0 || row >= records_->size())
        return QByteArray();
    return MakeTitle(records_->at(row));
}

QString TitleModel::titleText(int row) const {
    return DecodeCp932(title(row));
}

QList<QByteArray> TitleModel::titles() const {
    QList<QByteArray> titles;
    titles.reserve(rows_);
    for (int row = 0; row < rows_; ++row)
        titles.append(title(row));
    return titles;
}

void RowDelegate::paint(QPainter *p, const QStyleOptionViewItem &option,
                        const QModelIndex &index) const {
    const bool selected = option.state & QStyle::State_Selected;
    p->save();
    painter_(p, index.row(), option.rect, selected);
    p->restore();
    if (option.state & QStyle::State_HasFocus) {
        // The list control's own focus rectangle around the focused row.
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.state |= QStyle::State_KeyboardFocusChange;
        focus.backgroundColor =
            option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
        if (const QWidget *w = option.widget)
            w->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, p, w);
    }
}

QSize RowDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const {
    return QSize(1, rowHeight_);
}

TitleListView::TitleListView(QWidget *parent) : QListView(parent), model_(new TitleModel(this)) {
    setModel(model_);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    scrollTimer_.setInterval(50);
    connect(&scrollTimer_, &QTimer::timeout, this, &TitleListView::AutoScroll);
    // Rows filled anew stand for other records: the row being dragged is gone.
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, &TitleListView::CancelDrag);
}

int TitleListView::itemIndex() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TitleListView::setItemIndex(int row) {
    if (row < 0 || row >= model_->count()) {
        selectionModel()->clearSelection();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        return;
    }
    const QModelIndex idx = model_->index(row);
    selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect);
    scrollTo(idx);
}

void TitleListView::mousePressEvent(QMouseEvent *e) {
    if (e->button() == Qt::RightButton) {
        // The context menu acts on the row selected before.
        e->accept();
        return;
    }
    const QPoint pos = e->position().toPoint();
    const QModelIndex at = indexAt(pos);
    QListView::mousePressEvent(e);
    if (draggable_ && e->button() == Qt::LeftButton && at.isValid()) {
        held_ = true;
        dragFrom_ = at.row();
        pressedAt_ = pos;
        dragging_ = false;
    }
}

void TitleListView::mouseMoveEvent(QMouseEvent *e) {
    if (!held_) {
        QListView::mouseMoveEvent(e);
        return;
    }
    // The selection does not follow the pointer; after a cancelled drag the
    // rest of the press does nothing.
    e->accept();
    if (dragFrom_ < 0)
        return;
    const QPoint pos = e->position().toPoint();
    if (!dragging_) {
        if ((pos - pressedAt_).manhattanLength() < QApplication::startDragDistance())
            return;
        dragging_ = true;
        viewport()->setCursor(Qt::DragMoveCursor);
    }
    DragTo(pos);
}

void TitleListView::mouseReleaseEvent(QMouseEvent *e) {
    if (!held_ || e->button() != Qt::LeftButton) {
        QListView::mouseReleaseEvent(e);
        return;
    }
    // The press made its selection, as a click does; the list's own release
    // would select the row the pointer is over now.
    e->accept();
    const bool dragged = dragging_ && dragFrom_ >= 0;
    const int from = dragFrom_;
    const int to = DropRowAt(e->position().toPoint());
    CancelDrag();
    held_ = false;
    if (dragged && to >= 0)
        Q_EMIT rowDropped(from, to);
}

void TitleListView::keyPressEvent(QKeyEvent *e) {
    if (dragging_ && e->key() == Qt::Key_Escape) {
        CancelDrag();
        e->accept();
        return;
    }
    QListView::keyPressEvent(e);
}

void TitleListView::hideEvent(QHideEvent *e) {
    CancelDrag();
    held_ = false;
    QListView::hideEvent(e);
}

void TitleListView::paintEvent(QPaintEvent *e) {
    QListView::paintEvent(e);
    if (!dragging_ || dropRow_ < 0 || dropRow_ == dragFrom_)
        return;
    // Where the row would land: above the row it takes when it moves up,
    // below it when it moves down.
    const QRect r = visualRect(model_->index(dropRow_));
    const int y = dropRow_ < dragFrom_ ? r.top() : r.bottom();
    QPainter p(viewport());
    p.setPen(QPen(palette().color(QPalette::Text), 2));
    p.drawLine(0, y, viewport()->width(), y);
}

int TitleListView::DropRowAt(const QPoint &pos) const {
    if (!viewport()->rect().contains(pos))
        return -1;
    const QModelIndex at = indexAt(pos);
    if (at.isValid())
        return at.row();
    const int last = model_->count() - 1;
    if (last >= 0 && pos.y() > visualRect(model_->index(last)).bottom())
        return last;
    return -1;
}

void TitleListView::DragTo(const QPoint &pos) {
    pointer_ = pos;
    const int row = DropRowAt(pos);
    if (row != dropRow_) {
        dropRow_ = row;
        viewport()->update();
    }
    const int margin = autoScrollMargin();
    if (pos.y() < margin || pos.y() >= viewport()->height() - margin) {
        if (!scrollTimer_.isActive())
            scrollTimer_.start();
    } else {
        scrollTimer_.stop();
    }
}

void TitleListView::AutoScroll() {
    // One row a tick towards the edge the pointer is near.
    QScrollBar *bar = verticalScrollBar();
    const int old = bar->value();
    bar->setValue(old + (pointer_.y() < viewport()->height() / 2 ? -1 : 1));
    if (bar->value() == old) {
        scrollTimer_.stop();
        return;
    }
    DragTo(pointer_); // other rows are under the pointer now
}

void TitleListView::CancelDrag() {
    scrollTimer_.stop();
    if (dragging_)
        viewport()->unsetCursor();
    dragFrom_ = -1;
    dragging_ = false;
    dropRow_ = -1;
    viewport()->update();
}

void TitleListView::mouseDoubleClickEvent(QMouseEvent *e) {
    QListView::mouseDoubleClickEvent(e);
    if (e->button() == Qt::LeftButton)
        Q_EMIT doubleClickedAnywhere();
}

QString MemoEdit::text() const {
    QString t = toPlainText();
    t.replace(QChar::LineSeparator, QLatin1Char('\n'));
    t.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return t;
}

void MemoEdit::setText(const QString &text) {
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    setPlainText(t);
}

namespace {
// The keys with which a text area takes back and makes again its own typing,
// whatever the window's menus bind them to.
enum class TextHistoryKey { None, Undo, Redo };
TextHistoryKey TextHistoryKeyOf(const QKeyEvent *e) {
    const Qt::KeyboardModifiers mods =
        e->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    if (e->key() == Qt::Key_Z && mods == Qt::ControlModifier)
        return TextHistoryKey::Undo;
    if ((e->key() == Qt::Key_Y && mods == Qt::ControlModifier) ||
        (e->key() == Qt::Key_Z && mods == (Qt::ControlModifier | Qt::ShiftModifier)))
        return TextHistoryKey::Redo;
    return TextHistoryKey::None;
}

// Claims those keys before the window's shortcuts see them.
bool ClaimTextHistoryKey(QEvent *e) {
    if (e->type() == QEvent::ShortcutOverride &&
        TextHistoryKeyOf(static_cast<QKeyEvent *>(e)) != TextHistoryKey::None) {
        e->accept();
        return true;
    }
    return false;
}

// Takes back or makes again the text's own typing; false for any other key.
template <class Text> bool TextHistoryKeyPressed(Text *text, QKeyEvent *e) {
    const TextHistoryKey key = TextHistoryKeyOf(e);
    if (key == TextHistoryKey::None)
        return false;
    key == TextHistoryKey::Undo ? text->undo() : text->redo();
    e->accept();
    return true;
}
} // namespace

bool MemoEdit::canInsertFromMimeData(const QMimeData *source) const {
    const QList<QUrl> urls = source->urls();
    if (!urls.isEmpty() && std::ranges::all_of(urls, &QUrl::isLocalFile))
        return false;
    return QPlainTextEdit::canInsertFromMimeData(source);
}

bool MemoEdit::event(QEvent *e) {
    return ClaimTextHistoryKey(e) || QPlainTextEdit::event(e);
}

void MemoEdit::keyPressEvent(QKeyEvent *e) {
    if (!TextHistoryKeyPressed(this, e))
        QPlainTextEdit::keyPressEvent(e);
}

bool TextField::event(QEvent *e) {
    return ClaimTextHistoryKey(e) || QLineEdit::event(e);
}

void TextField::keyPressEvent(QKeyEvent *e) {
    if (!TextHistoryKeyPressed(this, e))
        QLineEdit::keyPressEvent(e);
}

QPushButton *MakeButton(QWidget *parent, const char *name, const char *caption, int l, int t, int w,
                        int h) {
    auto *b = new QPushButton(U(caption), parent);
    b->setObjectName(U(name));
    b->setGeometry(l, t, w, h);
    b->setAutoDefault(false);
    return b;
}
