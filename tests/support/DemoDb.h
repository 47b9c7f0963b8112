#pragma once
// The demo database for tests: built once per test run, then copied for each test so that
// every test starts from the same rows.
#include "host/Host.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

// The file of the demo database built for this run (schema and demo data).
QString DemoDatabaseTemplate();

// How the fixtures that take this route reach their copy of the database: unset, the file in
// process; the application server's suite sets both, so that the same tests run through
// tradebill-server. LoginAs logs in an operator of the demo data (1 manager, 2 clerk).
struct TTestDatabaseRoute {
    std::function<void(TClientConnection& con, const QString& file)> Open;
    std::function<void(TClientConnection& con, int opid)> LoginAs;
};
TTestDatabaseRoute& TestDatabaseRoute();

// A fixture on a fresh copy of the demo database, set as the shared connection and logged
// in as the manager.
class TDemoDbTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    TClientConnection& Con() { return *FCon; }
    QVariant Scalar(const QString& sql) { return FCon->ExecuteScalar(sql); }

    QTemporaryDir FDir;
    std::unique_ptr<TClientConnection> FCon;
};
