// The title list over its records: each row shows its record's title, the
// rows keep the records they were given, a long list scrolls to its end, and
// a row dragged with the mouse is reported where it is let go.
#include "platform/cp932.h"
#include "store/record.h"
#include "store/records.h"
#include "ui/widgets.h"

#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QByteArray Sjis(const char *utf8) {
    return *EncodeCp932(QString::fromUtf8(utf8));
}

// Records as a file of these lines holds them.
Records Held(const QList<QByteArray> &lines) {
    Records records;
    records.Take(lines.join("\r\n") + (lines.isEmpty() ? "" : "\r\n"));
    return records;
}

TEST(TitleModel, RowsShowTheTitlesOfTheirRecords) {
    const QByteArray longLine =
        Sjis("あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほ");
    const Records records = Held({
        Sjis("買い物") + LineBreakMarker() + Sjis("牛乳"),
        longLine,
        "plain" + ColorMarker() + "clRed",
        "",
    });
    TitleModel model;
    model.setRecords(&records);
    ASSERT_EQ(model.count(), 4);
    EXPECT_EQ(model.titles(), (QList<QByteArray>{Sjis("買い物"), longLine.left(54), "plain", ""}));
    EXPECT_EQ(model.data(model.index(0), Qt::DisplayRole).toString(), QString::fromUtf8("買い物"));
    EXPECT_EQ(model.titleText(1), DecodeCp932(longLine.left(54)));
    EXPECT_FALSE(model.data(model.index(4), Qt::DisplayRole).isValid());
}

TEST(TitleModel, RowsPastTheRecordsHeldShowNothing) {
    // The rows keep their number until they are set again; records that
    // went meanwhile (a reload that failed) leave their rows empty.
    Records records = Held({"a", "b"});
    TitleModel model;
    model.setRecords(&records);
    records.Take("changed\r\n");
    EXPECT_EQ(model.count(), 2);
    EXPECT_EQ(model.titles(), (QList<QByteArray>{"changed", ""}));
    EXPECT_FALSE(model.data(model.index(1), Qt::DisplayRole).toString().size());
    model.setRecords(&records);
    EXPECT_EQ(model.count(), 1);
}

TEST(TitleListView, LongListScrollsToItsLastRow) {
    constexpr int kRows = 200000;
    QList<QByteArray> lines;
    lines.reserve(kRows);
    for (int i = 0; i < kRows; ++i)
        lines.append("memo " + QByteArray::number(i));
    const Records records = Held(lines);
    TitleListView view;
    view.resize(200, 100);
    view.show();
    view.titleModel()->setRecords(&records);
    view.setItemIndex(kRows - 1);
    QApplication::processEvents();
    // The whole list is laid out at once: the scroll bar reaches the last
    // row, which is in view and found where it is drawn.
    const QModelIndex last = view.titleModel()->index(kRows - 1);
    EXPECT_TRUE(view.viewport()->rect().intersects(view.visualRect(last)));
    EXPECT_EQ(view.itemIndex(), kRows - 1);
    EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
    EXPECT_EQ(view.indexAt(view.visualRect(last).center()).row(), kRows - 1);
}

TEST(TitleListView, DraggedRowIsReportedWhereItIsLetGo) {
    TitleListView view;
    view.resize(300, 200);
    view.setRowsDraggable(true);
    const Records four = Held({"a", "b", "c", "d"});
    view.titleModel()->setRecords(&four);
    view.show();
    QApplication::processEvents();
    QSignalSpy drops(&view, &TitleListView::rowDropped);
    QWidget *vp = view.viewport();
    const auto centre = [&](int row) {
        return view.visualRect(view.titleModel()->index(row)).center();
    };
    // Press on a row, move by the drag distance, then over the points given.
    const auto drag = [&](int row, QList<QPoint> path) {
        QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, centre(row));
        QTest::mouseMove(vp, centre(row) + QPoint(0, QApplication::startDragDistance()));
        for (const QPoint &p : path)
            QTest::mouseMove(vp, p);
    };
    const auto release = [&](QPoint at) {
        QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, at);
    };

    // A move shorter than the drag distance is a click on the row pressed.
    view.setItemIndex(0);
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, centre(0) + QPoint(0, 4));
    QTest::mouseMove(vp, centre(0) + QPoint(0, 8));
    release(centre(0) + QPoint(0, 8));
    EXPECT_EQ(view.itemIndex(), 0);
    // The selection stays while the pointer passes other rows.
    drag(1, {centre(3), centre(0), QPoint(vp->width() - 3, centre(3).y())});
    EXPECT_EQ(view.itemIndex(), 1);
    release(QPoint(vp->width() - 3, centre(3).y()));
    drag(0, {centre(3) + QPoint(0, 30)});
    release(centre(3) + QPoint(0, 30));
    EXPECT_EQ(drops, (QList<QList<QVariant>>{{1, 3}, {0, 3}}));

    // No drop outside the list, nor when the rows were set anew meanwhile.
    drag(0, {QPoint(vp->width() + 20, centre(2).y())});
    release(QPoint(vp->width() + 20, centre(2).y()));
    drag(1, {});
    const Records three = Held({"x", "y", "z"});
    view.titleModel()->setRecords(&three);
    release(centre(2));
    EXPECT_EQ(drops.size(), 2);
}

} // namespace
