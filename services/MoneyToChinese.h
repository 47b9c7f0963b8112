#pragma once
// An amount of money written in Chinese capital numerals, as printed on bills and cheques
// ("壹佰元零壹分", "负壹元贰角整").
#include <QString>

// The amount is taken as a currency value (four decimals) and written to the fen.
// Throws EConvertError for amounts of 10^12 yuan or more, which the unit table cannot name.
QString MoneyToChinese(double amount);
