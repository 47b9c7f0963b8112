-- Bill codes by themselves. A save numbers its new bill after the highest code of the day and
-- branch (max(code) ... where code like 'yyyyMMdd-SS-%'); without these each save read every bill of
-- its kind, tens of milliseconds at a few hundred thousand bills. The (billdate, code) indexes
-- of the bill tables serve the navigation, not this prefix.

CREATE INDEX IF NOT EXISTS ix_sorder_code ON sorder (code);
CREATE INDEX IF NOT EXISTS ix_invoice_code ON invoice (code);
CREATE INDEX IF NOT EXISTS ix_csale_code ON csale (code);
CREATE INDEX IF NOT EXISTS ix_sreturn_code ON sreturn (code);
CREATE INDEX IF NOT EXISTS ix_charge_code ON charge (code);
CREATE INDEX IF NOT EXISTS ix_porder_code ON porder (code);
CREATE INDEX IF NOT EXISTS ix_recieved_code ON recieved (code);
CREATE INDEX IF NOT EXISTS ix_preturn_code ON preturn (code);
CREATE INDEX IF NOT EXISTS ix_pay_code ON pay (code);
CREATE INDEX IF NOT EXISTS ix_drawitem_code ON drawitem (code);
CREATE INDEX IF NOT EXISTS ix_backdraw_code ON backdraw (code);
CREATE INDEX IF NOT EXISTS ix_inproduct_code ON inproduct (code);
CREATE INDEX IF NOT EXISTS ix_allot_code ON allot (code);
CREATE INDEX IF NOT EXISTS ix_balitem_code ON balitem (code);
CREATE INDEX IF NOT EXISTS ix_inout_code ON inout (code);
CREATE INDEX IF NOT EXISTS ix_combin_code ON combin (code);
CREATE INDEX IF NOT EXISTS ix_expense_code ON expense (code);
CREATE INDEX IF NOT EXISTS ix_income_code ON income (code);
CREATE INDEX IF NOT EXISTS ix_adjap_code ON adjap (code);
CREATE INDEX IF NOT EXISTS ix_movemoney_code ON movemoney (code);
CREATE INDEX IF NOT EXISTS ix_dislaborage_code ON dislaborage (code);
CREATE INDEX IF NOT EXISTS ix_valuedrcvd_code ON valuedrcvd (code);
CREATE INDEX IF NOT EXISTS ix_posbilldate_code ON posbilldate (code);
CREATE INDEX IF NOT EXISTS ix_posday_code ON posday (code);
CREATE INDEX IF NOT EXISTS ix_inoutcash_code ON inoutcash (code);
CREATE INDEX IF NOT EXISTS ix_crecieved_code ON crecieved (code);
CREATE INDEX IF NOT EXISTS ix_deputesale_code ON deputesale (code);
CREATE INDEX IF NOT EXISTS ix_deputesettlement_code ON deputesettlement (code);
CREATE INDEX IF NOT EXISTS ix_deputesaleinit_code ON deputesaleinit (code);
CREATE INDEX IF NOT EXISTS ix_goodsdiscount_code ON goodsdiscount (code);
CREATE INDEX IF NOT EXISTS ix_askdeliver_code ON askdeliver (code);
CREATE INDEX IF NOT EXISTS ix_deliver_code ON deliver (code);
CREATE INDEX IF NOT EXISTS ix_purchaseapp_code ON purchaseapp (code);
CREATE INDEX IF NOT EXISTS ix_quotation_code ON quotation (code);
