-- Views over the bill tables: the stock lots of the stock flow, the POS sales under the name the
-- POS statements use, the open bills that payments and collections settle, the payment and
-- collection processes of a bill, the consignment deliveries of both kinds, the receipt lines
-- that purchase expense bills apportion over, and one source-line view per source-bill kind.
-- Dates are 'yyyy-MM-dd hh:mm:ss' text, so a due date is datetime(billdate, '+N days').

-- Stock lots: the incoming rows of the stock flow (issues that draw on a lot carry its id in
-- batchrefid and raise its refqty). leftqty is what is left of the lot in base units,
-- leftunitqty the same in the unit it came in; aprice is the base-unit cost, unitprice the cost
-- per line unit. billname is the caption of the bill kind the lot came with.
CREATE VIEW IF NOT EXISTS v_DetailBillFlow AS
SELECT f.id, f.billtype, f.billid, f.itemno, f.billcode, f.billdate, f.shopid, f.storeid, f.goodsid,
       f.unitid, u.unitname, IFNULL(u.rate, 1) AS unitrate, u.barcode,
       f.inqty, f.outqty, f.refqty,
       f.inqty - f.outqty - f.refqty AS leftqty,
       (f.inqty - f.outqty - f.refqty) / (CASE WHEN IFNULL(u.rate, 0) = 0 THEN 1 ELSE u.rate END) AS leftunitqty,
       f.inprice, f.outprice, f.inprice AS aprice, f.inprice * IFNULL(u.rate, 1) AS unitprice,
       f.batchcode, f.produceddate, f.validdate, f.batchrefid, k.caption AS billname
FROM detailbillflow f
LEFT JOIN goodsunit u ON u.unitid = f.unitid
LEFT JOIN billkind k ON k.dbbilltype = f.billtype AND k.dbbilltype <> -999
WHERE f.inqty > 0 AND f.batchrefid IS NULL;

-- POS sales bills under the name the POS lists and lot assignment read; billcode is the bill's code.
CREATE VIEW IF NOT EXISTS posbill AS
SELECT p.*, p.code AS billcode FROM posbilldate p;

-- Bills that purchase expenses are apportioned over: goods receipts (7) and cash purchases (26).
CREATE VIEW IF NOT EXISTS v_selpurappbill AS
SELECT 7 AS billtype, m.recievedid AS billid, m.code, m.billdate, m.clientid, m.shopid, m.storeid,
       m.departmentid, m.exemanid, m.flag, m.totalamt, m.billtypeid, m.memo,
       m.userdef1, m.userdef2, m.userdef3, m.userdef4, m.userdef5
FROM recieved m
UNION ALL
SELECT 26 AS billtype, m.crecievedid AS billid, m.code, m.billdate, m.clientid, m.shopid, m.storeid,
       m.departmentid, m.exemanid, m.flag, m.totalamt, m.billtypeid, m.memo,
       m.userdef1, m.userdef2, m.userdef3, m.userdef4, m.userdef5
FROM crecieved m;

-- Their lines. purappamt is the expense apportioned to the line by all expense bills (a reversed
-- bill and its reversing bill cancel out); detailbillflowid is the line's incoming stock-flow row.
CREATE VIEW IF NOT EXISTS v_selpurappdetailbill AS
SELECT 7 AS billtype, d.recievedid AS billid, d.itemno, d.goodsid, d.unitid, d.unitqty, d.quantity,
       d.unitprice, d.price, d.disc, d.taxrate, d.goodsamt, d.taxamt, d.amount, d.aprice,
       d.batchcode, d.batchrefid, d.produceddate, d.validdate, d.returnqty, d.ispresent, d.memo,
       d.userdef1, d.userdef2, d.userdef3,
       IFNULL((SELECT SUM(pd.appamt) FROM purchaseappdetail pd
               WHERE pd.refertype = 7 AND pd.referbillid = d.recievedid AND pd.referitemno = d.itemno), 0) AS purappamt,
       (SELECT f.id FROM detailbillflow f
        WHERE f.billtype = 1 AND f.billid = d.recievedid AND f.itemno = d.itemno AND f.batchrefid IS NULL
        ORDER BY f.id LIMIT 1) AS detailbillflowid,
       m.code, m.billdate, m.clientid, m.shopid, m.storeid, m.flag, m.exemanid
FROM rcvddetail d JOIN recieved m ON m.recievedid = d.recievedid
UNION ALL
SELECT 26 AS billtype, d.crecievedid AS billid, d.itemno, d.goodsid, d.unitid, d.unitqty, d.quantity,
       d.unitprice, d.price, d.disc, d.taxrate, d.goodsamt, d.taxamt, d.amount, d.aprice,
       d.batchcode, d.batchrefid, d.produceddate, d.validdate, d.returnqty, d.ispresent, d.memo,
       d.userdef1, d.userdef2, d.userdef3,
       IFNULL((SELECT SUM(pd.appamt) FROM purchaseappdetail pd
               WHERE pd.refertype = 26 AND pd.referbillid = d.crecievedid AND pd.referitemno = d.itemno), 0) AS purappamt,
       (SELECT f.id FROM detailbillflow f
        WHERE f.billtype = 17 AND f.billid = d.crecievedid AND f.itemno = d.itemno AND f.batchrefid IS NULL
        ORDER BY f.id LIMIT 1) AS detailbillflowid,
       m.code, m.billdate, m.clientid, m.shopid, m.storeid, m.flag, m.exemanid
FROM crcvddetail d JOIN crecieved m ON m.crecievedid = d.crecievedid;

-- Consignment deliveries (27) and opening entries (29), told apart by billtypeid. Opening entries
-- count as deliveries (billtype 1).
CREATE VIEW IF NOT EXISTS v_deputesale AS
SELECT m.deputesaleid AS deputesaleid, 27 AS billtypeid, IFNULL(m.billtype, 1) AS billtype, m.code, m.billdate,
       m.clientid, m.storeid, m.shopid, m.empid, m.departmentid, m.flag, m.taxrate, m.disc, m.totalamt,
       m.shipto, m.linkmanid, m.memo, m.userdef1, m.userdef2, m.userdef3, m.userdef4, m.userdef5
FROM deputesale m
UNION ALL
SELECT m.deputesaleinitid AS deputesaleid, 29 AS billtypeid, IFNULL(m.billtype, 1) AS billtype, m.code, m.billdate,
       m.clientid, m.storeid, m.shopid, m.empid, m.departmentid, m.flag, m.taxrate, m.disc, m.totalamt,
       m.shipto, m.linkmanid, m.memo, m.userdef1, m.userdef2, m.userdef3, m.userdef4, m.userdef5
FROM deputesaleinit m;

-- Their lines, with the store and consignee of the bill.
CREATE VIEW IF NOT EXISTS v_deputesaledetail AS
SELECT d.deputesaleid AS deputesaleid, 27 AS billtypeid,
       (SELECT k.caption FROM billkind k WHERE k.billtype = 27) AS billtypename,
       m.storeid, m.clientid, d.itemno, d.goodsid, d.unitid, d.unitqty, d.quantity, d.unitprice, d.price,
       d.aprice, d.unitaprice, d.disc, d.taxrate, d.goodsamt, d.taxamt, d.amount,
       d.batchcode, d.batchrefid, d.produceddate, d.validdate, d.settledqty, d.returnqty, d.ispresent,
       d.refertype, d.referbillid, d.referitemno, d.memo, d.userdef1, d.userdef2, d.userdef3
FROM deputesaledetail d JOIN deputesale m ON m.deputesaleid = d.deputesaleid
UNION ALL
SELECT d.deputesaleinitid AS deputesaleid, 29 AS billtypeid,
       (SELECT k.caption FROM billkind k WHERE k.billtype = 29) AS billtypename,
       m.storeid, m.clientid, d.itemno, d.goodsid, d.unitid, d.unitqty, d.quantity, d.unitprice, d.price,
       d.aprice, d.unitaprice, d.disc, d.taxrate, d.goodsamt, d.taxamt, d.amount,
       d.batchcode, d.batchrefid, d.produceddate, d.validdate, d.settledqty, d.returnqty, d.ispresent,
       d.refertype, d.referbillid, d.referitemno, d.memo, d.userdef1, d.userdef2, d.userdef3
FROM deputesaleinitdetail d JOIN deputesaleinit m ON m.deputesaleinitid = d.deputesaleinitid;

-- What a vendor is still owed, per bill: receipts (7) and purchase expenses (43) add to it,
-- purchase returns (8) not refunded at once reduce it. totalrcvd is what was settled so far
-- (the name is shared with the collection side), shouldpayamt what is left.
CREATE VIEW IF NOT EXISTS v_payselectbill AS
SELECT 7 AS billtypeid, m.recievedid AS billid, (SELECT k.caption FROM billkind k WHERE k.billtype = 7) AS billtype,
       m.code AS billcode, m.billdate, datetime(m.billdate, '+' || IFNULL(m.termdays, 0) || ' days') AS recievedate,
       m.totalamt AS total, IFNULL(m.totalpaid, 0) AS totalrcvd, (m.totalamt - IFNULL(m.totalpaid, 0)) AS shouldpayamt,
       m.shopid, m.clientid, m.flag, m.departmentid
FROM recieved m
UNION ALL
SELECT 8 AS billtypeid, m.preturnid AS billid, (SELECT k.caption FROM billkind k WHERE k.billtype = 8) AS billtype,
       m.code AS billcode, m.billdate, m.billdate AS recievedate,
       -m.totalamt AS total, -IFNULL(m.totalpaid, 0) AS totalrcvd, -(m.totalamt - IFNULL(m.totalpaid, 0)) AS shouldpayamt,
       m.shopid, m.clientid, m.flag, m.departmentid
FROM preturn m
WHERE IFNULL(m.backmoney, 'F') <> 'T'
UNION ALL
SELECT 43 AS billtypeid, m.purchaseappid AS billid, (SELECT k.caption FROM billkind k WHERE k.billtype = 43) AS billtype,
       m.code AS billcode, m.billdate, datetime(m.billdate, '+' || IFNULL(m.termdays, 0) || ' days') AS recievedate,
       m.totalamt AS total, IFNULL(m.totalpaid, 0) AS totalrcvd, (m.totalamt - IFNULL(m.totalpaid, 0)) AS shouldpayamt,
       m.shopid, m.clientid, m.flag, m.departmentid
FROM purchaseapp m;

-- What a client still owes, per bill: invoices (2) and consignment settlements on credit (28)
-- add to it, sales returns (4) not refunded at once reduce it.
CREATE VIEW IF NOT EXISTS v_chargeselectbill AS
SELECT 2 AS billtypeid, m.invoiceid AS billid, (SELECT k.caption FROM billkind k WHERE k.billtype = 2) AS billtype,
       m.code AS billcode, m.billdate, datetime(m.billdate, '+' || IFNULL(m.termdays, 0) || ' days') AS recievedate,
       m.totalamt AS total, IFNULL(m.totalrcvd, 0) AS totalrcvd, (m.totalamt - IFNULL(m.totalrcvd, 0)) AS shouldpayamt,
       m.shopid, m.clientid, m.flag, m.departmentid
FROM invoice m
UNION ALL
SELECT 4 AS billtypeid, m.returnid AS billid, (SELECT k.caption FROM billkind k WHERE k.billtype = 4) AS billtype,
       m.code AS billcode, m.billdate, m.billdate AS recievedate,
       -m.totalamt AS total, -IFNULL(m.totalrcvd, 0) AS totalrcvd, -(m.totalamt - IFNULL(m.totalrcvd, 0)) AS shouldpayamt,
       m.shopid, m.clientid, m.flag, m.departmentid
FROM sreturn m
WHERE IFNULL(m.backmoney, 'F') <> 'T'
UNION ALL
SELECT 28 AS billtypeid, m.deputesettlementid AS billid, (SELECT k.caption FROM billkind k WHERE k.billtype = 28) AS billtype,
       m.code AS billcode, m.billdate, datetime(m.billdate, '+' || IFNULL(m.termdays, 0) || ' days') AS recievedate,
       m.totalamt AS total, IFNULL(m.totalrcvd, 0) AS totalrcvd, (m.totalamt - IFNULL(m.totalrcvd, 0)) AS shouldpayamt,
       m.shopid, m.clientid, m.flag, m.departmentid
FROM deputesettlement m
WHERE IFNULL(m.settlementtype, 0) = 0;

-- Payments (paytype 9) and collections (paytype 5) as one list, for the settlement history of a bill.
CREATE VIEW IF NOT EXISTS v_payrecieve AS
SELECT m.payid AS payid, 9 AS paytype, m.code, m.billdate, m.paytypeid, m.bankid, m.shopid,
       m.clientid, m.amount, m.factamount, m.discamount, m.flag
FROM pay m
UNION ALL
SELECT m.chargeid AS payid, 5 AS paytype, m.code, m.billdate, m.paytypeid, m.bankid, m.shopid,
       m.clientid, m.amount, m.factamount, m.discamount, m.flag
FROM charge m;

-- Their lines: which bill (refertype, referbillid) each settled and by how much.
CREATE VIEW IF NOT EXISTS v_payrecievedetail AS
SELECT d.payid AS payid, 9 AS paytype, d.itemno, d.refertype, d.referbillid, d.amount, d.memo
FROM paydetail d
UNION ALL
SELECT d.chargeid AS payid, 5 AS paytype, d.itemno, d.refertype, d.referbillid, d.amount, d.memo
FROM chargedetail d;

-- The same lists keyed the way the collection history reads them (chargetype 9 or 5).
CREATE VIEW IF NOT EXISTS v_chargeinvoice AS
SELECT m.payid AS chargeid, 9 AS chargetype, m.code, m.billdate, m.paytypeid, m.bankid, m.shopid,
       m.clientid, m.amount, m.factamount, m.discamount, m.flag
FROM pay m
UNION ALL
SELECT m.chargeid AS chargeid, 5 AS chargetype, m.code, m.billdate, m.paytypeid, m.bankid, m.shopid,
       m.clientid, m.amount, m.factamount, m.discamount, m.flag
FROM charge m;

-- Lines of v_chargeinvoice.
CREATE VIEW IF NOT EXISTS v_chargeinvoicedetail AS
SELECT d.payid AS chargeid, 9 AS chargetype, d.itemno, d.refertype, d.referbillid, d.amount, d.memo
FROM paydetail d
UNION ALL
SELECT d.chargeid AS chargeid, 5 AS chargetype, d.itemno, d.refertype, d.referbillid, d.amount, d.memo
FROM chargedetail d;

-- Source lines of each source-bill kind that new bills take lines from: the line with its goods
-- columns, the price before discount and with tax, exeqty (what is still open: the quantity less
-- what later bills took), the source bill's number and date, and for individually costed goods
-- (costing type 2) the line's stock-flow row.

-- kind 1
CREATE VIEW IF NOT EXISTS v_selsorderdetail AS
SELECT 0 AS is_select, d.*,
       g.name AS goodsname, g.specs, g.code AS goodscode, u.unitname AS unit, u.rate AS unitrate,
       bu.unitname AS baseunit, u.barcode, g.shortname, g.validdates, g.inf_costingtypeid,
       g.kind AS goodskind, g.batchctrl,
       d.unitprice / (d.disc / 100.0) AS nprice, d.unitprice * (1 + d.taxrate / 100.0) AS taxprice,
       d.unitqty - IFNULL(d.takeqty, 0) AS exeqty,
       NULL AS detailbillflowid,
       m.code, m.billdate, m.shopid, m.flag AS masterflag
FROM sorderdetail d
JOIN sorder m ON m.sorderid = d.sorderid
LEFT JOIN goods g ON g.goodsid = d.goodsid
LEFT JOIN goodsunit u ON u.goodsid = d.goodsid AND u.unitid = d.unitid
LEFT JOIN goodsunit bu ON bu.goodsid = d.goodsid AND bu.unittype = 0;

-- kind 2
CREATE VIEW IF NOT EXISTS v_selinvoicedetail AS
SELECT 0 AS is_select, d.*,
       g.name AS goodsname, g.specs, g.code AS goodscode, u.unitname AS unit, u.rate AS unitrate,
       bu.unitname AS baseunit, u.barcode, g.shortname, g.validdates, g.inf_costingtypeid,
       g.kind AS goodskind, g.batchctrl,
       d.unitprice / (d.disc / 100.0) AS nprice, d.unitprice * (1 + d.taxrate / 100.0) AS taxprice,
       d.unitqty - IFNULL(d.returnqty, 0) AS exeqty,
       CASE WHEN g.inf_costingtypeid = 2 THEN
           (SELECT f.id FROM detailbillflow f
            WHERE f.billtype = 3 AND f.billid = d.invoiceid AND f.itemno = d.itemno ORDER BY f.id LIMIT 1)
       END AS detailbillflowid,
       m.code, m.billdate, m.shopid, m.flag AS masterflag
FROM saledetail d
JOIN invoice m ON m.invoiceid = d.invoiceid
LEFT JOIN goods g ON g.goodsid = d.goodsid
LEFT JOIN goodsunit u ON u.goodsid = d.goodsid AND u.unitid = d.unitid
LEFT JOIN goodsunit bu ON bu.goodsid = d.goodsid AND bu.unittype = 0;

-- kind 3
CREATE VIEW IF NOT EXISTS v_selcsaledetail AS
SELECT 0 AS is_select, d.*,
       g.name AS goodsname, g.specs, g.code AS goodscode, u.unitname AS unit, u.rate AS unitrate,
       bu.unitname AS baseunit, u.barcode, g.shortname, g.validdates, g.inf_costingtypeid,
       g.kind AS goodskind, g.batchctrl,
       d.unitprice / (d.disc / 100.0) AS nprice, d.unitprice * (1 + d.taxrate / 100.0) AS taxprice,
       d.unitqty - IFNULL(d.returnqty, 0) AS exeqty,
       CASE WHEN g.inf_costingtypeid = 2 THEN
           (SELECT f.id FROM detailbillflow f
            WHERE f.billtype = 4 AND f.billid = d.csaleid AND f.itemno = d.itemno ORDER BY f.id LIMIT 1)
       END AS detailbillflowid,
       m.code, m.billdate, m.shopid, m.flag AS masterflag
FROM csaledetail d
JOIN csale m ON m.csaleid = d.csaleid
LEFT JOIN goods g ON g.goodsid = d.goodsid
LEFT JOIN goodsunit u ON u.goodsid = d.goodsid AND u.unitid = d.unitid
LEFT JOIN goodsunit bu ON bu.goodsid = d.goodsid AND bu.unittype = 0;

-- kind 4
CREATE VIEW IF NOT EXISTS v_selsreturndetail AS
SELECT 0 AS is_select, d.*,
       g.name AS goodsname, g.specs, g.code AS goodscode, u.unitname AS unit, u.rate AS unitrate,
       bu.unitname AS baseunit, u.barcode, g.shortname, g.validdates, g.inf_costingtypeid,
       g.kind AS goodskind, g.batchctrl,
       d.unitprice / (d.disc / 100.0) AS nprice, d.unitprice * (1 + d.taxrate / 100.0) AS taxprice,
       d.unitqty - IFNULL(d.badqty, 0) AS exeqty,
       CASE WHEN g.inf_costingtypeid = 2 THEN
           (SELECT f.id FROM detailbillflow f
            WHERE f.billtype = 5 AND f.billid = d.returnid AND f.itemno = d.itemno ORDER BY f.id LIMIT 1)
       END AS detailbillflowid,
       m.code, m.billdate, m.shopid, m.flag AS masterflag
FROM returndetail d
JOIN sreturn m ON m.returnid = d.returnid
LEFT JOIN goods g ON g.goodsid = d.goodsid
LEFT JOIN goodsunit u ON u.goodsid = d.goodsid AND u.unitid = d.unitid
LEFT JOIN goodsunit bu ON bu.goodsid = d.goodsid AND bu.unittype = 0;

-- kind 6
CREATE VIEW IF NOT EXISTS v_selporderdetail AS
SELECT 0 AS is_select, d.*,
       g.name AS goodsname, g.specs, g.code AS goodscode, u.unitname AS unit, u.rate AS unitrate,
       bu.unitname AS baseunit, u.barcode, g.shortname, g.validdates, g.inf_costingtypeid,
       g.kind AS goodskind, g.batchctrl,
       d.unitprice / (d.disc / 100.0) AS nprice, d.unitprice * (1 + d.taxrate / 100.0) AS taxprice,
       d.unitqty - IFNULL(d.rcvdqty, 0) AS exeqty,
       NULL AS detailbillflowid,
       m.code, m.billdate, m.shopid, m.flag AS masterflag
FROM orderdetail d
JOIN porder m ON m.orderid = d.orderid
LEFT JOIN goods g ON g.goodsid = d.goodsid
LEFT JOIN goodsunit u ON u.goodsid = d.goodsid AND u.unitid = d.unitid
LEFT JOIN goodsunit bu ON bu.goodsid = d.goodsid AND bu.unittype = 0;

-- kind 7
CREATE VIEW IF NOT EXISTS v_selrecieveddetail AS
SELECT 0 AS is_select, d.*,
       g.name AS goodsname, g.specs, g.code AS goodscode, u.unitname AS unit, u.rate AS unitrate,
       bu.unitname AS baseunit, u.barcode, g.shortname, g.validdates, g.inf_costingtypeid,
       g.kind AS goodskind, g.batchctrl,
       d.unitprice / (d.disc / 100.0) AS nprice, d.unitprice * (1 + d.taxrate / 100.0) AS taxprice,
       d.unitqty - IFNULL(d.returnqty, 0) AS exeqty,
       CASE WHEN g.inf_costingtypeid = 2 THEN
           (SELECT f.id FROM detailbillflow f
            WHERE f.billtype = 1 AND f.billid = d.recievedid AND f.itemno = d.itemno ORDER BY f.id LIMIT 1)
       END AS detailbillflowid,
       m.code, m.billdate, m.shopid, m.flag AS masterflag
FROM rcvddetail d
JOIN recieved m ON m.recievedid = d.recievedid
LEFT JOIN goods g ON g.goodsid = d.goodsid
LEFT JOIN goodsunit u ON u.goodsid = d.goodsid AND u.unitid = d.unitid
LEFT JOIN goodsunit bu ON bu.goodsid = d.goodsid AND bu.unittype = 0;

-- kind 10
CREATE VIEW IF NOT EXISTS v_seldrawitemdetail AS
SELECT 0 AS is_select, d.*,
       g.name AS goodsname, g.specs, g.code AS goodscode, u.unitname AS unit, u.rate AS unitrate,
       bu.unitname AS baseunit, u.barcode, g.shortname, g.validdates, g.inf_costingtypeid,
       g.kind AS goodskind, g.batchctrl,
       d.unitprice / (d.disc / 100.0) AS nprice, d.unitprice * (1 + d.taxrate / 100.0) AS taxprice,
       d.unitqty - IFNULL(d.backqty, 0) AS exeqty,
       CASE WHEN g.inf_costingtypeid = 2 THEN
           (SELECT f.id FROM detailbillflow f
            WHERE f.billtype = 6 AND f.billid = d.drawitemid AND f.itemno = d.itemno ORDER BY f.id LIMIT 1)
       END AS detailbillflowid,
       m.code, m.billdate, m.shopid, m.flag AS masterflag
FROM drawdetail d
JOIN drawitem m ON m.drawitemid = d.drawitemid
LEFT JOIN goods g ON g.goodsid = d.goodsid
LEFT JOIN goodsunit u ON u.goodsid = d.goodsid AND u.unitid = d.unitid
LEFT JOIN goodsunit bu ON bu.goodsid = d.goodsid AND bu.unittype = 0;

-- kind 22
CREATE VIEW IF NOT EXISTS v_selvaluedrcvddetail AS
SELECT 0 AS is_select, d.*,
       g.name AS goodsname, g.specs, g.code AS goodscode, u.unitname AS unit, u.rate AS unitrate,
       bu.unitname AS baseunit, u.barcode, g.shortname, g.validdates, g.inf_costingtypeid,
       g.kind AS goodskind, g.batchctrl,
       d.unitprice / (d.disc / 100.0) AS nprice, d.unitprice * (1 + d.taxrate / 100.0) AS taxprice,
       d.unitqty - IFNULL(d.returnqty, 0) AS exeqty,
       CASE WHEN g.inf_costingtypeid = 2 THEN
           (SELECT f.id FROM detailbillflow f
            WHERE f.billtype = 15 AND f.billid = d.billid AND f.itemno = d.itemno ORDER BY f.id LIMIT 1)
       END AS detailbillflowid,
       m.code, m.billdate, m.shopid, m.flag AS masterflag
FROM valuedrcvddetail d
JOIN valuedrcvd m ON m.billid = d.billid
LEFT JOIN goods g ON g.goodsid = d.goodsid
LEFT JOIN goodsunit u ON u.goodsid = d.goodsid AND u.unitid = d.unitid
LEFT JOIN goodsunit bu ON bu.goodsid = d.goodsid AND bu.unittype = 0;

-- kind 26
CREATE VIEW IF NOT EXISTS v_selcrecieveddetail AS
SELECT 0 AS is_select, d.*,
       g.name AS goodsname, g.specs, g.code AS goodscode, u.unitname AS unit, u.rate AS unitrate,
       bu.unitname AS baseunit, u.barcode, g.shortname, g.validdates, g.inf_costingtypeid,
       g.kind AS goodskind, g.batchctrl,
       d.unitprice / (d.disc / 100.0) AS nprice, d.unitprice * (1 + d.taxrate / 100.0) AS taxprice,
       d.unitqty - IFNULL(d.returnqty, 0) AS exeqty,
       CASE WHEN g.inf_costingtypeid = 2 THEN
           (SELECT f.id FROM detailbillflow f
            WHERE f.billtype = 17 AND f.billid = d.crecievedid AND f.itemno = d.itemno ORDER BY f.id LIMIT 1)
       END AS detailbillflowid,
       m.code, m.billdate, m.shopid, m.flag AS masterflag
FROM crcvddetail d
JOIN crecieved m ON m.crecievedid = d.crecievedid
LEFT JOIN goods g ON g.goodsid = d.goodsid
LEFT JOIN goodsunit u ON u.goodsid = d.goodsid AND u.unitid = d.unitid
LEFT JOIN goodsunit bu ON bu.goodsid = d.goodsid AND bu.unittype = 0;

-- kind 27
CREATE VIEW IF NOT EXISTS v_seldeputesaledetail AS
SELECT 0 AS is_select, d.*,
       g.name AS goodsname, g.specs, g.code AS goodscode, u.unitname AS unit, u.rate AS unitrate,
       bu.unitname AS baseunit, u.barcode, g.shortname, g.validdates, g.inf_costingtypeid,
       g.kind AS goodskind, g.batchctrl,
       d.unitprice / (d.disc / 100.0) AS nprice, d.unitprice * (1 + d.taxrate / 100.0) AS taxprice,
       d.unitqty - IFNULL(d.settledqty, 0) - IFNULL(d.returnqty, 0) AS exeqty,
       CASE WHEN g.inf_costingtypeid = 2 THEN
           (SELECT f.id FROM detailbillflow f
            WHERE f.billtype = 19 AND f.billid = d.deputesaleid AND f.itemno = d.itemno ORDER BY f.id LIMIT 1)
       END AS detailbillflowid,
       m.code, m.billdate, m.shopid, m.flag AS masterflag
FROM v_deputesaledetail d
JOIN v_deputesale m ON m.deputesaleid = d.deputesaleid AND m.billtypeid = d.billtypeid
LEFT JOIN goods g ON g.goodsid = d.goodsid
LEFT JOIN goodsunit u ON u.goodsid = d.goodsid AND u.unitid = d.unitid
LEFT JOIN goodsunit bu ON bu.goodsid = d.goodsid AND bu.unittype = 0;

-- kind 28
CREATE VIEW IF NOT EXISTS v_seldeputesettlementdetail AS
SELECT 0 AS is_select, d.*,
       g.name AS goodsname, g.specs, g.code AS goodscode, u.unitname AS unit, u.rate AS unitrate,
       bu.unitname AS baseunit, u.barcode, g.shortname, g.validdates, g.inf_costingtypeid,
       g.kind AS goodskind, g.batchctrl,
       d.unitprice / (d.disc / 100.0) AS nprice, d.unitprice * (1 + d.taxrate / 100.0) AS taxprice,
       d.unitqty - IFNULL(d.returnqty, 0) AS exeqty,
       NULL AS detailbillflowid,
       m.code, m.billdate, m.shopid, m.flag AS masterflag
FROM deputesettlementdetail d
JOIN deputesettlement m ON m.deputesettlementid = d.deputesettlementid
LEFT JOIN goods g ON g.goodsid = d.goodsid
LEFT JOIN goodsunit u ON u.goodsid = d.goodsid AND u.unitid = d.unitid
LEFT JOIN goodsunit bu ON bu.goodsid = d.goodsid AND bu.unittype = 0;

-- kind 41
CREATE VIEW IF NOT EXISTS v_selaskdeliverdetail AS
SELECT 0 AS is_select, d.*,
       g.name AS goodsname, g.specs, g.code AS goodscode, u.unitname AS unit, u.rate AS unitrate,
       bu.unitname AS baseunit, u.barcode, g.shortname, g.validdates, g.inf_costingtypeid,
       g.kind AS goodskind, g.batchctrl,
       d.unitprice / (d.disc / 100.0) AS nprice, d.unitprice * (1 + d.taxrate / 100.0) AS taxprice,
       d.unitqty - IFNULL(d.deliqty, 0) AS exeqty,
       NULL AS detailbillflowid,
       m.code, m.billdate, m.shopid, m.flag AS masterflag
FROM askdeliverdetail d
JOIN askdeliver m ON m.askid = d.askid
LEFT JOIN goods g ON g.goodsid = d.goodsid
LEFT JOIN goodsunit u ON u.goodsid = d.goodsid AND u.unitid = d.unitid
LEFT JOIN goodsunit bu ON bu.goodsid = d.goodsid AND bu.unittype = 0;

-- kind 42
CREATE VIEW IF NOT EXISTS v_seldeliverdetail AS
SELECT 0 AS is_select, d.*,
       g.name AS goodsname, g.specs, g.code AS goodscode, u.unitname AS unit, u.rate AS unitrate,
       bu.unitname AS baseunit, u.barcode, g.shortname, g.validdates, g.inf_costingtypeid,
       g.kind AS goodskind, g.batchctrl,
       d.unitprice / (d.disc / 100.0) AS nprice, d.unitprice * (1 + d.taxrate / 100.0) AS taxprice,
       d.unitqty - IFNULL(d.allotqty, 0) AS exeqty,
       NULL AS detailbillflowid,
       m.code, m.billdate, m.shopid, m.flag AS masterflag
FROM deliverdetail d
JOIN deliver m ON m.deliverid = d.deliverid
LEFT JOIN goods g ON g.goodsid = d.goodsid
LEFT JOIN goodsunit u ON u.goodsid = d.goodsid AND u.unitid = d.unitid
LEFT JOIN goodsunit bu ON bu.goodsid = d.goodsid AND bu.unittype = 0;

-- kind 44
CREATE VIEW IF NOT EXISTS v_selquotationdetail AS
SELECT 0 AS is_select, d.*,
       g.name AS goodsname, g.specs, g.code AS goodscode, u.unitname AS unit, u.rate AS unitrate,
       bu.unitname AS baseunit, u.barcode, g.shortname, g.validdates, g.inf_costingtypeid,
       g.kind AS goodskind, g.batchctrl,
       d.unitprice / (d.disc / 100.0) AS nprice, d.unitprice * (1 + d.taxrate / 100.0) AS taxprice,
       d.unitqty AS exeqty,
       NULL AS detailbillflowid,
       m.code, m.billdate, m.shopid, m.flag AS masterflag
FROM quotationdetail d
JOIN quotation m ON m.quotationid = d.quotationid
LEFT JOIN goods g ON g.goodsid = d.goodsid
LEFT JOIN goodsunit u ON u.goodsid = d.goodsid AND u.unitid = d.unitid
LEFT JOIN goodsunit bu ON bu.goodsid = d.goodsid AND bu.unittype = 0;
