// xml_reader.h — ZY_XMLReader, the engine's forward-only pull reader for its XML dialect.
//
// The engine's data files (prog.xml, data-array files, font descriptions) are written in
// a small XML dialect: no entities, no CDATA, no namespaces, backslash escapes inside
// attribute values. The reader loads a whole document into memory and hands out one
// element record at a time (start tag, end tag, empty-element tag or a run of text); it
// builds no tree. Didodoz (didodoz.h) builds the engine's only tree from these records.
//
// The record returned by ReadElement lives inside the reader: its pointers point into
// the reader's token buffer and stay valid only until the next read or Close. Reading
// allocates nothing per element. A reader is used by one thread at a time.
#pragma once

#include <stdint.h>

// Attribute pairs one element record can hold; further attributes are read past.
#define ZY_XML_MAX_ATTRIBUTES 128
// Size of the token buffer: a token holds at most ZY_XML_TOKEN_SIZE - 1 characters.
#define ZY_XML_TOKEN_SIZE 4096

// One element record: a tag with its attributes, or a text run.
struct ZY_XMLElement {
  char *name;                 // element name without '<', '/' or '>'; null for text
  int32_t attribute_count;    // 0..ZY_XML_MAX_ATTRIBUTES (text: 1, named "DATA")
  char *attribute_names[ZY_XML_MAX_ATTRIBUTES];   // point into the token buffer
  char *attribute_values[ZY_XML_MAX_ATTRIBUTES];  // unescaped, in the token buffer
  uint8_t closing;            // 1 for an end tag (</a>) and an empty-element tag (<a/>)
  uint8_t end_tag;            // 1 only for an end tag: tells </a> from <a/>
};

class ZY_XMLReader {
 public:
  // An empty reader with its token buffer.
  ZY_XMLReader();
  // Frees the document text, the token buffer and the file name.
  ~ZY_XMLReader();
  ZY_XMLReader(const ZY_XMLReader &) = delete;
  ZY_XMLReader &operator=(const ZY_XMLReader &) = delete;

  // Loads the whole file `name`: through the engine's file access, or with stdio when
  // use_stdio is true (before the engine interface table exists; then reports go to
  // standard output instead of popups). False for a null or empty name, a file that
  // cannot be opened or read, or a document whose first non-white byte is not '<'.
  // An empty or all-white document opens and yields no records.
  bool Open(const char *name, bool use_stdio);
  // Same as Open for a document already in memory (copied); `name` is used in messages.
  bool OpenText(const char *name, const char *text, int32_t length, bool use_stdio);
  // The next element record, or null at the end of the document, without a document,
  // and after the parse errors that end a record (the reader can go on reading).
  ZY_XMLElement *ReadElement();
  // True when everything has been read (position >= length).
  bool AtEnd() const { return position_ >= length_; }
  // Frees the file name; the reader can be opened again.
  void Close();

  const char *FileName() const { return file_name_ ? file_name_ : ""; }  // for messages
  int32_t Length() const { return length_; }      // bytes of document text
  int32_t Position() const { return position_; }  // index of the next byte to read

 private:
  bool TakeText(const char *name, char *text, int32_t length, bool use_stdio);
  bool NextToken(int32_t *token_length);
  bool SkipComment(int32_t *pos);
  ZY_XMLElement *BuildRecord(int32_t token_length);
  void CharError(const char *message, int32_t at);
  void Report(const char *text, bool popup);
  int32_t LineOf(int32_t at);

  char *file_name_;         // copy of the name given to Open
  int32_t length_;          // bytes of document text
  int32_t position_;        // index of the next byte to read
  ZY_XMLElement current_;   // the record returned by the last read
  char *token_;             // raw text of the last token, NUL-terminated
  char *text_;              // the whole document, NUL-terminated
  bool use_stdio_;          // reports go to standard output (no engine yet)
  int32_t reports_;         // character errors reported for this document
  int32_t line_pos_;        // LineOf cache: line feeds before line_pos_ ...
  int32_t line_count_;      // ... are line_count_ (positions only grow)
};
