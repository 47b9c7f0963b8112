-- The thirty-five bill kinds, one row per bill form, for the server procedures that save,
-- delete and reverse bills and move stock. The rows are written from the bill profiles
-- (server/BillProfiles.cpp) when the schema is created; this script only defines the table.
--
--   billtype     the bill type number the form carries and lines store in refertype
--   formname     the registered form name
--   mastertable, keyfield, detailtable   where the bill lives (detailtable NULL: no lines)
--   stockdir     +1 the lines take goods into a store, -1 they issue goods from a store,
--                0 the bill moves no stock, 2 the direction is decided per bill or per line
--                (see the comment on each profile)
--   cvflag       the bill's side: 1 client, 2 vendor, 3 stock, -1 none
--   caption      the form caption
--   dbbilltype   the database bill type the bill is posted under (detailbillflow.billtype,
--                "DBBillType" of the delete and reverse packets); -999 when the bill is never
--                posted to the stock flow under a type of its own
--   privilegeid  the privilege id the form is registered under
--   codeprefix   the prefix of new bill numbers ('' when the bill has none)
--   needlines    1: a saved bill must have at least one line; 0: it may stand alone
--   alonefield, alonevalues
--                when needlines is 1, a bill whose master alonefield holds one of alonevalues
--                (comma-separated) may still stand alone, and its master total is then its own
--                figure rather than the sum of its lines (a prepayment, a payment without money)
--   totalfield, amountfield
--                the master total column and the line column it sums; the save procedures store
--                the sum of the lines, whatever the change set says (NULL: no such total)
--   reporttype   the print template type (report.rpttype)
--   credtype     the voucher type of the bill (0 and -999: none of its own)
--   procstem     the name between "Submit_" and "_Save"/"_Del"/"_Red" of its procedures
--   totalfromlines  1 when the bill window keeps its master total at the sum of its lines
--   tradeside    1 sales, 2 purchase, 3 stock, 4 cash, 5 point of sale, 8 distribution
--
-- Quantities of reversing (red, flag 2) bills are negative, so a reversing bill moves stock the
-- opposite way with the same stockdir; the same holds for write-backs (valued receipt billtype 1)
-- and consignment take-backs (consignment billtype 2), which store negative quantities.
CREATE TABLE IF NOT EXISTS billkind (
    billtype INTEGER PRIMARY KEY,
    formname VARCHAR(40) NOT NULL,
    mastertable VARCHAR(40) NOT NULL,
    keyfield VARCHAR(40) NOT NULL,
    detailtable VARCHAR(40),
    stockdir INTEGER NOT NULL,
    cvflag INTEGER NOT NULL,
    caption VARCHAR(40) NOT NULL,
    dbbilltype INTEGER NOT NULL,
    privilegeid INTEGER NOT NULL,
    codeprefix VARCHAR(8) NOT NULL DEFAULT '',
    needlines INTEGER NOT NULL DEFAULT 1,
    alonefield VARCHAR(40),
    alonevalues VARCHAR(40),
    totalfield VARCHAR(40),
    amountfield VARCHAR(40),
    reporttype INTEGER NOT NULL DEFAULT 0,
    credtype INTEGER NOT NULL DEFAULT 0,
    procstem VARCHAR(40) NOT NULL DEFAULT '',
    totalfromlines INTEGER NOT NULL DEFAULT 0,
    tradeside INTEGER NOT NULL DEFAULT 0
);
CREATE UNIQUE INDEX IF NOT EXISTS ix_billkind_formname ON billkind (formname);
