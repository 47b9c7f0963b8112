#include "platform/TextRules.h"

namespace {
bool IsNoncharacter(char32_t c)
{
    return (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}
} // namespace

qsizetype FirstRefusedChar(const QString& text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text.at(i).unicode();
        if (u < 0x20) {
            if (u != u'\t' && u != u'\n' && u != u'\r')
                return i;
            continue;
        }
        if (u == 0x7F)
            return i;
        if (QChar::isHighSurrogate(u)) {
            if (i + 1 >= n || !QChar::isLowSurrogate(text.at(i + 1).unicode()))
                return i;
            if (IsNoncharacter(QChar::surrogateToUcs4(u, text.at(i + 1).unicode())))
                return i;
            ++i;
            continue;
        }
        if (QChar::isLowSurrogate(u) || IsNoncharacter(u))
            return i;
    }
    return -1;
}

QString RefusedTextReason(const QString& text)
{
    const qsizetype i = FirstRefusedChar(text);
    if (i < 0)
        return QString();
    char32_t code = text.at(i).unicode();
    const bool pair = QChar::isHighSurrogate(text.at(i).unicode()) && i + 1 < text.size() && QChar::isLowSurrogate(text.at(i + 1).unicode());
    if (pair)
        code = QChar::surrogateToUcs4(text.at(i).unicode(), text.at(i + 1).unicode());
    const QString hex = QStringLiteral("U+") + QString::number(uint(code), 16).rightJustified(4, QLatin1Char('0')).toUpper();
    QString kind;
    if (code < 0x20 || code == 0x7F)
        kind = QStringLiteral("控制字符");
    else if (QChar::isSurrogate(code))
        kind = QStringLiteral("不成对的代理字符");
    else
        kind = QStringLiteral("非字符码位");
    return QStringLiteral("第%1个字符 (%2) 是%3，不能保存").arg(i + 1).arg(hex, kind);
}
