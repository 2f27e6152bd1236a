// Writing, editing, ordering and colouring memos, and painting the title rows.
#include "platform/cp932.h"
#include "ui/Quorvelmain.h"
#include "ui/widgets.h"

#include <QPainter>

void TForm1::Button1Click() {}
void TForm1::Button2Click() {}
void TForm1::Button3Click() {}
void TForm1::ToTopClick() {}
void TForm1::ToBottomClick() {}
void TForm1::ListBox1DblClick() {}
void TForm1::N1Click() {}
void TForm1::Button4Click() {}
void TForm1::BgColorClick() {}

void TForm1::ListBox1DrawItem(QPainter *Canvas, int Index, const QRect &Rect, bool Selected) {
    const QPalette &pal = ListBox1->palette();
    Canvas->fillRect(Rect, pal.color(Selected ? QPalette::Highlight : QPalette::Base));
    Canvas->setPen(pal.color(Selected ? QPalette::HighlightedText : QPalette::Text));
    Canvas->setFont(ListBox1->font());
    const QList<QByteArray> &titles = ListBox1->titleModel()->titles();
    if (Index >= 0 && Index < titles.size())
        Canvas->drawText(Rect.adjusted(2, 0, 0, 0),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         DecodeCp932(titles.at(Index)));
}
