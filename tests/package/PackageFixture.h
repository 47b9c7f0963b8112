#pragma once
// A copy of the demo database per test (built once per run), set as g_DefaultCon, the
// server procedures registered, the administrator logged in, the registries emptied and the
// package loaded; every message box and modal dialog is scripted.
#include "billcore/BillBaseForm.h"
#include "host/Host.h"
#include "package/BillPackage.h"

#include <QPointer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

class TPackageTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The bill forms alive now (created by the commands under test).
    static QList<TBillBaseForm*> LiveBillForms();
    template <class T>
    static T* OnlyForm()
    {
        T* found = nullptr;
        for (TBillBaseForm* f : LiveBillForms())
            if (auto* t = qobject_cast<T*>(f)) {
                EXPECT_EQ(found, nullptr) << "more than one " << T::staticMetaObject.className();
                found = t;
            }
        return found;
    }
    // Grants the operator an action under a privilege id and reloads the rights.
    void Grant(int opid, int privilegeId, int action);
    void Login(int opid);

    QTemporaryDir FDir;
    std::unique_ptr<TClientConnection> FCon;
    std::unique_ptr<TScriptedMessages> FMessages;
};
