// The parts of the memo commands that the trash shares: saving the new-memo
// text with a result the caller can act on.
#pragma once

#include "platform/fileio.h"
#include "store/history.h"

#include <QByteArray>
#include <QString>
#include <optional>

class TForm1;

enum class NewMemoResult {
    Saved,    // appended to the list file
    Empty,    // refused: the new-memo area is empty
    NotSaved, // refused or failed: nothing was appended
};

// Saves the text of Memo1 as a new memo at the end of the list file and shows
// the page that follows a save. bytesShown, when given, are the bytes Memo1
// was filled from: while Memo1 shows exactly them, they are saved as they
// are. Throws when the list file cannot be opened or created. When saved,
// appended and written receive what the save added to the list file and the
// file's stamp afterwards.
NewMemoResult SaveNewMemo(TForm1 &form, const QByteArray *bytesShown = nullptr,
                          Splice *appended = nullptr, FileStamp *written = nullptr);

// Saves text from quick capture as a new memo at the end of the window's list
// file, as the new-memo page's Button1 does (its refusals and messages, the
// history), but the window keeps its page: the list page, when it shows, is
// loaded again with the memo selected kept. True when saved. Throws when the
// list file cannot be opened or created.
bool SaveQuickMemo(TForm1 &form, const QString &text);
