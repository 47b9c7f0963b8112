// The one table of bill profiles: its numbering, what the server was built from it, and that
// every name it gives exists in the database.
#include "PackageFixture.h"

#include "server/BillProcedures.h"
#include "server/BillProfiles.h"

#include <QSet>

namespace {

QSet<QString> Columns(TClientConnection* con, const QString& table)
{
    TClientDataSet info;
    con->OpenDataSet(QStringLiteral("select name from pragma_table_info(:t)"), &info, {{QStringLiteral("t"), table.toLower()}});
    QSet<QString> out;
    for (info.First(); !info.Eof(); info.Next())
        out << info.Fields(0)->AsString().toLower();
    return out;
}

} // namespace

TEST_F(TPackageTest, ProfilesNumberTheThirtyFiveBillsOnce)
{
    const QVector<TBillProfile>& profiles = BillProfiles();
    ASSERT_EQ(profiles.size(), 35);
    QSet<int> types, privileges, dbTypes;
    QSet<QString> forms, stems;
    for (const TBillProfile& p : profiles) {
        SCOPED_TRACE(p.FormName);
        EXPECT_FALSE(types.contains(p.BillType));
        types << p.BillType;
        EXPECT_FALSE(forms.contains(QString::fromLatin1(p.FormName).toLower()));
        forms << QString::fromLatin1(p.FormName).toLower();
        EXPECT_FALSE(stems.contains(QString::fromLatin1(p.ProcStem).toLower()));
        stems << QString::fromLatin1(p.ProcStem).toLower();
        if (p.DBBillType != -999) {
            EXPECT_FALSE(dbTypes.contains(p.DBBillType)) << "the stock flow is keyed by it";
            dbTypes << p.DBBillType;
        }
        // Valued receipts and their opening entries are the one pair under one privilege id.
        if (p.PrivilegeId != 42) {
            EXPECT_FALSE(privileges.contains(p.PrivilegeId));
            privileges << p.PrivilegeId;
        }
        EXPECT_TRUE(QSet<int>({-1, 1, 2, 3}).contains(p.CVFlag));
        EXPECT_TRUE(QSet<int>({-1, 0, 1, 2}).contains(p.StockDirection));
        EXPECT_TRUE(QSet<int>({1, 2, 3, 4, 5, 8}).contains(p.TradeSide));
        EXPECT_FALSE(QString::fromUtf8(p.Caption).isEmpty());
        if (!p.MasterDetailBill()) {
            EXPECT_FALSE(p.NeedsLines);
            EXPECT_FALSE(p.TotalFromLines);
        }
        EXPECT_EQ(BillProfileOfType(p.BillType), &p);
        EXPECT_EQ(BillProfileOfForm(QString::fromLatin1(p.FormName).toUpper()), &p);
        EXPECT_EQ(BillProfileOfProcedure(p.RedProcName().toLower()), &p);
    }
    for (int t = 1; t <= 44; ++t)
        EXPECT_EQ(types.contains(t), t <= 30 || t >= 40) << "bill type " << t;
    EXPECT_EQ(BillProfileOfType(35), nullptr);
    EXPECT_EQ(BillProfileOfForm(QStringLiteral("NoSuchForm")), nullptr);
    EXPECT_EQ(BillProfileOfProcedure(QStringLiteral("Submit_BaseBill_Save")), nullptr);

    // The registration order begins and ends as the host has always seen it.
    EXPECT_STREQ(profiles.first().FormName, "QuotationForm");
    EXPECT_EQ(profiles.first().PrivilegeId, 376);
    EXPECT_STREQ(profiles[6].FormName, "PorderForm");
    EXPECT_EQ(profiles[6].BillType, 6);
    EXPECT_EQ(profiles[6].SaveProcName(), QStringLiteral("Submit_POrder_Save"));
    EXPECT_STREQ(profiles.last().FormName, "DisLaborageForm");
    EXPECT_EQ(profiles.last().PrivilegeId, 96);
}

TEST_F(TPackageTest, TheServerAndItsBillKindsAreMadeFromTheProfiles)
{
    ASSERT_EQ(BillProcedureNames().size(), 105);
    for (const TBillProfile& p : BillProfiles()) {
        SCOPED_TRACE(p.FormName);
        for (const QString& proc : {p.SaveProcName(), p.DeleteProcName(), p.RedProcName()}) {
            EXPECT_TRUE(TServerRegistry::FindMethod(proc)) << proc.toStdString();
            EXPECT_EQ(BillTypeOfProcedure(proc.toUpper()), p.BillType);
        }
        // The bill kind row of a new database holds the profile, column by column.
        TClientDataSet row;
        FCon->OpenDataSet(QStringLiteral("select * from billkind where billtype = :t"), &row, {{QStringLiteral("t"), p.BillType}});
        ASSERT_EQ(row.RecordCount(), 1);
        for (const TBillKindColumn& c : BillKindRow(p)) {
            TField* f = row.FindField(QLatin1String(c.Name));
            ASSERT_NE(f, nullptr) << c.Name;
            if (c.Value.isNull())
                EXPECT_TRUE(f->IsNull()) << c.Name;
            else
                EXPECT_EQ(f->AsString(), c.Value.toString()) << c.Name;
        }
    }
    EXPECT_EQ(FCon->ExecuteScalar(QStringLiteral("select count(*) from billkind")).toInt(), 35);
}

TEST_F(TPackageTest, EveryTableAndColumnAProfileNamesExists)
{
    for (const TBillProfile& p : BillProfiles()) {
        SCOPED_TRACE(p.FormName);
        const QSet<QString> master = Columns(FCon.get(), QString::fromLatin1(p.MasterTable));
        ASSERT_FALSE(master.isEmpty());
        EXPECT_TRUE(master.contains(QString::fromLatin1(p.KeyField).toLower()));
        if (*p.MasterTotalField) {
            EXPECT_TRUE(master.contains(QString::fromLatin1(p.MasterTotalField).trimmed().toLower())) << p.MasterTotalField;
        }
        if (!p.MasterDetailBill())
            continue;
        const QSet<QString> detail = Columns(FCon.get(), QString::fromLatin1(p.DetailTable));
        ASSERT_FALSE(detail.isEmpty());
        EXPECT_TRUE(detail.contains(QString::fromLatin1(p.KeyField).toLower()));
        if (*p.LineAmountField) {
            EXPECT_TRUE(detail.contains(QString::fromLatin1(p.LineAmountField).toLower())) << p.LineAmountField;
        }
    }
}
