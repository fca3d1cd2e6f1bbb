// xml_reader.cpp — the tokeniser and record builder of ZY_XMLReader.
//
// A read is two passes over one token. The tokeniser walks the document text and
// gathers the next token into the token buffer: a run of text, or a whole tag with its
// white space collapsed ("<a  x = \"1\" />" becomes "<a x=\"1\"/>"), comments skipped.
// The record builder then cuts the token in place into a name and attribute pairs and
// unescapes the values, so the record's pointers all point into the token buffer.
//
// Hostile input stays harmless: the tokeniser never reads past the document's length,
// the token never holds more than ZY_XML_TOKEN_SIZE - 1 characters, the builder only
// walks the NUL-terminated token, and character errors are reported at most
// ZYI_XML_MAX_REPORTS times per document so a file full of stray '>' cannot flood the
// user with popups or spend quadratic time counting lines.
//
// Sections: open and close; reporting; tokeniser; record builder.
#include "config/xml_reader.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "base/log.h"
#include "base/popup.h"
#include "fs/fs.h"

// Character errors reported per document before the reader falls silent.
#define ZYI_XML_MAX_REPORTS 32
// Characters the token buffer holds besides its terminating NUL.
static const int32_t kTokenMax = ZY_XML_TOKEN_SIZE - 1;
// Name of the single pair of a text record (the record's pointers are not const).
static char kDataName[] = "DATA";

// Character classes of the tokeniser's fast paths.
enum : uint8_t {
  CLS_WHITE = 1,      // space, tab, CR, LF
  CLS_TEXT_STOP = 2,  // ends a run of plain text: < > "
  CLS_TAG_STOP = 4,   // needs a look inside a tag: white space = < > " -
};

struct ZyXmlClassTable {
  uint8_t cls[256];
  ZyXmlClassTable() {
    memset(cls, 0, sizeof cls);
    for (const char *c = " \t\r\n"; *c; c++) cls[(unsigned char)*c] |= CLS_WHITE | CLS_TAG_STOP;
    for (const char *c = "<>\""; *c; c++) cls[(unsigned char)*c] |= CLS_TEXT_STOP | CLS_TAG_STOP;
    cls[(unsigned char)'='] |= CLS_TAG_STOP;
    cls[(unsigned char)'-'] |= CLS_TAG_STOP;
  }
};
static const ZyXmlClassTable kClass;

static inline bool IsWhite(char c) { return kClass.cls[(unsigned char)c] & CLS_WHITE; }

// ---------------------------------------------------------------------------------
// Open and close
// ---------------------------------------------------------------------------------

ZY_XMLReader::ZY_XMLReader()
    : file_name_(nullptr), length_(0), position_(0), token_(nullptr), text_(nullptr),
      use_stdio_(false), reports_(0), line_pos_(0), line_count_(0) {
  memset(&current_, 0, sizeof current_);
  token_ = (char *)malloc(ZY_XML_TOKEN_SIZE);
  if (token_) token_[0] = 0;
}

ZY_XMLReader::~ZY_XMLReader() {
  Close();
  free(token_);
}

void ZY_XMLReader::Close() {
  free(file_name_);
  file_name_ = nullptr;
  // The text goes too: records of a closed reader are no longer valid anyway.
  free(text_);
  text_ = nullptr;
  length_ = position_ = 0;
}

// Reads a whole native file with stdio; null when it cannot be opened or read.
static char *ReadNativeFile(const char *name, int32_t *length) {
  FILE *f = fopen(name, "rb");
  if (!f) return nullptr;
  char *text = nullptr;
  long size = -1;
  if (fseek(f, 0, SEEK_END) == 0) size = ftell(f);
  if (size >= 0 && size < INT32_MAX && fseek(f, 0, SEEK_SET) == 0) {
    text = (char *)malloc((size_t)size + 1);
    if (text) *length = (int32_t)fread(text, 1, (size_t)size, f);
  }
  fclose(f);
  return text;
}

// Reads a whole file through the engine's file access; null when it cannot be opened.
static char *ReadEngineFile(const char *name, int32_t *length) {
  ZY_File *f = ZY_OpenFile(name, "rb");
  if (!f) return nullptr;
  char *text = nullptr;
  if (f->size >= 0 && f->size < INT32_MAX) {
    text = (char *)malloc((size_t)f->size + 1);
    if (text) {
      int32_t got = f->size > 0 ? ZY_ReadFile(text, f->size, f) : 0;
      *length = got < 0 ? 0 : got;
    }
  }
  ZY_CloseFile(f);
  return text;
}

bool ZY_XMLReader::Open(const char *name, bool use_stdio) {
  Close();
  if (!name || !name[0] || !token_) return false;
  int32_t length = 0;
  char *text = use_stdio ? ReadNativeFile(name, &length) : ReadEngineFile(name, &length);
  if (!text) return false;
  return TakeText(name, text, length, use_stdio);
}

bool ZY_XMLReader::OpenText(const char *name, const char *text, int32_t length,
                            bool use_stdio) {
  Close();
  if (!name || !name[0] || !token_ || !text || length < 0 || length == INT32_MAX)
    return false;
  char *copy = (char *)malloc((size_t)length + 1);
  if (!copy) return false;
  memcpy(copy, text, (size_t)length);
  return TakeText(name, copy, length, use_stdio);
}

// Adopts a loaded document (text holds length bytes and room for the NUL) and checks
// that it starts like XML.
bool ZY_XMLReader::TakeText(const char *name, char *text, int32_t length, bool use_stdio) {
  file_name_ = strdup(name);
  text[length] = 0;
  text_ = text;
  length_ = length;
  position_ = 0;
  use_stdio_ = use_stdio;
  reports_ = 0;
  line_pos_ = line_count_ = 0;
  token_[0] = 0;

  int32_t i = 0;
  while (i < length && IsWhite(text[i])) i++;
  if (i == length || text[i] == '<') return true;

  // Anything else, a UTF-8 byte-order mark included, is not a document of ours.
  char message[1024];
  snprintf(message, sizeof message,
           "First non-whitespace char in XML document needs to be '<'. First char in '%s' "
           "is #%d '%c'. Note: UTF8 BOM is not supported.\n",
           FileName(), (int)(signed char)text[i], text[i] ? text[i] : ' ');
  Report(message, true);
  free(text_);
  text_ = nullptr;
  length_ = 0;
  return false;
}

// ---------------------------------------------------------------------------------
// Reporting
// ---------------------------------------------------------------------------------

// Hands a report to the user: a popup (or a log line when `popup` is false), or standard
// output while the engine interface table does not exist yet.
void ZY_XMLReader::Report(const char *text, bool popup) {
  if (use_stdio_) {
    fputs(text, stdout);
    fflush(stdout);
  } else if (popup) {
    ZY_Popup(ZY_LOG_WARNING, "%s", text);
  } else {
    ZY_Log(ZY_LOG_ERROR, "%s", text);
  }
}

// Number of line feeds before `at`. Reports come at growing positions, so counting
// resumes from the previous answer and a whole document costs one pass.
int32_t ZY_XMLReader::LineOf(int32_t at) {
  if (at < line_pos_) line_pos_ = line_count_ = 0;
  for (int32_t i = line_pos_; i < at; i++)
    if (text_[i] == '\n') line_count_++;
  line_pos_ = at;
  return line_count_;
}

// Reports a character error at document index `at` (0 <= at < length).
void ZY_XMLReader::CharError(const char *message, int32_t at) {
  if (reports_ > ZYI_XML_MAX_REPORTS) return;
  char text[5120];
  if (reports_++ == ZYI_XML_MAX_REPORTS) {
    snprintf(text, sizeof text, "Too many parsing errors in ZY_XML '%s'; the rest are not reported.\n",
             FileName());
  } else {
    char c = text_[at];
    snprintf(text, sizeof text,
             "Parsing error (%s) around line %d in ZY_XML '%s'. Unexpected character '%c' "
             "(%x) at:\n'%.254s'\n",
             message, LineOf(at), FileName(), c ? c : ' ', (unsigned)(unsigned char)c,
             text_ + at);
  }
  Report(text, true);
}

// ---------------------------------------------------------------------------------
// Tokeniser
// ---------------------------------------------------------------------------------

// Skips a comment whose "<!--" is already in the token; *pos is the first byte after
// it. Ends after the first "-->" made of skipped bytes. False when the document ends
// first (reported).
bool ZY_XMLReader::SkipComment(int32_t *pos) {
  const char *t = text_;
  int32_t p = *pos, start = p, len = length_;
  while (p < len) {
    char c = t[p++];
    // Only bytes passed here count: "<!-->" does not end the comment it opens.
    if (c == '>' && p - start >= 3 && t[p - 2] == '-' && t[p - 3] == '-') {
      *pos = p;
      return true;
    }
    if (c == '-' && p - start >= 4 && t[p - 2] == '-' && t[p - 3] == '!' && t[p - 4] == '<')
      CharError("New comment block start within a comment block.", p - 1);
  }
  *pos = len;
  CharError("Comment block not ended properly.", len - 1);
  return false;
}

// Gathers the next token into token_. False at the end of the document (a partial
// token is lost) and after an unterminated comment.
bool ZY_XMLReader::NextToken(int32_t *token_length) {
  const char *t = text_;
  const uint8_t *cls = kClass.cls;
  const int32_t len = length_;
  int32_t pos = position_;
  char *tok = token_;
  int32_t n = 0;
  bool in_tag = false, in_quotes = false;
  bool text_has_content = false;  // the text gathered so far is not all white
  bool overrun_reported = false;

  while (pos < len) {
    char c = t[pos];

    if (in_quotes) {
      // Quoted run: everything up to the closing quote is copied unchanged.
      const char *q = (const char *)memchr(t + pos, '"', (size_t)(len - pos));
      int32_t run = (q ? (int32_t)(q - t) : len) - pos;
      int32_t room = kTokenMax - n;
      int32_t copy = run < room ? run : room;
      if (copy > 0) {
        memcpy(tok + n, t + pos, (size_t)copy);
        if (!in_tag) {
          for (int32_t i = 0; i < copy && !text_has_content; i++)
            text_has_content = !IsWhite(tok[n + i]);
        }
        n += copy;
      }
      pos += run;
      if (!q) break;
      // The quote closes the run unless the buffer shows it escaped (\" but not \\").
      if (!(n >= 1 && tok[n - 1] == '\\' && !(n >= 2 && tok[n - 2] == '\\'))) in_quotes = false;
      if (n < kTokenMax) tok[n++] = '"';
      pos++;
      continue;
    }

    if (!in_tag) {
      if (!(cls[(unsigned char)c] & CLS_TEXT_STOP)) {
        // Run of plain text.
        int32_t end = pos;
        bool content = false;
        while (end < len && !(cls[(unsigned char)t[end]] & CLS_TEXT_STOP)) {
          content |= !(cls[(unsigned char)t[end]] & CLS_WHITE);
          end++;
        }
        int32_t run = end - pos, room = kTokenMax - n;
        int32_t copy = run < room ? run : room;
        if (copy > 0) {
          memcpy(tok + n, t + pos, (size_t)copy);
          n += copy;
          if (!text_has_content) {
            if (copy == run) {
              text_has_content = content;
            } else {
              for (int32_t i = n - copy; i < n && !text_has_content; i++)
                text_has_content = !IsWhite(tok[i]);
            }
          }
        }
        if (copy < run && !overrun_reported) {
          overrun_reported = true;  // once per token, not once per dropped byte
          CharError("buffer overrun", pos + copy);
        }
        pos = end;
        continue;
      }
      if (c == '<') {
        if (text_has_content) break;  // the '<' stays unread; the text is the token
        n = 0;
        tok[n++] = '<';
        in_tag = true;
        pos++;
        continue;
      }
      if (c == '>') CharError("not expecting '>'", pos);
      if (c == '"') in_quotes = true;
      if (n < kTokenMax) {
        tok[n++] = c;
        text_has_content = true;
      } else if (!overrun_reported) {
        overrun_reported = true;
        CharError("buffer overrun", pos);
      }
      pos++;
      continue;
    }

    // Inside a tag.
    if (!(cls[(unsigned char)c] & CLS_TAG_STOP)) {
      int32_t end = pos + 1;
      while (end < len && !(cls[(unsigned char)t[end]] & CLS_TAG_STOP)) end++;
      int32_t run = end - pos, room = kTokenMax - n;
      int32_t copy = run < room ? run : room;
      if (copy > 0) {
        memcpy(tok + n, t + pos, (size_t)copy);
        n += copy;
      }
      pos = end;
      continue;
    }
    switch (c) {
      case '\t':
      case '\r':
      case '\n':
      case ' ':
        // Runs collapse to one space; none after '<' or '='.
        if (n > 0 && tok[n - 1] != ' ' && tok[n - 1] != '<' && tok[n - 1] != '=' &&
            n < kTokenMax)
          tok[n++] = ' ';
        pos++;
        break;
      case '=':
        if (n > 0 && tok[n - 1] == ' ') n--;  // "a =" becomes "a="
        if (n < kTokenMax) tok[n++] = '=';
        pos++;
        break;
      case '"':
        if (n < kTokenMax) tok[n++] = '"';
        in_quotes = true;
        pos++;
        break;
      case '<':
        if (n == 1 && tok[0] == '<') CharError("not expecting another '<'", pos);
        if (n < kTokenMax) tok[n++] = '<';
        pos++;
        break;
      case '-':
        if (n < kTokenMax) tok[n++] = '-';
        pos++;
        if (n >= 4 && memcmp(tok + n - 4, "<!--", 4) == 0) {
          if (pos >= len) break;  // the document ends inside the comment opener
          if (!SkipComment(&pos)) {
            position_ = pos;
            return false;
          }
          n -= 4;  // the comment leaves nothing; the reader stays inside the tag
        }
        break;
      case '>':
        if (n == 1 && tok[0] == '<') {
          CharError("not expecting '<' yet", pos);
          tok[n++] = '>';
          pos++;
          break;
        }
        // The tag is complete: " />" becomes "/>", a trailing space becomes '>'.
        if (n >= 2 && tok[n - 2] == ' ' && tok[n - 1] == '/') {
          tok[n - 2] = '/';
          tok[n - 1] = '>';
        } else if (n >= 1 && tok[n - 1] == ' ') {
          tok[n - 1] = '>';
        } else if (n < kTokenMax) {
          tok[n++] = '>';
        }
        pos++;
        tok[n] = 0;
        position_ = pos;
        *token_length = n;
        return true;
    }
  }

  position_ = pos;
  if (pos < len) {  // stopped at a '<' that ends a run of text
    tok[n] = 0;
    *token_length = n;
    return true;
  }
  tok[n] = 0;
  return false;
}

// ---------------------------------------------------------------------------------
// Record builder
// ---------------------------------------------------------------------------------

// Turns the escapes of an attribute value into their characters, in place.
static void Unescape(char *v) {
  char *r = v, *w = v;
  while (*r) {
    if (*r != '\\') {
      *w++ = *r++;
      continue;
    }
    char c = r[1];
    if (c == 0) break;  // a backslash at the very end is dropped
    switch (c) {
      case 'n': *w++ = '\n'; break;
      case 'r': *w++ = '\r'; break;
      case 't': *w++ = '\t'; break;
      case '"': *w++ = '"'; break;
      case '\\': *w++ = '\\'; break;
      default: break;  // an unknown escape drops both characters
    }
    r += 2;
  }
  *w = 0;
}

ZY_XMLElement *ZY_XMLReader::ReadElement() {
  if (!text_ || !token_) return nullptr;
  int32_t n = 0;
  if (!NextToken(&n)) return nullptr;
  return BuildRecord(n);
}

ZY_XMLElement *ZY_XMLReader::BuildRecord(int32_t token_length) {
  ZY_XMLElement *e = &current_;
  e->name = nullptr;
  e->attribute_count = 0;
  e->closing = 0;
  e->end_tag = 0;
  char *tok = token_;

  if (token_length == 0 || tok[0] != '<') {
    e->attribute_count = 1;
    e->attribute_names[0] = kDataName;
    e->attribute_values[0] = tok;
    return e;
  }

  char *p = tok + 1;
  if (*p == '/') {
    e->closing = 1;
    e->end_tag = 1;
    p++;
  }
  e->name = p;
  while (*p && *p != ' ' && *p != '>') p++;
  if (*p != ' ') {
    // Name ended by '>' (or by the end of a token cut short at the buffer's limit).
    if (*p == '>' && p[-1] == '/') {
      e->closing = 1;
      p[-1] = 0;
    }
    *p = 0;
    return e;
  }
  *p++ = 0;
  if (position_ >= length_) return nullptr;

  for (;;) {
    char *attr = p;
    char *eq = strchr(p, '=');
    if (!eq) {
      char text[64];
      snprintf(text, sizeof text, "ZY_XMLReader Parsing Error1 at %d/%d\n", position_, length_);
      Report(text, false);
      return nullptr;
    }
    *eq = 0;
    char *value = eq + 1;
    if (*value == '"') value++;

    // The value ends at a space or '>' outside quotes ("/>" ends it at the '/').
    char *end = nullptr;
    bool quoted = false, escaped = false;
    for (char *s = eq + 1; *s; s++) {
      if (*s == '"') {
        if (!(s[-1] == '\\' && s[-2] != '\\')) quoted = !quoted;
      } else if (*s == '\\') {
        escaped = true;
      } else if (!quoted && (*s == ' ' || *s == '>')) {
        end = (*s == '>' && s[-1] == '/') ? s - 1 : s;
        break;
      }
    }
    if (!end) {
      char text[64];
      snprintf(text, sizeof text, "ZY_XMLReader Parsing Error2 at %d/%d\n", position_, length_);
      Report(text, false);
      return nullptr;
    }
    char end_char = *end;
    char next = end[1];  // end[1] is at most the token's terminating NUL
    if (end_char == '/') e->closing = 1;
    *end = 0;
    if (end > value && end[-1] == '"') end[-1] = 0;  // drop the closing quote
    if (escaped) Unescape(value);  // most values hold no backslash at all

    if (e->attribute_count < ZY_XML_MAX_ATTRIBUTES) {
      e->attribute_names[e->attribute_count] = attr;
      e->attribute_values[e->attribute_count] = value;
      if (++e->attribute_count == ZY_XML_MAX_ATTRIBUTES) {
        char text[1024];
        snprintf(text, sizeof text, "Too many blocks (%d limit) in object '%s' in xml '%s'.\n",
                 ZY_XML_MAX_ATTRIBUTES, e->name, FileName());
        Report(text, true);
      }
    }

    if (next == '/' && end[2] == '>') {
      e->closing = 1;
      return e;
    }
    if (next == '>' || next == 0) return e;
    if (position_ >= length_) return nullptr;
    p = end + 1;
  }
}
