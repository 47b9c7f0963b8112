-- Bill tables: the master and detail tables of the thirty-five bill forms, the stock flow
-- that goods bills leave per detail line, and the point-of-sale tables.
--
-- Conventions
--   * Dates and times are DATETIME columns holding text 'yyyy-MM-dd hh:mm:ss' (a bare date is
--     'yyyy-MM-dd 00:00:00'), so text order is time order and bills sort by (billdate, code).
--   * MONEY columns hold amounts with 4 decimals; FLOAT columns hold quantities, prices and rates
--     (prices are rounded to 8 decimals, base quantities to 6 by the client before they get here).
--   * disc is a percentage, 100 meaning no discount; taxrate is a percentage.
--   * closed, finished, ispresent, backmoney, sendemail are CHAR(1) "T"/"F"; printed is a BIT 0/1.
--   * flag on a master: 0 normal, 1 reversed (a red bill was made from it), 2 a reversing (red)
--     bill, whose referbillid names the bill it reverses. The POS sales master is the exception:
--     its flag is "T" once a day-close covers the sale.
--   * sflag above 0 hides a row at day close; refercount counts later bills referring to a bill
--     or line; referbillid/referitemno/refertype on a line name the source line and the source
--     bill's type (the bill type numbers of the forms).
--   * Keys are INTEGER PRIMARY KEY on masters; detail lines are keyed by (master key, itemno).
--     -99999 is never a stored key: it stands for "no bill" in the client.
--   * Columns that the bills' select statements compute or join in (opname, shopname, credcode,
--     goodsname, unit, unitrate, baseunit, nprice, taxprice, spamt, CTermDays, referbillcode, ...)
--     are deliberately not stored: a stored copy would clash with the joined one in "a.*" selects.
--   * Identifiers are case-insensitive in SQLite, so "Porder", "PORDER" and "porder" are one table.

-- ============================================================================
-- Purchasing
-- ============================================================================

-- Purchase order (bill type 6). rcvdqty on the lines and finished/refercount on the master are raised by the receipts that take them.
CREATE TABLE IF NOT EXISTS porder (
    orderid INTEGER PRIMARY KEY,
    clientid INTEGER, linkmanid INTEGER, contator VARCHAR(32), phone VARCHAR(32), fax VARCHAR(32),
    revdate DATETIME, billto VARCHAR(64), disc FLOAT DEFAULT 100, amount MONEY DEFAULT 0,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_porder_date_code ON porder (billdate, code);

CREATE TABLE IF NOT EXISTS orderdetail (
    orderid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    rcvdqty FLOAT DEFAULT 0,
    PRIMARY KEY (orderid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_orderdetail_orderid ON orderdetail (orderid);

-- Goods receipt on credit (bill type 7).
CREATE TABLE IF NOT EXISTS recieved (
    recievedid INTEGER PRIMARY KEY,
    storeid INTEGER, clientid INTEGER, linkmanid INTEGER, contator VARCHAR(32), phone VARCHAR(32), fax VARCHAR(32),
    disc FLOAT DEFAULT 100, totalamt MONEY DEFAULT 0, billtypeid INTEGER,
    checkno VARCHAR(32), checkamt MONEY DEFAULT 0,
    totalpaid MONEY DEFAULT 0, termdays INTEGER DEFAULT 0,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_recieved_date_code ON recieved (billdate, code);

CREATE TABLE IF NOT EXISTS rcvddetail (
    recievedid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    returnqty FLOAT DEFAULT 0, returnamt MONEY DEFAULT 0, purappamt MONEY DEFAULT 0,
    PRIMARY KEY (recievedid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_rcvddetail_recievedid ON rcvddetail (recievedid);

-- Cash purchase (bill type 26).
CREATE TABLE IF NOT EXISTS crecieved (
    crecievedid INTEGER PRIMARY KEY,
    storeid INTEGER, clientid INTEGER, linkmanid INTEGER, contator VARCHAR(32), phone VARCHAR(32), fax VARCHAR(32),
    disc FLOAT DEFAULT 100, totalamt MONEY DEFAULT 0, billtypeid INTEGER,
    checkno VARCHAR(32), checkamt MONEY DEFAULT 0,
    paytypeid INTEGER, bankid INTEGER, totalreturn MONEY DEFAULT 0,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_crecieved_date_code ON crecieved (billdate, code);

CREATE TABLE IF NOT EXISTS crcvddetail (
    crecievedid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    returnqty FLOAT DEFAULT 0, returnamt MONEY DEFAULT 0, purappamt MONEY DEFAULT 0, chanceid INTEGER,
    PRIMARY KEY (crecievedid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_crcvddetail_crecievedid ON crcvddetail (crecievedid);

-- Purchase return (bill type 8). backmoney 'T': the refund is taken at once into bankid.
CREATE TABLE IF NOT EXISTS preturn (
    preturnid INTEGER PRIMARY KEY,
    storeid INTEGER, clientid INTEGER, linkmanid INTEGER, contator VARCHAR(32), phone VARCHAR(32), fax VARCHAR(32),
    disc FLOAT DEFAULT 100, totalamt MONEY DEFAULT 0, billtypeid INTEGER,
    checkno VARCHAR(32), checkamt MONEY DEFAULT 0,
    backmoney CHAR(1) DEFAULT 'F', paytypeid INTEGER, bankid INTEGER, totalpaid MONEY DEFAULT 0, taxrate FLOAT DEFAULT 0,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_preturn_date_code ON preturn (billdate, code);

CREATE TABLE IF NOT EXISTS prdetail (
    preturnid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    detailbillflowid INTEGER,
    PRIMARY KEY (preturnid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_prdetail_preturnid ON prdetail (preturnid);

-- Valued (estimated-price) receipt (bill type 22) and its opening entry (bill type 40) share this table.
-- billtype 0 = receipt, 1 = write-back with negative quantities; ownerbilltype/ownerbillid name the
-- receipt (7) or cash purchase (26) that created the row, empty for bills entered by hand.
CREATE TABLE IF NOT EXISTS valuedrcvd (
    billid INTEGER PRIMARY KEY,
    billtype INTEGER DEFAULT 0, storeid INTEGER, clientid INTEGER, totalamt MONEY DEFAULT 0,
    ownerbilltype INTEGER, ownerbillid INTEGER,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_valuedrcvd_date_code ON valuedrcvd (billdate, code);

CREATE TABLE IF NOT EXISTS valuedrcvddetail (
    billid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    returnqty FLOAT DEFAULT 0,
    PRIMARY KEY (billid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_valuedrcvddetail_billid ON valuedrcvddetail (billid);

-- Purchase expense bill (bill type 43): an expense apportioned over earlier receipt lines.
CREATE TABLE IF NOT EXISTS purchaseapp (
    purchaseappid INTEGER PRIMARY KEY,
    clientid INTEGER, appamt MONEY DEFAULT 0, taxrate FLOAT DEFAULT 0, taxamt MONEY DEFAULT 0,
    totalamt MONEY DEFAULT 0, paidamt MONEY DEFAULT 0, totalpaid MONEY DEFAULT 0, paytypeid INTEGER, bankid INTEGER,
    termdays INTEGER DEFAULT 0, checkno VARCHAR(32), checkamt MONEY DEFAULT 0,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_purchaseapp_date_code ON purchaseapp (billdate, code);

CREATE TABLE IF NOT EXISTS purchaseappdetail (
    purchaseappid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    appamt MONEY DEFAULT 0,
    PRIMARY KEY (purchaseappid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_purchaseappdetail_purchaseappid ON purchaseappdetail (purchaseappid);


-- ============================================================================
-- Sales
-- ============================================================================

-- Sales quotation (bill type 44), valid from begdate to enddate (either may be empty).
CREATE TABLE IF NOT EXISTS quotation (
    quotationid INTEGER PRIMARY KEY,
    clientid INTEGER, linkmanid INTEGER, contator VARCHAR(32), phone VARCHAR(32), fax VARCHAR(32),
    disc FLOAT DEFAULT 100, begdate DATETIME, enddate DATETIME, delivertypeid INTEGER,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_quotation_date_code ON quotation (billdate, code);

CREATE TABLE IF NOT EXISTS quotationdetail (
    quotationid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    begqty FLOAT DEFAULT 0, endqty FLOAT DEFAULT 0, unitbegqty FLOAT DEFAULT 0, unitendqty FLOAT DEFAULT 0,
    closed CHAR(1) DEFAULT 'F',
    PRIMARY KEY (quotationid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_quotationdetail_quotationid ON quotationdetail (quotationid);

-- Sales order (bill type 1). takeqty on the lines is raised by invoices and cash sales.
CREATE TABLE IF NOT EXISTS sorder (
    sorderid INTEGER PRIMARY KEY,
    clientid INTEGER, linkmanid INTEGER, contator VARCHAR(32), phone VARCHAR(32), fax VARCHAR(32),
    billtypeid INTEGER, taxrate FLOAT DEFAULT 0, disc FLOAT DEFAULT 100, contractno VARCHAR(64),
    amount MONEY DEFAULT 0, shipto VARCHAR(64), takedate DATETIME,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_sorder_date_code ON sorder (billdate, code);

CREATE TABLE IF NOT EXISTS sorderdetail (
    sorderid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    takeqty FLOAT DEFAULT 0,
    PRIMARY KEY (sorderid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_sorderdetail_sorderid ON sorderdetail (sorderid);

-- Sales invoice on credit (bill type 2).
CREATE TABLE IF NOT EXISTS invoice (
    invoiceid INTEGER PRIMARY KEY,
    storeid INTEGER, clientid INTEGER, linkmanid INTEGER, contator VARCHAR(32), phone VARCHAR(32), fax VARCHAR(32),
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0, totalamt MONEY DEFAULT 0, billtypeid INTEGER,
    checkno VARCHAR(32), checkamt MONEY DEFAULT 0, billstatus INTEGER,
    termdays INTEGER DEFAULT 0, totalrcvd MONEY DEFAULT 0, shipto VARCHAR(64),
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_invoice_date_code ON invoice (billdate, code);

CREATE TABLE IF NOT EXISTS saledetail (
    invoiceid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    returnqty FLOAT DEFAULT 0, returnamt MONEY DEFAULT 0,
    PRIMARY KEY (invoiceid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_saledetail_invoiceid ON saledetail (invoiceid);

-- Cash sale (bill type 3).
CREATE TABLE IF NOT EXISTS csale (
    csaleid INTEGER PRIMARY KEY,
    storeid INTEGER, clientid INTEGER, linkmanid INTEGER, contator VARCHAR(32), phone VARCHAR(32), fax VARCHAR(32),
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0, totalamt MONEY DEFAULT 0, billtypeid INTEGER,
    checkno VARCHAR(32), checkamt MONEY DEFAULT 0, billstatus INTEGER,
    paytypeid INTEGER, bankid INTEGER, totalreturn MONEY DEFAULT 0, shipto VARCHAR(64),
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_csale_date_code ON csale (billdate, code);

CREATE TABLE IF NOT EXISTS csaledetail (
    csaleid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    returnqty FLOAT DEFAULT 0, returnamt MONEY DEFAULT 0,
    PRIMARY KEY (csaleid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_csaledetail_csaleid ON csaledetail (csaleid);

-- Sales return (bill type 4). badqty on a line is the part written off through a generated stocktaking bill.
CREATE TABLE IF NOT EXISTS sreturn (
    returnid INTEGER PRIMARY KEY,
    storeid INTEGER, clientid INTEGER, linkmanid INTEGER, contator VARCHAR(32), phone VARCHAR(32), fax VARCHAR(32),
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0, totalamt MONEY DEFAULT 0, billtypeid INTEGER,
    checkno VARCHAR(32), checkamt MONEY DEFAULT 0, billstatus INTEGER,
    backmoney CHAR(1) DEFAULT 'F', paytypeid INTEGER, bankid INTEGER, totalrcvd MONEY DEFAULT 0, linkamanid INTEGER,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_sreturn_date_code ON sreturn (billdate, code);

CREATE TABLE IF NOT EXISTS returndetail (
    returnid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    badqty FLOAT DEFAULT 0,
    PRIMARY KEY (returnid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_returndetail_returnid ON returndetail (returnid);

-- Consignment delivery (bill type 27): billtype 1 delivery to the consignee, 2 goods taken back.
CREATE TABLE IF NOT EXISTS deputesale (
    deputesaleid INTEGER PRIMARY KEY,
    clientid INTEGER, linkmanid INTEGER, contator VARCHAR(32), phone VARCHAR(32), fax VARCHAR(32),
    billtype INTEGER DEFAULT 1, storeid INTEGER, empid INTEGER, taxrate FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, totalamt MONEY DEFAULT 0, shipto VARCHAR(64),
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_deputesale_date_code ON deputesale (billdate, code);

CREATE TABLE IF NOT EXISTS deputesaledetail (
    deputesaleid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    settledqty FLOAT DEFAULT 0, returnqty FLOAT DEFAULT 0, unitaprice FLOAT DEFAULT 0,
    PRIMARY KEY (deputesaleid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_deputesaledetail_deputesaleid ON deputesaledetail (deputesaleid);

-- Consignment settlement (bill type 28): settlementtype 0 on credit, any other value cash into bankid.
CREATE TABLE IF NOT EXISTS deputesettlement (
    deputesettlementid INTEGER PRIMARY KEY,
    storeid INTEGER, clientid INTEGER, linkmanid INTEGER, contator VARCHAR(32), phone VARCHAR(32), fax VARCHAR(32),
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0, totalamt MONEY DEFAULT 0, billtypeid INTEGER,
    checkno VARCHAR(32), checkamt MONEY DEFAULT 0, billstatus INTEGER,
    empid INTEGER, bankid INTEGER, paytypeid INTEGER, termdays INTEGER DEFAULT 0, settlementtype INTEGER DEFAULT 0,
    totalrcvd MONEY DEFAULT 0,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_deputesettlement_date_code ON deputesettlement (billdate, code);

CREATE TABLE IF NOT EXISTS deputesettlementdetail (
    deputesettlementid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    deputesalemoney MONEY DEFAULT 0, margin MONEY DEFAULT 0, deputeprice FLOAT DEFAULT 0, returnqty FLOAT DEFAULT 0,
    PRIMARY KEY (deputesettlementid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_deputesettlementdetail_deputesettlementid ON deputesettlementdetail (deputesettlementid);

-- Consignment opening entry (bill type 29): goods already at consignees when the account set started.
CREATE TABLE IF NOT EXISTS deputesaleinit (
    deputesaleinitid INTEGER PRIMARY KEY,
    clientid INTEGER, linkmanid INTEGER, contator VARCHAR(32), phone VARCHAR(32), fax VARCHAR(32),
    billtype INTEGER DEFAULT 1, storeid INTEGER, empid INTEGER, taxrate FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, totalamt MONEY DEFAULT 0, shipto VARCHAR(64),
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_deputesaleinit_date_code ON deputesaleinit (billdate, code);

CREATE TABLE IF NOT EXISTS deputesaleinitdetail (
    deputesaleinitid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    settledqty FLOAT DEFAULT 0, returnqty FLOAT DEFAULT 0, unitaprice FLOAT DEFAULT 0, apriceamt MONEY DEFAULT 0,
    PRIMARY KEY (deputesaleinitid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_deputesaleinitdetail_deputesaleinitid ON deputesaleinitdetail (deputesaleinitid);

-- Delivery request between branches (bill type 41): shopid asks for goods into storeid by delidate.
CREATE TABLE IF NOT EXISTS askdeliver (
    askid INTEGER PRIMARY KEY,
    storeid INTEGER, delidate DATETIME, billto VARCHAR(64),
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_askdeliver_date_code ON askdeliver (billdate, code);

CREATE TABLE IF NOT EXISTS askdeliverdetail (
    askid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    deliqty FLOAT DEFAULT 0, closed CHAR(1) DEFAULT 'F',
    PRIMARY KEY (askid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_askdeliverdetail_askid ON askdeliverdetail (askid);

-- Delivery between branches (bill type 42): from outshopid/outstoreid to inshopid/instoreid; the stock
-- itself moves with the transfers that refer to its lines (allotqty).
CREATE TABLE IF NOT EXISTS deliver (
    deliverid INTEGER PRIMARY KEY,
    inshopid INTEGER, outshopid INTEGER, instoreid INTEGER, outstoreid INTEGER, delidate DATETIME,
    billto VARCHAR(64),
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_deliver_date_code ON deliver (billdate, code);

CREATE TABLE IF NOT EXISTS deliverdetail (
    deliverid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    allotqty FLOAT DEFAULT 0, closed CHAR(1) DEFAULT 'F',
    PRIMARY KEY (deliverid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_deliverdetail_deliverid ON deliverdetail (deliverid);


-- ============================================================================
-- Inventory and production
-- ============================================================================

-- Stock transfer (bill type 13): out of outsid (branch outshopid) into insid (branch inshopid).
CREATE TABLE IF NOT EXISTS allot (
    allotid INTEGER PRIMARY KEY,
    outsid INTEGER, insid INTEGER, outshopid INTEGER, inshopid INTEGER,
    totalamt MONEY DEFAULT 0,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_allot_date_code ON allot (billdate, code);

CREATE TABLE IF NOT EXISTS dallot (
    allotid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    sprice FLOAT DEFAULT 0,
    PRIMARY KEY (allotid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_dallot_allotid ON dallot (allotid);

-- Other stock movement (bill type 15); the stock-change type sat.isin says in or out.
CREATE TABLE IF NOT EXISTS inout (
    inoutid INTEGER PRIMARY KEY,
    storeid INTEGER, satid INTEGER, people VARCHAR(32), clientid INTEGER,
    totalamt MONEY DEFAULT 0,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_inout_date_code ON inout (billdate, code);

CREATE TABLE IF NOT EXISTS dinout (
    inoutid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    backqty FLOAT DEFAULT 0,
    PRIMARY KEY (inoutid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_dinout_inoutid ON dinout (inoutid);

-- Material requisition (bill type 10), issued from outsid against the accounting subject subid.
CREATE TABLE IF NOT EXISTS drawitem (
    drawitemid INTEGER PRIMARY KEY,
    outsid INTEGER, drawmanid INTEGER, subid INTEGER,
    totalamt MONEY DEFAULT 0,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_drawitem_date_code ON drawitem (billdate, code);

CREATE TABLE IF NOT EXISTS drawdetail (
    drawitemid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    backqty FLOAT DEFAULT 0,
    PRIMARY KEY (drawitemid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_drawdetail_drawitemid ON drawdetail (drawitemid);

-- Material return (bill type 11) into insid; lines refer to requisition lines.
CREATE TABLE IF NOT EXISTS backdraw (
    backdrawid INTEGER PRIMARY KEY,
    insid INTEGER, backmanid INTEGER, subid INTEGER,
    totalamt MONEY DEFAULT 0,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_backdraw_date_code ON backdraw (billdate, code);

CREATE TABLE IF NOT EXISTS backdetail (
    backdrawid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    PRIMARY KEY (backdrawid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_backdetail_backdrawid ON backdetail (backdrawid);

-- Finished goods receipt (bill type 12) into insid; a line's cost parts add up to its amount.
CREATE TABLE IF NOT EXISTS inproduct (
    inproductid INTEGER PRIMARY KEY,
    insid INTEGER, subid INTEGER,
    totalamt MONEY DEFAULT 0,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_inproduct_date_code ON inproduct (billdate, code);

CREATE TABLE IF NOT EXISTS indetail (
    inproductid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    material MONEY DEFAULT 0, labour MONEY DEFAULT 0, manufacture MONEY DEFAULT 0, assistant MONEY DEFAULT 0,
    PRIMARY KEY (inproductid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_indetail_inproductid ON indetail (inproductid);

-- Assembly / disassembly (bill type 16): the master carries the assembled goods, the lines its components.
CREATE TABLE IF NOT EXISTS combin (
    combinid INTEGER PRIMARY KEY,
    storeid INTEGER, goodsid INTEGER, unitid INTEGER, combinflag INTEGER DEFAULT 0,
    price FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, unitqty FLOAT DEFAULT 0,
    batchcode VARCHAR(32), produceddate DATETIME, validdate DATETIME, batchrefid INTEGER,
    totalamt MONEY DEFAULT 0,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_combin_date_code ON combin (billdate, code);

CREATE TABLE IF NOT EXISTS combind (
    combinid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    PRIMARY KEY (combinid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_combind_combinid ON combind (combinid);

-- Inventory cost adjustment (bill type 19): revalues stock from aoprice to anprice.
CREATE TABLE IF NOT EXISTS adjap (
    adjapid INTEGER PRIMARY KEY,
    subid INTEGER, fileno VARCHAR(32),
    totalamt MONEY DEFAULT 0,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_adjap_date_code ON adjap (billdate, code);

CREATE TABLE IF NOT EXISTS dadjap (
    adjapid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    anprice FLOAT DEFAULT 0, aoprice FLOAT DEFAULT 0,
    PRIMARY KEY (adjapid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_dadjap_adjapid ON dadjap (adjapid);

-- Stocktaking (bill type 14) of store balsid; a line's unitqty is counted minus booked quantity.
CREATE TABLE IF NOT EXISTS balitem (
    balitemid INTEGER PRIMARY KEY,
    balsid INTEGER, subid INTEGER,
    totalamt MONEY DEFAULT 0,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_balitem_date_code ON balitem (billdate, code);

CREATE TABLE IF NOT EXISTS baldetail (
    balitemid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    disc FLOAT DEFAULT 100, taxrate FLOAT DEFAULT 0,
    goodsamt MONEY DEFAULT 0, taxamt MONEY DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), batchrefid INTEGER, produceddate DATETIME, validdate DATETIME,
    refertype INTEGER, referbillid INTEGER, referitemno INTEGER, refercount INTEGER DEFAULT 0,
    ispresent CHAR(1) DEFAULT 'F', memo VARCHAR(64),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    PRIMARY KEY (balitemid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_baldetail_balitemid ON baldetail (balitemid);


-- ============================================================================
-- Cash and account bills
-- ============================================================================

-- Purchase payment (bill type 9). ispp: 0 settle bills, 1 prepayment, 2 settle out of prepayment, 3 other.
-- amount + (factamount + discamount - amount) = factamount + discamount; the prepaid part is computed.
CREATE TABLE IF NOT EXISTS pay (
    payid INTEGER PRIMARY KEY,
    clientid INTEGER, paytypeid INTEGER, bankid INTEGER, amount MONEY DEFAULT 0, disc FLOAT DEFAULT 100,
    discamount MONEY DEFAULT 0, factamount MONEY DEFAULT 0, discsubid INTEGER, checkno VARCHAR(32), ispp INTEGER DEFAULT 0,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_pay_date_code ON pay (billdate, code);

CREATE TABLE IF NOT EXISTS paydetail (
    payid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, refertype INTEGER, referbillid INTEGER, amount MONEY DEFAULT 0,
    refercount INTEGER DEFAULT 0, memo VARCHAR(64), userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    PRIMARY KEY (payid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_paydetail_payid ON paydetail (payid);

-- Sales collection (bill type 5), the mirror of pay with ispc.
CREATE TABLE IF NOT EXISTS charge (
    chargeid INTEGER PRIMARY KEY,
    clientid INTEGER, linkmanid INTEGER, paytypeid INTEGER, bankid INTEGER, amount MONEY DEFAULT 0,
    disc FLOAT DEFAULT 100, discamount MONEY DEFAULT 0, factamount MONEY DEFAULT 0, discsubid INTEGER, checkno VARCHAR(32),
    ispc INTEGER DEFAULT 0,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_charge_date_code ON charge (billdate, code);

CREATE TABLE IF NOT EXISTS chargedetail (
    chargeid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, refertype INTEGER, referbillid INTEGER, amount MONEY DEFAULT 0,
    refercount INTEGER DEFAULT 0, memo VARCHAR(64), userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    PRIMARY KEY (chargeid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_chargedetail_chargeid ON chargedetail (chargeid);

-- Other income (bill type 18) received into bankid; lines split it by income type.
CREATE TABLE IF NOT EXISTS income (
    incomeid INTEGER PRIMARY KEY,
    empid INTEGER, paytypeid INTEGER, bankid INTEGER, checkno VARCHAR(32), amount MONEY DEFAULT 0,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_income_date_code ON income (billdate, code);

CREATE TABLE IF NOT EXISTS incomed (
    incomeid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, ietypeid INTEGER, amount MONEY DEFAULT 0, refercount INTEGER DEFAULT 0,
    memo VARCHAR(64), userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    PRIMARY KEY (incomeid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_incomed_incomeid ON incomed (incomeid);

-- Expense (bill type 17) paid out of bankid, optionally for a trader of the relationship module.
CREATE TABLE IF NOT EXISTS expense (
    expenseid INTEGER PRIMARY KEY,
    empid INTEGER, paytypeid INTEGER, bankid INTEGER, checkno VARCHAR(32), amount MONEY DEFAULT 0,
    traderid INTEGER, linkmanid INTEGER, chanceid INTEGER,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_expense_date_code ON expense (billdate, code);

CREATE TABLE IF NOT EXISTS expensed (
    expenseid INTEGER NOT NULL,
    itemno INTEGER NOT NULL, ietypeid INTEGER, amount MONEY DEFAULT 0, refercount INTEGER DEFAULT 0,
    memo VARCHAR(64), userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    PRIMARY KEY (expenseid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_expensed_expenseid ON expensed (expenseid);

-- Fund transfer (bill type 20) from outbankid to inbankid; no lines.
CREATE TABLE IF NOT EXISTS movemoney (
    moveid INTEGER PRIMARY KEY,
    empid INTEGER, amount MONEY DEFAULT 0, outshopid INTEGER, outbankid INTEGER, inshopid INTEGER,
    inbankid INTEGER, checkno VARCHAR(32),
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_movemoney_date_code ON movemoney (billdate, code);

-- Wage payment (bill type 21) of payroll month labyear/labmonth out of bankid; no lines.
CREATE TABLE IF NOT EXISTS dislaborage (
    id INTEGER PRIMARY KEY,
    labyear INTEGER, labmonth INTEGER, empid INTEGER, paytypeid INTEGER, subid INTEGER, bankid INTEGER,
    checkno VARCHAR(32), amount MONEY DEFAULT 0,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    closed CHAR(1) DEFAULT 'F', finished CHAR(1) DEFAULT 'F', printed BIT DEFAULT 0,
    templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12), sendemail CHAR(1) DEFAULT 'F',
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_dislaborage_date_code ON dislaborage (billdate, code);

-- ============================================================================
-- Point of sale
-- ============================================================================

-- POS sales bill (bill type 23), written by the terminals. returntag 1 sale, 2 return; quantities
-- and amounts are stored unsigned and shown times (1.5 - returntag) * 2. closeid names the POS
-- day-close that covers the sale, and flag turns "T" then.
CREATE TABLE IF NOT EXISTS posbilldate (
    billid INTEGER PRIMARY KEY,
    code VARCHAR(32), billdate DATETIME, billtime DATETIME, shopid INTEGER, storeid INTEGER,
    opid INTEGER, empid INTEGER, machineid INTEGER, classid INTEGER, vipid INTEGER,
    returntag INTEGER DEFAULT 1, amount MONEY DEFAULT 0, closeid INTEGER,
    flag CHAR(1) DEFAULT 'F', sflag INTEGER DEFAULT 0, printed BIT DEFAULT 0,
    referbillid INTEGER, refercount INTEGER DEFAULT 0, templateid INTEGER, rptid INTEGER,
    updatetime DATETIME, memo VARCHAR(255)
);
CREATE INDEX IF NOT EXISTS ix_posbilldate_date_code ON posbilldate (billdate, code);
CREATE INDEX IF NOT EXISTS ix_posbilldate_closeid ON posbilldate (closeid);

-- unitprice and price are the discounted prices; discount is a fraction (1 = none), so the
-- price before discount is unitprice / discount. The lot fields are filled at POS batch
-- assignment: batchrefid is the incoming detailbillflow row of an individually costed lot,
-- referedcode that row's bill code.
CREATE TABLE IF NOT EXISTS posdetail (
    billid INTEGER NOT NULL,
    itemno INTEGER NOT NULL,
    goodsid INTEGER, unitid INTEGER,
    unitqty FLOAT DEFAULT 0, quantity FLOAT DEFAULT 0, unitprice FLOAT DEFAULT 0, price FLOAT DEFAULT 0,
    discount FLOAT DEFAULT 1, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchrefid INTEGER, batchcode VARCHAR(32), produceddate DATETIME, validdate DATETIME,
    referedcode VARCHAR(32), memo VARCHAR(64),
    PRIMARY KEY (billid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_posdetail_billid ON posdetail (billid);
CREATE INDEX IF NOT EXISTS ix_posdetail_batchrefid ON posdetail (batchrefid);

-- Payments of a POS bill: paytypeid 1 cash, 2 cheque, 3 credit card.
CREATE TABLE IF NOT EXISTS moneydetail (
    billid INTEGER NOT NULL,
    itemno INTEGER NOT NULL,
    paytypeid INTEGER, card VARCHAR(32), amount MONEY DEFAULT 0,
    PRIMARY KEY (billid, itemno)
);

-- Rows of a day-close still held back for hiding (sflag) under the "AutoHide" option.
CREATE TABLE IF NOT EXISTS posdetail_tmp (
    billid INTEGER PRIMARY KEY,
    sflag INTEGER DEFAULT 0
);

-- POS day-close (bill type 24): the goods sold in a store on one day, booked out of stock.
CREATE TABLE IF NOT EXISTS posday (
    billid INTEGER PRIMARY KEY,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, storeid INTEGER, clientid INTEGER, opid INTEGER,
    amount MONEY DEFAULT 0,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    printed BIT DEFAULT 0, templateid INTEGER, rptid INTEGER, bsrptid INTEGER, credid VARCHAR(12),
    updatetime DATETIME, memo VARCHAR(255),
    userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);
CREATE INDEX IF NOT EXISTS ix_posday_date_code ON posday (billdate, code);

CREATE TABLE IF NOT EXISTS posdaydetail (
    billid INTEGER NOT NULL,
    itemno INTEGER NOT NULL,
    goodsid INTEGER, saledate DATETIME,
    quantity FLOAT DEFAULT 0, price FLOAT DEFAULT 0, amount MONEY DEFAULT 0, aprice FLOAT DEFAULT 0,
    batchrefid INTEGER, batchcode VARCHAR(32), produceddate DATETIME, validdate DATETIME,
    memo VARCHAR(64), userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
    PRIMARY KEY (billid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_posdaydetail_billid ON posdaydetail (billid);

-- Cashier cash-in / turn-in (bill type 25); no lines. Its select statement adds a constant
-- rptid, so the table has no rptid column of its own.
CREATE TABLE IF NOT EXISTS inoutcash (
    id INTEGER PRIMARY KEY,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER,
    incash MONEY DEFAULT 0, outcash MONEY DEFAULT 0, amount MONEY DEFAULT 0,
    flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0, sflag INTEGER DEFAULT 0,
    printed BIT DEFAULT 0, templateid INTEGER, credid VARCHAR(12), updatetime DATETIME, memo VARCHAR(255)
);
CREATE INDEX IF NOT EXISTS ix_inoutcash_date_code ON inoutcash (billdate, code);

-- Time-limited goods discount (bill type 30) for discshopid / storeid (empty = all), between
-- startdate and enddate, daily from starttime to endtime ("HH:MM").
CREATE TABLE IF NOT EXISTS goodsdiscount (
    goodsdiscountid INTEGER PRIMARY KEY,
    code VARCHAR(32), billdate DATETIME, shopid INTEGER, opid INTEGER, departmentid INTEGER, exemanid INTEGER,
    discshopid INTEGER, storeid INTEGER, startdate DATETIME, enddate DATETIME,
    starttime VARCHAR(5), endtime VARCHAR(5), disc FLOAT DEFAULT 100, ratifierid INTEGER,
    closed CHAR(1) DEFAULT 'F', flag INTEGER DEFAULT 0, referbillid INTEGER, refercount INTEGER DEFAULT 0,
    sflag INTEGER DEFAULT 0, printed BIT DEFAULT 0, templateid INTEGER, rptid INTEGER,
    updatetime DATETIME, memo VARCHAR(255)
);
CREATE INDEX IF NOT EXISTS ix_goodsdiscount_date_code ON goodsdiscount (billdate, code);

-- useflag is the text "是" (in force) or "否".
CREATE TABLE IF NOT EXISTS goodsdiscountdetail (
    goodsdiscountid INTEGER NOT NULL,
    itemno INTEGER NOT NULL,
    goodsid INTEGER, unitid INTEGER,
    unitprice FLOAT DEFAULT 0, sprice FLOAT DEFAULT 0, disprice FLOAT DEFAULT 0, rate FLOAT DEFAULT 100,
    aprice FLOAT DEFAULT 0, useflag VARCHAR(2) DEFAULT '是', memo VARCHAR(64),
    PRIMARY KEY (goodsdiscountid, itemno)
);
CREATE INDEX IF NOT EXISTS ix_goodsdiscountdetail_goodsdiscountid ON goodsdiscountdetail (goodsdiscountid);
CREATE INDEX IF NOT EXISTS ix_goodsdiscountdetail_goods ON goodsdiscountdetail (goodsid, unitid);

-- ============================================================================
-- Stock flow
-- ============================================================================

-- One row per stock movement of a detail line, written by the server's save procedures.
-- billtype is the bill's database type (the DBBillType of the bill profile, e.g. 1 goods receipt,
-- 5 sales return), billid/itemno the line. An incoming row (inqty > 0, batchrefid null) is a
-- stock lot: issues that name it carry its id in batchrefid and raise its refqty, so what is left
-- of the lot is inqty - outqty - refqty (v_DetailBillFlow.leftqty).
CREATE TABLE IF NOT EXISTS detailbillflow (
    id INTEGER PRIMARY KEY,
    billtype INTEGER NOT NULL, billid INTEGER NOT NULL, itemno INTEGER NOT NULL,
    billcode VARCHAR(32), billdate DATETIME, shopid INTEGER, storeid INTEGER,
    goodsid INTEGER, unitid INTEGER,
    inqty FLOAT DEFAULT 0, outqty FLOAT DEFAULT 0, refqty FLOAT DEFAULT 0,
    inprice FLOAT DEFAULT 0, outprice FLOAT DEFAULT 0,
    batchcode VARCHAR(32), produceddate DATETIME, validdate DATETIME, batchrefid INTEGER
);
CREATE INDEX IF NOT EXISTS ix_detailbillflow_line ON detailbillflow (billtype, billid, itemno);
CREATE INDEX IF NOT EXISTS ix_detailbillflow_goods ON detailbillflow (goodsid, storeid);
CREATE INDEX IF NOT EXISTS ix_detailbillflow_batchrefid ON detailbillflow (batchrefid);
