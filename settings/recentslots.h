// The recent-file list as stored: five slots, keys ID0 to ID4 of the
// section "RecentFile", slot 0 the most recent, each a full path in code
// page 932 or empty. These functions decide what the slots become and how
// an entry of the File menu shows a slot; reading and writing the settings
// file and the menu itself are the main window's business.
#pragma once

#include <QByteArray>
#include <QString>
#include <array>

inline constexpr int RecentSlotCount = 5;
using RecentSlots = std::array<QByteArray, RecentSlotCount>;

// "ID0" to "ID4".
QByteArray RecentKey(int slot);

struct RecentUpdate {
    // The five values to write back, empty ones included.
    RecentSlots values;
    // True when path became slot 0.
    bool added = false;
};

// The slots after path was made current. When its file exists, path goes to
// slot 0: with no slot equal to it (byte for byte) the others move down one
// and slot 4 is dropped; otherwise the last equal slot k is taken out, the
// slots before k move down one and those after k stay. When the file does
// not exist, path is not added: the slots are kept in their order without
// the ones equal to path, and the gap is filled with empty slots at the end.
RecentUpdate UpdateRecentSlots(const RecentSlots &read, const QByteArray &path, bool fileExists);

// The caption of the menu entry for a slot: the slot number plus one, a
// space and the path ("1 /home/a.lst").
QString RecentCaption(int slot, const QString &path);

// The text given to the menu entry: the caption with every "&" doubled, so
// the menu shows the caption as it is, with no accelerator taken from it.
QString RecentMenuText(const QString &caption);
// The caption back from a menu entry's text.
QString RecentCaptionOf(const QString &menuText);
// The path of an entry: its caption from the third character on.
QString RecentPathOf(const QString &caption);
