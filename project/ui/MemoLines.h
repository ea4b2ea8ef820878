// The project window's memos as the engine sees them: lines of
// Windows-1251 text.
#pragma once

#include "StringList.h"

class QPlainTextEdit;

namespace orvana {

// The lines a memo holds, as the engine sees them: its text split at its line
// breaks (paragraph ends and the line separators Shift+Return inserts), one
// final empty line not counted, lines never shortened.
TStringList MemoLinesOf(const QPlainTextEdit& memo);

// Makes the memo hold exactly the given lines: MemoLinesOf gives them back.
// Each line break inside a line (LF or CR) starts a new memo line.
void SetMemoLines(QPlainTextEdit& memo, const TStringList& lines);

}  // namespace orvana
