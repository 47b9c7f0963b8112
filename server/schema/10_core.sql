-- Core tables of the accounting database: organisation, people, partners, goods, stock,
-- money accounts, system tables, templates and print styles. Bill tables live in 20_bills.sql.
-- Column types use the data layer's vocabulary (see README.md in this folder).

-- ---------------------------------------------------------------- organisation
CREATE TABLE shop (
  shopid INTEGER PRIMARY KEY,
  code VARCHAR(32) NOT NULL,
  name VARCHAR(64) NOT NULL,
  shortname VARCHAR(32),
  address VARCHAR(128),
  phone VARCHAR(40),
  fax VARCHAR(40),
  linkman VARCHAR(32),
  isheadshop BIT DEFAULT 0,
  closed CHAR(1) DEFAULT 'F',
  memo VARCHAR(255)
);

CREATE TABLE store (
  storeid INTEGER PRIMARY KEY,
  code VARCHAR(32) NOT NULL,
  name VARCHAR(64) NOT NULL,
  shopid INTEGER NOT NULL DEFAULT 0,
  -- operators allowed to bill for the store, each id enclosed in bars: "|1|2|"
  operators VARCHAR(255) DEFAULT '',
  address VARCHAR(128),
  empid INTEGER,
  isdefault BIT DEFAULT 0,
  closed CHAR(1) DEFAULT 'F',
  memo VARCHAR(255)
);

-- department keeps its key twice: bills join on "id", lookups on "departmentid".
CREATE TABLE department (
  id INTEGER PRIMARY KEY,
  departmentid INTEGER NOT NULL,
  code VARCHAR(32) NOT NULL,
  name VARCHAR(64) NOT NULL,
  lcode VARCHAR(40),
  parentid INTEGER DEFAULT 0,
  shopid INTEGER DEFAULT 0,
  closed CHAR(1) DEFAULT 'F',
  memo VARCHAR(255)
);

CREATE TABLE employ (
  empid INTEGER PRIMARY KEY,
  code VARCHAR(32) NOT NULL,
  name VARCHAR(32) NOT NULL,
  pyassist VARCHAR(32),
  departmentid INTEGER,
  department INTEGER,
  shopid INTEGER DEFAULT 0,
  sex VARCHAR(4),
  phone VARCHAR(40),
  mobile VARCHAR(40),
  email VARCHAR(64),
  sign CHAR(1) DEFAULT 'T',
  isoperate CHAR(1) DEFAULT 'T',
  memo VARCHAR(255)
);

CREATE TABLE operator (
  opid INTEGER PRIMARY KEY,
  code VARCHAR(20) NOT NULL,
  opname VARCHAR(40) NOT NULL,
  -- salted Argon2id hash in libsodium's string form; '' until the operator sets a password
  pwhash VARCHAR(128) DEFAULT '',
  issysmanager BIT DEFAULT 0,
  shopid INTEGER DEFAULT 0,
  closed CHAR(1) DEFAULT 'F',
  isuse INTEGER DEFAULT 0,
  empid INTEGER,
  departmentid INTEGER,
  -- bill amount limits; a negative limit means none
  maxsaleamt MONEY DEFAULT -1,
  maxbuyamt MONEY DEFAULT -1,
  email VARCHAR(64),
  memo VARCHAR(255)
);

-- A new database starts with its administrator, who sets a password at the first start.
INSERT INTO operator (opid, code, opname, pwhash, issysmanager, shopid, closed, isuse)
VALUES (1, 'admin', '系统管理员', '', 1, 0, 'F', 0);

-- A row grants one action under one privilege id. Actions: 1 browse, 2 new, 3 edit,
-- 4 delete, 5 special, 6 print, 7 design, 8 red-reverse.
CREATE TABLE operatorright (
  opid INTEGER NOT NULL,
  privilegeid INTEGER NOT NULL,
  action INTEGER NOT NULL,
  PRIMARY KEY (opid, privilegeid, action)
);

-- ---------------------------------------------------------------- partners
CREATE TABLE area (
  areaid INTEGER PRIMARY KEY,
  code VARCHAR(32) NOT NULL,
  name VARCHAR(64) NOT NULL,
  lcode VARCHAR(40) NOT NULL,
  parentid INTEGER DEFAULT 0
);

CREATE TABLE pricelevel (
  levelid INTEGER PRIMARY KEY,
  name VARCHAR(32) NOT NULL
);

-- Clients and vendors. clientkind 1 client, 2 vendor; isdouble 'T' for both.
-- balance is the running account (client: receivable, vendor: payable), suramt the
-- advance received from a client or paid to a vendor.
CREATE TABLE client (
  clientid INTEGER PRIMARY KEY,
  code VARCHAR(32) NOT NULL,
  name VARCHAR(128) NOT NULL,
  shortname VARCHAR(64) NOT NULL,
  pyassist VARCHAR(32),
  clientkind INTEGER NOT NULL DEFAULT 1,
  isdouble CHAR(1) DEFAULT 'F',
  areaid INTEGER,
  address VARCHAR(128),
  zip VARCHAR(10),
  phone VARCHAR(40),
  fax VARCHAR(40),
  email VARCHAR(64),
  msn VARCHAR(64),
  shipto VARCHAR(128),
  contator VARCHAR(32),
  taxid VARCHAR(32),
  bank VARCHAR(64),
  bankid VARCHAR(40),
  credit MONEY DEFAULT 0,
  suramt MONEY DEFAULT 0,
  balance MONEY DEFAULT 0,
  creditdays INTEGER DEFAULT 0,
  pricelevel INTEGER DEFAULT 0,
  empid INTEGER,
  shopid INTEGER DEFAULT 0,
  closed CHAR(1) DEFAULT 'F',
  memo VARCHAR(255),
  updatetime DATETIME
);

CREATE TABLE crm_trader (
  id INTEGER PRIMARY KEY,
  traderid INTEGER NOT NULL,
  name VARCHAR(128),
  tradertype INTEGER DEFAULT 1,
  memo VARCHAR(255)
);

-- Contacts. closed and ismaster are booleans (0/1), unlike the T/F flags elsewhere.
CREATE TABLE crm_linkman (
  id INTEGER PRIMARY KEY,
  traderid INTEGER NOT NULL,
  clientid INTEGER,
  name VARCHAR(32) NOT NULL,
  sex VARCHAR(4),
  position VARCHAR(32),
  phone VARCHAR(40),
  mobile VARCHAR(40),
  fax VARCHAR(40),
  email VARCHAR(64),
  ismaster BIT DEFAULT 0,
  closed BIT DEFAULT 0,
  memo VARCHAR(255)
);

CREATE TABLE crm_affixinfo (
  id INTEGER PRIMARY KEY,
  filename VARCHAR(128),
  pictureext VARCHAR(10),
  picture BLOB
);

-- Sales opportunities, a source of quotations.
CREATE TABLE crm_chance (
  billid INTEGER PRIMARY KEY,
  code VARCHAR(32),
  billdate DATETIME,
  traderid INTEGER,
  clientid INTEGER,
  billstate INTEGER DEFAULT 1,
  statustype INTEGER DEFAULT 1,
  validdays INTEGER DEFAULT 30,
  empid INTEGER,
  opid INTEGER,
  shopid INTEGER DEFAULT 0,
  amount MONEY DEFAULT 0,
  memo VARCHAR(255),
  userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64), userdef4 VARCHAR(64), userdef5 VARCHAR(64)
);

CREATE TABLE crm_chancedetail (
  billid INTEGER NOT NULL,
  itemno INTEGER NOT NULL,
  goodsid INTEGER,
  unitid INTEGER,
  unitqty FLOAT,
  quantity FLOAT,
  unitprice FLOAT,
  price FLOAT,
  disc FLOAT DEFAULT 100,
  taxrate FLOAT DEFAULT 0,
  amount MONEY,
  memo VARCHAR(255),
  userdef1 VARCHAR(64), userdef2 VARCHAR(64), userdef3 VARCHAR(64),
  PRIMARY KEY (billid, itemno)
);

-- ---------------------------------------------------------------- goods
CREATE TABLE goodstype (
  goodstypeid INTEGER PRIMARY KEY,
  code VARCHAR(32) NOT NULL,
  name VARCHAR(64) NOT NULL,
  lcode VARCHAR(40) NOT NULL,
  parentid INTEGER DEFAULT 0,
  levelno INTEGER DEFAULT 1
);

-- kind: 1..3 stock goods (3 = kit, kept out of pure stock bills), 4..6 non-stock goods and
-- services, 7 discount items.
CREATE TABLE goodskind (
  kind INTEGER PRIMARY KEY,
  name VARCHAR(32) NOT NULL
);

CREATE TABLE costingtype (
  inf_costingtypeid INTEGER PRIMARY KEY,
  name VARCHAR(32) NOT NULL
);

CREATE TABLE goods (
  goodsid INTEGER PRIMARY KEY,
  code VARCHAR(32) NOT NULL,
  name VARCHAR(128) NOT NULL,
  shortname VARCHAR(64),
  pyassist VARCHAR(32),
  specs VARCHAR(64),
  unit VARCHAR(16),
  goodstypeid INTEGER,
  kind INTEGER NOT NULL DEFAULT 1,
  inf_costingtypeid INTEGER NOT NULL DEFAULT 1,
  batchctrl CHAR(1) DEFAULT 'F',
  validdates INTEGER DEFAULT 0,
  closed CHAR(1) DEFAULT 'F',
  clientid INTEGER,
  aprice FLOAT DEFAULT 0,
  onhand FLOAT DEFAULT 0,  -- book stock over all stores, kept by the triggers on onhand
  upqty FLOAT DEFAULT 0,
  downqty FLOAT DEFAULT 0,
  taxrate FLOAT DEFAULT 17,
  producer VARCHAR(64),
  affixinfoid INTEGER,
  memo VARCHAR(255),
  goodsuserdef1 VARCHAR(64), goodsuserdef2 VARCHAR(64), goodsuserdef3 VARCHAR(64),
  goodsuserdef4 VARCHAR(64), goodsuserdef5 VARCHAR(64), goodsuserdef6 VARCHAR(64),
  goodsuserdef7 VARCHAR(64), goodsuserdef8 VARCHAR(64), goodsuserdef9 VARCHAR(64),
  goodsuserdef10 VARCHAR(64),
  updatetime DATETIME
);
CREATE UNIQUE INDEX ix_goods_code ON goods(code);

-- Units of a goods item; unitid is unique over all goods. unittype 0 is the base unit
-- (rate 1). Prices are per this unit: pprice reference purchase price, lastpprice last
-- purchase price, sprice retail (level 0), lprice1..5 the wholesale price levels (1..3 used by the client price levels), vipprice
-- member price, minsprice / maxpprice the price-check limits.
CREATE TABLE goodsunit (
  unitid INTEGER PRIMARY KEY,
  goodsid INTEGER NOT NULL,
  unitname VARCHAR(16) NOT NULL,
  rate FLOAT NOT NULL DEFAULT 1,
  unittype INTEGER NOT NULL DEFAULT 1,
  barcode VARCHAR(32),
  weightcode VARCHAR(8),
  pprice FLOAT DEFAULT 0,
  lastpprice FLOAT DEFAULT 0,
  sprice FLOAT DEFAULT 0,
  lprice1 FLOAT,
  lprice2 FLOAT,
  lprice3 FLOAT,
  lprice4 FLOAT,
  lprice5 FLOAT,
  vipprice FLOAT,
  minsprice FLOAT DEFAULT 0,
  maxpprice FLOAT DEFAULT 0
);
CREATE INDEX ix_goodsunit_goods ON goodsunit(goodsid);
CREATE INDEX ix_goodsunit_barcode ON goodsunit(barcode);
CREATE INDEX ix_goodsunit_weightcode ON goodsunit(weightcode);

-- Bill of materials of assembled goods.
CREATE TABLE gcmb (
  goodsid INTEGER NOT NULL,
  itemno INTEGER NOT NULL,
  cmbgoodsid INTEGER NOT NULL,
  cmbunitid INTEGER NOT NULL,
  quantity FLOAT NOT NULL,
  memo VARCHAR(255),
  PRIMARY KEY (goodsid, itemno)
);

-- Goods already traded with a client (cvflag 1) or vendor (cvflag 2): last price and an
-- agreed special price (null when none).
CREATE TABLE gvcprice (
  cvid INTEGER NOT NULL,
  goodsid INTEGER NOT NULL,
  unitid INTEGER NOT NULL,
  cvflag INTEGER NOT NULL,
  lastprice FLOAT,
  lastdate DATETIME,
  spprice FLOAT,
  PRIMARY KEY (cvid, goodsid, unitid)
);

-- ---------------------------------------------------------------- stock
-- Book stock per store in base units; aprice the store's cost per base unit.
CREATE TABLE onhand (
  storeid INTEGER NOT NULL,
  goodsid INTEGER NOT NULL,
  onhand FLOAT NOT NULL DEFAULT 0,
  aprice FLOAT DEFAULT 0,
  amount MONEY DEFAULT 0,
  PRIMARY KEY (storeid, goodsid)
);
-- goods.onhand mirrors the stock of all stores, which the low-stock proposals compare with
-- the goods' limits; triggers keep it whoever writes onhand.
CREATE TRIGGER tr_onhand_ins AFTER INSERT ON onhand BEGIN
  UPDATE goods SET onhand = (SELECT total(onhand) FROM onhand WHERE goodsid = NEW.goodsid) WHERE goodsid = NEW.goodsid;
END;
CREATE TRIGGER tr_onhand_upd AFTER UPDATE OF onhand, goodsid ON onhand BEGIN
  UPDATE goods SET onhand = (SELECT total(onhand) FROM onhand WHERE goodsid = NEW.goodsid) WHERE goodsid = NEW.goodsid;
  UPDATE goods SET onhand = (SELECT total(onhand) FROM onhand WHERE goodsid = OLD.goodsid) WHERE goodsid = OLD.goodsid AND OLD.goodsid <> NEW.goodsid;
END;
CREATE TRIGGER tr_onhand_del AFTER DELETE ON onhand BEGIN
  UPDATE goods SET onhand = (SELECT total(onhand) FROM onhand WHERE goodsid = OLD.goodsid) WHERE goodsid = OLD.goodsid;
END;

-- Accounting vouchers are written by the general ledger; bills only show their numbers.
CREATE TABLE cred (
  credid INTEGER PRIMARY KEY,
  code VARCHAR(32),
  creddate DATETIME,
  credtype INTEGER,
  memo VARCHAR(255)
);

-- Stock per batch code of batch-controlled goods; sums to onhand per store and goods.
CREATE TABLE batchcodeonhand (
  id INTEGER PRIMARY KEY,
  storeid INTEGER NOT NULL,
  goodsid INTEGER NOT NULL,
  batchcode VARCHAR(32) NOT NULL,
  produceddate DATETIME,
  validdate DATETIME,
  onhand FLOAT NOT NULL DEFAULT 0,
  aprice FLOAT DEFAULT 0
);
CREATE UNIQUE INDEX ix_batchcodeonhand ON batchcodeonhand(storeid, goodsid, batchcode);

-- Stock-change types of the other-stock-movement bill.
CREATE TABLE sat (
  satid INTEGER PRIMARY KEY,
  code VARCHAR(32),
  name VARCHAR(64) NOT NULL,
  isin CHAR(1) NOT NULL DEFAULT 'T',
  needback CHAR(1) DEFAULT 'F',
  subid INTEGER,
  closed CHAR(1) DEFAULT 'F'
);

-- ---------------------------------------------------------------- money
CREATE TABLE subject (
  subid INTEGER PRIMARY KEY,
  subcode VARCHAR(32) NOT NULL,
  name VARCHAR(64) NOT NULL,
  fullname VARCHAR(128),
  parentid INTEGER DEFAULT 0,
  subkind INTEGER DEFAULT 1,
  direction INTEGER DEFAULT 1,
  detailflag CHAR(1) DEFAULT 'T',
  specialcode INTEGER,
  closed CHAR(1) DEFAULT 'F'
);

-- Cash and bank accounts.
CREATE TABLE bank (
  bankid INTEGER PRIMARY KEY,
  code VARCHAR(32) NOT NULL,
  name VARCHAR(64) NOT NULL,
  bankname VARCHAR(64),
  accountno VARCHAR(40),
  shopid INTEGER DEFAULT 0,
  subid INTEGER,
  balance MONEY DEFAULT 0,
  closed CHAR(1) DEFAULT 'F'
);

CREATE TABLE paytype (
  paytypeid INTEGER PRIMARY KEY,
  code VARCHAR(32),
  name VARCHAR(64) NOT NULL,
  bankid INTEGER,
  closed CHAR(1) DEFAULT 'F'
);

-- Income (iekind 1) and expense (iekind 2) types, a tree by level code.
CREATE TABLE ietype (
  ietypeid INTEGER PRIMARY KEY,
  code VARCHAR(32) NOT NULL,
  name VARCHAR(64) NOT NULL,
  lcode VARCHAR(40) NOT NULL,
  parentid INTEGER DEFAULT 0,
  iekind INTEGER NOT NULL,
  subid INTEGER,
  closed CHAR(1) DEFAULT 'F'
);

-- Invoice kinds of bills (billtypeid on masters): 1 none, 2 ordinary, 3 VAT invoice.
CREATE TABLE billtype (
  billtypeid INTEGER PRIMARY KEY,
  name VARCHAR(32) NOT NULL
);

-- Bill names by bill type. The column list is read with "select *" in unions of eight
-- columns: keep exactly these columns in this order.
CREATE TABLE billname (
  billtypeid INTEGER PRIMARY KEY,
  name VARCHAR(32) NOT NULL,
  surcode VARCHAR(8),
  code VARCHAR(8),
  mode VARCHAR(8),
  sepa VARCHAR(4),
  demo VARCHAR(64),
  tablename VARCHAR(32)
);

CREATE TABLE delivertype (
  delivertypeid INTEGER PRIMARY KEY,
  name VARCHAR(32) NOT NULL
);

CREATE TABLE deputesettlementtype (
  settlementtype INTEGER PRIMARY KEY,
  name VARCHAR(32) NOT NULL
);

-- Payment and collection kinds (ispp / ispc on payment bills).
CREATE TABLE paykind (
  id INTEGER PRIMARY KEY,
  name VARCHAR(32) NOT NULL,
  cname VARCHAR(32)
);

-- Payroll computed by the host; wage payments pay out actualpay.
CREATE TABLE laborage (
  id INTEGER PRIMARY KEY,
  yearnum INTEGER NOT NULL,
  monthnum INTEGER NOT NULL,
  empid INTEGER NOT NULL,
  basepay MONEY DEFAULT 0,
  bonus MONEY DEFAULT 0,
  deduct MONEY DEFAULT 0,
  actualpay MONEY DEFAULT 0
);

-- ---------------------------------------------------------------- point of sale
CREATE TABLE machine (
  machineid INTEGER PRIMARY KEY,
  code VARCHAR(32),
  name VARCHAR(64) NOT NULL,
  shopid INTEGER DEFAULT 0,
  storeid INTEGER,
  closed CHAR(1) DEFAULT 'F'
);

CREATE TABLE class (
  classid INTEGER PRIMARY KEY,
  classname VARCHAR(32) NOT NULL,
  begintime VARCHAR(5),
  endtime VARCHAR(5)
);

CREATE TABLE vip (
  vipid INTEGER PRIMARY KEY,
  code VARCHAR(32) NOT NULL,
  name VARCHAR(32),
  phone VARCHAR(40),
  discount FLOAT DEFAULT 100,
  balance MONEY DEFAULT 0,
  integral FLOAT DEFAULT 0,
  createdate DATETIME,
  closed CHAR(1) DEFAULT 'F'
);

-- Opening difference of each cashier's cash account.
CREATE TABLE inoutcashinit (
  opid INTEGER PRIMARY KEY,
  defference MONEY DEFAULT 0
);

-- ---------------------------------------------------------------- messaging and approval
CREATE TABLE msnmodel (
  id INTEGER PRIMARY KEY,
  name VARCHAR(32) NOT NULL,
  content TEXT
);

CREATE TABLE msnmessage (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  billdate DATETIME,
  billtype INTEGER,
  billid INTEGER,
  billcode VARCHAR(32),
  clientid INTEGER,
  empid INTEGER,
  msn VARCHAR(64),
  message TEXT,
  opid INTEGER,
  createdate VARCHAR(10),
  sendok BIT DEFAULT 0
);

CREATE TABLE oa_billflow (
  id INTEGER PRIMARY KEY,
  billtype INTEGER NOT NULL,
  templateid INTEGER NOT NULL,
  name VARCHAR(64)
);

CREATE TABLE oa_billarchives (
  id INTEGER PRIMARY KEY,
  billtype INTEGER NOT NULL,
  billid INTEGER NOT NULL,
  billcode VARCHAR(32),
  referarchid INTEGER,
  createarchid INTEGER,
  createdate DATETIME
);

-- Remembered free texts of user-defined fields (kind 10001.. per field).
CREATE TABLE am_kind (
  id INTEGER PRIMARY KEY,
  kind INTEGER NOT NULL,
  name VARCHAR(255) NOT NULL,
  kindname VARCHAR(64)
);

-- ---------------------------------------------------------------- bill windows and print styles
-- WINDOWID of a bill window is the bill type of its form; TEMPLATE.WindowName holds the
-- form name.
CREATE TABLE FIELDINFO (
  WINDOWID INTEGER NOT NULL,
  ITEMID INTEGER NOT NULL,
  LANGUAGEID INTEGER DEFAULT 1,
  TABLETYPE INTEGER NOT NULL,
  DATAFIELD VARCHAR(40) NOT NULL,
  DEFAULTNAME VARCHAR(40),
  PBSTYPE INTEGER DEFAULT 0,
  ATTRIBE INTEGER DEFAULT 0,
  ALWAYSDISPLAY CHAR(1) DEFAULT 'F',
  ALWAYSPRINT CHAR(1) DEFAULT 'F',
  VISIBLE CHAR(1) DEFAULT 'T',
  Serial INTEGER,
  WIDTH INTEGER DEFAULT 80,
  LISTDATASETNAME VARCHAR(40),
  LISTFIELD VARCHAR(40),
  LISTDATAFIELD VARCHAR(80),
  DROPDOWNFILTER VARCHAR(255),
  SUBTYPE INTEGER DEFAULT 1,
  KEYFIELD VARCHAR(40),
  TAG INTEGER DEFAULT 0,
  HELPID INTEGER DEFAULT 0,
  PRIMARY KEY (WINDOWID, ITEMID)
);

CREATE TABLE TEMPLATE (
  WINDOWID INTEGER NOT NULL,
  TEMPLATEID INTEGER NOT NULL,
  TEMPLATENAME VARCHAR(64),
  WindowName VARCHAR(64),
  IsSystem BIT DEFAULT 0,
  OPId INTEGER,
  BillTypeID INTEGER,
  TempColorSetID INTEGER DEFAULT 0,
  RptID INTEGER,
  UPFLAG INTEGER DEFAULT 0,
  PRIMARY KEY (WINDOWID, TEMPLATEID)
);

CREATE TABLE TEMPLATED (
  WINDOWID INTEGER NOT NULL,
  TEMPLATEID INTEGER NOT NULL,
  ITEMID INTEGER NOT NULL,
  BPRINT CHAR(1) DEFAULT 'T',
  BDISPLAY CHAR(1) DEFAULT 'T',
  DISPLAYNAME VARCHAR(40),
  Serial INTEGER,
  WIDTH INTEGER DEFAULT 80,
  PRIMARY KEY (WINDOWID, TEMPLATEID, ITEMID)
);

CREATE TABLE report (
  rptid INTEGER PRIMARY KEY,
  rpttype INTEGER NOT NULL,
  rptname VARCHAR(64) NOT NULL,
  data BLOB,
  reportname VARCHAR(64),
  languageid INTEGER DEFAULT 1
);
CREATE INDEX ix_report_type ON report(rpttype);

-- ---------------------------------------------------------------- account set
CREATE TABLE accoption (
  optionkey VARCHAR(60) PRIMARY KEY,
  optionvalue VARCHAR(255),
  optionid INTEGER,
  memo VARCHAR(255)
);

-- Company data of the account set, one row.
CREATE TABLE accinfo (
  id INTEGER PRIMARY KEY,
  accname VARCHAR(64),
  name VARCHAR(128),
  companyname VARCHAR(128),
  taxnumber VARCHAR(32),
  address VARCHAR(128),
  phone VARCHAR(40),
  fax VARCHAR(40),
  zip VARCHAR(10),
  email VARCHAR(64),
  bank VARCHAR(64),
  accounts VARCHAR(40),
  startdate DATETIME,
  bindledger BIT DEFAULT 0,
  keepsubject BIT DEFAULT 1,
  useshop BIT DEFAULT 1
);

-- Working periods. iscurrent marks the current inventory period, acccurrent the current
-- accounting period; closed 'T' once the period is closed.
CREATE TABLE accperiod (
  periodid INTEGER PRIMARY KEY,
  year INTEGER NOT NULL,
  month INTEGER NOT NULL,
  startdate DATETIME NOT NULL,
  enddate DATETIME NOT NULL,
  iscurrent BIT DEFAULT 0,
  acccurrent BIT DEFAULT 0,
  closed CHAR(1) DEFAULT 'F'
);

-- Last key handed out per table and field (the key generator).
CREATE TABLE sys_keyvalue (
  tablename VARCHAR(60) NOT NULL,
  fieldname VARCHAR(60) NOT NULL,
  keyvalue INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY (tablename, fieldname)
);
