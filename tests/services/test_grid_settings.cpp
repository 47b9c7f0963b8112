// Column settings applied to a data grid, kept across reloads and stored between runs.
#include "services/GridSettings.h"

#include "platform/DBControls.h"

#include <QApplication>
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

    // Footer: each column's own calculation; "合 计" in the first column shown.
    ASSERT_TRUE(grid->ShowFooter());
    EXPECT_EQ(grid->FooterText(grid->Model()->ColumnOfField(QStringLiteral("goodsname"))), QStringLiteral("合 计"));
    EXPECT_EQ(grid->FooterText(grid->Model()->ColumnOfField(QStringLiteral("amount"))), QStringLiteral("130.75"));
    EXPECT_EQ(grid->FooterText(grid->Model()->ColumnOfField(QStringLiteral("unitqty"))), QStringLiteral("1.5"));
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

TEST_F(TGridSettingsTest, TheLookComesFromTheSettings)
{
    TKQDBGridMaster m(grid, src);
    Fill(m);
    TSetDBGrid::ApplyGrid(m);
    // Defaults: the platform's button face for the fixed cells, the footer and row colours,
    // lines 0x0B and moving 0x0F, "合 计" in 宋体 11, black.
    EXPECT_EQ(grid->horizontalHeader()->palette().color(QPalette::Button), QApplication::palette().color(QPalette::Button));
    EXPECT_EQ(grid->palette().color(QPalette::Window), QColor(0xE7, 0xE3, 0xE7));
    EXPECT_EQ(grid->palette().color(QPalette::AlternateBase), QColor(0xE7, 0xEF, 0xE7));
    EXPECT_EQ(grid->LineOptions(), 0x0B);
    EXPECT_EQ(grid->NavOptions(), 0x0F);
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(grid->tabKeyNavigation());
    EXPECT_EQ(grid->FooterCaption, QStringLiteral("合 计"));
    EXPECT_EQ(grid->FooterCaptionFont.family(), QStringLiteral("宋体"));
    EXPECT_EQ(grid->FooterCaptionFont.pointSize(), 11);
    EXPECT_EQ(grid->FooterCaptionColor, QColor(Qt::black));

    // Other settings, other look: a fixed colour of its own and a system colour for the
    // footer; cells without row highlighting and without Tab moves.
    TKQDBGridMaster other(grid, src);
    Fill(other);
    other.FixedColor = 0x00336699;        // 0xBBGGRR
    other.FooterColor = 0x8000000D;       // the highlight colour of the platform
    other.NavOptions = gnFocusCell | gnEnterMovesRight;
    TSetDBGrid::ApplyGrid(other);
    EXPECT_EQ(grid->horizontalHeader()->palette().color(QPalette::Button), QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(grid->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Highlight));
    EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectItems);
    EXPECT_FALSE(grid->tabKeyNavigation());
}

TEST_F(TGridSettingsTest, FooterKindsAndDisplayStylesOfTheListReachTheGrid)
{
    ds->AppendRecord({3, QStringLiteral("茶盘"), 4.0, 12.0, QStringLiteral("T")});
    TKQDBGridMaster m(grid, src);
    m.ShowFooter = true;
    TSetDBGrid::AddColumnInfo(m, QStringLiteral("goodsid"), QStringLiteral("编号"), 50, true, false, ftCount, {}, 6);
    TSetDBGrid::AddColumnInfo(m, QStringLiteral("goodsname"), QStringLiteral("品名"), 150, true, false, ftCount, {}, 5);
    TSetDBGrid::AddColumnInfo(m, QStringLiteral("unitqty"), QStringLiteral("数量"), 70, true, false, ftMax, {}, 6);
    TSetDBGrid::AddColumnInfo(m, QStringLiteral("amount"), QStringLiteral("金额"), 120, true, false, ftMin, QStringLiteral("0.00"), 7);
    TSetDBGrid::AddColumnInfo(m, QStringLiteral("memo"), QStringLiteral("赠品"), 40, true, false, ftNone, {}, 1);
    TSetDBGrid::ApplyGrid(m);
    auto text = [&](const char* field) { return grid->FooterText(grid->Model()->ColumnOfField(QString::fromLatin1(field))); };
    EXPECT_EQ(text("goodsid"), QStringLiteral("合 计")); // the first column, whatever it counts
    EXPECT_EQ(text("goodsname"), QStringLiteral("3"));
    EXPECT_EQ(text("unitqty"), QStringLiteral("4"));
    EXPECT_EQ(text("amount"), QStringLiteral("12.00"));
    EXPECT_EQ(grid->ColumnFooter(QStringLiteral("goodsid")), TFooterKind::Count);

    EXPECT_EQ(grid->ColumnStyle(QStringLiteral("goodsname")), TColumnStyle::Ellipsis);
    EXPECT_EQ(grid->ColumnButton(QStringLiteral("goodsname")), TColumnButton::Ellipsis);
    EXPECT_EQ(grid->ColumnButton(QStringLiteral("unitqty")), TColumnButton::UpDown);
    EXPECT_EQ(grid->ColumnStyle(QStringLiteral("amount")), TColumnStyle::Money);
    EXPECT_EQ(grid->ColumnStyle(QStringLiteral("memo")), TColumnStyle::CheckBox);

    // A calculation whose value is not to be shown.
    m.FindColumn(QStringLiteral("unitqty"))->ShowFooterValue = false;
    TSetDBGrid::ApplyGrid(m);
    EXPECT_TRUE(text("unitqty").isEmpty());
    EXPECT_EQ(text("goodsname"), QStringLiteral("3"));

    // Applying other settings takes back what the old ones set.
    TKQDBGridMaster plain(grid, src);
    TSetDBGrid::AddColumnInfo(plain, QStringLiteral("goodsname"), QStringLiteral("品名"), 150);
    TSetDBGrid::AddColumnInfo(plain, QStringLiteral("amount"), QStringLiteral("金额"), 90);
    TSetDBGrid::ApplyGrid(plain);
    EXPECT_EQ(grid->ColumnStyle(QStringLiteral("amount")), TColumnStyle::Text);
    EXPECT_EQ(grid->ColumnFooter(QStringLiteral("goodsname")), TFooterKind::None);
    EXPECT_TRUE(text("amount").isEmpty());
    // A style number out of range is plain text, as is one stored by older settings.
    EXPECT_EQ(ColumnStyleFromNumber(11), TColumnStyle::Text);
    EXPECT_EQ(ColumnStyleFromNumber(-1), TColumnStyle::Text);
}
