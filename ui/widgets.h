// The widgets the main window is built from where plain Qt ones do not
// behave as the program needs: the page control whose user-made page changes
// can be refused, and the owner-drawn title lists over a model of titles.
#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QLineEdit>
#include <QList>
#include <QListView>
#include <QPlainTextEdit>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <functional>

class QPushButton;
class Records;

// A named push button at l, t, w x h, which Enter passes by.
QPushButton *MakeButton(QWidget *parent, const char *name, const char *caption, int l, int t, int w,
                        int h);

// The tab strip: every page change the user asks for (a click on a tab, the
// arrow keys, the mouse wheel) is first put to the veto.
class PageTabBar : public QTabBar {
    Q_OBJECT
  public:
    explicit PageTabBar(QWidget *parent = nullptr) : QTabBar(parent) {}
    // The veto: whether a page change the user asks for may happen.
    std::function<bool()> allowUserChange;
    bool allowed() { return !allowUserChange || allowUserChange(); }

  protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;
};

// The page control. Ctrl+Tab and Ctrl+Shift+Tab (and Ctrl+PageUp/Down) go
// through the veto too; changes made by the program never do.
class PageControl : public QTabWidget {
    Q_OBJECT
  public:
    explicit PageControl(QWidget *parent = nullptr);
    PageTabBar *pageTabBar() const { return bar_; }

  protected:
    void keyPressEvent(QKeyEvent *e) override;

  private:
    PageTabBar *bar_;
};

// The rows of a title list: one per record, each showing its record's title
// (code page 932 bytes, decoded only to be shown). The model reads the
// records where they are held (a list file's), works a title out only when a
// row is drawn or asked for, and is set anew whenever they change, so that a
// list of any length is set in constant time. A row past the records held
// meanwhile shows nothing.
class TitleModel : public QAbstractListModel {
    Q_OBJECT
  public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    // The rows from now on: one per record (none for null).
    void setRecords(const Records *records);
    int count() const { return rows_; }
    // The title of a row (0 <= row < count()), as bytes and as screen text.
    QByteArray title(int row) const;
    QString titleText(int row) const;
    // The titles of all rows, in order.
    QList<QByteArray> titles() const;

  private:
    const Records *records_ = nullptr;
    int rows_ = 0;
};

// Paints each row through the window's own row-painting handler.
class RowDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using Painter = std::function<void(QPainter *, int row, const QRect &, bool selected)>;
    RowDelegate(int rowHeight, Painter painter, QObject *parent)
        : QStyledItemDelegate(parent), rowHeight_(rowHeight), painter_(std::move(painter)) {}
    void paint(QPainter *p, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

  private:
    int rowHeight_;
    Painter painter_;
};

// An owner-drawn list of fixed-height rows. A press of the right button opens
// the context menu without changing the selection; a double click anywhere in
// the list is reported.
//
// Rows may be made draggable: a row pressed with the left button and moved
// by the desktop's drag distance is dragged (a shorter move is a click, which
// only selects). While it is dragged the selection stays, a line shows where
// it would land, and the list scrolls when the pointer nears its top or
// bottom edge. Let go over a row, or below the last one, it is reported as
// dropped there; let go outside the list, with Escape, or when the list is
// filled anew meanwhile, nothing is. The list itself changes nothing.
class TitleListView : public QListView {
    Q_OBJECT
  public:
    explicit TitleListView(QWidget *parent = nullptr);
    TitleModel *titleModel() const { return model_; }
    // The selected row, or -1.
    int itemIndex() const;
    // Selects a row (-1: none) and makes it current.
    void setItemIndex(int row);
    void setRowsDraggable(bool on) { draggable_ = on; }

  Q_SIGNALS:
    void doubleClickedAnywhere();
    // Row from was dragged onto row to (the last row when let go below it).
    void rowDropped(int from, int to);

  protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void hideEvent(QHideEvent *e) override;

  private:
    // The row a drop at pos (viewport coordinates) lands on, or -1.
    int DropRowAt(const QPoint &pos) const;
    void DragTo(const QPoint &pos);
    void CancelDrag();
    void AutoScroll();

    TitleModel *model_;
    bool draggable_ = false;
    // The left button went down on a row and is still held: the pointer's
    // moves are the drag's, not the selection's.
    bool held_ = false;
    // The row being dragged (-1: none, or the drag was cancelled), where it
    // was pressed, and whether it has moved far enough to be a drag.
    int dragFrom_ = -1;
    QPoint pressedAt_;
    bool dragging_ = false;
    QPoint pointer_;
    int dropRow_ = -1;
    QTimer scrollTimer_;
};

// A multi-line edit area whose text, as the program uses it, is its lines
// joined by CR LF (soft line breaks count as line breaks).
class MemoEdit : public QPlainTextEdit {
    Q_OBJECT
  public:
    using QPlainTextEdit::QPlainTextEdit;
    // The text with lines joined by CR LF.
    QString text() const;
    // Sets the text; CR LF, CR or LF separate lines.
    void setText(const QString &text);

  protected:
    // Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z act on the area's own text.
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    // A file dragged from a file manager is not taken as text: it goes to
    // the window, which opens a list file dropped on it.
    bool canInsertFromMimeData(const QMimeData *source) const override;
};

// A one-line text field whose Ctrl+Z, Ctrl+Y and Ctrl+Shift+Z act on its own
// text, as in MemoEdit.
class TextField : public QLineEdit {
    Q_OBJECT
  public:
    using QLineEdit::QLineEdit;

  protected:
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
};
