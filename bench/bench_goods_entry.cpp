// Entering a goods item into a new line of a purchase order the way a clerk does: a line is
// appended, a goods code or a unit's bar code is typed and confirmed, and the line is filled
// from the goods-info procedure - goods, unit, default price - and priced. The bill is a
// bill document on a copy of the demo database, with the goods-line engine behind its field
// events as the bill window wires it. Bills of 0 and 2,000 lines show that the work of one
// entry does not grow with the bill, nor does appending a line (100 to 20,000 lines).
#include "bench/BenchSupport.h"
#include "billcore/BillDocument.h"
#include "bills/common/BillStatements.h"
#include "goodsbill/GoodsLines.h"
#include "goodsbill/LinePricing.h"
#include "host/Host.h"
#include "server/BillProfiles.h"
#include "server/Procedures.h"
#include "services/BillDB.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>

namespace {


// The document with the goods-bill engines behind its line events.
class TEntryDocument : public TBillDocument {
public:
    using TBillDocument::TBillDocument;
    void DetailFieldChanged(TField* f) override
    {
        if (Lines)
            Lines->DetailFieldChanged(f);
    }
    void DetailNewRecord(TClientDataSet* ds) override
    {
        TBillDocument::DetailNewRecord(ds);
        if (Pricing)
            Pricing->DetailNewRecord();
    }
    TLinePricing* Pricing = nullptr;
    TGoodsLines* Lines = nullptr;
};

class TGoodsEntryBench {
public:
    explicit TGoodsEntryBench(int lines)
    {
        const QString file = FDir.filePath(QStringLiteral("bench.db"));
        QFile::copy(TemplateDatabase(), file);
        RegisterServerProcedures();
        FCon.Open(file);
        g_DefaultCon = &FCon;
        ResetSession();
        FMessages = std::make_unique<TScriptedMessages>();
        LoginAs(1, &FCon);

        TBillSession session = TBillSession::FromHost();
        Doc = std::make_unique<TEntryDocument>(&FCon, session);
        Doc->ApplyProfile(*BillProfileOfForm(QStringLiteral("PorderForm")));
        Doc->MasterSQL = QStringLiteral("select a.* from Porder a where a.OrderID = %s");
        Doc->DetailSQL = GoodsDetailSQL(QStringLiteral("orderdetail"), QStringLiteral("orderid"));
        Doc->InitDocument();
        Doc->NewBill();
        Doc->cdsMaster->FieldByName(QStringLiteral("clientid"))
            ->SetValue(FCon.ExecuteScalar(QStringLiteral("select min(clientid) from client where clientkind = 2")));

        FDB = std::make_unique<TBillDB>(nullptr, &FCon);
        Ctx.Con = &FCon;
        Ctx.Session = session;
        Ctx.Master = Doc->cdsMaster;
        Ctx.Detail = Doc->cdsDetail;
        Ctx.Settings.BillType = Doc->BillType;
        Ctx.Settings.TradeSide = Doc->TradeSide;
        Ctx.Names.FollowUpQty = QStringLiteral("rcvdqty");
        Ctx.MasterTable = Doc->MasterTable;
        Ctx.KeyField = Doc->KeyField;
        Ctx.DetailTable = Doc->DetailTable;
        Ctx.BillDB = FDB.get();
        FPricing = std::make_unique<TLinePricing>(Ctx.Detail, Ctx.Names, Ctx.Settings, TPricingOptions::Read(session.Option), Ctx.Master);
        FLines = std::make_unique<TGoodsLines>(&Ctx, FPricing.get());
        Doc->Pricing = FPricing.get();
        Doc->Lines = FLines.get();

        TClientDataSet goods;
        FCon.OpenDataSet(QStringLiteral("select g.code, u.barcode from goods g join goodsunit u on u.goodsid = g.goodsid"
                                        " where g.kind < 4 and g.closed = 'F' and u.barcode is not null order by g.goodsid, u.unitid"),
                         &goods);
        for (goods.First(); !goods.Eof(); goods.Next()) {
            Codes << goods.Fields(0)->AsString();
            BarCodes << goods.Fields(1)->AsString();
        }
        // the first line typed, the others copies of it
        if (lines > 0) {
            Doc->AppendLine();
            FLines->EnterGoodsText(Codes.first());
            Doc->cdsDetail->Post();
        }
        for (int i = 1; i < lines; ++i)
            FLines->CopyLine();
    }
    ~TGoodsEntryBench()
    {
        Doc->Lines = nullptr;
        FLines.reset();
        FPricing.reset();
        Doc.reset();
        FDB.reset();
        FMessages.reset();
        ResetSession();
        g_DefaultCon = nullptr;
    }

    // One entry into a new line, posted as the clerk moves on. (Dropping the line again
    // would count the bill's lines anew, which is the cost of a cancel, not of an entry.)
    bool Enter(const QString& text)
    {
        Doc->AppendLine();
        const bool filled = FLines->EnterGoodsText(text) != TGoodsEntry::NotFound;
        Doc->cdsDetail->Post();
        return filled;
    }

    // A new line with its defaults and a quantity, posted.
    void AppendLine()
    {
        Doc->AppendLine();
        Doc->cdsDetail->FieldByName(QStringLiteral("unitqty"))->SetValue(2);
        Doc->cdsDetail->Post();
    }

    QStringList Codes, BarCodes;

private:
    QTemporaryDir FDir;
    TClientConnection FCon;
    std::unique_ptr<TScriptedMessages> FMessages;
    std::unique_ptr<TEntryDocument> Doc;
    std::unique_ptr<TBillDB> FDB;
    TGoodsBillContext Ctx;
    std::unique_ptr<TLinePricing> FPricing;
    std::unique_ptr<TGoodsLines> FLines;
};

void Entry(benchmark::State& state, bool barCode)
{
    TGoodsEntryBench bench(int(state.range(0)));
    const QStringList& texts = barCode ? bench.BarCodes : bench.Codes;
    int i = 0;
    for (auto _ : state) {
        // every entry is another goods item or unit: no answer of the procedure is reused
        if (!bench.Enter(texts.at(i++ % texts.size()))) {
            state.SkipWithError("goods not found");
            break;
        }
    }
    state.SetLabel(barCode ? "by bar code" : "by goods code");
}

void BM_EnterGoodsByCode(benchmark::State& state) { Entry(state, false); }
void BM_EnterGoodsByBarCode(benchmark::State& state) { Entry(state, true); }

// A fixed number of entries, so that the bill grows by no more than that.
BENCHMARK(BM_EnterGoodsByCode)->Arg(0)->Arg(2000)->Iterations(400)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EnterGoodsByBarCode)->Arg(0)->Arg(2000)->Iterations(400)->Unit(benchmark::kMillisecond);

// Appending a line to a goods bill of 100 to 20,000 lines: the line number, the document's
// defaults and the goods line's (quantity, discount, tax rate) take the same time whatever
// the bill holds.
void BM_AppendGoodsLine(benchmark::State& state)
{
    TGoodsEntryBench bench(int(state.range(0)));
    for (auto _ : state)
        bench.AppendLine();
}
BENCHMARK(BM_AppendGoodsLine)->Arg(100)->Arg(2000)->Arg(20000)->Iterations(2000)->Unit(benchmark::kMicrosecond);

} // namespace

