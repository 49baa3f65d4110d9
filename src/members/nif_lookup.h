// The duplicate search of the identity check over the members table.
#pragma once

#include "members/identifiers.h"
#include "store/table_engine.h"

namespace canalix::members {

// A lookup over the `NIF` order of the open members table `socios`. It reads
// through a work area of its own on the same file, so `socios` keeps its
// order, scopes, filter and record; inactive members count. In edit mode the
// member `socios` stands on when the lookup runs is the one being edited.
// Without a NIF order, or when the table cannot be opened again, it finds
// nothing.
NifHolderLookup membersNifLookup(store::WorkArea& socios);

}  // namespace canalix::members
