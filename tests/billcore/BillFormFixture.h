#pragma once
// The bill window over a copy of the demo database: the server procedures, the host
// functions, a scripted message seam and a small purchase-order form over the real tables.
#include "billcore/BillBaseForm.h"
#include "host/Host.h"
#include "server/BillProcedures.h"
#include "server/Procedures.h"

#include <QPointer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

// A purchase order window set up field by field as a concrete bill's constructor would; it
// counts the hooks the tests watch and can refuse its master the way a bill's own check does.
class TTestPorderForm : public TBillBaseForm {
    Q_OBJECT
public:
    explicit TTestPorderForm(QWidget* owner = nullptr);
    int PurchaseReturnProcessCalls = 0;
    int BackDrawProcessCalls = 0;
    int PurchaseOrderCalls = 0;
    int PrintCalls = 0;
    int MasterChecks = 0;
    bool RefuseMaster = false;
    bool ValidateMaster() override
    {
        ++MasterChecks;
        return !RefuseMaster && TBillBaseForm::ValidateMaster();
    }
    void ShowPurchaseReturnProcess() override { ++PurchaseReturnProcessCalls; }
    void ShowBackDrawProcess() override { ++BackDrawProcessCalls; }
    void SelectPurchaseOrder() override { ++PurchaseOrderCalls; }
    void DoPrintBill(bool) override { ++PrintCalls; }
};

class TBillFormTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new form (owned by the fixture) of the user logged in now.
    TTestPorderForm* NewForm();
    void Login(int opid);
    void Grant(int opid, int privilegeId, int action);
    // Starts a bill on `date` with one line per quantity and saves it; returns its id.
    int SaveNewBill(TTestPorderForm* f, const QDate& date, const QString& code = QString(), std::initializer_list<double> quantities = {2});
    void AddLine(TTestPorderForm* f, int goodsId, double qty, double price);
    void SetMaster(TTestPorderForm* f, const QString& field, const QVariant& v);
    QVariant DbValue(const QString& sql);
    // Replaces a server procedure by a wrapper that counts calls and keeps the requests.
    void WatchProcedure(const QString& name);
    int Calls(const QString& name) const { return FCalls.value(name.toUpper()); }
    QList<TPacketParams> FRequests;

    std::unique_ptr<TScriptedMessages> Msgs;
    QTemporaryDir FDir;
    std::unique_ptr<TClientConnection> FCon;
    QList<QPointer<TTestPorderForm>> FForms;
    QHash<QString, int> FCalls;
};
