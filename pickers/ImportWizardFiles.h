#pragma once
// What the line-import wizard reads, without its window: a file of lines (CSV in UTF-8 or
// GB18030, an .xlsx workbook, an .xls workbook of the older format) as a header row and rows
// of texts; the pairs of file columns and system fields the user matched, and the checks on
// them; and the rows matched to goods by code or bar code, with the rows that cannot be added.
#include "webrpc/Connection.h"

#include <QString>
#include <QStringList>
#include <QVector>

// The first row names the columns; every row has as many texts as the header.
struct TImportSheet {
    QStringList Headers;
    QVector<QStringList> Rows;
};

struct TImportRead {
    QString Error; // "" when read: "文件不存在.", "文件的内容不对.", "文件中的字段太少."
    TImportSheet Sheet;
    bool Ok() const { return Error.isEmpty(); }
};

// Reads a file by its ending (.xlsx, .xls, anything else as comma-, semicolon- or
// tab-separated text). A sheet with fewer than two columns is refused.
TImportRead ReadImportFile(const QString& path);
// The readers behind it (the first worksheet of a workbook). Each throws nothing: an
// unreadable file answers "文件的内容不对.".
TImportRead ReadImportCsv(const QByteArray& bytes);
TImportRead ReadImportXlsx(const QString& path);
TImportRead ReadImportXls(const QString& path);
// Text of a file in UTF-8 (with or without its byte-order mark), else GB18030.
QString DecodeImportText(const QByteArray& bytes);

// The system fields a file column can be matched to.
inline const QString kImportGoodsCode = QStringLiteral("货品编号");
inline const QString kImportBarCode = QStringLiteral("货品条码");
inline const QString kImportQuantity = QStringLiteral("数量");
inline const QString kImportPrice = QStringLiteral("单价");
QStringList ImportSystemFields();

struct TImportPair {
    QString FileField;
    QString SystemField;
};
// Pairs of the file's columns and system fields of the same name ("自动增加").
QVector<TImportPair> AutoImportPairs(const QStringList& fileFields);
// "" when the pairs let the wizard go on; else "匹配的字段太少,不能继续." (fewer than two) or
// "货品编号或货品条码是必须有匹配的字段.".
QString CheckImportPairs(const QVector<TImportPair>& pairs);

// A row that can be added.
struct TImportLine {
    int Row = 0; // 1-based row of the file after the header
    int GoodsID = 0;
    int UnitID = 0;
    QString Code, Name, UnitName;
    double Quantity = 0;
    double Price = 0;
    bool HasPrice = false;
};
struct TImportMatch {
    QVector<TImportLine> Lines;
    QStringList Problems; // "货品不存在(code)", "数据不完整(第n行)"
};
// Each row to goods: by code (its base unit) or, without a code, by a unit's bar code (that
// unit); the quantity must be a number, the price a number when given.
TImportMatch MatchImportRows(TClientConnection* con, const TImportSheet& sheet, const QVector<TImportPair>& pairs);
