// The grid's footer calculations and the display styles of its columns.
#include "platform/DBControls.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QSpinBox>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace {

std::unique_ptr<TClientDataSet> Lines()
{
    auto d = std::make_unique<TClientDataSet>();
    d->AddField(QStringLiteral("itemno"), TFieldType::ftInteger);
    d->AddField(QStringLiteral("goodsname"), TFieldType::ftString, 40);
    d->AddField(QStringLiteral("unitqty"), TFieldType::ftFloat);
    d->AddField(QStringLiteral("amount"), TFieldType::ftCurrency);
    d->AddField(QStringLiteral("ispresent"), TFieldType::ftString, 1);
    d->AddField(QStringLiteral("closed"), TFieldType::ftBoolean);
    d->AddField(QStringLiteral("revdate"), TFieldType::ftDateTime);
    d->AddField(QStringLiteral("storeid"), TFieldType::ftInteger);
    d->CreateDataSet();
    return d;
}

// The figures the footer must show, worked out from the rows as they are now.
struct TOracle {
    double Sum = 0, Max = 0, Min = 0;
    int Rows = 0, Present = 0;
};
TOracle Expected(TClientDataSet* ds, const char* field)
{
    TOracle o;
    const int idx = ds->FieldByName(QString::fromLatin1(field))->Index();
    o.Rows = ds->RecordCount();
    for (int r = 0; r < o.Rows; ++r) {
        const QVariant v = ds->RowValue(r, idx);
        if (v.isNull())
            continue;
        const double d = v.toDouble();
        o.Sum += d;
        o.Max = o.Present ? std::max(o.Max, d) : d;
        o.Min = o.Present ? std::min(o.Min, d) : d;
        ++o.Present;
    }
    return o;
}

class TGridColumnsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ds = Lines();
        src = std::make_unique<TDataSource>(ds.get());
        grid = std::make_unique<TDBGrid>();
        grid->resize(700, 300);
        grid->SetDataSource(src.get());
    }
    int Col(const char* field) const { return grid->Model()->ColumnOfField(QString::fromLatin1(field)); }
    QModelIndex Cell(int row, const char* field) const { return grid->Model()->index(row, Col(field)); }
    QWidget* Editor(int row, const char* field)
    {
        QStyleOptionViewItem opt;
        QWidget* e = grid->itemDelegate()->createEditor(grid->viewport(), opt, Cell(row, field));
        editors.emplace_back(e);
        if (e)
            grid->itemDelegate()->setEditorData(e, Cell(row, field));
        return e;
    }
    void Commit(QWidget* e, int row, const char* field) { grid->itemDelegate()->setModelData(e, grid->Model(), Cell(row, field)); }
    QString Value(int row, const char* field) const
    {
        return ds->RowValue(row, ds->FieldByName(QString::fromLatin1(field))->Index()).toString();
    }

    std::unique_ptr<TClientDataSet> ds;
    std::unique_ptr<TDataSource> src;
    std::unique_ptr<TDBGrid> grid;
    std::vector<std::unique_ptr<QWidget>> editors;
};

} // namespace

TEST_F(TGridColumnsTest, EveryFooterKindFollowsEditsInsertsDeletesAndFilters)
{
    grid->SetColumnFooter(QStringLiteral("unitqty"), TFooterKind::Sum);
    grid->SetColumnFooter(QStringLiteral("amount"), TFooterKind::Average);
    grid->SetColumnFooter(QStringLiteral("itemno"), TFooterKind::Count);
    EXPECT_TRUE(grid->ShowFooter());
    // Max and min are checked on a field of their own each time round.
    const TFooterKind kinds[] = {TFooterKind::Max, TFooterKind::Min};

    QRandomGenerator rnd(20240315);
    auto check = [&](int step) {
        const TOracle qty = Expected(ds.get(), "unitqty");
        const TOracle amt = Expected(ds.get(), "amount");
        const TOracle store = Expected(ds.get(), "storeid");
        EXPECT_NEAR(grid->FooterValue(QStringLiteral("unitqty")).toDouble(), qty.Sum, 1e-9) << step;
        if (amt.Present)
            EXPECT_NEAR(grid->FooterValue(QStringLiteral("amount")).toDouble(), amt.Sum / amt.Present, 1e-9) << step;
        else
            EXPECT_TRUE(grid->FooterValue(QStringLiteral("amount")).isNull()) << step;
        EXPECT_EQ(grid->FooterValue(QStringLiteral("itemno")).toInt(), qty.Rows) << step;
        const TFooterKind k = kinds[step % 2];
        grid->SetColumnFooter(QStringLiteral("storeid"), k);
        if (store.Present)
            EXPECT_DOUBLE_EQ(grid->FooterValue(QStringLiteral("storeid")).toDouble(), k == TFooterKind::Max ? store.Max : store.Min) << step;
        else
            EXPECT_TRUE(grid->FooterValue(QStringLiteral("storeid")).isNull()) << step;
    };
    int next = 1;
    for (int step = 0; step < 400; ++step) {
        const int op = int(rnd.bounded(10));
        const int n = ds->RecordCount();
        if (op < 3 || n == 0) { // append a line, sometimes with gaps
            ds->Append();
            ds->FieldByName(QStringLiteral("itemno"))->SetValue(next++);
            if (rnd.bounded(5))
                ds->FieldByName(QStringLiteral("unitqty"))->SetValue(double(rnd.bounded(1000)) / 8);
            if (rnd.bounded(5))
                ds->FieldByName(QStringLiteral("amount"))->SetValue(double(rnd.bounded(100000)) / 100);
            ds->FieldByName(QStringLiteral("storeid"))->SetValue(int(rnd.bounded(50)));
            ds->Post();
        } else if (op < 7) { // edit one field; checked while still editing, then posted or cancelled
            ds->SetRecNo(int(rnd.bounded(n)) + 1);
            ds->FieldByName(op == 6 ? QStringLiteral("storeid") : QStringLiteral("unitqty"))->SetValue(int(rnd.bounded(300)) - 100);
            check(step);
            if (rnd.bounded(4))
                ds->Post();
            else
                ds->Cancel();
        } else if (op < 9) {
            ds->SetRecNo(int(rnd.bounded(n)) + 1);
            ds->Delete();
        } else { // a filter on and off
            ds->SetFilter(QStringLiteral("storeid < 25"));
            ds->SetFiltered(!ds->Filtered());
        }
        check(step);
    }
    EXPECT_GT(ds->RecordCount(), 10);
}

TEST_F(TGridColumnsTest, TheCaptionStandsInTheFirstColumnShownWithItsFont)
{
    ds->AppendRecord({1, QStringLiteral("茶叶"), 2.0, 10.0, QStringLiteral("F"), false, QVariant(), 1});
    grid->SetColumnTotal(QStringLiteral("itemno"));
    grid->SetColumnTotal(QStringLiteral("amount"));
    grid->FooterCaption = QStringLiteral("合 计");
    EXPECT_EQ(grid->FooterText(Col("itemno")), QStringLiteral("合 计")); // a total column as well
    EXPECT_EQ(grid->FooterText(Col("amount")), QStringLiteral("10"));
    // Moving another column to the front moves the caption with it.
    grid->horizontalHeader()->moveSection(grid->horizontalHeader()->visualIndex(Col("goodsname")), 0);
    EXPECT_EQ(grid->FooterText(Col("goodsname")), QStringLiteral("合 计"));
    EXPECT_EQ(grid->FooterText(Col("itemno")), QStringLiteral("1"));
}

TEST_F(TGridColumnsTest, CheckBoxColumnsToggleTextFlagsAndBooleans)
{
    ds->AppendRecord({1, QStringLiteral("茶叶"), 2.0, 10.0, QStringLiteral("F"), false, QVariant(), 1});
    grid->SetColumnStyle(QStringLiteral("ispresent"), TColumnStyle::CheckBox);
    grid->SetColumnStyle(QStringLiteral("closed"), TColumnStyle::CheckBox);
    grid->show();
    EXPECT_EQ(Editor(0, "ispresent"), nullptr) << "a check box is toggled, not edited";
    QStyleOptionViewItem opt;
    opt.rect = grid->visualRect(Cell(0, "ispresent"));
    QMouseEvent click(QEvent::MouseButtonRelease, QPointF(opt.rect.center()), QPointF(opt.rect.center()), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
    EXPECT_TRUE(grid->itemDelegate()->editorEvent(&click, grid->Model(), opt, Cell(0, "ispresent")));
    EXPECT_EQ(Value(0, "ispresent"), QStringLiteral("T"));
    EXPECT_TRUE(grid->itemDelegate()->editorEvent(&click, grid->Model(), opt, Cell(0, "ispresent")));
    EXPECT_EQ(Value(0, "ispresent"), QStringLiteral("F"));
    // Space on the current cell toggles a boolean.
    grid->setCurrentIndex(Cell(0, "closed"));
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QApplication::sendEvent(grid.get(), &space);
    EXPECT_TRUE(ds->FieldByName(QStringLiteral("closed"))->AsBoolean());
    // Read-only: neither clicks nor keys change it.
    grid->SetColumnReadOnly(QStringLiteral("ispresent"), true);
    grid->itemDelegate()->editorEvent(&click, grid->Model(), opt, Cell(0, "ispresent"));
    EXPECT_EQ(Value(0, "ispresent"), QStringLiteral("F"));
}

TEST_F(TGridColumnsTest, EachStyleEditsWithItsOwnEditorAndButton)
{
    ds->AppendRecord({1, QStringLiteral("茶叶"), 2.0, 10.0, QStringLiteral("F"), false, QDateTime(QDate(2024, 3, 1), QTime(8, 30)), 2});
    TClientDataSet stores;
    stores.AddField(QStringLiteral("storeid"), TFieldType::ftInteger);
    stores.AddField(QStringLiteral("name"), TFieldType::ftString, 20);
    stores.CreateDataSet();
    stores.AppendRecord({1, QStringLiteral("总仓")});
    stores.AppendRecord({2, QStringLiteral("门店仓")});

    // pick list: an editable combo with the choices
    grid->SetColumnStyle(QStringLiteral("goodsname"), TColumnStyle::PickList);
    grid->SetColumnPickList(QStringLiteral("goodsname"), {QStringLiteral("红茶"), QStringLiteral("绿茶")});
    auto* pick = qobject_cast<QComboBox*>(Editor(0, "goodsname"));
    ASSERT_NE(pick, nullptr);
    EXPECT_TRUE(pick->isEditable());
    EXPECT_EQ(pick->count(), 2);
    EXPECT_EQ(pick->currentText(), QStringLiteral("茶叶"));
    pick->setCurrentIndex(1);
    Commit(pick, 0, "goodsname");
    EXPECT_EQ(Value(0, "goodsname"), QStringLiteral("绿茶"));

    // lookup: shows the list's text, writes its key
    grid->SetColumnStyle(QStringLiteral("storeid"), TColumnStyle::Lookup);
    grid->SetColumnLookup(QStringLiteral("storeid"), &stores, QStringLiteral("storeid"), QStringLiteral("name"));
    EXPECT_EQ(grid->LookupText(QStringLiteral("storeid"), 2), QStringLiteral("门店仓"));
    EXPECT_EQ(grid->LookupText(QStringLiteral("storeid"), 9), QStringLiteral("9"));
    auto* lookup = qobject_cast<QComboBox*>(Editor(0, "storeid"));
    ASSERT_NE(lookup, nullptr);
    EXPECT_FALSE(lookup->isEditable());
    EXPECT_EQ(lookup->currentText(), QStringLiteral("门店仓"));
    lookup->setCurrentIndex(0);
    Commit(lookup, 0, "storeid");
    EXPECT_EQ(Value(0, "storeid"), QStringLiteral("1"));

    // date: a calendar editor; the time of day stays
    grid->SetColumnStyle(QStringLiteral("revdate"), TColumnStyle::Date);
    auto* date = qobject_cast<QDateEdit*>(Editor(0, "revdate"));
    ASSERT_NE(date, nullptr);
    EXPECT_TRUE(date->calendarPopup());
    EXPECT_EQ(date->date(), QDate(2024, 3, 1));
    date->setDate(QDate(2024, 4, 2));
    Commit(date, 0, "revdate");
    EXPECT_EQ(ds->FieldByName(QStringLiteral("revdate"))->AsDateTime(), QDateTime(QDate(2024, 4, 2), QTime(8, 30)));

    // spin: integers step as integers, other numbers with decimals
    grid->SetColumnStyle(QStringLiteral("itemno"), TColumnStyle::Spin);
    grid->SetColumnStyle(QStringLiteral("unitqty"), TColumnStyle::Spin);
    auto* spin = qobject_cast<QSpinBox*>(Editor(0, "itemno"));
    ASSERT_NE(spin, nullptr);
    spin->stepUp();
    Commit(spin, 0, "itemno");
    EXPECT_EQ(Value(0, "itemno"), QStringLiteral("2"));
    auto* dspin = qobject_cast<QDoubleSpinBox*>(Editor(0, "unitqty"));
    ASSERT_NE(dspin, nullptr);
    dspin->setValue(2.375);
    Commit(dspin, 0, "unitqty");
    EXPECT_DOUBLE_EQ(ds->FieldByName(QStringLiteral("unitqty"))->AsFloat(), 2.375);

    // money: typed without arrows, two decimals
    grid->SetColumnStyle(QStringLiteral("amount"), TColumnStyle::Money);
    auto* money = qobject_cast<QDoubleSpinBox*>(Editor(0, "amount"));
    ASSERT_NE(money, nullptr);
    EXPECT_EQ(money->decimals(), 2);
    EXPECT_EQ(money->buttonSymbols(), QAbstractSpinBox::NoButtons);

    // ellipsis: the button asks the form, naming the field
    grid->SetColumnStyle(QStringLiteral("goodsname"), TColumnStyle::Ellipsis);
    QStringList asked;
    QObject::connect(grid.get(), &TDBGrid::EditButtonClicked, [&asked](const QString& f) { asked << f; });
    QWidget* ell = Editor(0, "goodsname");
    ASSERT_NE(ell, nullptr);
    auto* button = ell->findChild<QToolButton*>(QStringLiteral("EllipsisButton"));
    ASSERT_NE(button, nullptr);
    button->click();
    EXPECT_EQ(asked, QStringList{QStringLiteral("goodsname")});
    ell->findChild<QLineEdit*>()->setText(QStringLiteral("普洱"));
    Commit(ell, 0, "goodsname");
    EXPECT_EQ(Value(0, "goodsname"), QStringLiteral("普洱"));

    // memo: several lines
    grid->SetColumnStyle(QStringLiteral("goodsname"), TColumnStyle::Memo);
    auto* memo = qobject_cast<QPlainTextEdit*>(Editor(0, "goodsname"));
    ASSERT_NE(memo, nullptr);
    memo->setPlainText(QStringLiteral("第一行\n第二行"));
    Commit(memo, 0, "goodsname");
    EXPECT_EQ(Value(0, "goodsname"), QStringLiteral("第一行\n第二行"));

    // password: typed and shown hidden
    grid->SetColumnStyle(QStringLiteral("goodsname"), TColumnStyle::Password);
    auto* pw = qobject_cast<QLineEdit*>(Editor(0, "goodsname"));
    ASSERT_NE(pw, nullptr);
    EXPECT_EQ(pw->echoMode(), QLineEdit::Password);

    // read-only: shown, no editor
    grid->SetColumnStyle(QStringLiteral("goodsname"), TColumnStyle::ReadOnly);
    EXPECT_EQ(Editor(0, "goodsname"), nullptr);
    EXPECT_FALSE(grid->ColumnEditable(Col("goodsname")));
}

TEST(GridMoneyCells, AmountsFillElevenCellsFromTheRight)
{
    EXPECT_EQ(MoneyCellText(1234.5), QStringLiteral("     123450"));
    EXPECT_EQ(MoneyCellText(0.05), QStringLiteral("        005"));
    EXPECT_EQ(MoneyCellText(-12.3), QStringLiteral("      -1230"));
    EXPECT_EQ(MoneyCellText(2.675), QStringLiteral("        268")); // rounded half away from zero
    EXPECT_EQ(MoneyCellText(99999999.99), QStringLiteral(" 9999999999"));
    EXPECT_EQ(MoneyCellText(999999999.99), QStringLiteral("99999999999"));
    EXPECT_EQ(MoneyCellText(1000000000.0), QString()) << "twelve digits do not fit";
    EXPECT_EQ(MoneyCellText(-999999999.0), QString()) << "nor does the sign of the largest";
    EXPECT_EQ(MoneyCellText(3, 4), QStringLiteral(" 300"));
}

TEST_F(TGridColumnsTest, EnterMovesToTheNextCellThenTheNextRow)
{
    ds->AppendRecord({1, QStringLiteral("茶叶"), 2.0, 10.0, QStringLiteral("F"), false, QVariant(), 1});
    ds->AppendRecord({2, QStringLiteral("茶具"), 1.0, 20.0, QStringLiteral("F"), false, QVariant(), 1});
    grid->SetNavOptions(gnEnterMovesRight | gnRowHighlight);
    const int last = grid->Model()->columnCount() - 1;
    grid->horizontalHeader()->setSectionHidden(1, true);
    grid->setCurrentIndex(grid->Model()->index(0, 0));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(grid.get(), &enter);
    EXPECT_EQ(grid->currentIndex(), grid->Model()->index(0, 2)) << "hidden columns are passed over";
    grid->setCurrentIndex(grid->Model()->index(0, last));
    QApplication::sendEvent(grid.get(), &enter);
    EXPECT_EQ(grid->currentIndex(), grid->Model()->index(1, 0));
    EXPECT_EQ(ds->RecNo(), 2) << "the dataset follows the grid";
    // Without the option Enter does not move.
    grid->SetNavOptions(gnRowHighlight);
    QApplication::sendEvent(grid.get(), &enter);
    EXPECT_EQ(grid->currentIndex(), grid->Model()->index(1, 0));
}
