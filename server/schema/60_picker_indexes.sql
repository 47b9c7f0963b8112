-- Indexes the goods and partner pickers read through.
-- The stock of one goods item over its stores (onhand is keyed by store first).
CREATE INDEX IF NOT EXISTS ix_onhand_goods ON onhand(goodsid, storeid);
-- Partners listed in code order, a page at a time.
CREATE INDEX IF NOT EXISTS ix_client_code ON client(code);
-- The goods a partner traded before is read by partner (the key starts with cvid); the
-- goods of one type are found through the type's level code.
CREATE INDEX IF NOT EXISTS ix_goodstype_lcode ON goodstype(lcode);
