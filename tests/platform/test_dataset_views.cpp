// The item model, the grid footer and the data-aware controls.
#include "DataSetFixtures.h"
#include "platform/DBControls.h"
#include "platform/DataSetModel.h"

#include <gtest/gtest.h>

namespace {
struct ModelCounter {
    int resets = 0, inserted = 0, removed = 0, changed = 0;
    explicit ModelCounter(QAbstractItemModel* m)
    {
        QObject::connect(m, &QAbstractItemModel::modelReset, [this] { ++resets; });
        QObject::connect(m, &QAbstractItemModel::rowsInserted, [this] { ++inserted; });
        QObject::connect(m, &QAbstractItemModel::rowsRemoved, [this] { ++removed; });
        QObject::connect(m, &QAbstractItemModel::dataChanged, [this] { ++changed; });
    }
};

struct ErrorCatcher {
    QStringList messages;
    ErrorCatcher()
    {
        DBErrorHandler = [this](QWidget*, const QString& m) { messages << m; };
    }
    ~ErrorCatcher() { DBErrorHandler = nullptr; }
};
} // namespace

TEST(DataSetModel, EditsGoThroughFieldsAndPostOnRowChange)
{
    auto ds = LoadedLines();
    ds->FieldByName("pic")->Visible = false;
    ds->FieldByName("name")->DisplayLabel = "品名";
    ds->FieldByName("price")->DisplayFormat = "0.00";
    ds->FieldByName("code")->ReadOnly = true;
    TDataSetModel model(ds.get());
    ModelCounter count(&model);
    ASSERT_EQ(model.rowCount(), 3);
    ASSERT_EQ(model.columnCount(), 7);
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), QString("品名"));
    EXPECT_EQ(model.data(model.index(0, 4)).toString(), QString("10.50"));
    EXPECT_EQ(model.data(model.index(0, 5), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    EXPECT_FALSE(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);

    int validated = 0;
    ds->FieldByName("qty")->OnValidate = [&](TField* f) {
        ++validated;
        if (f->AsFloat() <= 0) throw EDatabaseError("数量必须大于零");
    };
    const int qtyCol = model.ColumnOfField("QTY");
    ASSERT_EQ(qtyCol, 3);
    EXPECT_TRUE(model.setData(model.index(1, qtyCol), "7"));
    EXPECT_EQ(ds->RecNo(), 2); // the cursor followed the edited row
    EXPECT_EQ(ds->State(), TDataSetState::dsEdit);
    EXPECT_EQ(model.data(model.index(1, qtyCol)).toString(), QString("7"));
    EXPECT_FALSE(model.setData(model.index(1, qtyCol), 0));
    EXPECT_EQ(model.LastError(), QString("数量必须大于零"));
    EXPECT_FALSE(model.setData(model.index(1, qtyCol), "abc"));
    EXPECT_EQ(ds->FieldByName("qty")->AsFloat(), 7.0);
    EXPECT_EQ(validated, 2);
    EXPECT_FALSE(model.setData(model.index(1, 1), "Z")); // read-only column

    EXPECT_TRUE(model.setData(model.index(2, 5), int(Qt::Checked), Qt::CheckStateRole));
    EXPECT_EQ(ds->ChangeCount(), 1); // row 2 posted when the edit moved to row 3
    ds->Post();
    EXPECT_EQ(ds->ChangeCount(), 2);
    EXPECT_TRUE(ds->FieldByName("closed")->AsBoolean());

    ds->AppendRecord({4}); // a read-only field refuses even program writes
    ds->First();
    ds->Delete();
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(count.resets, 0); // every change above was incremental
    EXPECT_EQ(count.inserted, 1);
    EXPECT_EQ(count.removed, 1);
    EXPECT_GT(count.changed, 0);

    ds->LoadFromXMLString(ds->XMLData());
    EXPECT_EQ(count.resets, 1);
    EXPECT_EQ(model.rowCount(), 3);
}

TEST(DataSetModel, RequiredFieldRefusesTheRowMove)
{
    auto ds = MakeLines();
    ds->AppendRecord({1});
    TDataSetModel model(ds.get());
    ds->Append();
    ds->FieldByName("name")->SetValue("no id");
    EXPECT_FALSE(model.setData(model.index(0, 2), "x")); // leaving the new row posts it: refused
    EXPECT_TRUE(model.LastError().contains("id"));
    EXPECT_EQ(ds->State(), TDataSetState::dsInsert);
    EXPECT_EQ(ds->RecNo(), 2);
}

TEST(DBGrid, FooterTotalsFollowChanges)
{
    auto ds = LoadedLines();
    ds->FieldByName("price")->DisplayFormat = "0.00";
    TDataSource src(ds.get());
    TDBGrid grid;
    grid.resize(600, 300);
    grid.SetDataSource(&src);
    grid.SetColumnTotal("qty");
    grid.SetColumnTotal("Price");
    EXPECT_TRUE(grid.ShowFooter());
    const int qty = grid.Model()->ColumnOfField("qty"), price = grid.Model()->ColumnOfField("price");
    EXPECT_EQ(grid.FooterText(qty), QString("6.5"));
    EXPECT_EQ(grid.FooterText(price), QString("30.50"));
    EXPECT_EQ(grid.FooterText(0), QString("合 计"));
    EXPECT_EQ(grid.FooterText(1), QString());

    ds->First();
    ds->FieldByName("qty")->SetValue(10); // while editing
    EXPECT_EQ(grid.FooterText(qty), QString("14.5"));
    ds->Post();
    ds->AppendRecord({5, "E", "", 0.5, 1.255});
    EXPECT_EQ(grid.FooterText(qty), QString("15"));
    EXPECT_EQ(grid.FooterText(price), QString("31.76"));
    ds->Delete();
    EXPECT_EQ(grid.FooterText(qty), QString("14.5"));
    ds->SetFilter("id > 1");
    ds->SetFiltered(true);
    EXPECT_EQ(grid.FooterText(qty), QString("4.5"));

    // Grid cursor and dataset cursor follow each other.
    grid.setCurrentIndex(grid.Model()->index(1, 0));
    EXPECT_EQ(ds->FieldByName("id")->AsInteger(), 3);
    ds->First();
    EXPECT_EQ(grid.currentIndex().row(), 0);
}

TEST(DBControls, EditCheckDateMemoAndLookupWriteThroughFields)
{
    ErrorCatcher errors;
    auto ds = LoadedLines();
    TDataSource src(ds.get());

    TDBEdit edit;
    edit.SetDataSource(&src);
    edit.SetDataField("name");
    EXPECT_EQ(edit.text(), QString("绿茶"));
    ds->Next();
    EXPECT_EQ(edit.text(), QString("红茶"));
    edit.setText("乌龙");
    edit.setModified(true);
    EXPECT_TRUE(edit.UpdateRecord());
    EXPECT_EQ(ds->State(), TDataSetState::dsEdit);
    EXPECT_EQ(ds->FieldByName("name")->AsString(), QString("乌龙"));

    TDBEdit qty;
    qty.SetDataSource(&src);
    qty.SetDataField("qty");
    qty.setText("many");
    qty.setModified(true);
    EXPECT_FALSE(qty.UpdateRecord());
    ASSERT_EQ(errors.messages.size(), 1);
    EXPECT_EQ(qty.text(), QString("3")); // shows the field again
    ds->Post();

    TDBCheckBox closed;
    closed.SetDataSource(&src);
    closed.SetDataField("closed");
    EXPECT_TRUE(closed.isChecked());
    closed.click();
    EXPECT_FALSE(ds->FieldByName("closed")->AsBoolean());
    TDBCheckBox flag; // string flag columns take "T"/"F"
    flag.SetDataSource(&src);
    flag.SetDataField("code");
    flag.click();
    EXPECT_EQ(ds->FieldByName("code")->AsString(), QString("T"));
    ds->Post();

    ds->First();
    TDBDateEdit date;
    date.SetDataSource(&src);
    date.SetDataField("billdate");
    EXPECT_EQ(date.date(), QDate(2024, 3, 1));
    date.setDate(QDate(2024, 4, 2));
    EXPECT_TRUE(date.UpdateRecord());
    EXPECT_EQ(ds->FieldByName("billdate")->AsDateTime(), QDateTime(QDate(2024, 4, 2), QTime(9, 30, 15)));
    ds->Post();

    TDBMemo memo;
    memo.SetDataSource(&src);
    memo.SetDataField("name");
    memo.setPlainText("第一行\n第二行");
    EXPECT_TRUE(memo.UpdateRecord());
    EXPECT_EQ(ds->FieldByName("name")->AsString(), QString("第一行\n第二行"));
    ds->Post();

    TClientDataSet units;
    units.AddField("unitid", TFieldType::ftInteger);
    units.AddField("unitname", TFieldType::ftString);
    units.CreateDataSet();
    units.AppendRecord({1, "个"});
    units.AppendRecord({3, "箱"});
    TDBLookupCombo combo;
    combo.SetDataSource(&src);
    combo.SetDataField("id"); // id 1 -> "个"
    combo.SetListSource(&units, "unitid", "unitname");
    ASSERT_EQ(combo.count(), 2);
    EXPECT_EQ(combo.currentText(), QString("个"));
    emit combo.activated(1);
    EXPECT_EQ(ds->FieldByName("id")->AsInteger(), 3);
    units.AppendRecord({2, "包"});
    EXPECT_EQ(combo.count(), 3);
    ds->Cancel();
    EXPECT_EQ(combo.currentText(), QString("个"));

    ds->FieldByName("name")->ReadOnly = true;
    src.SetDataSet(nullptr);
    src.SetDataSet(ds.get());
    EXPECT_TRUE(edit.isReadOnly());
    ds->Close();
    EXPECT_EQ(edit.text(), QString());
}
