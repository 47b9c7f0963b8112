#include "host/Rounding.h"

#include "platform/Decimal.h"

double Round(double value, int decimals) { return DecimalRound(value, decimals); }

int CurrencyDecimals() { return 2; }

double TruncateCurrency(double amount) { return DecimalRound(amount, CurrencyDecimals()); }
