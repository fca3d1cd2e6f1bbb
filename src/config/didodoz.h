// didodoz.h — Didodoz, the engine's store of XML data files.
//
// A data file is a flat list of named arrays, each a list of nodes, each node a list of
// name/value pairs (the attributes of a <node> element, plus its text as "DATA"):
//
//   <?xml version="1.0"?>
//   <root>
//     <array id="LEVELS">
//       <node id="L1" time="60"/>
//       <node id="L2">hard</node>
//     </array>
//   </root>
//
// A file is loaded on its first request (names compare without case) and kept until
// the database is freed; a file that could not be loaded stays in the database empty,
// and later requests never touch the disk again. prog.xml, developer.xml, manifests and
// font descriptions are read through here; it is the engine's only tree form of XML.
// Returned objects and strings belong to the database. Main thread only, no lock.
#pragma once

#include "base/state_part.h"

#include <stdint.h>

// One attribute of a node (owned strings; a missing name or value is "").
struct ZyDidodozPair {
  char *name;
  char *value;
};

struct ZyDidodozNode {
  char *id;                 // value of the node's last "id" pair (any case), or null
  int32_t attribute_count;  // pairs in document order, "id" and "DATA" included
  ZyDidodozPair *pairs;     // exactly attribute_count pairs (malloc'd)
};

struct ZyDidodozArray {
  char *id;                 // the array's id, or null when the element has none
  ZyDidodozNode **nodes;    // nodes in document order (growable list)
  int32_t node_count;
  int32_t node_capacity;
};

struct ZyDidodozFile {
  char *name;               // the name exactly as first requested
  ZyDidodozArray **arrays;  // arrays in document order (growable list)
  int32_t array_count;
  int32_t array_capacity;
};

// The Didodoz block of the engine state: the database of loaded files.
struct ZyDidodoz {
  ZyDidodozFile **files;    // every file requested so far (growable list)
  int32_t file_count;
  int32_t file_capacity;
};
ZYI_STATE_PART(ZyDidodoz, didodoz)

// The file `name`, loaded on the first request (later requests compare names without
// case). Never null for a non-null name: a file that cannot be loaded is kept empty.
// Reads through the engine's file access once the engine interface table exists,
// with stdio (native paths) before that.
ZyDidodozFile *ZYI_DidodozGetFile(const char *name);
// The first array whose id equals `id` exactly; with a null id the first array without
// one. Null when none (or file is null).
ZyDidodozArray *ZYI_DidodozFindArray(const ZyDidodozFile *file, const char *id);
// Number of nodes of the array (0 for null).
int32_t ZYI_DidodozNodeCount(const ZyDidodozArray *array);
// The node at index, or null outside 0..count-1.
ZyDidodozNode *ZYI_DidodozNodeAt(const ZyDidodozArray *array, int32_t index);
// The first node whose id equals `id` exactly; null when none or id is null.
ZyDidodozNode *ZYI_DidodozFindNode(const ZyDidodozArray *array, const char *id);
// Value of the node's first pair named exactly `name`; null when none or name is null.
const char *ZYI_DidodozGetAttribute(const ZyDidodozNode *node, const char *name);
// Find node, then get attribute; null when either fails.
const char *ZYI_DidodozGetNodeAttribute(const ZyDidodozArray *array, const char *node_id,
                                        const char *name);
// Node at, then get attribute; null when either fails.
const char *ZYI_DidodozGetNodeAttributeAt(const ZyDidodozArray *array, int32_t index,
                                          const char *name);

// Frees every file of the database and empties it (shut-down, tests).
void ZYI_DidodozFree(void);

// Makes room for `needed` pointers in a growable list: 32 on the first append, then
// the larger of `needed` and twice the current room. False when memory runs out.
bool ZYI_GrowList(void ***list, int32_t *capacity, int32_t needed);
