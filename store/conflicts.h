// Lists kept in a folder that a sync tool copies between computers. When
// both sides changed a list before the tool copied it, the tool keeps one
// version under the list's name and the other as a conflict copy beside it.
// These rules tell such copies from other files, and find the memos that only
// a copy holds.
#pragma once

#include "store/records.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Whether copyName is the name a sync tool gives a conflict copy of the list
// file named listName (both names without their folder). For a list
// NAME.lst:
//   NAME.sync-conflict-YYYYMMDD-HHMMSS-XXXXXXX.lst    Syncthing (X: a capital
//                                                      letter or a digit)
//   NAME (conflicted copy ...).lst                    Nextcloud, ownCloud
//   NAME (...'s conflicted copy...).lst               Dropbox
// The tools keep the extension of the file they copy: a list named with
// another one (or none) has its copies named with that. So the copies of the
// trash file NAME.trh are never copies of the list.
bool IsConflictCopyName(const QString &listName, const QString &copyName);

// The conflict copies of the list file at listPath, as paths in its folder
// written as listPath writes it, the one modified longest ago first (by name
// among equals). Only plain files count; a folder that cannot be read has
// none.
QStringList ConflictCopiesOf(const QString &listPath);

// The records of a conflict copy that are neither in the list nor in the
// trash, in the copy's order. Records are compared byte for byte and counted
// with repeats: a record twice in the copy and once in the list is one of
// them, once.
QList<QByteArray> RecordsOnlyInCopy(const QList<QByteArray> &copy, const Records &list,
                                    const QList<QByteArray> &trash);
