// The recent-file list and the file commands come with the file commands work.
#include "ui/Quorvelmain.h"

void TForm1::UpdateRecentFiles() {}
void TForm1::BuildRecentMenu() {}
void TForm1::RecentFileClick(QAction *) {}
void TForm1::New1Click() {}
void TForm1::FopenClick() {}
void TForm1::SaveAs1Click() {}
