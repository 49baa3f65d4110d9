// CREAFI: creation of the missing tables of the data directory.
#pragma once

#include <string>
#include <vector>

#include "store/table_engine.h"

namespace canalix::store {

// Creates every table of the data directory whose table file is absent (a
// file found without regard to case counts as present), in catalogue order
// (FRECU2, SOCIOS, PARCELAS, RECIBOS, CONTROL, ACCESOS, CODIGOS, GASTOS,
// CONCEPTO, USUARIOS, CAJA, BIC, ARQUEO), with its catalogue structure and, for
// FRECU2, CONTROL, CONCEPTO and USUARIOS, its one initial record. A table that
// exists is never touched. An index file left behind by a removed table is
// renamed aside (NAME.CDX.antiguo), so that start-up builds a fresh one.
// Requires: none of the tables is open in `ws`. Returns the file names created,
// in order. Throws EngineError (20/1004 and the write errors) when a table
// cannot be created.
std::vector<std::string> CREAFI(Workspace& ws);

}  // namespace canalix::store
