#pragma once
#include "host/Host.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

// A fresh database file in a temporary folder, set as g_DefaultCon, with the few tables
// the host services read: shop, operator (1 manager, 2 clerk of shop 2, 3 closed),
// operatorright (the clerk's rights only), accoption, paytype, sys_keyvalue.
class THostDbTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    QString DatabaseFile() const { return FDir.filePath(QStringLiteral("host.db")); }
    void Grant(int opid, int privilegeId, int action);

    QTemporaryDir FDir;
    std::unique_ptr<TClientConnection> FCon;
};

// The same folder with the real schema of the accounting database (no demo data).
class TSchemaDbTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    QTemporaryDir FDir;
    std::unique_ptr<TClientConnection> FCon;
};
