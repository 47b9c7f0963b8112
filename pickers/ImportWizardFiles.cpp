#include "pickers/ImportWizardFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <unzip.h>

#include <freexl.h>

#include <map>

namespace {

const QString kNoFile = QStringLiteral("文件不存在.");
const QString kBadContent = QStringLiteral("文件的内容不对.");
const QString kTooFewFields = QStringLiteral("文件中的字段太少.");

TImportRead Failed(const QString& why)
{
    TImportRead r;
    r.Error = why;
    return r;
}

// A sheet from rows of cells: the first row that is not empty names the columns; rows
// without any text are dropped; short rows are filled up.
TImportRead SheetOf(QVector<QStringList> cells)
{
    TImportRead r;
    QVector<QStringList> rows;
    for (QStringList& row : cells) {
        for (QString& c : row)
            c = c.trimmed();
        bool empty = true;
        for (const QString& c : row)
            empty = empty && c.isEmpty();
        if (!empty)
            rows << row;
    }
    if (rows.isEmpty())
        return Failed(kBadContent);
    r.Sheet.Headers = rows.takeFirst();
    while (!r.Sheet.Headers.isEmpty() && r.Sheet.Headers.last().isEmpty())
        r.Sheet.Headers.removeLast();
    if (r.Sheet.Headers.size() < 2)
        return Failed(kTooFewFields);
    const int n = r.Sheet.Headers.size();
    for (QStringList& row : rows) {
        while (row.size() < n)
            row << QString();
        if (row.size() > n)
            row = row.mid(0, n);
        r.Sheet.Rows << row;
    }
    return r;
}

QChar Separator(const QString& firstLine)
{
    int best = 0;
    QChar sep = u',';
    for (const QChar c : {QChar(u'\t'), QChar(u';'), QChar(u',')}) {
        const int n = int(firstLine.count(c));
        if (n > best) {
            best = n;
            sep = c;
        }
    }
    return sep;
}

// Comma-separated text with quoted cells ("" for a quote inside one).
QVector<QStringList> SplitCsv(const QString& text)
{
    const QChar sep = Separator(text.section(u'\n', 0, 0));
    QVector<QStringList> rows;
    QStringList row;
    QString cell;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < text.size() && text.at(i + 1) == u'"') {
                    cell += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                cell += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == sep) {
            row << cell;
            cell.clear();
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            row << cell;
            rows << row;
            row.clear();
            cell.clear();
        } else {
            cell += c;
        }
    }
    if (!cell.isEmpty() || !row.isEmpty()) {
        row << cell;
        rows << row;
    }
    return rows;
}

// ---- xlsx: the zip container through minizip, its XML parts through QXmlStreamReader.
// minizip rather than QuaZip: QuaZip exports minizip's function names with its own meaning,
// and the spreadsheet export (libxlsxwriter, which writes through minizip) would call them.

class TZipFile {
public:
    explicit TZipFile(const QString& path) : FZip(unzOpen64(QFile::encodeName(path).constData())) {}
    ~TZipFile()
    {
        if (FZip)
            unzClose(FZip);
    }
    TZipFile(const TZipFile&) = delete;
    TZipFile& operator=(const TZipFile&) = delete;
    bool IsOpen() const { return FZip != nullptr; }
    // The whole of an entry; false when the package has no such entry or it cannot be read.
    bool Read(const QString& name, QByteArray* out) const
    {
        if (!FZip || name.isEmpty() || unzLocateFile(FZip, name.toUtf8().constData(), 0) != UNZ_OK)
            return false;
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(FZip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK
            || info.uncompressed_size > quint64(256) * 1024 * 1024 || unzOpenCurrentFile(FZip) != UNZ_OK)
            return false;
        out->resize(qsizetype(info.uncompressed_size));
        const int got = out->isEmpty() ? 0 : unzReadCurrentFile(FZip, out->data(), unsigned(out->size()));
        const bool crcOk = unzCloseCurrentFile(FZip) == UNZ_OK;
        return got == out->size() && crcOk;
    }

private:
    unzFile FZip;
};

// The path inside the package of the first worksheet.
QString FirstSheetPath(const QByteArray& workbook, const QByteArray& rels)
{
    QString relId;
    QXmlStreamReader wb(workbook);
    while (!wb.atEnd() && relId.isEmpty())
        if (wb.readNext() == QXmlStreamReader::StartElement && wb.name() == QLatin1String("sheet"))
            for (const QXmlStreamAttribute& a : wb.attributes())
                if (a.name() == QLatin1String("id"))
                    relId = a.value().toString();
    QXmlStreamReader rl(rels);
    while (!rl.atEnd()) {
        if (rl.readNext() != QXmlStreamReader::StartElement || rl.name() != QLatin1String("Relationship"))
            continue;
        if (rl.attributes().value(QLatin1String("Id")) != relId)
            continue;
        QString target = rl.attributes().value(QLatin1String("Target")).toString();
        if (target.startsWith(u'/'))
            return target.mid(1);
        return QStringLiteral("xl/") + target;
    }
    return QStringLiteral("xl/worksheets/sheet1.xml");
}

QStringList SharedStrings(const QByteArray& xml)
{
    QStringList out;
    QXmlStreamReader r(xml);
    QString current;
    bool inItem = false;
    while (!r.atEnd()) {
        const auto token = r.readNext();
        if (token == QXmlStreamReader::StartElement && r.name() == QLatin1String("si")) {
            inItem = true;
            current.clear();
        } else if (token == QXmlStreamReader::StartElement && inItem && r.name() == QLatin1String("t")) {
            current += r.readElementText();
        } else if (token == QXmlStreamReader::StartElement && inItem && r.name() == QLatin1String("rPh")) {
            r.skipCurrentElement(); // phonetic guides are not part of the text
        } else if (token == QXmlStreamReader::EndElement && r.name() == QLatin1String("si")) {
            out << current;
            inItem = false;
        }
    }
    return out;
}

// "C12" -> column 2 (0-based).
int ColumnOfRef(QStringView ref)
{
    int col = 0;
    for (const QChar c : ref) {
        if (!c.isLetter())
            break;
        col = col * 26 + (c.toUpper().unicode() - u'A' + 1);
    }
    return col - 1;
}

QVector<QStringList> SheetCells(const QByteArray& xml, const QStringList& shared, bool* ok)
{
    std::map<int, std::map<int, QString>> cells;
    QXmlStreamReader r(xml);
    int rowNo = 0;
    while (!r.atEnd()) {
        if (r.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (r.name() == QLatin1String("row")) {
            const QStringView n = r.attributes().value(QLatin1String("r"));
            rowNo = n.isEmpty() ? rowNo + 1 : n.toInt();
            continue;
        }
        if (r.name() != QLatin1String("c"))
            continue;
        const QXmlStreamAttributes a = r.attributes();
        const QString type = a.value(QLatin1String("t")).toString();
        const int col = ColumnOfRef(a.value(QLatin1String("r")));
        QString value;
        while (!(r.isEndElement() && r.name() == QLatin1String("c")) && !r.atEnd()) {
            r.readNext();
            if (r.isStartElement() && (r.name() == QLatin1String("v") || r.name() == QLatin1String("t")))
                value += r.readElementText();
        }
        if (type == QLatin1String("s"))
            value = shared.value(value.toInt());
        else if (type == QLatin1String("b"))
            value = value == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        if (col >= 0 && rowNo > 0)
            cells[rowNo][col] = value;
    }
    *ok = !r.hasError();
    QVector<QStringList> rows;
    for (const auto& [row, cols] : cells) {
        Q_UNUSED(row);
        QStringList line;
        for (const auto& [col, text] : cols) {
            while (line.size() < col)
                line << QString();
            line << text;
        }
        rows << line;
    }
    return rows;
}

} // namespace

QString DecodeImportText(const QByteArray& bytes)
{
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(data.mid(3));
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8(data);
    if (!utf8.hasError())
        return text;
    QStringDecoder gb("GB18030");
    if (gb.isValid())
        return gb(data);
    return QString::fromLocal8Bit(data);
}

TImportRead ReadImportCsv(const QByteArray& bytes)
{
    if (bytes.trimmed().isEmpty())
        return Failed(kBadContent);
    return SheetOf(SplitCsv(DecodeImportText(bytes)));
}

TImportRead ReadImportXlsx(const QString& path)
{
    const TZipFile zip(path);
    if (!zip.IsOpen())
        return Failed(kBadContent);
    QByteArray workbook, rels, shared, sheet;
    if (!zip.Read(QStringLiteral("xl/workbook.xml"), &workbook))
        return Failed(kBadContent);
    zip.Read(QStringLiteral("xl/_rels/workbook.xml.rels"), &rels);
    zip.Read(QStringLiteral("xl/sharedStrings.xml"), &shared);
    if (!zip.Read(FirstSheetPath(workbook, rels), &sheet))
        return Failed(kBadContent);
    bool ok = false;
    QVector<QStringList> cells = SheetCells(sheet, SharedStrings(shared), &ok);
    if (!ok)
        return Failed(kBadContent);
    return SheetOf(std::move(cells));
}

TImportRead ReadImportXls(const QString& path)
{
    const void* handle = nullptr;
    const QByteArray name = QFile::encodeName(path);
    if (freexl_open(name.constData(), &handle) != FREEXL_OK) {
        if (handle)
            freexl_close(handle);
        return Failed(kBadContent);
    }
    QVector<QStringList> cells;
    unsigned int rows = 0;
    unsigned short cols = 0;
    bool ok = freexl_select_active_worksheet(handle, 0) == FREEXL_OK && freexl_worksheet_dimensions(handle, &rows, &cols) == FREEXL_OK;
    for (unsigned int r = 0; ok && r < rows; ++r) {
        QStringList line;
        for (unsigned short c = 0; c < cols; ++c) {
            FreeXL_CellValue v;
            QString text;
            if (freexl_get_cell_value(handle, r, c, &v) == FREEXL_OK) {
                switch (v.type) {
                case FREEXL_CELL_INT: text = QString::number(v.value.int_value); break;
                case FREEXL_CELL_DOUBLE: text = QString::number(v.value.double_value, 'g', 15); break;
                case FREEXL_CELL_TEXT:
                case FREEXL_CELL_SST_TEXT:
                case FREEXL_CELL_DATE:
                case FREEXL_CELL_DATETIME:
                case FREEXL_CELL_TIME: text = QString::fromUtf8(v.value.text_value); break;
                default: break;
                }
            }
            line << text;
        }
        cells << line;
    }
    freexl_close(handle);
    if (!ok)
        return Failed(kBadContent);
    return SheetOf(std::move(cells));
}

TImportRead ReadImportFile(const QString& path)
{
    const QFileInfo info(path);
    if (path.trimmed().isEmpty() || !info.exists() || !info.isFile())
        return Failed(kNoFile);
    const QString suffix = info.suffix().toLower();
    if (suffix == QLatin1String("xlsx"))
        return ReadImportXlsx(path);
    if (suffix == QLatin1String("xls"))
        return ReadImportXls(path);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return Failed(kBadContent);
    return ReadImportCsv(f.readAll());
}

QStringList ImportSystemFields() { return {kImportGoodsCode, kImportBarCode, kImportQuantity, kImportPrice}; }

QVector<TImportPair> AutoImportPairs(const QStringList& fileFields)
{
    QVector<TImportPair> pairs;
    for (const QString& system : ImportSystemFields())
        for (const QString& file : fileFields)
            if (file.trimmed().compare(system, Qt::CaseInsensitive) == 0) {
                pairs.append({file, system});
                break;
            }
    return pairs;
}

QString CheckImportPairs(const QVector<TImportPair>& pairs)
{
    if (pairs.size() < 2)
        return QStringLiteral("匹配的字段太少,不能继续.");
    for (const TImportPair& p : pairs)
        if (p.SystemField == kImportGoodsCode || p.SystemField == kImportBarCode)
            return QString();
    return QStringLiteral("货品编号或货品条码是必须有匹配的字段.");
}

TImportMatch MatchImportRows(TClientConnection* con, const TImportSheet& sheet, const QVector<TImportPair>& pairs)
{
    TImportMatch out;
    auto column = [&](const QString& system) {
        for (const TImportPair& p : pairs)
            if (p.SystemField == system)
                return int(sheet.Headers.indexOf(p.FileField));
        return -1;
    };
    const int codeCol = column(kImportGoodsCode), barCol = column(kImportBarCode);
    const int qtyCol = column(kImportQuantity), priceCol = column(kImportPrice);
    const QLocale c = QLocale::c();
    auto number = [&c](const QString& text, bool* ok) {
        QString t = text.trimmed();
        t.remove(u',');
        return c.toDouble(t, ok);
    };
    struct TFound {
        bool Found = false;
        TImportLine Line;
    };
    QHash<QString, TFound> byCode, byBar;
    auto find = [con](const QString& sql, const QString& key) {
        TFound f;
        TClientDataSet ds;
        con->OpenDataSet(sql, &ds, {{QStringLiteral("k"), key}});
        if (ds.Active() && !ds.IsEmpty()) {
            f.Found = true;
            f.Line.GoodsID = ds.FieldByName(QStringLiteral("goodsid"))->AsInteger();
            f.Line.UnitID = ds.FieldByName(QStringLiteral("unitid"))->AsInteger();
            f.Line.Code = ds.FieldByName(QStringLiteral("code"))->AsString();
            f.Line.Name = ds.FieldByName(QStringLiteral("name"))->AsString();
            f.Line.UnitName = ds.FieldByName(QStringLiteral("unitname"))->AsString();
        }
        return f;
    };
    for (int i = 0; i < sheet.Rows.size(); ++i) {
        const QStringList& row = sheet.Rows.at(i);
        const QString code = codeCol >= 0 ? row.value(codeCol).trimmed() : QString();
        const QString bar = barCol >= 0 ? row.value(barCol).trimmed() : QString();
        bool qtyOk = false, priceOk = true;
        const double qty = qtyCol >= 0 ? number(row.value(qtyCol), &qtyOk) : 0;
        const QString priceText = priceCol >= 0 ? row.value(priceCol).trimmed() : QString();
        const double price = priceText.isEmpty() ? 0 : number(priceText, &priceOk);
        if ((code.isEmpty() && bar.isEmpty()) || !qtyOk || !priceOk) {
            out.Problems << QStringLiteral("数据不完整(第%1行)").arg(i + 1);
            continue;
        }
        TFound found;
        if (!code.isEmpty()) {
            if (!byCode.contains(code))
                byCode.insert(code, find(QStringLiteral("select g.goodsid, g.code, g.name, u.unitid, u.unitname from goods g"
                                                        " join goodsunit u on u.goodsid = g.goodsid and u.unittype = 0"
                                                        " where g.code = :k and g.closed = 'F'"),
                                         code));
            found = byCode.value(code);
        } else {
            if (!byBar.contains(bar))
                byBar.insert(bar, find(QStringLiteral("select g.goodsid, g.code, g.name, u.unitid, u.unitname from goodsunit u"
                                                      " join goods g on g.goodsid = u.goodsid where u.barcode = :k and g.closed = 'F'"),
                                       bar));
            found = byBar.value(bar);
        }
        if (!found.Found) {
            out.Problems << QStringLiteral("货品不存在(") + (code.isEmpty() ? bar : code) + u')';
            continue;
        }
        TImportLine line = found.Line;
        line.Row = i + 1;
        line.Quantity = qty;
        line.Price = price;
        line.HasPrice = !priceText.isEmpty();
        out.Lines << line;
    }
    return out;
}
