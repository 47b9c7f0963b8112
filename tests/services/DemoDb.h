#pragma once
// A test database with the schema and the demo data, logged in as the manager. The demo
// database is built once per test run and copied for each test, so that every test starts
// from the same rows.
#include "host/Host.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

class TDemoDbTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    TClientConnection& Con() { return *FCon; }
    QVariant Scalar(const QString& sql) { return FCon->ExecuteScalar(sql); }

    QTemporaryDir FDir;
    std::unique_ptr<TClientConnection> FCon;
};
