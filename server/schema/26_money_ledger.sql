-- The money ledger: what each bill kind does to partner accounts and money accounts, and one row
-- per posting a saved bill made.
--
-- The effect columns of billkind are written from the money effects of the bill profiles
-- (server/BillProfiles.cpp) with the other billkind columns. Each amount is an SQL expression
-- over the bill's own master row; NULL or sign 0 means no effect.
--
--   balsign, balamount     added to client.balance of the bill's clientid (the partner's running
--                          account: what a client owes, what a vendor is owed)
--   sursign, suramount     added to client.suramt (the advance)
--   banksign, bankfield, bankamount
--                          added to bank.balance of the account the master column bankfield names
--   bankinfield            a transfer: this master column names the account that takes what the
--                          bankfield account gives
--
-- Amounts are seen from the bill's side; a partner of the other kind (a vendor on a sales bill, a
-- client on a purchase bill) is booked with the opposite sign, so that its balance keeps the
-- meaning of its own kind.
ALTER TABLE billkind ADD COLUMN balsign INTEGER NOT NULL DEFAULT 0;
ALTER TABLE billkind ADD COLUMN balamount VARCHAR(200);
ALTER TABLE billkind ADD COLUMN sursign INTEGER NOT NULL DEFAULT 0;
ALTER TABLE billkind ADD COLUMN suramount VARCHAR(200);
ALTER TABLE billkind ADD COLUMN banksign INTEGER NOT NULL DEFAULT 0;
ALTER TABLE billkind ADD COLUMN bankfield VARCHAR(40);
ALTER TABLE billkind ADD COLUMN bankamount VARCHAR(200);
ALTER TABLE billkind ADD COLUMN bankinfield VARCHAR(40);

-- One posting of one bill: a change of a partner's balance and advance (clientid set) or of a
-- money account's balance (bankid set). billtype is the bill type of the form. A deleted or
-- edited bill takes its rows back; a red bill posts the opposite of the rows of the bill it
-- reverses. Every client.balance, client.suramt and bank.balance is its opening figure plus the
-- sum of its rows here.
CREATE TABLE IF NOT EXISTS moneyflow (
    id INTEGER PRIMARY KEY,
    billtype INTEGER NOT NULL,
    billid INTEGER NOT NULL,
    billcode VARCHAR(32),
    billdate DATETIME,
    clientid INTEGER,
    bankid INTEGER,
    balance MONEY NOT NULL DEFAULT 0,
    suramt MONEY NOT NULL DEFAULT 0,
    bankamt MONEY NOT NULL DEFAULT 0
);
CREATE INDEX IF NOT EXISTS ix_moneyflow_bill ON moneyflow (billtype, billid);
