-- Views over the core tables. Views over bill tables live in 40_bill_views.sql.

-- Clients (and partners that are both); oweamt is what the client owes.
CREATE VIEW v_client AS
  SELECT c.*, c.balance - c.suramt AS oweamt
  FROM client c
  WHERE c.clientkind = 1 OR c.isdouble = 'T';

-- Vendors (and partners that are both); oweamt is what is owed to the vendor.
CREATE VIEW v_vendor AS
  SELECT c.*, c.balance - c.suramt AS oweamt
  FROM client c
  WHERE c.clientkind = 2 OR c.isdouble = 'T';

-- Options by number, for the statements that read them that way.
CREATE VIEW accoptions AS
  SELECT optionid, optionkey, optionvalue FROM accoption WHERE optionid IS NOT NULL;

-- Goods with their base unit.
CREATE VIEW v_goods AS
  SELECT g.*, bu.unitid AS baseunitid, bu.unitname AS baseunit, bu.barcode AS barcode,
         gt.name AS goodstypename, gt.lcode AS goodstypelcode
  FROM goods g
  LEFT JOIN goodsunit bu ON bu.goodsid = g.goodsid AND bu.unittype = 0
  LEFT JOIN goodstype gt ON gt.goodstypeid = g.goodstypeid;

-- Stock per goods over all stores, and per shop.
CREATE VIEW v_onhandgoods AS
  SELECT goodsid, SUM(onhand) AS onhand, SUM(amount) AS amount
  FROM onhand GROUP BY goodsid;

CREATE VIEW v_onhandshop AS
  SELECT s.shopid, o.goodsid, SUM(o.onhand) AS onhand, SUM(o.amount) AS amount
  FROM onhand o JOIN store s ON s.storeid = o.storeid
  GROUP BY s.shopid, o.goodsid;

-- Contacts with the client they belong to.
CREATE VIEW v_linkman AS
  SELECT l.*, t.traderid AS traderclientid, c.shortname AS clientname
  FROM crm_linkman l
  LEFT JOIN crm_trader t ON t.id = l.traderid
  LEFT JOIN client c ON c.clientid = t.traderid;

-- The current inventory period.
CREATE VIEW v_curperiod AS
  SELECT * FROM accperiod WHERE iscurrent = 1;
