-- Bookkeeping of the server procedures themselves.

-- New-bill requests already answered. A client names each new bill it sends with a request id
-- of its own choosing and keeps it until an answer arrives; a request sent again (the answer
-- was lost on the way) gets the first answer instead of a second bill.
CREATE TABLE IF NOT EXISTS sys_request (
  requestid VARCHAR(64) PRIMARY KEY,
  billtype INTEGER NOT NULL,
  billid INTEGER NOT NULL,
  billcode VARCHAR(32),
  opid INTEGER,
  createtime DATETIME NOT NULL
);
CREATE INDEX IF NOT EXISTS ix_sys_request_createtime ON sys_request (createtime);
