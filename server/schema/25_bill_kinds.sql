-- The thirty-five bill kinds, one row per bill form, for the server procedures that save,
-- delete and reverse bills and move stock.
--
--   billtype     the bill type number the form carries and lines store in refertype
--   formname     the registered form name
--   mastertable, keyfield, detailtable   where the bill lives (detailtable NULL: no lines)
--   stockdir     +1 the lines take goods into a store, -1 they issue goods from a store,
--                0 the bill moves no stock, 2 the direction is decided per bill or per line
--                (see the comment on each row)
--   cvflag       the bill's side: 1 client, 2 vendor, 3 stock, -1 none
--   caption      the form caption
--   dbbilltype   the database bill type the bill is posted under (detailbillflow.billtype,
--                "DBBillType" of the delete and reverse packets); -999 when the bill is never
--                posted to the stock flow under a type of its own
--   privilegeid  the privilege id the form is registered under
--   codeprefix   the prefix of new bill numbers ('' when the bill has none)
--   needlines    1: a saved bill must have at least one line; 0: it may stand alone
--   alonefield, alonevalues
--                when needlines is 1, a bill whose master alonefield holds one of alonevalues
--                (comma-separated) may still stand alone, and its master total is then its own
--                figure rather than the sum of its lines (a prepayment, a payment without money)
--   totalfield, amountfield
--                the master total column and the line column it sums; the save procedures store
--                the sum of the lines, whatever the change set says (NULL: no such total)
--
-- Quantities of reversing (red, flag 2) bills are negative, so a reversing bill moves stock the
-- opposite way with the same stockdir; the same holds for write-backs (valued receipt billtype 1)
-- and consignment take-backs (consignment billtype 2), which store negative quantities.
CREATE TABLE IF NOT EXISTS billkind (
    billtype INTEGER PRIMARY KEY,
    formname VARCHAR(40) NOT NULL,
    mastertable VARCHAR(40) NOT NULL,
    keyfield VARCHAR(40) NOT NULL,
    detailtable VARCHAR(40),
    stockdir INTEGER NOT NULL,
    cvflag INTEGER NOT NULL,
    caption VARCHAR(40) NOT NULL,
    dbbilltype INTEGER NOT NULL,
    privilegeid INTEGER NOT NULL,
    codeprefix VARCHAR(8) NOT NULL DEFAULT '',
    needlines INTEGER NOT NULL DEFAULT 1,
    alonefield VARCHAR(40),
    alonevalues VARCHAR(40),
    totalfield VARCHAR(40),
    amountfield VARCHAR(40)
);
CREATE UNIQUE INDEX IF NOT EXISTS ix_billkind_formname ON billkind (formname);

INSERT OR REPLACE INTO billkind
    (billtype, formname, mastertable, keyfield, detailtable, stockdir, cvflag, caption, dbbilltype, privilegeid, codeprefix,
     needlines, alonefield, alonevalues, totalfield, amountfield)
VALUES
    -- quotation: prices offered to a customer; nothing moves.
    (44, 'QuotationForm', 'quotation', 'quotationid', 'quotationdetail', 0, 1, '销售报价单', 36, 376, '', 1, NULL, NULL, NULL, NULL),
    -- sales order: goods promised; invoices and cash sales deliver them.
    (1, 'SOrderForm', 'sorder', 'sorderid', 'sorderdetail', 0, 1, '销售订单', 21, 33, 'XD', 1, NULL, NULL, 'amount', 'amount'),
    -- sales invoice: the goods sold leave storeid.
    (2, 'InvoiceForm', 'invoice', 'invoiceid', 'saledetail', -1, 1, '销售开单', 3, 34, 'XK', 1, NULL, NULL, 'totalamt', 'amount'),
    -- collection: money only; its lines are receivable bills, not goods.
    (5, 'ChargeForm', 'charge', 'chargeid', 'chargedetail', 0, 1, '销售收款', -999, 35, 'XS', 1, 'ispc', '1,3', 'amount', 'amount'),
    -- cash sale: the goods sold leave storeid.
    (3, 'CashSaleForm', 'csale', 'csaleid', 'csaledetail', -1, 1, '现款销售', 4, 36, 'XX', 1, NULL, NULL, 'totalamt', 'amount'),
    -- sales return: the goods taken back enter storeid (damaged ones leave again through the
    -- stocktaking bill generated for them).
    (4, 'SReturnForm', 'sreturn', 'returnid', 'returndetail', 1, 1, '销售退货', 5, 37, 'XT', 1, NULL, NULL, 'totalamt', 'amount'),
    -- purchase order: goods ordered; receipts bring them in.
    (6, 'PorderForm', 'Porder', 'OrderID', 'orderdetail', 0, 2, '采购订单', 22, 38, 'CD', 1, NULL, NULL, 'amount', 'amount'),
    -- goods receipt: the goods received enter storeid.
    (7, 'RecieveForm', 'recieved', 'recievedid', 'rcvddetail', 1, 2, '采购收货单', 1, 39, 'CS', 1, NULL, NULL, 'totalamt', 'amount'),
    -- payment: money only; its lines are payable bills.
    (9, 'PayForm', 'pay', 'payid', 'paydetail', 0, 2, '采购付款', -999, 40, 'CF', 1, 'ispp', '1,3', 'amount', 'amount'),
    -- purchase return: the goods sent back leave storeid.
    (8, 'PReturnForm', 'preturn', 'preturnid', 'prdetail', -1, 2, '采购退货单', 2, 41, 'CT', 1, NULL, NULL, 'totalamt', 'amount'),
    -- delivery request: a wish list of a branch; nothing moves.
    (41, 'AskDelieverForm', 'askdeliver', 'askid', 'askdeliverdetail', 0, 3, '请配单', 33, 361, 'QP', 1, NULL, NULL, NULL, NULL),
    -- delivery between branches: a plan; the stock moves with the transfers that refer to it.
    (42, 'DeliverForm', 'deliver', 'deliverid', 'deliverdetail', 0, -1, '配送单', -999, 362, 'PS', 1, NULL, NULL, NULL, NULL),
    -- valued receipt: goods enter storeid at an estimated price (write-backs, billtype 1, carry
    -- negative quantities and take the estimate out again).
    (22, 'ValuedRecieveForm', 'valuedrcvd', 'billid', 'valuedrcvddetail', 1, 2, '估价入库单', 15, 42, 'GR', 1, NULL, NULL, 'totalamt', 'amount'),
    -- valued receipt opening entry: receipts still open at the start; the goods are already in
    -- the opening stock, so nothing moves.
    (40, 'ValuedRecieveInitForm', 'valuedrcvd', 'billid', 'valuedrcvddetail', 0, 2, '估价入库初始化', -999, 42, 'GR', 1, NULL, NULL, 'totalamt', 'amount'),
    -- purchase expense: adds cost to earlier receipt lines; no quantity moves.
    (43, 'PurchaseAppForm', 'purchaseapp', 'purchaseappid', 'purchaseappdetail', 0, 2, '采购费用单', 35, 377, '', 1, NULL, NULL, 'appamt', 'appamt'),
    -- cash purchase: the goods bought enter storeid.
    (26, 'CashRecieveForm', 'crecieved', 'crecievedid', 'crcvddetail', 1, 2, '现款采购单', 17, 208, 'XC', 1, NULL, NULL, 'totalamt', 'amount'),
    -- material requisition: materials leave outsid for production.
    (10, 'DrawItemForm', 'DRAWITEM', 'DRAWITEMID', 'drawdetail', -1, 3, '领料单', 6, 43, 'NL', 1, NULL, NULL, 'totalamt', 'amount'),
    -- material return: leftover materials come back into insid.
    (11, 'BackDrawForm', 'BACKDRAW', 'BACKDRAWID', 'Backdetail', 1, 3, '退料单', 7, 44, 'TL', 1, NULL, NULL, 'totalamt', 'amount'),
    -- finished goods receipt: produced goods enter insid.
    (12, 'InProductForm', 'INPRODUCT', 'INPRODUCTID', 'Indetail', 1, 3, '产品进仓单', 8, 45, 'CJ', 1, NULL, NULL, 'totalamt', 'amount'),
    -- stocktaking: each line's difference (counted minus booked) enters balsid when positive and
    -- leaves it when negative: direction by the sign of unitqty.
    (14, 'BalItemForm', 'BalItem', 'BALITEMID', 'BalDetail', 2, 3, '盘点单', 11, 46, 'CP', 1, NULL, NULL, 'totalamt', 'amount'),
    -- cost adjustment: revalues stock; no quantity moves.
    (19, 'AdjApForm', 'Adjap', 'AdjapID', 'DAdjap', 0, 3, '存货调价单', 9, 47, 'TJ', 1, NULL, NULL, 'totalamt', 'amount'),
    -- transfer: every line leaves outsid and enters insid.
    (13, 'AllotForm', 'Allot', 'AllotID', 'DAllot', 2, 3, '调拨单', 13, 48, 'DB', 1, NULL, NULL, 'totalamt', 'amount'),
    -- assembly / disassembly: assembly (combinflag 0) issues the component lines from storeid and
    -- takes the master goods in; disassembly the other way round.
    (16, 'CombinForm', 'combin', 'combinid', 'combind', 2, 3, '组装/拆卸单', 10, 49, 'ZZ', 1, NULL, NULL, 'totalamt', 'amount'),
    -- other stock movement: in or out of storeid as the stock-change type says (sat.isin 'T' in,
    -- 'F' out).
    (15, 'InOutForm', 'Inout', 'INOUTID', 'DINOUT', 2, 3, '库存变动单', 12, 50, 'RC', 1, NULL, NULL, 'totalamt', 'amount'),
    -- expense, income, fund transfer: money only.
    (17, 'ExpenseForm', 'Expense', 'ExpenseID', 'ExpenseD', 0, -1, '费用开支', 24, 51, 'KZ', 1, NULL, NULL, 'amount', 'amount'),
    (18, 'IncomeForm', 'Income', 'IncomeID', 'IncomeD', 0, -1, '其它收入', 25, 52, 'SR', 1, NULL, NULL, 'amount', 'amount'),
    (20, 'MoveMoneyForm', 'MoveMoney', 'MoveID', NULL, 0, -1, '银行存取款单', 26, 53, 'MV', 0, NULL, NULL, NULL, NULL),
    -- POS sale: recorded by the terminals; the stock leaves when the day-close books it.
    (23, 'POSBillForm', 'POSBILLDATE', 'BillID', 'posdetail', 0, -1, 'POS销售单', -999, 175, '', 1, NULL, NULL, 'amount', 'amount'),
    -- consignment delivery: goods leave storeid for the consignee (take-backs, billtype 2, carry
    -- negative quantities and come back in).
    (27, 'DeputeSaleForm', 'deputesale', 'deputesaleid', 'deputesaledetail', -1, 1, '委托代销', 19, 1751, 'WT', 1, NULL, NULL, 'totalamt', 'amount'),
    -- consignment settlement: the goods already left with the delivery; settling moves nothing.
    (28, 'DeputeSettlementForm', 'deputesettlement', 'deputesettlementid', 'deputesettlementdetail', 0, 1, '代销结算', -999, 1752, 'TX', 1, NULL, NULL, 'totalamt', 'amount'),
    -- consignment opening entry: goods at consignees at the start; nothing moves.
    (29, 'DeputeSaleInitForm', 'deputesaleinit', 'deputesaleinitid', 'deputesaleinitdetail', 0, 1, '委托代销初始化', -999, 1753, 'QC', 1, NULL, NULL, 'totalamt', 'amount'),
    -- goods discount: prices for the terminals; nothing moves.
    (30, 'SetGoodsDiscountForm', 'goodsdiscount', 'goodsdiscountid', 'goodsdiscountdetail', 0, -1, '商品限时打折', 30, 1760, 'SZ', 1, NULL, NULL, NULL, NULL),
    -- cashier hand-in: money only.
    (25, 'OperatorTurninForm', 'InoutCash', 'ID', NULL, 0, -1, 'POS收银员出入款单', 29, 176, 'JK', 0, NULL, NULL, NULL, NULL),
    -- POS day-close: the day's POS sales leave storeid (returns carry negative quantities).
    (24, 'POSCloseBillForm', 'POSDAY', 'BillID', 'POSDAYDETAIL', -1, -1, 'POS日结单', 14, 178, 'RJ', 1, NULL, NULL, 'amount', 'amount'),
    -- wage payment: money only.
    (21, 'DisLaborageForm', 'DisLaborage', 'ID', NULL, 0, -1, '支付工资', 23, 96, 'DL', 0, NULL, NULL, NULL, NULL);
