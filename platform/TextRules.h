#pragma once
// Which characters a bill accepts in its texts (codes, names, memos).
//
// Everything a user can type is stored and read back exactly, except characters that no
// keyboard produces on purpose and that packets and printouts cannot carry faithfully: C0
// control characters other than tab, line feed and carriage return, DEL, Unicode
// noncharacters (U+FDD0..U+FDEF and the last two code points of every plane, U+FFFE and
// U+FFFF among them) and UTF-16 surrogates that are not part of a pair. Such text is refused
// with a message before anything is saved.
#include <QString>

// The first refused character's position (in QChar units) or -1 when every character is
// accepted.
qsizetype FirstRefusedChar(const QString& text);
// "" when the text is accepted; otherwise a Chinese message naming the character's position
// and code point, e.g. "第3个字符 (U+0007) 是控制字符，不能保存".
QString RefusedTextReason(const QString& text);
