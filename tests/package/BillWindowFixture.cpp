#include "BillWindowFixture.h"

#include "platform/DBControls.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QTest>

void TBillWindowTest::SetUp()
{
    TPackageTest::SetUp();
    // The host's own functions (lookup lists, menu state), as the application registers them.
    RegisterHostFunctions();
    // A refused value is told through the host's messages, which the tests script.
    FOldErrorHandler = DBErrorHandler;
    DBErrorHandler = [](QWidget*, const QString& message) { ShowError(message, QStringLiteral("错误")); };
}

void TBillWindowTest::TearDown()
{
    DBErrorHandler = FOldErrorHandler;
    TPackageTest::TearDown();
}

TGoodsBillForm* TBillWindowTest::Open(const QString& formName)
{
    Bill_Call(QStringLiteral("SHOWBILLFORM"), formName, nullptr);
    TGoodsBillForm* found = nullptr;
    for (TBillBaseForm* f : LiveBillForms())
        if (f->objectName().compare(formName, Qt::CaseInsensitive) == 0)
            found = qobject_cast<TGoodsBillForm*>(f);
    if (!found)
        return nullptr;
    found->show();
    found->activateWindow();
    QApplication::setActiveWindow(found);
    if (!QTest::qWaitForWindowActive(found))
        return nullptr;
    QApplication::processEvents();
    return found;
}

QWidget* TBillWindowTest::Focus() const { return QApplication::focusWidget(); }

void TBillWindowTest::Key(int key, Qt::KeyboardModifiers mods)
{
    QWidget* w = Focus();
    ASSERT_NE(w, nullptr) << "nothing has the focus";
    QTest::keyClick(w, Qt::Key(key), mods);
    QApplication::processEvents();
}

void TBillWindowTest::Type(const QString& text)
{
    for (QChar c : text) {
        QWidget* w = Focus();
        ASSERT_NE(w, nullptr) << "nothing has the focus";
        QTest::keyClick(w, c.toLatin1());
    }
    QApplication::processEvents();
}

QString TBillWindowTest::CurrentField(TGoodsBillForm* f)
{
    const QModelIndex i = f->ItemDBGrid->currentIndex();
    TField* field = i.isValid() ? f->ItemDBGrid->Model()->FieldOfColumn(i.column()) : nullptr;
    return field ? field->FieldName().toLower() : QString();
}

bool TBillWindowTest::Editing(TGoodsBillForm* f)
{
    QWidget* w = QApplication::focusWidget();
    return w && w != f->ItemDBGrid && f->ItemDBGrid->isAncestorOf(w);
}

void TBillWindowTest::TypeLine(TGoodsBillForm* f, const QString& goodsText, const QString& quantity)
{
    ASSERT_EQ(CurrentField(f), f->FieldNames.GoodsID.toLower());
    Type(goodsText);
    ASSERT_TRUE(Editing(f));
    Enter();
    ASSERT_EQ(CurrentField(f), f->FieldNames.UnitQty.toLower()) << goodsText.toStdString();
    ASSERT_TRUE(Editing(f));
    Type(quantity);
    Enter();
}

void TBillWindowTest::FocusField(TGoodsBillForm* f, const QString& field)
{
    QWidget* w = f->FieldEditor(field);
    ASSERT_NE(w, nullptr) << field.toStdString();
    w->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(Focus(), w) << field.toStdString();
}

QVariant TBillWindowTest::Db(const QString& sql, const TSqlParams& params) { return FCon->ExecuteScalar(sql, params); }

TBillWindowTest::TDemoGoods TBillWindowTest::Goods(int index, const QString& extraCondition)
{
    TClientDataSet rows;
    FCon->OpenDataSet(QStringLiteral("select g.goodsid, g.code, b.unitid, p.barcode, p.unitid, p.rate from goods g"
                                     " join goodsunit b on b.goodsid = g.goodsid and b.unittype = 0"
                                     " join goodsunit p on p.goodsid = g.goodsid and p.unittype <> 0 and p.barcode is not null"
                                     " where g.closed = 'F' and g.kind = 1 and g.batchctrl = 'F' and b.barcode is not null ") +
                          extraCondition + QStringLiteral(" order by g.goodsid"),
                      &rows);
    TDemoGoods g;
    if (index >= rows.RecordCount())
        return g;
    rows.SetRecNo(index + 1);
    g.GoodsID = rows.Fields(0)->AsInteger();
    g.Code = rows.Fields(1)->AsString();
    g.BaseUnitID = rows.Fields(2)->AsInteger();
    g.PackBarCode = rows.Fields(3)->AsString();
    g.PackUnitID = rows.Fields(4)->AsInteger();
    g.PackRate = rows.Fields(5)->AsFloat();
    return g;
}
