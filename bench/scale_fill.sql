-- The scale benchmark's bulk data, on top of the schema and the demo data: goods up to
-- {goods}, partners up to {clients}, and {bills} bills over five bill kinds with one to nine
-- lines each (about five on average), every 10,000th receipt a large bill of 2,000 lines,
-- dated over three years; then the stock flow and the stock those lines leave. Written
-- server-side in a few set statements, not bill by bill through the save procedures. Each
-- "-- step" is run (and timed) as one statement; {name} is replaced by the benchmark.

-- step: sizes
create temporary table fillsize as
select (select coalesce(max(goodsid), 0) from goods) as g0, (select coalesce(max(clientid), 0) from client) as c0,
       (select coalesce(max(unitid), 0) from goodsunit) as u0

-- step: goods
insert into goods (goodsid, code, name, shortname, pyassist, specs, unit, goodstypeid, kind, batchctrl, closed, aprice, taxrate, updatetime)
select g, 'S' || lpad(g::text, 7, '0'), '规模商品' || g, '商品' || g, 'GM' || g, (g % 50 + 1) || '件/箱', '件',
       (select min(goodstypeid) from goodstype), 1, 'F', 'F', 1 + (g % 500) / 10.0, 13, timestamp '2023-01-01'
from generate_series((select g0 from fillsize) + 1, {goods}) g

-- step: goods units
insert into goodsunit (unitid, goodsid, unitname, rate, unittype, barcode, pprice, lastpprice, sprice, lprice1, lprice2, lprice3)
select (select u0 from fillsize) + g - (select g0 from fillsize), g, '件', 1, 0, '69' || lpad(g::text, 11, '0'),
       1 + (g % 500) / 10.0, 1 + (g % 500) / 10.0, 2 + (g % 500) / 8.0, 1.8 + (g % 500) / 8.0, 1.7 + (g % 500) / 8.0, 1.6 + (g % 500) / 8.0
from generate_series((select g0 from fillsize) + 1, {goods}) g

-- step: partners
-- even ids are vendors, odd ids customers
insert into client (clientid, code, name, shortname, pyassist, clientkind, isdouble, address, phone, credit, creditdays, shopid, closed, updatetime)
select c, 'K' || lpad(c::text, 6, '0'), case when c % 2 = 0 then '规模供应商' else '规模客户' end || c, '往来' || c, 'WL' || c,
       case when c % 2 = 0 then 2 else 1 end, 'F', '规模路' || c || '号', '0755-' || lpad(c::text, 8, '0'), 0, 30, 0, 'F',
       timestamp '2023-01-01'
from generate_series((select c0 from fillsize) + 1, {clients}) c

-- step: base units
-- the base unit of every goods item, for the lines
create temporary table fillunit as
select goodsid, min(unitid) as unitid from goodsunit where unittype = 0 group by goodsid

-- step: bill plan
-- Which bills: kind, its own number n within the kind, the day and shop, the partner and store.
-- Within each kind the bills run through the days in order, so that codes and dates agree.
create temporary table fillbill as
with kinds (billtype, share, vendor, firstid) as (
    values (7, 30, true, (select coalesce(max(recievedid), 0) from recieved)), (2, 30, false, (select coalesce(max(invoiceid), 0) from invoice)),
           (6, 15, true, (select coalesce(max(orderid), 0) from porder)), (1, 15, false, (select coalesce(max(sorderid), 0) from sorder)),
           (3, 10, false, (select coalesce(max(csaleid), 0) from csale))),
plan as (
    select k.billtype, k.vendor, n, k.firstid + n as id, ({bills}::bigint * k.share / 100) as total
    from kinds k cross join lateral generate_series(1::bigint, {bills}::bigint * k.share / 100) n)
select billtype, n, id,
       date '2023-01-01' + ((n - 1) * 1065 / total)::int as billdate,
       case when n % 4 = 0 then 2 else 1 end as shopid,
       case when vendor then (select c0 from fillsize) + 1 + 2 * ((n * 7919) % (({clients} - (select c0 from fillsize)) / 2))
            else (select c0 from fillsize) + 2 + 2 * ((n * 7919) % (({clients} - (select c0 from fillsize)) / 2 - 1)) end as clientid,
       1 + n % 3 as storeid,
       case when billtype = 7 and n % 10000 = 5001 then 2000 else 1 + (n * 2654435761) % 9 end as lines
from plan

-- step: bill codes
-- "yyyyMMdd-SS-NNNN", numbered per kind, day and shop as the save procedure numbers them
create temporary table fillcode as
select billtype, id, to_char(billdate, 'YYYYMMDD') || '-' || lpad(shopid::text, 2, '0') || '-' ||
       lpad((row_number() over (partition by billtype, billdate, shopid order by n))::text, 4, '0') as code
from fillbill

-- step: bill lines
-- the lines of all kinds at once; each kind's detail table takes its own below
create temporary table fillline as
select b.billtype, b.id, i as itemno, gd as goodsid, u.unitid,
       (case when b.billtype in (7, 6) then 1 + (b.n + i) % 20 else 1 + (b.n + i) % 10 end)::float8 as qty,
       (case when b.billtype in (7, 6) then 1 + (gd % 500) / 10.0 else 2 + (gd % 500) / 8.0 end)::float8 as price
from fillbill b
cross join lateral generate_series(1, b.lines) i
cross join lateral (select 1 + ((b.n * 104729 + i * 7919 + b.billtype * 15485863) % {goods}) as gd) gg
join fillunit u on u.goodsid = gd

-- step: receipt lines
-- in bill order, as saves write them: a bill's lines lie together
insert into rcvddetail (recievedid, itemno, goodsid, unitid, unitqty, quantity, unitprice, price, disc, taxrate, goodsamt, taxamt, amount, aprice, refercount, ispresent)
select id, itemno, goodsid, unitid, qty, qty, price, price, 100, 0, qty * price, 0, qty * price, price, 0, 'F' from fillline where billtype = 7 order by id, itemno

-- step: invoice lines
insert into saledetail (invoiceid, itemno, goodsid, unitid, unitqty, quantity, unitprice, price, disc, taxrate, goodsamt, taxamt, amount, aprice, refercount, ispresent)
select id, itemno, goodsid, unitid, qty, qty, price, price, 100, 0, qty * price, 0, qty * price, 1 + (goodsid % 500) / 10.0, 0, 'F' from fillline where billtype = 2 order by id, itemno

-- step: purchase order lines
insert into orderdetail (orderid, itemno, goodsid, unitid, unitqty, quantity, unitprice, price, disc, taxrate, goodsamt, taxamt, amount, aprice, refercount, ispresent)
select id, itemno, goodsid, unitid, qty, qty, price, price, 100, 0, qty * price, 0, qty * price, price, 0, 'F' from fillline where billtype = 6 order by id, itemno

-- step: sales order lines
insert into sorderdetail (sorderid, itemno, goodsid, unitid, unitqty, quantity, unitprice, price, disc, taxrate, goodsamt, taxamt, amount, aprice, refercount, ispresent)
select id, itemno, goodsid, unitid, qty, qty, price, price, 100, 0, qty * price, 0, qty * price, 0, 0, 'F' from fillline where billtype = 1 order by id, itemno

-- step: cash sale lines
insert into csaledetail (csaleid, itemno, goodsid, unitid, unitqty, quantity, unitprice, price, disc, taxrate, goodsamt, taxamt, amount, aprice, refercount, ispresent)
select id, itemno, goodsid, unitid, qty, qty, price, price, 100, 0, qty * price, 0, qty * price, 1 + (goodsid % 500) / 10.0, 0, 'F' from fillline where billtype = 3 order by id, itemno

-- step: bill totals
create temporary table filltotal as
select billtype, id, sum(qty * price) as total from fillline group by billtype, id

-- step: receipts
insert into recieved (recievedid, storeid, clientid, billtypeid, disc, totalamt, totalpaid, termdays, code, billdate, shopid, opid, exemanid, flag, refercount, closed, finished, printed, updatetime)
select b.id, b.storeid, b.clientid, 1 + b.n % 3, 100, t.total, 0, 30, c.code, b.billdate, b.shopid, 1, null, 0, 0, 'F', 'F', 0, b.billdate + time '18:00'
from fillbill b join fillcode c on c.billtype = b.billtype and c.id = b.id join filltotal t on t.billtype = b.billtype and t.id = b.id
where b.billtype = 7 order by b.id

-- step: invoices
insert into invoice (invoiceid, storeid, clientid, billtypeid, disc, taxrate, totalamt, totalrcvd, termdays, code, billdate, shopid, opid, flag, refercount, closed, finished, printed, updatetime)
select b.id, b.storeid, b.clientid, 1 + b.n % 3, 100, 0, t.total, 0, 30, c.code, b.billdate, b.shopid, 1, 0, 0, 'F', 'F', 0, b.billdate + time '18:00'
from fillbill b join fillcode c on c.billtype = b.billtype and c.id = b.id join filltotal t on t.billtype = b.billtype and t.id = b.id
where b.billtype = 2 order by b.id

-- step: purchase orders
insert into porder (orderid, clientid, disc, amount, code, billdate, shopid, opid, flag, refercount, closed, finished, printed, updatetime)
select b.id, b.clientid, 100, t.total, c.code, b.billdate, b.shopid, 1, 0, 0, 'F', 'F', 0, b.billdate + time '18:00'
from fillbill b join fillcode c on c.billtype = b.billtype and c.id = b.id join filltotal t on t.billtype = b.billtype and t.id = b.id
where b.billtype = 6 order by b.id

-- step: sales orders
insert into sorder (sorderid, clientid, taxrate, disc, amount, code, billdate, shopid, opid, flag, refercount, closed, finished, printed, updatetime)
select b.id, b.clientid, 0, 100, t.total, c.code, b.billdate, b.shopid, 1, 0, 0, 'F', 'F', 0, b.billdate + time '18:00'
from fillbill b join fillcode c on c.billtype = b.billtype and c.id = b.id join filltotal t on t.billtype = b.billtype and t.id = b.id
where b.billtype = 1 order by b.id

-- step: cash sales
insert into csale (csaleid, storeid, clientid, billtypeid, disc, taxrate, totalamt, code, billdate, shopid, opid, flag, refercount, closed, finished, printed, updatetime)
select b.id, b.storeid, b.clientid, 1 + b.n % 3, 100, 0, t.total, c.code, b.billdate, b.shopid, 1, 0, 0, 'F', 'F', 0, b.billdate + time '18:00'
from fillbill b join fillcode c on c.billtype = b.billtype and c.id = b.id join filltotal t on t.billtype = b.billtype and t.id = b.id
where b.billtype = 3 order by b.id

-- step: stock flow
-- a flow row per receipt line (a lot, type 1) and per invoice or cash sale line (types 3 and 4)
insert into detailbillflow (billtype, billid, itemno, billcode, billdate, shopid, storeid, goodsid, unitid, inqty, outqty, refqty, inprice, outprice)
select case l.billtype when 7 then 1 when 2 then 3 else 4 end, l.id, l.itemno, c.code, b.billdate, b.shopid, b.storeid, l.goodsid, l.unitid,
       case when l.billtype = 7 then l.qty else 0 end, case when l.billtype = 7 then 0 else l.qty end, 0,
       case when l.billtype = 7 then l.price else 0 end, case when l.billtype = 7 then 0 else l.price end
from fillline l join fillbill b on b.billtype = l.billtype and b.id = l.id join fillcode c on c.billtype = l.billtype and c.id = l.id
where l.billtype in (7, 2, 3)
order by b.billdate, l.billtype, l.id, l.itemno

-- step: stock triggers off
-- the stock per store is written in one statement below, and goods.onhand once after it
alter table onhand disable trigger user

-- step: stock
-- what the receipts brought into each store less what the invoices and cash sales took out,
-- valued at the goods' cost
insert into onhand (storeid, goodsid, onhand, aprice, amount)
select b.storeid, l.goodsid, sum(case when l.billtype = 7 then l.qty else -l.qty end),
       1 + (l.goodsid % 500) / 10.0, sum(case when l.billtype = 7 then l.qty else -l.qty end) * (1 + (l.goodsid % 500) / 10.0)
from fillline l join fillbill b on b.billtype = l.billtype and b.id = l.id
where l.billtype in (7, 2, 3)
group by b.storeid, l.goodsid
on conflict (storeid, goodsid) do update set onhand = onhand.onhand + excluded.onhand, amount = onhand.amount + excluded.amount

-- step: stock triggers on
alter table onhand enable trigger user

-- step: goods stock
update goods set onhand = s.onhand from (select goodsid, sum(onhand) as onhand from onhand group by goodsid) s
where s.goodsid = goods.goodsid and goods.onhand is distinct from s.onhand

-- step: keys
-- the key rows the save procedures number new bills from
update sys_keyvalue k set keyvalue = greatest(k.keyvalue, m.maxid)
from (select 'recieved' as t, max(recievedid) as maxid from recieved union all select 'invoice', max(invoiceid) from invoice
      union all select 'porder', max(orderid) from porder union all select 'sorder', max(sorderid) from sorder
      union all select 'csale', max(csaleid) from csale) m
where k.tablename = m.t

-- step: analyze
analyze
