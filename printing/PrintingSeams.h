#pragma once
// Hooks the print template editor into the package's dispatcher ("PRINTSAMEDIT"), the
// one-type manager into the host's "SHOWMODEDESIGNFORM" and into the bill template
// editor's "设计打印样式", registers the maintenance editors of the bill windows
// ("ShowSysFieldInfoEdit", "ShowSysTemplatedEdit") and the writer of amounts in Chinese
// capitals with the report engine. Call once after the host's functions are registered
// (RegisterHostFunctions), e.g. from BillLoad.
void RegisterPrintingSeams();
