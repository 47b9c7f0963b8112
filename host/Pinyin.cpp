#include "host/Pinyin.h"

#include <QList>
#include <QStringView>

namespace {
#include "host/PinyinTable.inc"
} // namespace

QChar PinyinInitial(char32_t cp)
{
    // Full-width ASCII (U+FF01..U+FF5E) maps onto ASCII.
    if (cp >= 0xFF01 && cp <= 0xFF5E)
        cp = cp - 0xFF01 + 0x21;
    if (cp < 128) {
        const char c = static_cast<char>(cp);
        if (c >= 'a' && c <= 'z')
            return QChar(c - 'a' + 'A');
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
            return QChar(c);
        return QChar();
    }
    if (cp == 0x3007) // 〇 (ling)
        return QChar('L');
    if (cp >= kPinyinFirst && cp <= kPinyinLast) {
        const char c = kPinyinInitials[cp - kPinyinFirst];
        return c == '-' ? QChar() : QChar(c);
    }
    return QChar();
}

QString GetPYIndexChar(const QString& text)
{
    QString r;
    r.reserve(text.size());
    for (char32_t cp : QStringView(text).toUcs4()) {
        const QChar c = PinyinInitial(cp);
        if (!c.isNull())
            r += c;
    }
    return r;
}
