#pragma once
// The goods-line select that most goods bills share. Only the bill's own extra columns,
// extra joins and the kind of goods join differ; the key is formatted in as "%s" like every
// bill statement.
#include <QString>

// Receipts, cash purchases and purchase returns hide lines whose goods no longer exist.
enum class TGoodsJoin { LeftOuter, Inner };

QString GoodsDetailSQL(const QString& detailTable, const QString& keyField, const QString& extraColumns = QString(),
                       const QString& extraJoin = QString(), TGoodsJoin goodsJoin = TGoodsJoin::LeftOuter);
