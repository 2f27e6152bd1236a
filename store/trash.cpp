// The trash: memos moved out of the list, restored or purged.
#include "ui/Quorvelmain.h"

#include <QPainter>

void TForm1::Button5Click() {}
void TForm1::DummyButtonClick() {}
void TForm1::D1Click() {}
void TForm1::TabSheet4Show() {}
void TForm1::RestoreClick() {}
void TForm1::Button6Click() {}
void TForm1::N6Click() {}
void TForm1::Button7Click() {}
void TForm1::ListBox3DrawItem(QPainter *, int, const QRect &, bool) {}
