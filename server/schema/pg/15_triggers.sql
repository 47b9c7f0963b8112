-- goods.onhand mirrors the stock of all stores, whoever writes onhand.
CREATE OR REPLACE FUNCTION tr_onhand_sync() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  IF TG_OP IN ('INSERT', 'UPDATE') THEN
    UPDATE goods SET onhand = (SELECT coalesce(sum(onhand), 0) FROM onhand WHERE goodsid = NEW.goodsid)
      WHERE goodsid = NEW.goodsid;
  END IF;
  IF TG_OP = 'DELETE' OR (TG_OP = 'UPDATE' AND OLD.goodsid <> NEW.goodsid) THEN
    UPDATE goods SET onhand = (SELECT coalesce(sum(onhand), 0) FROM onhand WHERE goodsid = OLD.goodsid)
      WHERE goodsid = OLD.goodsid;
  END IF;
  RETURN NULL;
END $$;
CREATE TRIGGER tr_onhand_ins AFTER INSERT ON onhand FOR EACH ROW EXECUTE FUNCTION tr_onhand_sync();
CREATE TRIGGER tr_onhand_upd AFTER UPDATE OF onhand, goodsid ON onhand FOR EACH ROW EXECUTE FUNCTION tr_onhand_sync();
CREATE TRIGGER tr_onhand_del AFTER DELETE ON onhand FOR EACH ROW EXECUTE FUNCTION tr_onhand_sync();

-- Run after every script of the folder above, so the place for what PostgreSQL alone needs
-- of the tables: where the database sorts by a locale rather than byte by byte, a plain btree
-- index serves no LIKE prefix, and the bill code indexes (70_bill_code_indexes.sql) get a
-- pattern twin for the save's "max(code) ... where code like 'yyyyMMdd-SS-%'".
DO $$
DECLARE r record;
BEGIN
  IF (SELECT datcollate FROM pg_database WHERE datname = current_database()) IN ('C', 'POSIX') THEN
    RETURN;
  END IF;
  FOR r IN SELECT i.relname AS ix, t.relname AS tab
           FROM pg_index x JOIN pg_class i ON i.oid = x.indexrelid JOIN pg_class t ON t.oid = x.indrelid
           JOIN pg_namespace n ON n.oid = t.relnamespace
           WHERE n.nspname = current_schema() AND i.relname = 'ix_' || t.relname || '_code'
             AND EXISTS (SELECT 1 FROM pg_attribute a WHERE a.attrelid = t.oid AND a.attname = 'billdate') LOOP
    EXECUTE format('CREATE INDEX IF NOT EXISTS %I ON %I (code varchar_pattern_ops)', r.ix || '_prefix', r.tab);
  END LOOP;
END $$;
