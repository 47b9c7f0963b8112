#include "server/BillGuard.h"

#include "server/FollowUps.h"
#include "server/ServerSql.h"
#include "server/StoredValues.h"
#include "webrpc/Statement.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kEps = 0.0000001;

[[noreturn]] void Refuse(const QString& msg)
{
    throw EDatabaseError(msg);
}

QString MasterWhere()
{
    return QStringLiteral("主表");
}

QString LineWhere(int itemNo)
{
    return QStringLiteral("明细行号 %1 ").arg(itemNo);
}

bool ContainsCI(const QStringList& list, const QString& col)
{
    return list.contains(col, Qt::CaseInsensitive);
}

bool IsNumber(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

// Null and 0 are the same for the columns the server keeps (a DEFAULT 0 column read back).
bool SameValue(const QVariant& a, const QVariant& b)
{
    const bool an = a.isNull() || !a.isValid(), bn = b.isNull() || !b.isValid();
    if (an && bn)
        return true;
    if ((an || IsNumber(a)) && (bn || IsNumber(b)))
        return std::abs((an ? 0.0 : a.toDouble()) - (bn ? 0.0 : b.toDouble())) < kEps;
    if (an || bn)
        return a.toString().isEmpty() && b.toString().isEmpty();
    return a.toString() == b.toString();
}

qint64 IdOf(const QVariant& v)
{
    return v.isNull() ? 0 : v.toLongLong();
}

QString IdList(const QSet<qint64>& ids)
{
    QStringList out;
    for (qint64 id : ids)
        out << QString::number(id);
    return out.join(u',');
}

// Columns that name a row of another table, and what "in use" means there.
struct TRefRule {
    const char* Columns; // comma-separated
    const char* Table;
    const char* Key;
    const char* InUse;   // SQL condition on the row, null when every row is in use
    const char* What;
};
const TRefRule kRefRules[] = {
    {"goodsid", "goods", "goodsid", "ifnull(closed, 'F') <> 'T'", "货品"},
    {"storeid,insid,outsid,balsid,instoreid,outstoreid", "store", "storeid", "ifnull(closed, 'F') <> 'T'", "仓库"},
    {"clientid", "client", "clientid", "ifnull(closed, 'F') <> 'T'", "往来单位"},
    {"empid,exemanid,drawmanid,backmanid,ratifierid", "employ", "empid", "ifnull(sign, 'T') <> 'F'", "职员"},
    {"departmentid", "department", "id", "ifnull(closed, 'F') <> 'T'", "部门"},
    {"bankid,inbankid,outbankid", "bank", "bankid", "ifnull(closed, 'F') <> 'T'", "账户"},
    {"paytypeid", "paytype", "paytypeid", "ifnull(closed, 'F') <> 'T'", "结算方式"},
    {"shopid,inshopid,outshopid,discshopid", "shop", "shopid", "ifnull(closed, 'F') <> 'T'", "机构"},
    {"satid", "sat", "satid", "ifnull(closed, 'F') <> 'T'", "库存变动类型"},
    {"ietypeid", "ietype", "ietypeid", "ifnull(closed, 'F') <> 'T'", "收支类型"},
    {"subid,discsubid", "subject", "subid", "ifnull(closed, 'F') <> 'T'", "科目"},
    {"linkmanid", "crm_linkman", "id", nullptr, "联系人"},
    {"billtypeid", "billtype", "billtypeid", nullptr, "发票类型"},
};

const TRefRule* RuleOf(const QString& lowerCol)
{
    static const QHash<QString, const TRefRule*> byColumn = [] {
        QHash<QString, const TRefRule*> m;
        for (const TRefRule& r : kRefRules)
            for (const QString& c : QString::fromLatin1(r.Columns).split(u','))
                m.insert(c, &r);
        return m;
    }();
    return byColumn.value(lowerCol);
}

// Master columns whose stock movement depends on them: a stock bill cannot be saved without.
const char* const kStockColumns[] = {"storeid", "insid", "outsid", "balsid", "satid", "goodsid"};

// Line columns of a goods line whose change makes the line "touched" for the unit rules.
int ItemNoOf(const TDeltaRow& row)
{
    const QVariant v = ValueCI(row.Kind == TUpdateStatus::usInserted ? row.New : row.Old, QStringLiteral("itemno"));
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok && d == std::floor(d) && std::abs(d) < 1e9 ? int(d) : 0;
}

} // namespace

// The reference values a change set wrote: (where, column, id).
struct TBillGuard::TTouched {
    struct TUse {
        int ItemNo; // 0: the master
        QString Column;
        qint64 Id;
        const TRefRule* Rule; // what the column refers to
    };
    QVector<TUse> Uses;
    QSet<int> Lines;       // lines inserted or changed
    bool Master = false;   // master inserted or changed
    QSet<int> SourceLines; // lines whose source reference was written
};

TBillGuard::TBillGuard(TClientConnection& con, const TBillKind& kind, const TOperatorRights& op) : FCon(con), FKind(kind), FOp(op)
{
    for (const char* c : {"flag", "referbillid", "refercount", "updatetime", "opid", "shopid", "credid", "totalpaid", "totalrcvd", "totalreturn", "closeid"})
        if (FKind.Master.Has(QLatin1String(c)))
            FMasterSystem << QLatin1String(c);
    FMasterSystem << FKind.Key;
    if (FKind.BillType == kPosSaleBillType)
        FMasterSystem.removeAll(QStringLiteral("referbillid"));
    // `finished` of an order follows its lines
    const TFollowUp* f = FollowUpFor(FKind.BillType, 0);
    if (f && f->TracksFinished && FKind.Master.Has(QStringLiteral("finished")))
        FMasterSystem << QStringLiteral("finished");
    QStringList lineSystem = FollowUpColumnsOf(FKind.BillType);
    lineSystem << QStringLiteral("refercount") << QStringLiteral("returnamt") << QStringLiteral("purappamt");
    for (const QString& c : lineSystem)
        if (FKind.Detail.Has(c))
            FLineSystem << c;
}

QString TBillGuard::NoLinesMessage() const
{
    return QStringLiteral("%1没有明细，不能保存：请至少输入一行").arg(FKind.Caption);
}

void TBillGuard::CheckMasterRow(TBillChange& c, TDeltaRow* row, const TRowValues& stored, TTouched& touched)
{
    if (!row)
        return;
    touched.Master = true;
    const TTableInfo& t = FKind.Master;
    if (row->Kind == TUpdateStatus::usInserted) {
        TRowValues& values = row->New;
        for (auto it = values.begin(); it != values.end(); ++it) {
            const QString col = LowerName(it.key());
            if (!t.Has(col) || ContainsCI(FMasterSystem, col))
                continue;
            const QString why = NormaliseColumnValue(col, t.Type(col), it.value());
            if (!why.isEmpty())
                Refuse(QStringLiteral("%1的%2：%3").arg(MasterWhere(), ColumnLabel(col), why));
            if (const TRefRule* rule = RuleOf(col); rule && IdOf(it.value()) != 0)
                touched.Uses.append({0, col, IdOf(it.value()), rule});
        }
        // what a new bill starts with, whatever the client sent
        auto force = [&](const char* col, const QVariant& v) {
            if (t.Has(QLatin1String(col)))
                values.insert(QLatin1String(col), v);
        };
        force("flag", FKind.BillType == kPosSaleBillType ? QVariant(QStringLiteral("F")) : QVariant(0));
        if (FKind.BillType != kPosSaleBillType)
            force("referbillid", QVariant());
        force("refercount", 0);
        force("credid", QVariant());
        force("closeid", QVariant());
        for (const char* col : {"totalpaid", "totalrcvd", "totalreturn"})
            force(col, 0.0);
        if (FMasterSystem.contains(QStringLiteral("finished")))
            force("finished", QStringLiteral("F"));
        force("opid", FOp.OpID());
        values.insert(FKind.Key, c.Id);
        if (t.Has(QStringLiteral("shopid"))) {
            const QVariant sent = ValueCI(values, QStringLiteral("shopid"));
            // opening entries of consignments and valued receipts belong to whichever branch they name
            const bool anyBranch = FKind.BillType == 29 || FKind.BillType == 40;
            if (!anyBranch && IdOf(sent) != 0 && IdOf(sent) != FOp.ShopID())
                Refuse(QStringLiteral("不能为其他机构新增单据：单据的机构是 %1，登录的机构是 %2").arg(IdOf(sent)).arg(FOp.ShopID()));
            if (!anyBranch || IdOf(sent) == 0)
                values.insert(QStringLiteral("shopid"), FOp.ShopID());
        }
        c.FinalMaster = values;
        return;
    }

    // a change of a saved master
    const QVariant oldKey = ValueCI(row->Old, FKind.Key);
    if (!SameValue(ValueCI(row->New, FKind.Key), oldKey))
        Refuse(QStringLiteral("不能修改单据的关键字 %1（%2 → %3）").arg(FKind.Key, oldKey.toString(), ValueCI(row->New, FKind.Key).toString()));
    QStringList changed;
    for (const QString& f : row->Changed) {
        const QString col = LowerName(f);
        if (!t.Has(col))
            continue;
        QVariant v = ValueCI(row->New, col);
        if (col == QLatin1String("updatetime"))
            continue; // the client stamps its copy so that the row travels; the server writes its own
        if (ContainsCI(FMasterSystem, col)) {
            // the client may only repeat what the server keeps; the operator becomes the one saving
            const QVariant allowed = col == QLatin1String("opid") ? QVariant(FOp.OpID()) : stored.value(col);
            if (!SameValue(v, allowed) && !SameValue(v, stored.value(col)))
                Refuse(QStringLiteral("%1的%2由系统维护，不能修改（原值 %3，改为 %4）")
                           .arg(MasterWhere(), ColumnLabel(col), stored.value(col).toString(), v.toString()));
            continue;
        }
        const QString why = NormaliseColumnValue(col, t.Type(col), v);
        if (!why.isEmpty())
            Refuse(QStringLiteral("%1的%2：%3").arg(MasterWhere(), ColumnLabel(col), why));
        row->New.insert(col, v);
        c.FinalMaster.insert(col, v);
        changed << f;
        if (const TRefRule* rule = RuleOf(col); rule && IdOf(v) != 0)
            touched.Uses.append({0, col, IdOf(v), rule});
    }
    // server columns are written by the server alone; a change of nothing else writes nothing
    row->Changed = changed;
    if (changed.isEmpty())
        row->Kind = TUpdateStatus::usUnmodified;
}

void TBillGuard::CheckLineRows(TBillChange& c, const QVector<TRowValues>& storedLines, TTouched& touched)
{
    for (const TRowValues& l : storedLines)
        c.FinalLines.insert(l.value(QStringLiteral("itemno")).toInt(), l);
    QHash<int, TRowValues> storedByItem;
    for (const TRowValues& l : storedLines)
        storedByItem.insert(l.value(QStringLiteral("itemno")).toInt(), l);
    const TTableInfo& t = FKind.Detail;
    // What a column of the new lines is to the guard, found once per column, not once per value.
    struct TLineColumn {
        QString Col, Type;
        TValueClass Class = TValueClass::Text;
        bool Skip = true, System = false;
        const TRefRule* Rule = nullptr;
    };
    TNameMemo<TLineColumn> lineColumns;
    auto lineColumn = [&](const QString& key) -> const TLineColumn& {
        return lineColumns.Get(key, [&](const QString& name) {
            TLineColumn lc;
            lc.Col = LowerName(name);
            lc.Skip = !t.Has(lc.Col) || lc.Col == FKind.Key || lc.Col == QLatin1String("itemno");
            lc.System = ContainsCI(FLineSystem, lc.Col);
            lc.Type = t.Type(lc.Col);
            lc.Class = ValueClassOf(lc.Col, lc.Type);
            lc.Rule = RuleOf(lc.Col);
            return lc;
        });
    };
    QSet<int> deleted;
    int position = 0;
    for (TDeltaRow& row : c.Detail.Rows) {
        ++position;
        if (row.Kind == TUpdateStatus::usUnmodified)
            continue;
        const int itemNo = ItemNoOf(row);
        const QString where = itemNo > 0 ? LineWhere(itemNo) : QStringLiteral("第 %1 条明细").arg(position);
        if (itemNo <= 0)
            Refuse(QStringLiteral("%1没有有效的行号(itemno)").arg(where));
        if (c.IsNew && row.Kind != TUpdateStatus::usInserted)
            Refuse(QStringLiteral("%1不属于本单据：新单据只能新增明细").arg(where));

        if (row.Kind == TUpdateStatus::usInserted) {
            const QVariant key = ValueCI(row.New, FKind.Key);
            if (IdOf(key) != 0 && IdOf(key) != kNoBillId && IdOf(key) != c.Id)
                Refuse(QStringLiteral("%1属于其他单据（%2 = %3），不能保存到本单据").arg(where, FKind.Key, key.toString()));
            if (c.FinalLines.contains(itemNo) && !deleted.contains(itemNo))
                Refuse(QStringLiteral("%1与已有的明细行号重复").arg(where));
            for (auto it = row.New.begin(); it != row.New.end(); ++it) {
                const TLineColumn& lc = lineColumn(it.key());
                if (lc.Skip)
                    continue;
                if (lc.System) {
                    it.value() = lc.Col == QLatin1String("refercount") ? QVariant(0) : QVariant(0.0);
                    continue;
                }
                const QString why = NormaliseValue(lc.Class, lc.Type, it.value());
                if (!why.isEmpty())
                    Refuse(QStringLiteral("%1的%2：%3").arg(where, ColumnLabel(lc.Col), why));
                if (lc.Rule && IdOf(it.value()) != 0)
                    touched.Uses.append({itemNo, lc.Col, IdOf(it.value()), lc.Rule});
            }
            for (const QString& col : FLineSystem)
                row.New.insert(col, col == QLatin1String("refercount") ? QVariant(0) : QVariant(0.0));
            row.New.insert(FKind.Key, c.Id);
            row.New.insert(QStringLiteral("itemno"), itemNo);
            c.FinalLines.insert(itemNo, row.New);
            deleted.remove(itemNo);
            touched.Lines.insert(itemNo);
            touched.SourceLines.insert(itemNo);
            continue;
        }

        // a change or deletion of a saved line: it must be one of this bill's lines
        const QVariant oldKey = ValueCI(row.Old, FKind.Key);
        if (IdOf(oldKey) != c.Id)
            Refuse(QStringLiteral("%1属于其他单据（%2 = %3），不能在本单据中修改或删除").arg(where, FKind.Key, oldKey.toString()));
        if (!storedByItem.contains(itemNo) || deleted.contains(itemNo))
            Refuse(QStringLiteral("%1不存在，可能已被其他用户修改，请刷新后重新操作").arg(where));
        if (row.Kind == TUpdateStatus::usDeleted) {
            c.FinalLines.remove(itemNo);
            deleted.insert(itemNo);
            continue;
        }
        if (!SameValue(ValueCI(row.New, FKind.Key), oldKey) || !SameValue(ValueCI(row.New, QStringLiteral("itemno")), itemNo))
            Refuse(QStringLiteral("%1：不能修改明细的行号或所属单据").arg(where));
        const TRowValues& stored = storedByItem[itemNo];
        TRowValues& final = c.FinalLines[itemNo];
        QStringList changed;
        for (const QString& f : row.Changed) {
            const QString col = LowerName(f);
            if (!t.Has(col))
                continue;
            QVariant v = ValueCI(row.New, col);
            if (ContainsCI(FLineSystem, col)) {
                if (!SameValue(v, stored.value(col)))
                    Refuse(QStringLiteral("%1的%2由系统维护，不能修改（原值 %3，改为 %4）").arg(where, ColumnLabel(col), stored.value(col).toString(), v.toString()));
                continue;
            }
            const QString why = NormaliseColumnValue(col, t.Type(col), v);
            if (!why.isEmpty())
                Refuse(QStringLiteral("%1的%2：%3").arg(where, ColumnLabel(col), why));
            row.New.insert(col, v);
            final.insert(col, v);
            changed << f;
            if (const TRefRule* rule = RuleOf(col); rule && IdOf(v) != 0)
                touched.Uses.append({itemNo, col, IdOf(v), rule});
            if (col == QLatin1String("refertype") || col == QLatin1String("referbillid") || col == QLatin1String("referitemno"))
                touched.SourceLines.insert(itemNo);
        }
        row.Changed = changed;
        if (changed.isEmpty())
            row.Kind = TUpdateStatus::usUnmodified;
        touched.Lines.insert(itemNo);
    }
}

void TBillGuard::CheckSourceLines(const TBillChange& c, const QVector<TRowValues>& storedLines)
{
    const QStringList follow = FollowUpColumnsOf(FKind.BillType);
    for (const TRowValues& stored : storedLines) {
        const int itemNo = stored.value(QStringLiteral("itemno")).toInt();
        double taken = 0;
        for (const QString& col : follow)
            taken = std::max(taken, std::abs(stored.value(col).toDouble()));
        const bool referred = stored.value(QStringLiteral("refercount")).toInt() > 0 || taken > kEps;
        if (!referred)
            continue;
        const auto it = c.FinalLines.constFind(itemNo);
        if (it == c.FinalLines.cend())
            Refuse(QStringLiteral("%1已被后续单据引用，不能删除").arg(LineWhere(itemNo)));
        for (const char* col : {"goodsid", "unitid"})
            if (!SameValue(it->value(QLatin1String(col)), stored.value(QLatin1String(col))))
                Refuse(QStringLiteral("%1已被后续单据引用，不能修改%2").arg(LineWhere(itemNo), ColumnLabel(QLatin1String(col))));
        const double qty = it->value(QStringLiteral("unitqty")).toDouble();
        if (taken > kEps && std::abs(qty) < taken - kEps)
            Refuse(QStringLiteral("%1的%2 %3 不能小于后续单据已执行的数量 %4")
                       .arg(LineWhere(itemNo), ColumnLabel(QStringLiteral("unitqty")), QString::number(qty, 'g', 15), QString::number(taken, 'g', 15)));
    }
}

void TBillGuard::CheckReferences(TBillChange& c, TTouched& touched)
{
    auto where = [](int itemNo) { return itemNo == 0 ? MasterWhere() : LineWhere(itemNo); };

    // goods lines: goods required, the unit must be one of the goods' units, and the base
    // quantity follows from the unit quantity
    struct TUnit {
        qint64 Goods;
        double Rate;
    };
    QHash<qint64, TUnit> units;
    QSet<qint64> unitIds;
    auto collectUnit = [&](const TRowValues& row) {
        if (const qint64 unit = IdOf(row.value(QStringLiteral("unitid"))); unit != 0)
            unitIds.insert(unit);
    };
    if (touched.Master && FKind.Master.Has(QStringLiteral("unitid")))
        collectUnit(c.FinalMaster);
    static const TRowValues noLine;
    // the lines are read where they lie: a copy of each would cost a thousand-line bill dearly
    auto finalLine = [&](int item) -> const TRowValues& {
        const auto it = c.FinalLines.constFind(item);
        return it == c.FinalLines.cend() ? noLine : it.value();
    };
    for (int item : touched.Lines)
        collectUnit(finalLine(item));

    // The rows of other tables named by the values written, and the units of the goods lines,
    // are asked in one statement: each select would be a round trip to a database server.
    // The ids go into the text as the numbers they were read as, never as the packet's text.
    QHash<const TRefRule*, QSet<qint64>> wanted;
    for (const TTouched::TUse& u : touched.Uses)
        wanted[u.Rule].insert(u.Id);
    QStringList selects;
    QVector<const TRefRule*> rules;
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        const TRefRule* r = it.key();
        const QString inUse = r->InUse ? QString::fromLatin1(r->InUse) : QStringLiteral("1 = 1"); // a truth on both engines
        selects << QStringLiteral("select %5, %1, case when %2 then 1 else 0 end, cast(null as integer), cast(null as float) from %3 where %1 in (%4)")
                       .arg(QLatin1String(r->Key), inUse, QLatin1String(r->Table), IdList(it.value()))
                       .arg(rules.size());
        rules << r;
    }
    if (!unitIds.isEmpty())
        selects << QStringLiteral("select -1, unitid, 1, goodsid, rate from goodsunit where unitid in (%1)").arg(IdList(unitIds));
    QHash<const TRefRule*, QHash<qint64, bool>> found; // id -> in use
    if (!selects.isEmpty())
        for (const QVariantList& row : SelectRows(FCon, selects.join(QStringLiteral(" union all ")))) {
            const int part = row[0].toInt();
            if (part < 0)
                units.insert(row[1].toLongLong(), TUnit{row[3].toLongLong(), row[4].isNull() || row[4].toDouble() == 0 ? 1.0 : row[4].toDouble()});
            else
                found[rules.at(part)].insert(row[1].toLongLong(), row[2].toInt() != 0);
        }
    const QHash<qint64, bool> none;
    for (const TTouched::TUse& u : touched.Uses) {
        const TRefRule* r = u.Rule;
        const auto rule = found.constFind(r);
        const QHash<qint64, bool>& known = rule == found.cend() ? none : rule.value();
        const auto f = known.constFind(u.Id);
        if (f == known.cend())
            Refuse(QStringLiteral("%1的%2：%3 %4 不存在").arg(where(u.ItemNo), ColumnLabel(u.Column), QString::fromUtf8(r->What)).arg(u.Id));
        if (!f.value())
            Refuse(QStringLiteral("%1的%2：%3 %4 已停用，不能再用").arg(where(u.ItemNo), ColumnLabel(u.Column), QString::fromUtf8(r->What)).arg(u.Id));
    }

    auto countsUnits = [](const TTableInfo& table) { return table.Has(QStringLiteral("unitqty")) && table.Has(QStringLiteral("quantity")); };
    auto checkGoodsLine = [&](int itemNo, TRowValues& final, bool unitsCounted, TDeltaRow* row) {
        const qint64 goods = IdOf(final.value(QStringLiteral("goodsid")));
        const qint64 unit = IdOf(final.value(QStringLiteral("unitid")));
        if (itemNo != 0 && goods == 0)
            Refuse(QStringLiteral("%1没有货品(goodsid)").arg(where(itemNo)));
        if (unit == 0)
            return;
        const auto u = units.constFind(unit);
        if (u == units.cend())
            Refuse(QStringLiteral("%1的%2：单位 %3 不存在").arg(where(itemNo), ColumnLabel(QStringLiteral("unitid"))).arg(unit));
        if (goods != 0 && u->Goods != goods)
            Refuse(QStringLiteral("%1的%2：单位 %3 不是货品 %4 的单位").arg(where(itemNo), ColumnLabel(QStringLiteral("unitid"))).arg(unit).arg(goods));
        if (!unitsCounted)
            return;
        const QVariant unitQty = final.value(QStringLiteral("unitqty"));
        if (unitQty.isNull())
            return;
        const double base = RoundQuantity(unitQty.toDouble() * u->Rate);
        if (std::abs(base) >= kMaxQuantity)
            Refuse(QStringLiteral("%1的%2：值 %3 超出范围，绝对值须小于 %4")
                       .arg(where(itemNo), ColumnLabel(QStringLiteral("quantity")), QString::number(base, 'g', 15), QString::number(kMaxQuantity, 'g', 15)));
        // read before writing: most lines already hold it, and their values stay shared
        if (const QVariant quantity = final.value(QStringLiteral("quantity")); !quantity.isNull() && SameValue(quantity, base))
            return;
        final.insert(QStringLiteral("quantity"), base);
        if (row) {
            row->New.insert(QStringLiteral("quantity"), base);
            if (row->Kind == TUpdateStatus::usModified && !ContainsCI(row->Changed, QStringLiteral("quantity")))
                row->Changed << QStringLiteral("quantity");
        }
    };
    QHash<int, TDeltaRow*> rowOfItem;
    for (TDeltaRow& row : c.Detail.Rows)
        if (row.Kind == TUpdateStatus::usInserted || row.Kind == TUpdateStatus::usModified)
            rowOfItem.insert(ItemNoOf(row), &row);
    if (touched.Master && FKind.Master.Has(QStringLiteral("goodsid")) && FKind.Master.Has(QStringLiteral("unitid"))) {
        TDeltaRow* m = nullptr;
        for (TDeltaRow& row : c.Master.Rows)
            if (row.Kind != TUpdateStatus::usUnmodified)
                m = &row;
        checkGoodsLine(0, c.FinalMaster, countsUnits(FKind.Master), m);
    }
    if (FKind.Detail.Has(QStringLiteral("goodsid"))) {
        const bool unitsCounted = countsUnits(FKind.Detail);
        for (int item : touched.Lines)
            checkGoodsLine(item, c.FinalLines[item], unitsCounted, rowOfItem.value(item));
    }

    // lots named by batchrefid: incoming stock rows of the same goods in one of the bill's stores
    QSet<qint64> lotStores;
    for (const char* col : {"storeid", "insid", "outsid", "balsid"})
        if (IdOf(c.FinalMaster.value(QLatin1String(col))) != 0)
            lotStores.insert(IdOf(c.FinalMaster.value(QLatin1String(col))));
    auto checkLot = [&](int itemNo, const TRowValues& final) {
        const qint64 lot = IdOf(final.value(QStringLiteral("batchrefid")));
        if (lot == 0)
            return;
        const auto rows = SelectRows(FCon, QStringLiteral("select goodsid, storeid from detailbillflow where id = :id and batchrefid is null and inqty > 0"),
                               {{QStringLiteral("id"), lot}});
        if (rows.isEmpty())
            Refuse(QStringLiteral("%1的%2：批次 %3 不存在").arg(where(itemNo), ColumnLabel(QStringLiteral("batchrefid"))).arg(lot));
        if (rows[0][0].toLongLong() != IdOf(final.value(QStringLiteral("goodsid"))))
            Refuse(QStringLiteral("%1的%2：批次 %3 不是这个货品的批次").arg(where(itemNo), ColumnLabel(QStringLiteral("batchrefid"))).arg(lot));
        if (!lotStores.isEmpty() && !lotStores.contains(rows[0][1].toLongLong()))
            Refuse(QStringLiteral("%1的%2：批次 %3 不在本单的仓库中").arg(where(itemNo), ColumnLabel(QStringLiteral("batchrefid"))).arg(lot));
    };
    if (touched.Master && FKind.Master.Has(QStringLiteral("batchrefid")))
        checkLot(0, c.FinalMaster);
    if (FKind.Detail.Has(QStringLiteral("batchrefid")))
        for (int item : touched.Lines)
            checkLot(item, finalLine(item));

    // source bills and lines named by refertype / referbillid / referitemno
    if (!FKind.Detail.Has(QStringLiteral("referbillid")))
        return;
    const bool settles = FKind.BillType == kPayBillType || FKind.BillType == kChargeBillType;
    QHash<QPair<int, qint64>, QHash<int, qint64>> sourceLines; // (type, id) -> itemno -> goods
    for (int item : touched.SourceLines) {
        const TRowValues& line = finalLine(item);
        const int type = line.value(QStringLiteral("refertype")).toInt();
        const qint64 id = IdOf(line.value(QStringLiteral("referbillid")));
        if (type == 0 || id == 0)
            continue;
        const QString label = QStringLiteral("%1的引用单据（类型 %2，单据 %3）").arg(LineWhere(item)).arg(type).arg(id);
        if (settles && !SettlementFor(type, FKind.BillType))
            Refuse(QStringLiteral("%1不能在%2中结算").arg(label, FKind.Caption));
        TBillKind source;
        try {
            source = ReadBillKind(FCon, type);
        } catch (const EDatabaseError&) {
            Refuse(QStringLiteral("%1：单据类型 %2 不存在").arg(label).arg(type));
        }
        const auto master = SelectRows(FCon, QStringLiteral("select %1 from %2 where %3 = :id")
                                           .arg(source.HasFlag() ? QStringLiteral("flag") : QStringLiteral("0"), source.Master.Name, source.Key),
                                 {{QStringLiteral("id"), id}});
        if (master.isEmpty())
            Refuse(QStringLiteral("%1不存在").arg(label));
        if (master[0][0].toInt() == 1 || master[0][0].toInt() == 2)
            Refuse(QStringLiteral("%1已冲红，不能再引用").arg(label));
        const QVariant sourceItem = line.value(QStringLiteral("referitemno"));
        if (settles || sourceItem.isNull() || !source.HasLines())
            continue;
        const QPair<int, qint64> bill(type, id);
        if (!sourceLines.contains(bill)) {
            QHash<int, qint64>& items = sourceLines[bill];
            const QString goods = source.Detail.Has(QStringLiteral("goodsid")) ? QStringLiteral("goodsid") : QStringLiteral("0");
            for (const QVariantList& r : SelectRows(FCon, QStringLiteral("select itemno, %1 from %2 where %3 = :id").arg(goods, source.Detail.Name, source.Key),
                                              {{QStringLiteral("id"), id}}))
                items.insert(r[0].toInt(), r[1].toLongLong());
        }
        const auto s = sourceLines[bill].constFind(sourceItem.toInt());
        if (s == sourceLines[bill].cend())
            Refuse(QStringLiteral("%1的行号 %2 不存在").arg(label).arg(sourceItem.toInt()));
        const qint64 goods = IdOf(line.value(QStringLiteral("goodsid")));
        if (s.value() != 0 && goods != 0 && s.value() != goods)
            Refuse(QStringLiteral("%1的行号 %2 是另一种货品（%3），与本行的货品 %4 不同").arg(label).arg(sourceItem.toInt()).arg(s.value()).arg(goods));
    }
}

void TBillGuard::CheckStockColumns(const TBillChange& c)
{
    if (FKind.Master.Has(QStringLiteral("billdate")) && c.FinalMaster.value(QStringLiteral("billdate")).isNull())
        Refuse(QStringLiteral("%1的%2不能为空").arg(MasterWhere(), ColumnLabel(QStringLiteral("billdate"))));
    if (!FKind.MovesStock())
        return;
    for (const char* col : kStockColumns)
        if (FKind.Master.Has(QLatin1String(col)) && IdOf(c.FinalMaster.value(QLatin1String(col))) == 0)
            Refuse(QStringLiteral("%1的%2不能为空：%3要按它记库存").arg(MasterWhere(), ColumnLabel(QLatin1String(col)), FKind.Caption));
}

void TBillGuard::ComputeTotal(TBillChange& c, const TRowValues& stored)
{
    if (FKind.Master.Has(QStringLiteral("opid")))
        c.ServerMaster.insert(QStringLiteral("opid"), FOp.OpID());
    if (FKind.TotalField.isEmpty() || FKind.StandsAlone(c.FinalMaster))
        return;
    double total = 0;
    for (const TRowValues& line : c.FinalLines)
        total += line.value(FKind.AmountField).toDouble();
    total = RoundMoney(total);
    if (std::abs(total) >= kMaxAmount)
        Refuse(QStringLiteral("%1的%2：明细合计 %3 超出范围，绝对值须小于 %4")
                   .arg(MasterWhere(), ColumnLabel(FKind.TotalField), QString::number(total, 'g', 15), QString::number(kMaxAmount, 'g', 15)));
    c.FinalMaster.insert(FKind.TotalField, total);
    c.ServerMaster.insert(FKind.TotalField, total);
    // a bill others settled in part may not fall below what they settled
    if (const TSettlement* s = SettlementOf(FKind.BillType)) {
        const double settled = stored.value(QLatin1String(s->Column)).toDouble();
        if (std::abs(settled) > kEps && total * (settled > 0 ? 1 : -1) < std::abs(settled) - kEps)
            Refuse(QStringLiteral("%1的%2 %3 不能小于已结算的金额 %4")
                       .arg(MasterWhere(), ColumnLabel(FKind.TotalField), QString::number(total, 'f', 2), QString::number(settled, 'f', 2)));
    }
}

TBillChange TBillGuard::CheckSave(qint64 id, bool isNew, const TRowValues& stored, const QVector<TRowValues>& storedLines,
                                  TDelta masterDelta, TDelta detailDelta, bool linesFollow)
{
    TBillChange c;
    c.Id = id;
    c.IsNew = isNew;
    // the rows are made safe in place: a change set shared with the caller would be copied
    // row by row at the first value changed
    c.Master = std::move(masterDelta);
    c.Detail = std::move(detailDelta);
    c.FinalMaster = stored;

    TDeltaRow* m = nullptr;
    int masterRows = 0;
    for (TDeltaRow& row : c.Master.Rows)
        if (row.Kind != TUpdateStatus::usUnmodified) {
            m = &row;
            ++masterRows;
        }
    if (masterRows > 1)
        Refuse(QStringLiteral("保存的数据中有 %1 条主记录：一次只能保存一张单据").arg(masterRows));
    if (isNew && (!m || m->Kind != TUpdateStatus::usInserted))
        Refuse(QStringLiteral("保存的数据中没有新单据的主记录"));
    if (!isNew && m && m->Kind != TUpdateStatus::usModified)
        Refuse(QStringLiteral("保存的数据中的主记录不是对本单据的修改"));
    if (!FKind.HasLines() && !c.Detail.Rows.isEmpty())
        Refuse(QStringLiteral("%1没有明细，保存的数据中却有明细行").arg(FKind.Caption));

    TTouched touched;
    CheckMasterRow(c, m, stored, touched);
    CheckLineRows(c, storedLines, touched);
    CheckSourceLines(c, storedLines);
    CheckReferences(c, touched);
    CheckStockColumns(c);
    if (FKind.NeedLines && c.FinalLines.isEmpty() && !FKind.StandsAlone(c.FinalMaster) && !linesFollow)
        Refuse(NoLinesMessage());
    ComputeTotal(c, stored);
    return c;
}

void CheckDeltaValues(const TTableInfo& table, TDelta& delta)
{
    int position = 0;
    for (TDeltaRow& row : delta.Rows) {
        ++position;
        if (row.Kind != TUpdateStatus::usInserted && row.Kind != TUpdateStatus::usModified)
            continue;
        for (auto it = row.New.begin(); it != row.New.end(); ++it) {
            const QString col = LowerName(it.key());
            if (!table.Has(col) || (row.Kind == TUpdateStatus::usModified && !ContainsCI(row.Changed, col)))
                continue;
            const QString why = NormaliseColumnValue(col, table.Type(col), it.value());
            if (!why.isEmpty())
                Refuse(QStringLiteral("第 %1 行的%2：%3").arg(position).arg(ColumnLabel(col), why));
        }
    }
}
