#include "printing/PrintBill.h"

#include "host/Lookups.h"
#include "host/Messages.h"
#include "host/Rounding.h"
#include "host/Session.h"
#include "platform/report/ReportControl.h"
#include "platform/report/ReportPreview.h"
#include "printing/PrintTemplateStore.h"
#include "services/MoneyToChinese.h"
#include "webrpc/Connection.h"
#include "webrpc/PacketParams.h"

#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSet>

namespace {

QString U(const char* s) { return QString::fromUtf8(s); }

QVariant FieldValue(const TClientDataSet* ds, const QString& name)
{
    if (!ds || !ds->Active() || ds->IsEmpty())
        return {};
    const TField* f = ds->FindField(name);
    return f ? f->Value() : QVariant();
}

QString FieldText(const TClientDataSet* ds, const QString& name)
{
    const QVariant v = FieldValue(ds, name);
    if (v.isNull())
        return {};
    if (v.typeId() == QMetaType::QDateTime || v.typeId() == QMetaType::QDate)
        return FormatReportValue(v, QStringLiteral("date:yyyy-MM-dd"));
    return v.toString().trimmed();
}

bool HasField(const TClientDataSet* ds, const QString& name) { return ds && ds->FindField(name); }

double DetailSum(const TClientDataSet* detail, const QString& field)
{
    return (detail && detail->Active() && detail->FindField(field)) ? detail->Sum(field) : 0.0;
}

QString Money(double v) { return FormatReportValue(v, QStringLiteral("#,##0.00")); }

QString InWords(double v)
{
    try {
        return MoneyToChinese(v);
    } catch (const Exception&) {
        return Money(v); // beyond what the unit table can name: the figures stand in
    }
}

QString JoinNonEmpty(const QString& a, const QString& b)
{
    if (a.isEmpty())
        return b;
    if (b.isEmpty())
        return a;
    return a + QStringLiteral(" ") + b;
}

// A row of a small table by its integer key; empty dataset when not found.
void ReadRow(const QString& sql, const QVariant& id, TClientDataSet& ds)
{
    bool ok = false;
    const qint64 key = id.toLongLong(&ok);
    if (!ok || id.isNull() || !g_DefaultCon)
        return;
    g_DefaultCon->OpenDataSet(sql + QString::number(key), &ds);
}

// The text a drop-down shows for its key: first the host's list, else the usual tables.
QString ShownText(const TPrintStyleField* f, const QString& field, const QVariant& key)
{
    if (key.isNull() || key.toString().isEmpty())
        return {};
    if (f && !f->ListDataSet.isEmpty() && !f->KeyField.isEmpty() && !f->ListField.isEmpty()) {
        try {
            if (TClientDataSet* list = GetLookupDataSet(f->ListDataSet)) {
                const QVariant v = list->Lookup(f->KeyField, {key}, f->ListField);
                if (!v.isNull())
                    return v.toString();
            }
        } catch (const Exception&) {
            // fall through to the tables below
        }
    }
    static const QHash<QString, QString> tables = {
        {QStringLiteral("storeid"), QStringLiteral("select name from store where storeid=")},
        {QStringLiteral("outsid"), QStringLiteral("select name from store where storeid=")},
        {QStringLiteral("insid"), QStringLiteral("select name from store where storeid=")},
        {QStringLiteral("balsid"), QStringLiteral("select name from store where storeid=")},
        {QStringLiteral("outstoreid"), QStringLiteral("select name from store where storeid=")},
        {QStringLiteral("instoreid"), QStringLiteral("select name from store where storeid=")},
        {QStringLiteral("exemanid"), QStringLiteral("select name from employ where empid=")},
        {QStringLiteral("empid"), QStringLiteral("select name from employ where empid=")},
        {QStringLiteral("departmentid"), QStringLiteral("select name from department where departmentid=")},
        {QStringLiteral("paytypeid"), QStringLiteral("select name from paytype where paytypeid=")},
        {QStringLiteral("bankid"), QStringLiteral("select name from bank where bankid=")},
        {QStringLiteral("outbankid"), QStringLiteral("select name from bank where bankid=")},
        {QStringLiteral("inbankid"), QStringLiteral("select name from bank where bankid=")},
        {QStringLiteral("billtypeid"), QStringLiteral("select name from billtype where billtypeid=")},
        {QStringLiteral("clientid"), QStringLiteral("select shortname from client where clientid=")},
        {QStringLiteral("linkmanid"), QStringLiteral("select name from crm_linkman where id=")},
    };
    const auto it = tables.constFind(field.toLower());
    if (it == tables.constEnd() || !g_DefaultCon)
        return {};
    bool ok = false;
    const qint64 id = key.toLongLong(&ok);
    if (!ok)
        return {};
    try {
        const QVariant v = g_DefaultCon->ExecuteScalar(it.value() + QString::number(id));
        return v.isNull() ? QString() : v.toString();
    } catch (const Exception&) {
        return {};
    }
}

QString ValueText(const TField* field)
{
    const QVariant v = field->Value();
    if (v.isNull())
        return {};
    switch (field->DataType()) {
    case TFieldType::ftCurrency: return Money(v.toDouble());
    case TFieldType::ftFloat: return FormatReportValue(v, {});
    case TFieldType::ftDateTime: return FormatReportValue(v, {});
    default: return field->AsString();
    }
}

} // namespace

namespace {

// The preview of a bill: printing from it goes through the print dialog, saving asks for
// a file name suggested from the bill's number. Failures are shown and leave the preview open.
void ShowPreview(TReportControl& report, const TClientDataSet* master, QWidget* parent, TPrintBillResult& res)
{
    TReportPreview preview(&report, parent);
    preview.setObjectName(QStringLiteral("BillPreview"));
    preview.OnPrint = [&] {
        try {
            QPrinter printer(QPrinter::HighResolution);
            if (!AskPrinter(printer, report.PageCount(), &preview))
                return;
            report.Print(&printer);
            res.Printed = true;
        } catch (const Exception& e) {
            ShowError(e.Message());
        }
    };
    preview.OnSavePdf = [&] {
        QString name = FieldText(master, QStringLiteral("Code"));
        if (name.isEmpty())
            name = report.Template().Name;
        const QString file = AskSavePdfFile(&preview, name + QStringLiteral(".pdf"));
        if (file.isEmpty())
            return;
        try {
            report.PrintToPdf(file);
            res.SavedPdfFiles << file;
        } catch (const Exception& e) {
            ShowError(e.Message());
        }
    };
    ExecModal(&preview);
}

} // namespace

bool AskPrinter(QPrinter& printer, int pageCount, QWidget* parent)
{
    QPrintDialog dlg(&printer, parent);
    dlg.setObjectName(QStringLiteral("PrintDialog"));
    dlg.setWindowTitle(QStringLiteral("打印"));
    dlg.setOptions(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintCollateCopies |
                   QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    dlg.setMinMax(1, std::max(1, pageCount));
    return ExecModal(&dlg) == QDialog::Accepted;
}

QString AskSavePdfFile(QWidget* parent, const QString& suggestedName)
{
    return AskSaveFile(parent, QStringLiteral("SavePdfDialog"), QStringLiteral("保存PDF"), QStringLiteral("PDF 文件 (*.pdf)"),
                       QStringLiteral("pdf"), suggestedName);
}

void RegisterPrintMoneyInWords() { SetMoneyInWordsFunction([](double v) { return InWords(v); }); }

void SetPrintVariable(TReportControl* report, const QString& name, const QVariant& value)
{
    if (report)
        report->SetVarValue(name, value);
}

void SetBillPrintVariables(TReportControl& report, int billType, const TClientDataSet* master, const TClientDataSet* detail,
                           const QVector<TPrintStyleField>& styleFields)
{
    TReportControl* r = &report;
    // ---- the shown master fields, as the bill shows them
    QSet<QString> done;
    for (const TPrintStyleField& f : styleFields) {
        if (f.Section == 3 || !master || !master->Active() || master->IsEmpty())
            continue;
        const QString name = QStringLiteral("M.") + (billType == 16 ? QStringLiteral("M") + f.DataField : f.DataField);
        const TField* field = master->FindField(billType == 16 ? QStringLiteral("M") + f.DataField : f.DataField);
        if (!field)
            field = master->FindField(f.DataField);
        if (!field)
            continue;
        QString text;
        if (f.SubType == 4 || f.SubType == 6)
            text = ShownText(&f, f.DataField, field->Value());
        if (text.isEmpty())
            text = ValueText(field);
        SetPrintVariable(r, name, text);
        done.insert(f.DataField.toLower());
    }
    // Keys the template names without the style showing them still print as names.
    if (master && master->Active() && !master->IsEmpty())
        for (const QString& key : {QStringLiteral("storeid"), QStringLiteral("outsid"), QStringLiteral("insid"), QStringLiteral("balsid"),
                                   QStringLiteral("outstoreid"), QStringLiteral("instoreid"), QStringLiteral("exemanid"),
                                   QStringLiteral("empid"), QStringLiteral("departmentid"), QStringLiteral("paytypeid"),
                                   QStringLiteral("bankid"), QStringLiteral("outbankid"), QStringLiteral("inbankid"),
                                   QStringLiteral("billtypeid"), QStringLiteral("linkmanid")})
            if (!done.contains(key) && HasField(master, key)) {
                const QString text = ShownText(nullptr, key, FieldValue(master, key));
                if (!text.isEmpty())
                    SetPrintVariable(r, QStringLiteral("M.") + key, text);
            }

    // ---- company, bill number, branch, date, printed by
    if (g_DefaultCon) {
        TClientDataSet acc;
        g_DefaultCon->OpenDataSet(QStringLiteral("select * from AccInfo"), &acc);
        if (!acc.IsEmpty()) {
            QString company = FieldText(&acc, QStringLiteral("companyname"));
            if (company.isEmpty())
                company = FieldText(&acc, QStringLiteral("name"));
            const QString address = FieldText(&acc, QStringLiteral("Address"));
            const QString phone = FieldText(&acc, QStringLiteral("Phone"));
            SetPrintVariable(r, U("企业税号"), FieldText(&acc, QStringLiteral("TaxNumber")));
            SetPrintVariable(r, U("企业名称"), company);
            SetPrintVariable(r, U("企业地址电话"), JoinNonEmpty(address, phone));
            SetPrintVariable(r, U("企业地址"), address);
            SetPrintVariable(r, U("企业电话"), phone);
            SetPrintVariable(r, U("企业开户银行及帐号"),
                             JoinNonEmpty(FieldText(&acc, QStringLiteral("Bank")), FieldText(&acc, QStringLiteral("Accounts"))));
        }
    }
    SetPrintVariable(r, U("单号"), FieldText(master, QStringLiteral("Code")));
    QString shop = FieldText(master, QStringLiteral("shopname"));
    if (shop.isEmpty())
        shop = AccSetData.ShopName;
    SetPrintVariable(r, U("分支机构"), shop);
    SetPrintVariable(r, U("开单日期"), FieldText(master, QStringLiteral("BillDate")));
    SetPrintVariable(r, U("打印人"), g_asUserName);

    // ---- partner
    const TPrintSide side = PrintBillSide(billType);
    if ((side == TPrintSide::Customer || side == TPrintSide::Vendor) && HasField(master, QStringLiteral("clientid"))) {
        TClientDataSet client;
        ReadRow(QStringLiteral(" select * from client where clientid = "), FieldValue(master, QStringLiteral("clientid")), client);
        if (client.Active() && !client.IsEmpty()) {
            const QString who = side == TPrintSide::Customer ? U("客户") : U("供应商");
            const QString address = FieldText(&client, QStringLiteral("Address"));
            const QString phone = FieldText(&client, QStringLiteral("Phone"));
            SetPrintVariable(r, who + U("编码"), FieldText(&client, QStringLiteral("Code")));
            SetPrintVariable(r, who + U("名称"), FieldText(&client, QStringLiteral("ShortName")));
            SetPrintVariable(r, who + U("全称"), FieldText(&client, QStringLiteral("Name")));
            SetPrintVariable(r, who + U("税号"), FieldText(&client, QStringLiteral("TaxID")));
            SetPrintVariable(r, who + U("地址电话"), JoinNonEmpty(address, phone));
            SetPrintVariable(r, who + U("地址"), address);
            SetPrintVariable(r, who + U("电话"), phone);
            SetPrintVariable(r, who + U("开户银行及帐号"),
                             JoinNonEmpty(FieldText(&client, QStringLiteral("Bank")), FieldText(&client, QStringLiteral("BankID"))));
            if (billType == 2) {
                // A printed invoice is a saved one: the partner's balance already holds it.
                const double balance = FieldValue(&client, QStringLiteral("balance")).toDouble();
                const double prepaid = FieldValue(&client, QStringLiteral("suramt")).toDouble();
                const double debt = TruncateCurrency(balance - prepaid);
                const double due = FieldValue(master, QStringLiteral("totalamt")).toDouble() -
                                   FieldValue(master, QStringLiteral("totalrcvd")).toDouble();
                SetPrintVariable(r, U("累计欠款"), Money(debt));
                SetPrintVariable(r, U("不含本单欠款"), Money(TruncateCurrency(debt - due)));
            }
        }
    }

    // ---- totals and amounts in capitals
    auto masterAmount = [&]() {
        for (const char* f : {"totalamt", "amount", "totalamount"})
            if (HasField(master, U(f)))
                return FieldValue(master, U(f)).toDouble();
        return 0.0;
    };
    const bool detailAmounts = detail && detail->Active() && detail->FindField(QStringLiteral("amount"));
    const double total = detailAmounts ? DetailSum(detail, QStringLiteral("amount")) : masterAmount();
    if (billType == 5 || billType == 9) {
        const double paid = FieldValue(master, QStringLiteral("factamount")).toDouble();
        const QString word = billType == 5 ? U("实收") : U("实付");
        SetPrintVariable(r, word + U("大写"), InWords(paid));
        SetPrintVariable(r, word + U("小写"), Money(paid));
        SetPrintVariable(r, U("本结总计"), Money(DetailSum(detail, QStringLiteral("amount"))));
        SetPrintVariable(r, U("总额总计"), Money(DetailSum(detail, QStringLiteral("total"))));
        SetPrintVariable(r, U("已结总计"), Money(DetailSum(detail, QStringLiteral("totalrcvd"))));
        SetPrintVariable(r, U("已退总计"), Money(DetailSum(detail, QStringLiteral("totalreturn"))));
        SetPrintVariable(r, U("未结总计"), Money(DetailSum(detail, QStringLiteral("shouldpayamt"))));
    } else if (side == TPrintSide::Customer || side == TPrintSide::Vendor) {
        if (billType != 27) {
            SetPrintVariable(r, U("价税合计大写"), InWords(total));
            SetPrintVariable(r, U("价税合计小写"), Money(total));
        }
    } else if (side == TPrintSide::Stock || billType == 17 || billType == 18) {
        SetPrintVariable(r, U("合计大写"), InWords(total));
        SetPrintVariable(r, U("合计小写"), Money(total));
    } else if (billType == 23 || billType == 24) {
        SetPrintVariable(r, U("金额合计大写"), InWords(total));
        SetPrintVariable(r, U("金额合计小写"), Money(total));
        if (billType == 23)
            SetPrintVariable(r, U("开单时间"), FieldText(master, QStringLiteral("billtime")));
        else
            SetPrintVariable(r, U("日结日期"), FieldText(master, QStringLiteral("BillDate")));
    }
    if (side != TPrintSide::None && billType != 5 && billType != 9) {
        SetPrintVariable(r, U("价税总计"), Money(total));
        SetPrintVariable(r, U("数量总计"), FormatReportValue(DetailSum(detail, QStringLiteral("unitqty")), QStringLiteral("0.####")));
        SetPrintVariable(r, U("税额总计"), Money(DetailSum(detail, QStringLiteral("taxamt"))));
        SetPrintVariable(r, U("货款总计"), Money(DetailSum(detail, QStringLiteral("goodsamt"))));
    }
}

bool PrintBillWithTemplate(int reportType, int rptid, TClientDataSet* master, TClientDataSet* detail,
                           const TPrintBillOptions& options, TPrintBillResult* result)
{
    RegisterPrintMoneyInWords();
    TPrintBillResult res;
    try {
        if (!g_DefaultCon)
            throw EDatabaseError(QStringLiteral("没有连接到数据库"));
        TClientDataSet probe;
        g_DefaultCon->OpenDataSet(QStringLiteral("Select rptid from report where RptID=") + QString::number(rptid), &probe);
        if (probe.IsEmpty()) {
            if (!ShowYesNoQuestion(U("本单没有选择打印样式, 是否要用标准样式进行打印或预览?"), U("询问")))
                return false;
            rptid = StandardReportID(reportType);
            res.UsedStandard = true;
        }
        res.RptID = rptid;
        const int billType = ReportTypeBillType(reportType);

        // template path, load, catalogue
        const QString path = PrintTemplatePath(rptid);
        if (!LoadPrintTemplate(rptid, path))
            return false;
        QVector<TPrintStyleField> fields = options.StyleFields;
        if (fields.isEmpty() && billType != NoCatalogueBillType)
            fields = LoadPrintStyleFields(options.WindowID > 0 ? options.WindowID : billType, options.TemplateID);
        PreparePrintTemplate(path, billType, fields);

        // report, values, file, master and detail
        TReportControl report;
        report.SetRptFileName(path);
        SetBillPrintVariables(report, billType, master, detail, fields);
        for (auto it = options.ExtraVariables.cbegin(); it != options.ExtraVariables.cend(); ++it)
            report.SetVarValue(it.key(), it.value());
        report.SetMasterSource(master);
        report.SetDataSource(detail);
        if (options.PrintTime.isValid())
            report.SetPrintTime(options.PrintTime);

        res.Pages = report.PageCount();
        std::unique_ptr<QPrinter> own;
        QPrinter* printer = options.Printer;
        if (!printer && (options.Output == TPrintOutput::Printer || options.Output == TPrintOutput::PrintDialog)) {
            // Straight printing has nobody to ask which printer: it needs a default one.
            if (options.Output == TPrintOutput::Printer && QPrinterInfo::defaultPrinter().isNull())
                throw EReportError(U("没有设置默认打印机，不能直接打印。请先在系统中设置默认打印机。"));
            own = std::make_unique<QPrinter>(QPrinter::HighResolution);
            printer = own.get();
        }
        switch (options.Output) {
        case TPrintOutput::Pdf:
            report.PrintToPdf(options.PdfFile);
            res.Printed = true;
            break;
        case TPrintOutput::PrintDialog:
            if (!AskPrinter(*printer, res.Pages, options.Parent))
                return false;
            report.Print(printer);
            res.Printed = true;
            break;
        case TPrintOutput::Printer:
            report.Print(printer);
            res.Printed = true;
            break;
        case TPrintOutput::Preview:
            ShowPreview(report, master, options.Parent, res);
            break;
        }
    } catch (const Exception& e) {
        ShowError(e.Message());
        return false;
    }
    if (result)
        *result = res;
    return true;
}

bool MarkBillPrinted(const QString& masterTable, const QString& keyField, int billId)
{
    // the server checks the table and the operator's print right; a refusal reads as the
    // update failing
    try {
        if (!g_DefaultCon)
            throw EDatabaseError(QStringLiteral("no connection"));
        TPacketParams req;
        req.Set(QStringLiteral("MasterTable"), masterTable).Set(QStringLiteral("KeyField"), keyField).Set(QStringLiteral("BillID"), billId);
        TPacketParams reply;
        reply.LoadFromString(g_DefaultCon->Proxy()->Invoke(QStringLiteral("MarkBillPrinted"), req.ToString()));
        if (reply.GetInt(QStringLiteral("ErrNo")) != 0)
            throw EDatabaseError(reply.GetString(QStringLiteral("ErrMsg")));
        return true;
    } catch (const Exception&) {
        ShowError(U("更新打印标志是出现更新错误！"), U("更新出错"));
        return false;
    }
}
