// The two start-up options of the Settings menu (the stored value decides a
// click, not the check mark; a click never changes the caption), and the list
// file a start opens.
#include "settings/settings.h"

#include "platform/apperror.h"
#include "platform/cp932.h"
#include "platform/platform.h"
#include "settings/inifile.h"
#include "ui/Quorvelmain.h"

#include <QAction>

namespace {

void Toggle(QAction *item, const QByteArray &key) {
    // The menu toggles the check mark itself; put it back until the stored
    // value has decided (a failed write leaves the item as it was).
    item->setChecked(!item->isChecked());
    // Read and written through one reading of the file: a value that cannot
    // be read is not taken for 0.
    const QString path = TForm1::SettingsFileName();
    Ini::Changes ini(path);
    const bool on = ini.ReadInteger("Setting", key, 0) == 1;
    ini.WriteInteger("Setting", key, on ? 0 : 1);
    try {
        ini.Save();
    } catch (const AppError &) {
        // The file may hold the new value already (only its flush to disk
        // failed): the mark shows what the file holds.
        item->setChecked(Ini::ReadInteger(path, "Setting", key, 0) == 1);
        throw;
    }
    item->setChecked(!on);
}

} // namespace

QString CurrentListFileName() {
    const ProgramPlaces places = Places();
    // A value never holds a line end, so "\n" stands for a missing key.
    const QByteArray last = Ini::ReadString(places.settingsFile, "File", "LastFileName", "\n");
    return last == "\n" ? places.defaultListFile : DecodeCp932(last);
}

void TForm1::N9Click() {
    Toggle(N9, "Page");
}

void TForm1::N10Click() {
    Toggle(N10, "Trash");
}
