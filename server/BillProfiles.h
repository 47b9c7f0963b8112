#pragma once
// The profile of every bill kind, written once: what the package registers, what each bill
// form carries, which server procedures save, delete and reverse it, and the `billkind` rows
// the server works from. Everything that differs between two bills only by a number or a
// name lives here; a bill form adds only its SQL and its own settings.
//
// Kept to Qt Core so that the client (forms, package) and the server link the same table.
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

struct TBillProfile {
    int BillType;             // the number stored with bills and sent as "RelevantBillType"
    const char* FormName;     // registered form name; the class is "T" + FormName
    const char* Caption;      // window caption, also "BillCaption" of the packets
    int PrivilegeId;          // id the form is registered under (FormPrivilegeID)
    int ReportType;           // print template type (report.rpttype)
    int CVFlag;               // side: 1 client, 2 vendor, 3 stock, -1 none
    int DBBillType;           // "DBBillType" of delete/red packets; -999 none
    int RelevantCredType;     // voucher type; 0 and -999 mean no voucher of its own
    const char* MasterTable;
    const char* KeyField;
    const char* DetailTable;  // nullptr: the bill has no lines
    const char* ProcStem;     // "POrder": Submit_POrder_Save, _Del, _Red
    const char* MasterTotalField; // master total column as the bill names it ("" none)
    const char* LineAmountField;  // line amount column summed into it ("" none)
    bool TotalFromLines;      // the window keeps the master total at the sum of the line amounts
    const char* CodePrefix;   // prefix of new bill numbers ("" none)
    int StockDirection;       // +1 in, -1 out, 0 none, 2 per bill or per line
    bool NeedsLines;          // a bill of this kind cannot be saved without lines...
    int TradeSide;            // 1 sales, 2 purchase, 3 stock, 4 cash, 5 POS, 8 distribution
    int FindIndex;            // type of the bill search, -1 when it has none
    // ...unless its master AloneField holds one of AloneValues (comma-separated); its total is
    // then its own figure.
    const char* AloneField = nullptr;
    const char* AloneValues = nullptr;
    // The master column the server stores as the sum of a line column, when that is not the
    // master total above (nullptr: the master total and the line amount).
    const char* SumTotalField = nullptr;
    const char* SumAmountField = nullptr;

    bool MasterDetailBill() const { return DetailTable != nullptr; }
    // The search area is the trade side.
    int FindCategory() const { return TradeSide; }
    QString SaveProcName() const;
    QString DeleteProcName() const;
    QString RedProcName() const;
    QString ClassName() const; // "T" + FormName
    // Whether a bill of this kind with this value in AloneField may be saved without lines.
    bool StandsAloneWith(const QVariant& aloneValue) const;
};

// The 35 profiles in the order the package registers the forms.
const QVector<TBillProfile>& BillProfiles();
// nullptr when no profile fits.
const TBillProfile* BillProfileOfType(int billType);
const TBillProfile* BillProfileOfForm(const QString& formName); // without regard to case
// The profile whose save, delete or red-reverse procedure this is (without regard to case).
const TBillProfile* BillProfileOfProcedure(const QString& procName);

// What a saved bill does to money, as SQL expressions over its own master row: an amount added
// (sign +1) or taken (sign -1) from the partner's running account `client.balance`, from the
// partner's advance `client.suramt`, and from the money account a master column names
// (`bank.balance`). A transfer moves its amount from BankField into CounterBankField. Amounts are
// seen from the bill's side: what a vendor is owed on vendor bills, what a client owes on client
// bills (see MoneyLedger.h for partners of the other kind).
struct TMoneyEffect {
    int BillType;
    int BalanceSign;
    const char* BalanceAmount;
    int PrepaidSign;
    const char* PrepaidAmount;
    int BankSign;
    const char* BankField;
    const char* BankAmount;
    const char* CounterBankField = nullptr;
};
// nullptr when bills of that type move no money.
const TMoneyEffect* MoneyEffectOf(int billType);

// One `billkind` row: column names and values, in the table's column order.
struct TBillKindColumn {
    const char* Name;
    QVariant Value;
};
QVector<TBillKindColumn> BillKindRow(const TBillProfile& p);
// The column names of a `billkind` row.
QStringList BillKindColumnNames();
