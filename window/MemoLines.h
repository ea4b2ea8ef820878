// The project window's memos as the engine sees them: lines of
// Windows-1251 text.
#pragma once

#include <QString>

#include "engine/StringList.h"

class QPlainTextEdit;

namespace orvana {

// The lines a memo holds, as the engine sees them: its text split at its line
// breaks (paragraph ends and the line separators Shift+Return inserts), one
// final empty line not counted, lines never shortened.
TStringList MemoLinesOf(const QPlainTextEdit& memo);

// Makes the memo hold exactly the given lines: MemoLinesOf gives them back.
// Each line break inside a line (LF or CR) starts a new memo line.
void SetMemoLines(QPlainTextEdit& memo, const TStringList& lines);

// The two halves of each, for texts so large that the windows must keep
// painting meanwhile. The conversions touch no widget and may run on any
// thread:
//   - MemoRawText takes the memo's text as it stands (quick, on the
//     window's thread), LinesOfMemoText makes it lines (MemoLinesOf);
//   - MemoTextOf makes lines the memo's text, SetMemoText shows it
//     (SetMemoLines), a large text a piece at a time with the windows
//     repainted between pieces.
QString MemoRawText(const QPlainTextEdit& memo);
TStringList LinesOfMemoText(const QString& raw);
QString MemoTextOf(const TStringList& lines);
void SetMemoText(QPlainTextEdit& memo, const QString& text);

}  // namespace orvana
