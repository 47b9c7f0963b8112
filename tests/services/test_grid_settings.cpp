// Column settings applied to a data grid, kept across reloads and stored between runs.
#include "services/GridSettings.h"

#include "platform/DBControls.h"

#include <QHeaderView>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class TGridSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ds = MakeDataSet(&owner);
        src = new TDataSource(ds, &owner);
        grid = new TDBGrid;
        grid->resize(600, 300);
        grid->SetDataSource(src);
    }
    void TearDown() override { delete grid; }

    static TClientDataSet* MakeDataSet(QObject* owner)
    {
        auto* d = new TClientDataSet(owner);
        d->AddField(QStringLiteral("goodsid"), TFieldType::ftInteger);
        d->AddField(QStringLiteral("goodsname"), TFieldType::ftString, 40);
        d->AddField(QStringLiteral("unitqty"), TFieldType::ftFloat);
        d->AddField(QStringLiteral("amount"), TFieldType::ftCurrency);
        d->AddField(QStringLiteral("memo"), TFieldType::ftString, 40);
        d->CreateDataSet();
        d->AppendRecord({1, QStringLiteral("茶叶"), 2.0, 30.5, QString()});
        d->AppendRecord({2, QStringLiteral("茶具"), 1.0, 100.25, QString()});
        return d;
    }

    void Fill(TKQDBGridMaster& m)
    {
        m.ShowFooter = true;
        m.Text = QStringLiteral("PorderForm.ItemDBGrid");
        TSetDBGrid::AddColumnInfo(m, QStringLiteral("goodsname"), QStringLiteral("品名"), 150, true, true);
        TSetDBGrid::AddColumnInfo(m, QStringLiteral("amount"), QStringLiteral("金额"), 90, true, false, ftSum, QStringLiteral("#,##0.00"));
        TSetDBGrid::AddColumnInfo(m, QStringLiteral("unitqty"), QStringLiteral("数量"), 70, true, false, ftAverage);
        TSetDBGrid::AddColumnInfo(m, QStringLiteral("memo"), QStringLiteral("备注"), 120, false);
    }

    // Field names as the grid shows them, left to right, hidden columns left out.
    QStringList Shown(TDBGrid* g) const
    {
        QStringList out;
        QHeaderView* h = g->horizontalHeader();
        for (int v = 0; v < h->count(); ++v) {
            const int logical = h->logicalIndex(v);
            if (!h->isSectionHidden(logical)) out << g->Model()->FieldOfColumn(logical)->FieldName();
        }
        return out;
    }
    int WidthOf(TDBGrid* g, const QString& field) const
    {
        return g->horizontalHeader()->sectionSize(g->Model()->ColumnOfField(field));
    }
    QString TitleOf(TDBGrid* g, const QString& field) const
    {
        return g->Model()->headerData(g->Model()->ColumnOfField(field), Qt::Horizontal).toString();
    }

    QObject owner;
    TClientDataSet* ds = nullptr;
    TDataSource* src = nullptr;
    TDBGrid* grid = nullptr;
};

TEST_F(TGridSettingsTest, ColumnsFollowTheListInOrderWidthTitleAndVisibility)
{
    TKQDBGridMaster m(grid, src);
    Fill(m);
    TSetDBGrid::ApplyGrid(m);
    EXPECT_EQ(grid->DataSource(), src);
    EXPECT_EQ(Shown(grid), (QStringList{QStringLiteral("goodsname"), QStringLiteral("amount"), QStringLiteral("unitqty")}));
    EXPECT_EQ(WidthOf(grid, QStringLiteral("goodsname")), 150);
    EXPECT_EQ(WidthOf(grid, QStringLiteral("amount")), 90);
    EXPECT_EQ(TitleOf(grid, QStringLiteral("amount")), QStringLiteral("金额"));
    EXPECT_TRUE(grid->alternatingRowColors());

    // Footer: the sum of a sum column; other kinds show no value; the caption is "合 计".
    ASSERT_TRUE(grid->ShowFooter());
    EXPECT_EQ(grid->FooterCaption, QStringLiteral("合 计"));
    EXPECT_EQ(grid->FooterText(grid->Model()->ColumnOfField(QStringLiteral("amount"))), QStringLiteral("130.75"));
    EXPECT_TRUE(grid->FooterText(grid->Model()->ColumnOfField(QStringLiteral("unitqty"))).isEmpty());
    EXPECT_EQ(ds->FieldByName(QStringLiteral("amount"))->DisplayFormat, QStringLiteral("#,##0.00"));

    // A read-only column refuses the editor, yet the field stays writable for the form.
    const QModelIndex name = grid->Model()->index(0, grid->Model()->ColumnOfField(QStringLiteral("goodsname")));
    const QModelIndex qty = grid->Model()->index(0, grid->Model()->ColumnOfField(QStringLiteral("unitqty")));
    QStyleOptionViewItem opt;
    QWidget* nameEditor = grid->itemDelegate()->createEditor(grid->viewport(), opt, name);
    QWidget* qtyEditor = grid->itemDelegate()->createEditor(grid->viewport(), opt, qty);
    EXPECT_EQ(nameEditor, nullptr);
    EXPECT_NE(qtyEditor, nullptr);
    delete qtyEditor;
    EXPECT_FALSE(ds->FieldByName(QStringLiteral("goodsname"))->ReadOnly);
}

TEST_F(TGridSettingsTest, OrderAndWidthsSurviveAReloadOfTheDataSet)
{
    TKQDBGridMaster m(grid, src);
    Fill(m);
    TSetDBGrid::ApplyGrid(m);
    const QString packet = ds->XMLData();
    ds->Close();
    ds->LoadFromXMLString(packet);
    EXPECT_EQ(Shown(grid), (QStringList{QStringLiteral("goodsname"), QStringLiteral("amount"), QStringLiteral("unitqty")}));
    EXPECT_EQ(WidthOf(grid, QStringLiteral("goodsname")), 150);
    EXPECT_EQ(WidthOf(grid, QStringLiteral("unitqty")), 70);
}

TEST_F(TGridSettingsTest, WhatTheUserChangesIsReadBackStoredAndRestoredOnAnotherGrid)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("grid.ini"));
    {
        TKQDBGridMaster m(grid, src);
        Fill(m);
        TSetDBGrid::ApplyGrid(m);
        QHeaderView* h = grid->horizontalHeader();
        // the user drags quantity to the front, widens the name, hides the amount
        h->moveSection(h->visualIndex(grid->Model()->ColumnOfField(QStringLiteral("unitqty"))), 0);
        h->resizeSection(grid->Model()->ColumnOfField(QStringLiteral("goodsname")), 210);
        h->setSectionHidden(grid->Model()->ColumnOfField(QStringLiteral("amount")), true);
        TSetDBGrid::ReadGrid(m);
        ASSERT_EQ(m.Columns.size(), 4u);
        EXPECT_EQ(m.Columns[0]->FieldName, QStringLiteral("unitqty"));
        EXPECT_EQ(m.Columns[1]->FieldName, QStringLiteral("goodsname"));
        EXPECT_EQ(m.Columns[1]->Width, 210);
        EXPECT_FALSE(m.FindColumn(QStringLiteral("amount"))->Visible);
        EXPECT_EQ(m.Columns[3]->FieldName, QStringLiteral("memo"));
        TSetDBGrid::SaveSettings(m, ini);
    }

    TDBGrid other;
    other.resize(600, 300);
    TClientDataSet* ds2 = MakeDataSet(&owner);
    TDataSource src2(ds2);
    other.SetDataSource(&src2);
    TKQDBGridMaster m2(&other, &src2);
    Fill(m2); // the program's own defaults first
    ASSERT_TRUE(TSetDBGrid::LoadSettings(m2, ini));
    TSetDBGrid::ApplyGrid(m2);
    EXPECT_EQ(Shown(&other), (QStringList{QStringLiteral("unitqty"), QStringLiteral("goodsname")}));
    EXPECT_EQ(WidthOf(&other, QStringLiteral("goodsname")), 210);
    EXPECT_EQ(m2.FindColumn(QStringLiteral("amount"))->Title, QStringLiteral("金额")); // titles stay the program's

    // Another key has nothing stored: the list stays as the program made it.
    TKQDBGridMaster fresh(&other, &src2);
    Fill(fresh);
    fresh.Text = QStringLiteral("SOrderForm.ItemDBGrid");
    EXPECT_FALSE(TSetDBGrid::LoadSettings(fresh, ini));
    EXPECT_EQ(fresh.Columns[0]->FieldName, QStringLiteral("goodsname"));
}

TEST_F(TGridSettingsTest, StoredColumnsTheProgramNoLongerHasAreDroppedAndNewOnesKept)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("grid.ini"));
    TKQDBGridMaster old(grid, src);
    old.Text = QStringLiteral("k");
    TSetDBGrid::AddColumnInfo(old, QStringLiteral("memo"), QStringLiteral("备注"), 55);
    TSetDBGrid::AddColumnInfo(old, QStringLiteral("retired"), QStringLiteral("旧列"), 40);
    TSetDBGrid::AddColumnInfo(old, QStringLiteral("goodsid"), QStringLiteral("编码"), 66);
    TSetDBGrid::SaveSettings(old, ini);

    TKQDBGridMaster now(grid, src);
    now.Text = QStringLiteral("k");
    TSetDBGrid::AddColumnInfo(now, QStringLiteral("goodsid"), QStringLiteral("编码"), 80);
    TSetDBGrid::AddColumnInfo(now, QStringLiteral("amount"), QStringLiteral("金额"), 80);
    TSetDBGrid::AddColumnInfo(now, QStringLiteral("memo"), QStringLiteral("备注"), 80);
    ASSERT_TRUE(TSetDBGrid::LoadSettings(now, ini));
    ASSERT_EQ(now.Columns.size(), 3u);
    EXPECT_EQ(now.Columns[0]->FieldName, QStringLiteral("memo"));
    EXPECT_EQ(now.Columns[0]->Width, 55);
    EXPECT_EQ(now.Columns[1]->FieldName, QStringLiteral("goodsid"));
    EXPECT_EQ(now.Columns[1]->Width, 66);
    EXPECT_EQ(now.Columns[2]->FieldName, QStringLiteral("amount"));
}

TEST_F(TGridSettingsTest, MultiTitlesBreakAtTheBarAndAddColumnAppends)
{
    TKQDBGridMaster m(grid, src);
    m.MultiTitle = true;
    TSetDBGrid::AddColumnInfo(m, QStringLiteral("unitqty"), QStringLiteral("数量|本次"), 80);
    TSetDBGrid::ApplyGrid(m);
    EXPECT_EQ(TitleOf(grid, QStringLiteral("unitqty")), QStringLiteral("数量\n本次"));
    EXPECT_EQ(Shown(grid), QStringList{QStringLiteral("unitqty")});

    TDBGridColumnInfo info;
    info.FieldName = QStringLiteral("goodsid");
    info.Title = QStringLiteral("编码");
    info.Width = 45;
    TSetDBGrid::AddColumn(m, info);
    EXPECT_EQ(Shown(grid), (QStringList{QStringLiteral("unitqty"), QStringLiteral("goodsid")}));
    EXPECT_EQ(WidthOf(grid, QStringLiteral("goodsid")), 45);
}

} // namespace
