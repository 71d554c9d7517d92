// The process-wide sorted container of edge entries or point entries.
//
// Edge entries are ordered by (from, to), each stored with from < to; entries
// of one edge carry the vertices added on it, newest first. Point entries are
// ordered by their coordinates quantised at 1/1000 and never share a key.
// The list holds one kind at a time. The demo's merge uses it and leaves it
// empty.
#pragma once

#include <cstdint>

#include "geometry/polyhedron.h"
#include "geometry/vec3.h"

namespace vorlane {

// Inserts edge p carrying added. A degenerate pair (from == to) is ignored;
// a bare edge (added < 0) already present is dropped; any other entry goes in
// front of the entries with the same key.
void InsertList(const IndexPair& p, int32_t added);

// Inserts a point carrying value and returns -1, or returns the value of the
// entry that already holds the same quantised position (nothing inserted).
int32_t InsertList(const Vec3& point, int32_t value);

// The number of entries.
int32_t CountList();

// Takes every entry of the first edge out of the list into buffer: the values
// in elements 0.., the edge in size-3 and size-2, the value count in size-1.
// Returns 1, or 0 (with buffer[size-1] = 0) when the list is empty. Reports
// "max size return error!" once size-3 values are stored; further entries of
// that edge stay in the list for the next call.
int32_t GetNextAdded(int32_t* buffer, int32_t size);

// Moves every entry's pair into out (room for CountList() pairs), in list
// order, and empties the list.
void CopyList(IndexPair* out);

// Empties the list.
void CleanList();

// The quantisation of one coordinate: times 1000, plus 0.5, truncated toward zero.
int32_t QuantiseCoordinate(float c);

}  // namespace vorlane
