#pragma once
// Pinyin initials: the mnemonic code ("pyassist") users type to find goods, clients and
// vendors.
//
// GetPYIndexChar("可口可乐330ml") == "KKKL330ML":
// - every Chinese character (CJK unified ideographs U+4E00..U+9FFF, which include all 6763
//   GB2312 characters) gives the upper-case initial of its usual reading; polyphones take
//   the reading common in names of goods, places and firms (重庆 -> CQ, 银行 -> YH);
// - ASCII letters are kept, upper-cased, and digits are kept (full-width forms count as
//   their ASCII twins);
// - everything else (spaces, punctuation, symbols, characters without a reading) is
//   dropped, since a mnemonic code is matched with like '%...%' and separators would only
//   get in the way.
#include <QChar>
#include <QString>

QString GetPYIndexChar(const QString& text);
// The initial of one character, or a null QChar when it contributes nothing.
QChar PinyinInitial(char32_t codePoint);
