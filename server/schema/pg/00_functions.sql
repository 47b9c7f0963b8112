SET check_function_bodies = off;
-- Functions the system's SQL calls, for PostgreSQL (SQLite gets them registered by the
-- connection). Dates are timestamps here; the dialect's date part comes as text ('day').

CREATE OR REPLACE FUNCTION tb_datepart_name(part text) RETURNS text LANGUAGE sql IMMUTABLE AS $$
  SELECT CASE lower(part)
    WHEN 'yy' THEN 'year' WHEN 'yyyy' THEN 'year'
    WHEN 'qq' THEN 'quarter' WHEN 'q' THEN 'quarter'
    WHEN 'mm' THEN 'month' WHEN 'm' THEN 'month'
    WHEN 'dy' THEN 'dayofyear' WHEN 'y' THEN 'dayofyear'
    WHEN 'dd' THEN 'day' WHEN 'd' THEN 'day'
    WHEN 'wk' THEN 'week' WHEN 'ww' THEN 'week'
    WHEN 'dw' THEN 'weekday' WHEN 'w' THEN 'weekday'
    WHEN 'hh' THEN 'hour' WHEN 'mi' THEN 'minute' WHEN 'n' THEN 'minute'
    WHEN 'ss' THEN 'second' WHEN 's' THEN 'second' WHEN 'ms' THEN 'millisecond'
    ELSE lower(part) END
$$;

CREATE OR REPLACE FUNCTION dateadd(part text, n numeric, d timestamp) RETURNS timestamp
LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
  p text := tb_datepart_name(part);
  whole integer := trunc(n);
BEGIN
  IF n IS NULL OR d IS NULL THEN RETURN NULL; END IF;
  CASE p
    WHEN 'year' THEN RETURN d + make_interval(years => whole);
    WHEN 'quarter' THEN RETURN d + make_interval(months => whole * 3);
    WHEN 'month' THEN RETURN d + make_interval(months => whole);
    WHEN 'week' THEN RETURN d + make_interval(days => whole * 7);
    -- a fractional day count (date + 0.5) moves the time of day
    WHEN 'day', 'dayofyear', 'weekday' THEN RETURN d + n * interval '1 day';
    WHEN 'hour' THEN RETURN d + make_interval(hours => whole);
    WHEN 'minute' THEN RETURN d + make_interval(mins => whole);
    WHEN 'second' THEN RETURN d + make_interval(secs => whole);
    WHEN 'millisecond' THEN RETURN d + whole * interval '1 millisecond';
    ELSE RAISE EXCEPTION 'dateadd: unknown date part %', part;
  END CASE;
END $$;

-- Counts the boundaries of the part crossed from a to b.
CREATE OR REPLACE FUNCTION datediff(part text, a timestamp, b timestamp) RETURNS bigint
LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
  p text := tb_datepart_name(part);
  days bigint;
BEGIN
  IF a IS NULL OR b IS NULL THEN RETURN NULL; END IF;
  days := b::date - a::date;
  CASE p
    WHEN 'year' THEN RETURN extract(year FROM b) - extract(year FROM a);
    WHEN 'quarter' THEN RETURN (extract(year FROM b) - extract(year FROM a)) * 4
                               + (extract(quarter FROM b) - extract(quarter FROM a));
    WHEN 'month' THEN RETURN (extract(year FROM b) - extract(year FROM a)) * 12
                             + (extract(month FROM b) - extract(month FROM a));
    WHEN 'day', 'dayofyear', 'weekday' THEN RETURN days;
    -- weeks start on Sunday
    WHEN 'week' THEN RETURN ((b::date - extract(dow FROM b)::int) - (a::date - extract(dow FROM a)::int)) / 7;
    WHEN 'hour' THEN RETURN days * 24 + extract(hour FROM b) - extract(hour FROM a);
    WHEN 'minute' THEN RETURN days * 1440 + (extract(hour FROM b) * 60 + extract(minute FROM b))
                              - (extract(hour FROM a) * 60 + extract(minute FROM a));
    WHEN 'second' THEN RETURN floor(extract(epoch FROM b - a));
    WHEN 'millisecond' THEN RETURN floor(extract(epoch FROM b - a) * 1000);
    ELSE RAISE EXCEPTION 'datediff: unknown date part %', part;
  END CASE;
END $$;

CREATE OR REPLACE FUNCTION datepart(part text, d timestamp) RETURNS integer
LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
  p text := tb_datepart_name(part);
BEGIN
  IF d IS NULL THEN RETURN NULL; END IF;
  CASE p
    WHEN 'year' THEN RETURN extract(year FROM d);
    WHEN 'quarter' THEN RETURN extract(quarter FROM d);
    WHEN 'month' THEN RETURN extract(month FROM d);
    WHEN 'dayofyear' THEN RETURN extract(doy FROM d);
    WHEN 'day' THEN RETURN extract(day FROM d);
    WHEN 'week' THEN RETURN (extract(doy FROM d)::int + extract(dow FROM date_trunc('year', d))::int - 1) / 7 + 1;
    WHEN 'weekday' THEN RETURN extract(dow FROM d) + 1; -- Sunday = 1
    WHEN 'hour' THEN RETURN extract(hour FROM d);
    WHEN 'minute' THEN RETURN extract(minute FROM d);
    WHEN 'second' THEN RETURN floor(extract(second FROM d));
    WHEN 'millisecond' THEN RETURN floor(extract(milliseconds FROM d))::int % 1000;
    ELSE RAISE EXCEPTION 'datepart: unknown date part %', part;
  END CASE;
END $$;

CREATE OR REPLACE FUNCTION year(d timestamp) RETURNS integer LANGUAGE sql IMMUTABLE AS $$ SELECT extract(year FROM d)::int $$;
CREATE OR REPLACE FUNCTION month(d timestamp) RETURNS integer LANGUAGE sql IMMUTABLE AS $$ SELECT extract(month FROM d)::int $$;
CREATE OR REPLACE FUNCTION day(d timestamp) RETURNS integer LANGUAGE sql IMMUTABLE AS $$ SELECT extract(day FROM d)::int $$;

-- Trailing blanks do not count.
CREATE OR REPLACE FUNCTION len(s text) RETURNS integer LANGUAGE sql IMMUTABLE AS $$ SELECT length(rtrim(s, ' ')) $$;
CREATE OR REPLACE FUNCTION len(n numeric) RETURNS integer LANGUAGE sql IMMUTABLE AS $$ SELECT length(n::text) $$;

CREATE OR REPLACE FUNCTION charindex(needle text, hay text, start integer DEFAULT 1) RETURNS integer
LANGUAGE sql IMMUTABLE AS $$
  SELECT CASE WHEN needle IS NULL OR hay IS NULL THEN NULL
              WHEN needle = '' THEN 0
              ELSE coalesce(nullif(position(lower(needle) IN lower(substr(hay, greatest(start, 1)))), 0)
                            + greatest(start, 1) - 1, 0) END
$$;

CREATE OR REPLACE FUNCTION tb_str(n numeric, width integer DEFAULT 10, decimals integer DEFAULT 0) RETURNS text
LANGUAGE sql IMMUTABLE AS $$
  SELECT CASE WHEN length(round(n, decimals)::text) > width THEN repeat('*', width)
              ELSE lpad(trim(to_char(round(n, decimals), 'FM999999999999990' || CASE WHEN decimals > 0 THEN '.' || repeat('0', decimals) ELSE '' END)), width) END
$$;

CREATE OR REPLACE FUNCTION fn_truncatecurrency(n numeric) RETURNS numeric LANGUAGE sql IMMUTABLE AS $$ SELECT round(n, 2) $$;

CREATE OR REPLACE FUNCTION getrefercredidcode(id integer) RETURNS text LANGUAGE plpgsql STABLE AS $$
DECLARE r text;
BEGIN
  SELECT code INTO r FROM cred WHERE credid = id;
  RETURN r;
END $$;

-- The code of the bill a line was taken from, found by the source's bill type and id
-- (type 100 is an accounting voucher). STRICT: the bill's line select calls it on every line,
-- and most lines come from no other bill; for them the call is not even made.
CREATE OR REPLACE FUNCTION getreferbillcode(billtype integer, id integer) RETURNS text LANGUAGE plpgsql STABLE STRICT AS $$
DECLARE
  t text; k text; r text;
BEGIN
  IF billtype IS NULL OR id IS NULL THEN RETURN NULL; END IF;
  IF billtype = 100 THEN RETURN getrefercredidcode(id); END IF;
  SELECT x.t, x.k INTO t, k FROM (VALUES
    (1, 'sorder', 'sorderid'), (2, 'invoice', 'invoiceid'), (3, 'csale', 'csaleid'), (4, 'sreturn', 'returnid'),
    (5, 'charge', 'chargeid'), (6, 'porder', 'orderid'), (7, 'recieved', 'recievedid'), (8, 'preturn', 'preturnid'),
    (9, 'pay', 'payid'), (10, 'drawitem', 'drawitemid'), (11, 'backdraw', 'backdrawid'), (12, 'inproduct', 'inproductid'),
    (13, 'allot', 'allotid'), (14, 'balitem', 'balitemid'), (15, 'inout', 'inoutid'), (16, 'combin', 'combinid'),
    (17, 'expense', 'expenseid'), (18, 'income', 'incomeid'), (19, 'adjap', 'adjapid'), (20, 'movemoney', 'moveid'),
    (21, 'dislaborage', 'id'), (22, 'valuedrcvd', 'billid'), (23, 'posbilldate', 'billid'), (24, 'posday', 'billid'),
    (25, 'inoutcash', 'id'), (26, 'crecieved', 'crecievedid'), (27, 'deputesale', 'deputesaleid'),
    (28, 'deputesettlement', 'deputesettlementid'), (29, 'deputesaleinit', 'deputesaleinitid'),
    (30, 'goodsdiscount', 'goodsdiscountid'), (40, 'valuedrcvd', 'billid'), (41, 'askdeliver', 'askid'),
    (42, 'deliver', 'deliverid'), (43, 'purchaseapp', 'purchaseappid'), (44, 'quotation', 'quotationid')
  ) AS x(bt, t, k) WHERE x.bt = billtype;
  IF t IS NULL OR to_regclass(t) IS NULL THEN RETURN NULL; END IF;
  EXECUTE format('SELECT code::text FROM %I WHERE %I = $1', t, k) INTO r USING id;
  RETURN r;
END $$;

CREATE OR REPLACE FUNCTION getdetailbillflowid(bt integer, bid integer, item integer) RETURNS integer
LANGUAGE sql STABLE AS $$
  SELECT id FROM detailbillflow WHERE billtype = bt AND billid = bid AND itemno = item ORDER BY id LIMIT 1
$$;

-- The special code of the first-level subject above a subject: the subject whose code is the
-- shortest prefix of the subject's own code.
CREATE OR REPLACE FUNCTION fn_getsc1specialcode(sid integer) RETURNS text LANGUAGE sql STABLE AS $$
  SELECT p.specialcode::text FROM subject s JOIN subject p ON substr(s.subcode, 1, length(p.subcode)) = p.subcode
  WHERE s.subid = sid ORDER BY length(p.subcode) LIMIT 1
$$;

-- One above the largest value of a table's key column (the named column, or its primary key).
CREATE OR REPLACE FUNCTION getkeyvalue(tablename text, field text DEFAULT NULL) RETURNS bigint
LANGUAGE plpgsql STABLE AS $$
DECLARE
  col text := field;
  r bigint;
BEGIN
  IF col IS NULL OR col = '' THEN
    SELECT a.attname INTO col FROM pg_index i
      JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = ANY (i.indkey)
      WHERE i.indrelid = lower(tablename)::regclass AND i.indisprimary LIMIT 1;
  END IF;
  IF col IS NULL THEN RAISE EXCEPTION 'getkeyvalue: the table has no key column'; END IF;
  EXECUTE format('SELECT coalesce(max(%I), 0) + 1 FROM %I', lower(col), lower(tablename)) INTO r;
  RETURN r;
END $$;

-- Bills keep the voucher id and some source ids as text; a text that is no number finds nothing.
CREATE OR REPLACE FUNCTION tb_int_or_null(t text) RETURNS integer LANGUAGE sql IMMUTABLE AS $$
  SELECT CASE WHEN trim(t) ~ '^-?[0-9]{1,9}$' THEN trim(t)::integer END
$$;
CREATE OR REPLACE FUNCTION getrefercredidcode(id text) RETURNS text LANGUAGE sql STABLE AS $$
  SELECT getrefercredidcode(tb_int_or_null(id))
$$;
CREATE OR REPLACE FUNCTION getreferbillcode(billtype integer, id text) RETURNS text LANGUAGE sql STABLE AS $$
  SELECT getreferbillcode(billtype, tb_int_or_null(id))
$$;

-- Amounts computed in floating point (quantities are double precision) round as numbers do.
CREATE OR REPLACE FUNCTION fn_truncatecurrency(n double precision) RETURNS numeric LANGUAGE sql IMMUTABLE AS $$ SELECT round(n::numeric, 2) $$;
CREATE OR REPLACE FUNCTION round(n double precision, places integer) RETURNS numeric LANGUAGE sql IMMUTABLE AS $$ SELECT round(n::numeric, places) $$;

-- Server code written for both engines reads these SQLite names.
CREATE OR REPLACE FUNCTION ifnull(a anycompatible, b anycompatible) RETURNS anycompatible LANGUAGE sql IMMUTABLE AS $$ SELECT coalesce(a, b) $$;

-- The columns of a table or view: name, declared type, and 1 for the primary key's columns.
-- The types the schema translated read back as it declares them, for the code that classes
-- values by their declared type (money rounded as money, dates as dates).
CREATE OR REPLACE FUNCTION pragma_table_info(t text) RETURNS TABLE (name text, type text, pk integer)
LANGUAGE sql STABLE AS $$
  SELECT a.attname::text,
         CASE WHEN a.atttypid = 'numeric'::regtype AND format_type(a.atttypid, a.atttypmod) = 'numeric(19,4)' THEN 'MONEY'
              WHEN a.atttypid = 'double precision'::regtype THEN 'FLOAT'
              WHEN a.atttypid = 'timestamp'::regtype THEN 'DATETIME'
              WHEN a.atttypid = 'bytea'::regtype THEN 'BLOB'
              ELSE format_type(a.atttypid, a.atttypmod) END,
         CASE WHEN EXISTS (SELECT 1 FROM pg_index i WHERE i.indrelid = a.attrelid AND i.indisprimary AND a.attnum = ANY (i.indkey))
              THEN 1 ELSE 0 END
  FROM pg_attribute a
  WHERE a.attrelid = to_regclass(lower(t)) AND a.attnum > 0 AND NOT a.attisdropped
  ORDER BY a.attnum
$$;

CREATE OR REPLACE VIEW sqlite_master AS
  SELECT CASE c.relkind WHEN 'v' THEN 'view' WHEN 'i' THEN 'index' ELSE 'table' END::text AS type,
         c.relname::text AS name, c.relname::text AS tbl_name
  FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace
  WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'v', 'i') AND c.relname <> 'sqlite_master';

-- Dates cut as text, the way SQLite stores them ('yyyy-MM-dd hh:mm:ss').
CREATE OR REPLACE FUNCTION substr(d timestamp, start integer, count integer) RETURNS text LANGUAGE sql IMMUTABLE AS $$
  SELECT substr(to_char(d, 'YYYY-MM-DD HH24:MI:SS'), start, count)
$$;
CREATE OR REPLACE FUNCTION substr(d timestamp, start integer) RETURNS text LANGUAGE sql IMMUTABLE AS $$
  SELECT substr(to_char(d, 'YYYY-MM-DD HH24:MI:SS'), start)
$$;

-- The planner's price of a random page read, for this database's sessions. The default (4)
-- prices reads from spinning disks; on a server that keeps the bills in memory or on SSD it
-- makes a long bill's line select hash-join whole goods and unit tables (a 2,000-line bill:
-- 200 ms) instead of looking its goods up by key (40 ms). A server whose owner cannot set it
-- keeps the default.
DO $$
BEGIN
  EXECUTE format('ALTER DATABASE %I SET random_page_cost = 1.1', current_database());
EXCEPTION WHEN insufficient_privilege THEN
  NULL;
END $$;
