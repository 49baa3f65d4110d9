// The table catalogue: every table the program keeps, every field of each in
// declaration order with its type, width and decimals, whether the table has a
// compound index file, and the records a table receives when it is created.
//
// The catalogue is one data table (catalogue.cpp); everything here reads it.
// Three homes: the thirteen tables of the data directory (in the order CREAFI
// visits them), COMU in the program's directory (the multi-community list), and
// the work tables that one operation builds, fills and reads. Work tables are
// looked up by name and use, because HACIDIS and HACIDIS2 have a different
// structure for the payments file, the Norma 19 file and the SEPA file. The
// reorganisation's TEMP table takes the structure of the table being rebuilt
// and so is not catalogued.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/table_engine.h"

namespace canalix::store {

// Where a table lives.
enum class TableHome {
  kDataDir,     // the data directory; created by CREAFI, open for the whole run
  kProgramDir,  // COMU: beside the community directories
  kWork,        // built, filled and read within one operation
};

// Which operation builds a work table.
enum class WorkUse {
  kNone,      // not a work table
  kReadings,  // reading import (LECTURAS)
  kPayments,  // bank payments file (HACIDIS)
  kNorma19,   // Norma 19 remittance (HACIDIS2, HACIDIS)
  kSepa,      // SEPA remittance (HACIDIS2, HACIDIS)
  kMandate,   // mandate form data (SAMPLE)
};

struct CatalogueField {
  std::string_view name;  // as the catalogue spells it (`NumSocio`)
  char type;              // 'C', 'N', 'D' or 'L'
  int width;
  int decimals;
};

struct CatalogueTable {
  std::string_view name;  // upper case, as the file is named
  TableHome home;
  WorkUse use;
  bool hasIndex;  // has a compound index file NAME.CDX
  std::span<const CatalogueField> fields;

  std::string fileName() const;       // "SOCIOS.DBF"
  std::string indexFileName() const;  // "SOCIOS.CDX"
  Structure structure() const;
  // Bytes of one record: the deletion flag plus every field's width.
  int recordLength() const;
  // Bytes of the header: 32 + 32 per field + the 0x0D, 0x00 terminator.
  int headerLength() const;
  // Index of the field named `field` (any case), or -1.
  int fieldIndex(std::string_view field) const;
};

// Every catalogued table: the data directory in CREAFI order, COMU, then the work tables.
std::span<const CatalogueTable> catalogue();

// The data-directory table or COMU named `name` (any case, with or without
// ".DBF"); null when there is none. Work tables are not found here.
const CatalogueTable* findTable(std::string_view name);

// The work table `name` (any case) as the operation `use` builds it; null when none.
const CatalogueTable* findWorkTable(std::string_view name, WorkUse use);

// The thirteen tables of the data directory, in the order CREAFI visits them.
std::vector<const CatalogueTable*> dataDirectoryTables();

// Structure of the data-directory table or COMU named `name` (any case).
// Throws std::invalid_argument when the catalogue has no such table.
Structure catalogueStructure(std::string_view name);

// Field values of the record a table receives when CREAFI creates it, in the
// order they are written; empty for the tables created without records.
std::vector<std::pair<std::string, Value>> initialRecord(std::string_view table);

}  // namespace canalix::store
