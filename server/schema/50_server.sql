-- Bookkeeping of the server procedures themselves.

-- Last sequence number handed out per master table, branch and bill date, so that
-- codes stay unique and increasing even while several forms hold unsaved bills.
CREATE TABLE IF NOT EXISTS sys_billcode (
  masttable VARCHAR(40) NOT NULL,
  shopid INTEGER NOT NULL,
  billdate VARCHAR(10) NOT NULL,
  lastno INTEGER NOT NULL,
  PRIMARY KEY (masttable, shopid, billdate)
);
