#pragma once
// Bill documents without a window on a copy of the demo database: a purchase order document
// from its profile, given the connection and a session built here from the operator's row -
// nothing of it comes from the host's globals. Messages are scripted.
#include "billcore/BillDocument.h"
#include "host/Host.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

class TBillDocTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The session of an operator as the document is given it: rights read from the
    // operator's rows, options from the account set, working date 2024-03-15.
    TBillSession SessionOf(int opid);
    // A purchase order document of that operator (owned by the fixture), initialised.
    TBillDocument* NewDocument(int opid = 1);
    // A document of the bill kind of that form, reading its bills with these statements.
    TBillDocument* NewDocumentOf(const QString& formName, const QString& masterSql, const QString& detailSql, int opid = 1);
    // Logs the operator in on the connection (the server checks who is calling).
    void Login(int opid);
    void Grant(int opid, int privilegeId, int action);

    void SetMaster(TBillDocument* d, const QString& field, const QVariant& v);
    // Appends a posted line of goods 1 at this quantity and price.
    void AddLine(TBillDocument* d, double qty, double price);
    // A new bill on `date` with one line per quantity, saved; its id.
    int SaveNewBill(TBillDocument* d, const QDate& date, const QString& code = QString(), std::initializer_list<double> quantities = {2});
    QVariant DbValue(const QString& sql);
    // Replaces a server procedure by a wrapper that counts calls and keeps the requests.
    void WatchProcedure(const QString& name);
    int Calls(const QString& name) const { return FCalls.value(name.toUpper()); }
    QString Shown() const { return Msgs->Texts().join(u'|'); }

    QList<TPacketParams> FRequests;
    std::unique_ptr<TScriptedMessages> Msgs;
    QTemporaryDir FDir;
    std::unique_ptr<TClientConnection> FCon;
    std::vector<std::unique_ptr<TBillDocument>> FDocs;
    QHash<QString, int> FCalls;
};
