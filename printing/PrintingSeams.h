#pragma once
// Hooks the print template editor into the package's dispatcher ("PRINTSAMEDIT") and the
// one-type manager into the host's "SHOWMODEDESIGNFORM", and registers the writer of
// amounts in Chinese capitals with the report engine. Call once after the host's
// functions are registered (RegisterHostFunctions), e.g. from BillLoad.
void RegisterPrintingSeams();
