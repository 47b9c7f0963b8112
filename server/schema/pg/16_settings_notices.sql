-- What the sessions of an application server keep between calls (an operator's rights, the
-- bill kinds, the account options) is read again after any change to these tables, whoever
-- makes it: another server on the same database, or a manager at psql. The change is told to
-- every listening session when it commits ("tb_settings"); one rolled back tells nothing.
-- Run by each server as it starts, so that a database made before has it too.
CREATE OR REPLACE FUNCTION tb_settings_changed() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  PERFORM pg_notify('tb_settings', TG_TABLE_NAME);
  RETURN NULL;
END $$;
CREATE OR REPLACE TRIGGER tb_settings_operator AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON operator
  FOR EACH STATEMENT EXECUTE FUNCTION tb_settings_changed();
CREATE OR REPLACE TRIGGER tb_settings_operatorright AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON operatorright
  FOR EACH STATEMENT EXECUTE FUNCTION tb_settings_changed();
CREATE OR REPLACE TRIGGER tb_settings_billkind AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON billkind
  FOR EACH STATEMENT EXECUTE FUNCTION tb_settings_changed();
CREATE OR REPLACE TRIGGER tb_settings_accoption AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON accoption
  FOR EACH STATEMENT EXECUTE FUNCTION tb_settings_changed();
