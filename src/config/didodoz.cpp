// didodoz.cpp — loading data-array files into the Didodoz database, and its lookups.
//
// Loading reads element records from ZY_XMLReader and keeps what a data file means:
// the first two records (XML declaration, root start tag) are skipped, <array> start
// tags (any case) open arrays, <node> tags inside an array become nodes, the text of a
// node becomes its "DATA" pair. Anything else inside an array is reported and skipped;
// anything else outside one is skipped quietly. Whatever was read before a fault stays.
#include "config/didodoz.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include "config/xml_reader.h"
#include "base/log.h"
#include "base/popup.h"
#include "base/state.h"

ZyDidodoz zy::didodoz;  // engine state: the loaded data-array files (prog.xml, manifests, ...)

// Unexpected elements reported per file: a broken file gets a few popups, not thousands.
#define ZYI_DIDODOZ_MAX_REPORTS 16

// ---------------------------------------------------------------------------------
// Storage helpers
// ---------------------------------------------------------------------------------

bool ZYI_GrowList(void ***list, int32_t *capacity, int32_t needed) {
  if (needed <= *capacity) return true;
  if (*capacity > INT32_MAX / 2) return false;
  int32_t room = *capacity == 0 ? 32 : *capacity * 2;
  if (room < needed) room = needed;
  void **grown = (void **)realloc(*list, sizeof(void *) * (size_t)room);
  if (!grown) return false;
  *list = grown;
  *capacity = room;
  return true;
}

static char *CopyText(const char *text) { return strdup(text ? text : ""); }

static void FreeNode(ZyDidodozNode *node) {
  for (int32_t i = 0; i < node->attribute_count; i++) {
    free(node->pairs[i].name);
    free(node->pairs[i].value);
  }
  free(node->pairs);
  free(node);  // node->id points at one of the pair values
}

static void FreeArray(ZyDidodozArray *array) {
  for (int32_t i = 0; i < array->node_count; i++) FreeNode(array->nodes[i]);
  free(array->nodes);
  free(array->id);
  free(array);
}

static void FreeFile(ZyDidodozFile *file) {
  for (int32_t i = 0; i < file->array_count; i++) FreeArray(file->arrays[i]);
  free(file->arrays);
  free(file->name);
  free(file);
}

void ZYI_DidodozFree(void) {
  ZyDidodoz &db = zy::didodoz;
  for (int32_t i = 0; i < db.file_count; i++) FreeFile(db.files[i]);
  free(db.files);
  memset(&db, 0, sizeof db);
}

// Appends a new array to the file; null when memory runs out.
static ZyDidodozArray *AddArray(ZyDidodozFile *file, const ZY_XMLElement *e) {
  if (!ZYI_GrowList((void ***)&file->arrays, &file->array_capacity, file->array_count + 1))
    return nullptr;
  ZyDidodozArray *array = (ZyDidodozArray *)calloc(1, sizeof *array);
  if (!array) return nullptr;
  for (int32_t i = 0; i < e->attribute_count; i++) {
    if (strcasecmp(e->attribute_names[i], "id") == 0) {
      array->id = CopyText(e->attribute_values[i]);
      break;
    }
  }
  file->arrays[file->array_count++] = array;
  return array;
}

// Appends a node holding the element's attributes; null when memory runs out.
static ZyDidodozNode *AddNode(ZyDidodozArray *array, const ZY_XMLElement *e) {
  if (!ZYI_GrowList((void ***)&array->nodes, &array->node_capacity, array->node_count + 1))
    return nullptr;
  ZyDidodozNode *node = (ZyDidodozNode *)calloc(1, sizeof *node);
  if (!node) return nullptr;
  if (e->attribute_count > 0) {
    node->pairs = (ZyDidodozPair *)calloc((size_t)e->attribute_count, sizeof *node->pairs);
    if (!node->pairs) {
      free(node);
      return nullptr;
    }
  }
  for (int32_t i = 0; i < e->attribute_count; i++) {
    ZyDidodozPair &pair = node->pairs[node->attribute_count++];
    pair.name = CopyText(e->attribute_names[i]);
    pair.value = CopyText(e->attribute_values[i]);
    if (strcasecmp(pair.name, "id") == 0) node->id = pair.value;  // the last one wins
  }
  array->nodes[array->node_count++] = node;
  return node;
}

// Appends the text of a node as its "DATA" pair.
static void AddNodeText(ZyDidodozNode *node, const char *text) {
  ZyDidodozPair *pairs = (ZyDidodozPair *)realloc(
      node->pairs, sizeof *pairs * (size_t)(node->attribute_count + 1));
  if (!pairs) return;
  node->pairs = pairs;  // node->id points at a value string, which does not move
  pairs[node->attribute_count].name = CopyText("DATA");
  pairs[node->attribute_count].value = CopyText(text);
  node->attribute_count++;
}

// ---------------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------------

static bool HasXmlExtension(const char *name) {
  size_t len = strlen(name);
  return len >= 4 && strcasecmp(name + len - 4, ".xml") == 0;
}

static void LoadFile(ZyDidodozFile *file) {
  const char *name = file->name;
  if (!HasXmlExtension(name)) {
    ZY_Popup(ZY_LOG_WARNING, "Unknown database file type '%s'.\nSupported formats are: .xml",
             name);
    return;
  }
  ZY_XMLReader reader;
  if (!reader.Open(name, !zy::core.table_built)) {
    ZY_Popup(ZY_LOG_WARNING, "ZY_XML Array File '%s' not found!", name);
    return;
  }

  // The XML declaration and the root's start tag.
  reader.ReadElement();
  reader.ReadElement();

  int32_t arrays_loaded = 0, nodes_loaded = 0;
  int32_t unexpected = 0;  // elements reported as not belonging in an array
  ZyDidodozArray *array = nullptr;
  ZY_XMLElement *e = nullptr;
  while (e || !reader.AtEnd()) {
    if (!e) e = reader.ReadElement();
    if (!e) continue;  // a record the reader could not make; it has moved on
    ZY_XMLElement *next = nullptr;

    if (!array) {
      if (e->name && !e->closing && strcasecmp(e->name, "array") == 0) {
        array = AddArray(file, e);
        if (array) arrays_loaded++;
      }
    } else if (e->name && e->end_tag && strcmp(e->name, "array") == 0) {
      array = nullptr;
    } else if (e->name && strcmp(e->name, "node") == 0) {
      if (!e->end_tag) {
        bool has_content = !e->closing;
        ZyDidodozNode *node = AddNode(array, e);
        if (node) nodes_loaded++;
        if (has_content) {
          // The record after a start tag: the node's text, or already the next element.
          next = reader.ReadElement();
          if (!next) {
            ZY_Popup(ZY_LOG_WARNING, "Didodoz error parsing file '%s' after node #%d with id '%s'.",
                     name, nodes_loaded, node && node->id ? node->id : "");
          } else if (!next->name) {
            if (node) AddNodeText(node, next->attribute_values[0]);
            reader.ReadElement();  // the node's end tag
            next = nullptr;
          }
        }
      }
    } else if (unexpected++ < ZYI_DIDODOZ_MAX_REPORTS) {
      ZY_Popup(ZY_LOG_WARNING,
               "Didodoz: in '%s' is expecting to find two three types of elements inside root: "
               "'array' and 'node'. '%s' is not one of them.",
               name, e->name ? e->name : e->attribute_names[0]);
    }
    e = next;
  }
  reader.Close();
  if (unexpected > ZYI_DIDODOZ_MAX_REPORTS)
    ZY_Log(ZY_LOG_WARNING, "Didodoz: %d more unexpected elements in '%s' were not reported.",
           unexpected - ZYI_DIDODOZ_MAX_REPORTS, name);
  ZY_Log(ZY_LOG_INFO, "%d Arrays loaded with total %d nodes.", arrays_loaded, nodes_loaded);
}

ZyDidodozFile *ZYI_DidodozGetFile(const char *name) {
  if (!name) return nullptr;
  ZyDidodoz &db = zy::didodoz;
  for (int32_t i = 0; i < db.file_count; i++)
    if (strcasecmp(db.files[i]->name, name) == 0) return db.files[i];

  if (!ZYI_GrowList((void ***)&db.files, &db.file_capacity, db.file_count + 1)) return nullptr;
  ZyDidodozFile *file = (ZyDidodozFile *)calloc(1, sizeof *file);
  if (!file) return nullptr;
  file->name = CopyText(name);
  if (!file->name) {
    free(file);
    return nullptr;
  }
  db.files[db.file_count++] = file;
  LoadFile(file);
  return file;
}

// ---------------------------------------------------------------------------------
// Lookups
// ---------------------------------------------------------------------------------

ZyDidodozArray *ZYI_DidodozFindArray(const ZyDidodozFile *file, const char *id) {
  if (!file) return nullptr;
  for (int32_t i = 0; i < file->array_count; i++) {
    ZyDidodozArray *array = file->arrays[i];
    if (id ? (array->id && strcmp(array->id, id) == 0) : !array->id) return array;
  }
  return nullptr;
}

int32_t ZYI_DidodozNodeCount(const ZyDidodozArray *array) {
  return array ? array->node_count : 0;
}

ZyDidodozNode *ZYI_DidodozNodeAt(const ZyDidodozArray *array, int32_t index) {
  if (!array || index < 0 || index >= array->node_count) return nullptr;
  return array->nodes[index];
}

ZyDidodozNode *ZYI_DidodozFindNode(const ZyDidodozArray *array, const char *id) {
  if (!array || !id) return nullptr;
  for (int32_t i = 0; i < array->node_count; i++)
    if (array->nodes[i]->id && strcmp(array->nodes[i]->id, id) == 0) return array->nodes[i];
  return nullptr;
}

const char *ZYI_DidodozGetAttribute(const ZyDidodozNode *node, const char *name) {
  if (!node || !name) return nullptr;
  for (int32_t i = 0; i < node->attribute_count; i++)
    if (strcmp(node->pairs[i].name, name) == 0) return node->pairs[i].value;
  return nullptr;
}

const char *ZYI_DidodozGetNodeAttribute(const ZyDidodozArray *array, const char *node_id,
                                        const char *name) {
  return ZYI_DidodozGetAttribute(ZYI_DidodozFindNode(array, node_id), name);
}

const char *ZYI_DidodozGetNodeAttributeAt(const ZyDidodozArray *array, int32_t index,
                                          const char *name) {
  return ZYI_DidodozGetAttribute(ZYI_DidodozNodeAt(array, index), name);
}
