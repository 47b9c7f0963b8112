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
