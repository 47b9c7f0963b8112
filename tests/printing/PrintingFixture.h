#pragma once
// A copy of the demo database per test, the operator logged in, and an application folder
// of its own (template files, ReportTitle.ini, the designer) in a temporary directory.
#include "host/Host.h"
#include "printing/PrintTemplates.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

class TPrintingDbTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString AppDir() const { return FAppDir.path(); }
    // A row of `report` as stored.
    QByteArray StoredData(int rptid) const;
    QString StoredName(int rptid) const;
    int RowCount(const QString& where = QStringLiteral("1=1")) const;

    QTemporaryDir FDir;
    QTemporaryDir FAppDir;
    std::unique_ptr<TClientConnection> FCon;
};
