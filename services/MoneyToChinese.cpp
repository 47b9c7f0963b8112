#include "services/MoneyToChinese.h"

#include "platform/Exceptions.h"

#include <cmath>

QString MoneyToChinese(double amount)
{
    static const QString Units = QStringLiteral("分角元拾佰仟万拾佰仟亿拾佰仟");
    static const QString Numerals = QStringLiteral("壹贰叁肆伍陆柒捌玖");

    auto outOfRange = [amount] { return EConvertError(QStringLiteral("金额超出范围，无法转换为大写：%1").arg(amount, 0, 'f', 2)); };
    if (!std::isfinite(amount) || std::fabs(amount) >= 1e13)
        throw outOfRange();

    // Currency holds four decimals; the text is rounded half away from zero to the fen.
    const qint64 tenThousandths = std::llround(amount * 10000.0);
    const bool negative = tenThousandths < 0;
    const qint64 magnitude = negative ? -tenThousandths : tenThousandths;
    const qint64 fen = (magnitude + 50) / 100;

    QString digits = QString::number(fen);
    while (digits.size() < 3) // "#0.00": at least one integer digit
        digits.prepend(QLatin1Char('0'));
    // The unit table ends at 仟亿: anything from a trillion yuan up has no units to write.
    if (digits.size() > Units.size())
        throw outOfRange();

    QString text;
    if (negative && fen != 0)
        text += QStringLiteral("负");

    const QChar yi = QChar(0x4EBF);   // 亿
    const QChar wan = QChar(0x4E07);  // 万
    const QChar yuan = QChar(0x5143); // 元
    bool pendingZero = false;
    for (int i = 0; i < digits.size(); ++i) {
        const int position = digits.size() - 1 - i;
        const QChar unit = Units.at(position);
        const int digit = digits.at(i).digitValue();
        if (digit != 0) {
            if (pendingZero)
                text += QStringLiteral("零");
            pendingZero = false;
            text += Numerals.at(digit - 1);
            text += unit;
            continue;
        }
        pendingZero = true;
        if (unit == yi || unit == yuan || (unit == wan && !text.endsWith(yi)))
            text += unit;
    }
    if (digits.endsWith(QLatin1Char('0')))
        text += QStringLiteral("整");
    return text;
}
