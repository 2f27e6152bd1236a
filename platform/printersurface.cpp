// The page surface on a printer the user chooses in the print dialog.
#include "platform/pagesurface.h"

#include <QWidget>
#include <memory>

std::unique_ptr<PageSurface> ChoosePrinterSurface(QWidget *) {
    // Printing is not built yet: the print dialog is not offered.
    return nullptr;
}
