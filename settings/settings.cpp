// The two start-up options of the Settings menu. The stored value decides a
// click, not the check mark; a click never changes the caption.
#include "settings/inifile.h"
#include "ui/Quorvelmain.h"

#include <QAction>

namespace {

void Toggle(QAction *item, const QByteArray &key) {
    const QString ini = TForm1::SettingsFileName();
    if (Ini::ReadInteger(ini, "Setting", key, 0) == 1) {
        Ini::WriteInteger(ini, "Setting", key, 0);
        item->setChecked(false);
    } else {
        Ini::WriteInteger(ini, "Setting", key, 1);
        item->setChecked(true);
    }
}

} // namespace

void TForm1::N9Click() {
    // The menu toggles the check mark itself; put it back until the stored
    // value has decided (a failed write leaves the item as it was).
    N9->setChecked(!N9->isChecked());
    Toggle(N9, "Page");
}

void TForm1::N10Click() {
    N10->setChecked(!N10->isChecked());
    Toggle(N10, "Trash");
}
