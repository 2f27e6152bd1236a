// New memos from outside the window (the command line, standard input) and
// the titles of a list as the command line prints them. The rules of a new
// memo's text are the new-memo page's, shared by every way of saving one.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// "何か入力してください。": an empty new memo.
QString EmptyMemoMessage();
// "新規入力内容の保存時にエラーが発生しました。": a new memo not written.
QString NewMemoFailedMessage();

// The code page 932 bytes of a memo's text (lines joined by CR LF), or
// nullopt and the refusal to show when a character has none, or is a NUL,
// which would end the list file's text early and hide every memo after it:
// "保存できない文字が含まれています：「X」", X the character ("NUL" for a NUL).
std::optional<QByteArray> MemoTextBytes(const QString &text, QString *refusal);
// The same for a new memo, which an empty text also refuses.
std::optional<QByteArray> NewMemoBytes(const QString &text, QString *refusal);

// A memo's text as given on the command line or read from standard input,
// with its lines joined by CR LF as the new-memo page joins them: every line
// end (CR LF, LF, or a lone CR, each of which would end a record in the
// list file) becomes CR LF. dropLastLineEnd drops the one at the very end.
QString MemoTextFrom(QString text, bool dropLastLineEnd);
// Standard input's bytes as a memo's text: UTF-8 (a byte order mark at the
// start left out; bytes that are not UTF-8 become U+FFFD, which no memo can
// hold), the line end at the very end dropped.
QString MemoTextFromInput(const QByteArray &utf8);

// The titles of a list file's content, one a line in UTF-8: the memo's
// number from 1, a tab, its title, a line feed.
QByteArray TitleListing(QByteArrayView content);
