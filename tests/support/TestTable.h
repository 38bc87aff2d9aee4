#pragma once
// Rows of a data-driven test read from a table under tests/data. Its first line names the
// columns as "name:type" (type str, the default, or bytes, int, long, bool, float, double;
// a number also reads nan, inf and -inf; an error is text where ENOENT, EISDIR, EACCES,
// EFBIG and ELOOP stand for the system's text of that error; strs is a QStringList split at
// ';'; floats, doubles, ints and rgbs are lists of numbers apart by spaces (0x.. for
// hexadecimal); size, point, rect (x y w h) and line (x1 y1 x2 y2) their Qt types of those
// numbers; rgb a QRgb as 0xAARRGGBB); each further line is a row: its name, then one cell
// per column, cells separated by '|' and trimmed. Blank lines and lines starting
// with '#' are skipped. Cells take escapes so that any value fits in a line: \n \r \t,
// \s (a space), \xHH (a byte), \uHHHH (a UTF-16 unit, in text); a backslash before any other
// character (| or another backslash) stands for that character. An empty table or a row
// that does not fit fails the test.
#include <QString>

bool AddTableRows(const QString& file);  // relative to tests/data
