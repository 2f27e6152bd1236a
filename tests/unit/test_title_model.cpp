// The title list over its records: each row shows its record's title, the
// rows keep the records they were given, and a long list scrolls to its end.
#include "platform/cp932.h"
#include "store/record.h"
#include "ui/widgets.h"

#include <QApplication>
#include <QScrollBar>
#include <gtest/gtest.h>

namespace {

QByteArray Sjis(const char *utf8) {
    return *EncodeCp932(QString::fromUtf8(utf8));
}

TEST(TitleModel, RowsShowTheTitlesOfTheirRecords) {
    const QByteArray longLine =
        Sjis("あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほ");
    const QList<QByteArray> records = {
        Sjis("買い物") + LineBreakMarker() + Sjis("牛乳"),
        longLine,
        "plain" + ColorMarker() + "clRed",
        "",
    };
    TitleModel model;
    model.setRecords(records);
    ASSERT_EQ(model.count(), 4);
    EXPECT_EQ(model.titles(), (QList<QByteArray>{Sjis("買い物"), longLine.left(54), "plain", ""}));
    EXPECT_EQ(model.data(model.index(0), Qt::DisplayRole).toString(), QString::fromUtf8("買い物"));
    EXPECT_EQ(model.titleText(1), DecodeCp932(longLine.left(54)));
    EXPECT_FALSE(model.data(model.index(4), Qt::DisplayRole).isValid());
}

TEST(TitleModel, RowsKeepTheRecordsTheyWereGiven) {
    // The rows stand for the records as loaded; a later change to the
    // caller's list must not show through until the rows are set again.
    QList<QByteArray> records = {"a", "b"};
    TitleModel model;
    model.setRecords(records);
    records[0] = "changed";
    records.append("c");
    EXPECT_EQ(model.count(), 2);
    EXPECT_EQ(model.title(0), QByteArray("a"));
    records.clear();
    EXPECT_EQ(model.titles(), (QList<QByteArray>{"a", "b"}));
}

TEST(TitleListView, LongListScrollsToItsLastRow) {
    constexpr int kRows = 200000;
    QList<QByteArray> records;
    records.reserve(kRows);
    for (int i = 0; i < kRows; ++i)
        records.append("memo " + QByteArray::number(i));
    TitleListView view;
    view.resize(200, 100);
    view.show();
    view.titleModel()->setRecords(records);
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

} // namespace
