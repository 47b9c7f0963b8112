// Entering a goods item into a new line of a purchase order the way a clerk does: a line is
// appended, a goods code or a unit's bar code is typed and confirmed, and the line is filled
// from the goods-info procedure - goods, unit, default price - and priced. The bill is a
// bill document on a copy of the demo database, with the goods-line engine behind its field
// events as the bill window wires it. Bills of 0 and 2,000 lines show that the work of one
// entry does not grow with the bill.
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

QString TemplateDatabase()
{
    static QTemporaryDir dir;
    static QString file;
    if (file.isEmpty()) {
        file = dir.filePath(QStringLiteral("demo.db"));
        TClientConnection con;
        con.Open(file);
        InitializeDatabase(con, true);
        con.Close();
    }
    return file;
}

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
        for (int i = 0; i < lines; ++i) {
            Doc->AppendLine();
            FLines->EnterGoodsText(Codes.at(i % Codes.size()));
            Doc->cdsDetail->Post();
        }
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

    // One entry into a new line; the line is dropped again so the bill keeps its size.
    bool Enter(const QString& text)
    {
        Doc->AppendLine();
        const bool filled = FLines->EnterGoodsText(text) != TGoodsEntry::NotFound;
        Doc->cdsDetail->Cancel();
        return filled;
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

BENCHMARK(BM_EnterGoodsByCode)->Arg(0)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EnterGoodsByBarCode)->Arg(0)->Arg(2000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
