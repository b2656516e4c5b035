#include "FormStream.h"

#include <algorithm>
#include <cstring>

#include "ByteOrder.h"

TFormValue TFormValue::Int(std::int32_t v) {
  TFormValue r;
  r.Type = (v >= -128 && v <= 127)       ? TValueType::vaInt8
           : (v >= -32768 && v <= 32767) ? TValueType::vaInt16
                                         : TValueType::vaInt32;
  r.Integer = v;
  return r;
}
TFormValue TFormValue::Str(std::string s) {
  TFormValue r;
  r.Type = TValueType::vaString;
  r.Text = std::move(s);
  return r;
}
TFormValue TFormValue::Ident(std::string s) {
  TFormValue r;
  r.Type = TValueType::vaIdent;
  r.Text = std::move(s);
  return r;
}
TFormValue TFormValue::Bool(bool b) {
  TFormValue r;
  r.Type = b ? TValueType::vaTrue : TValueType::vaFalse;
  return r;
}
TFormValue TFormValue::Binary(std::string bytes) {
  TFormValue r;
  r.Type = TValueType::vaBinary;
  r.Text = std::move(bytes);
  return r;
}

bool TFormValue::operator==(const TFormValue& o) const {
  if (IsInteger() && o.IsInteger()) return Integer == o.Integer;
  if (Type != o.Type) return false;
  switch (Type) {
    case TValueType::vaString:
    case TValueType::vaIdent:
    case TValueType::vaBinary: return Text == o.Text;
    case TValueType::vaSet: return Set == o.Set;
    case TValueType::vaList: return List == o.List;
    default: return true;
  }
}

// ---------------------------------------------------------------- binary

namespace {

class TBinaryReader {
public:
  TBinaryReader(const unsigned char* p, std::size_t n) : p_(p), n_(n) {}

  TFormObject Root() {
    if (n_ < 4 || std::memcmp(p_, "TPF0", 4) != 0)
      throw EReadError("Invalid stream format: the form stream does not start with TPF0");
    pos_ = 4;
    TFormObject root = Object(0);
    return root;
  }

private:
  [[noreturn]] void Early(const char* what) const {
    throw EReadError("Invalid stream format: the stream ends early while reading %s at offset %d",
                     {what, static_cast<long long>(pos_)});
  }
  void Need(std::size_t k, const char* what) const {
    if (k > n_ - pos_) Early(what);
  }
  std::uint8_t Byte(const char* what) {
    Need(1, what);
    return p_[pos_++];
  }
  std::string Short(const char* what) {
    std::uint8_t len = Byte(what);
    Need(len, what);
    std::string s(reinterpret_cast<const char*>(p_ + pos_), len);
    pos_ += len;
    return s;
  }
  std::uint32_t U(int bytes, const char* what) {
    Need(static_cast<std::size_t>(bytes), what);
    const std::uint32_t v = static_cast<std::uint32_t>(GetLE(p_ + pos_, bytes));
    pos_ += static_cast<std::size_t>(bytes);
    return v;
  }

  TFormObject Object(int depth) {
    if (depth > kFormMaxDepth)
      throw EReadError("Invalid stream format: components nested more than %d deep",
                       {kFormMaxDepth});
    Need(1, "a component record");
    if ((p_[pos_] & 0xF0) == 0xF0)
      throw EReadError("Invalid stream format: inherited or inline component records are not "
                       "supported (offset %d)", {static_cast<long long>(pos_)});
    TFormObject o;
    o.ClassName = Short("a class name");
    if (o.ClassName.empty())
      throw EReadError("Invalid stream format: empty class name at offset %d",
                       {static_cast<long long>(pos_ - 1)});
    o.Name = Short("a component name");
    for (;;) {
      std::string name = Short("a property name");
      if (name.empty()) break;
      TFormProperty p;
      p.Name = std::move(name);
      p.Value = Value(Byte("a value type"), 0, p.Name);
      o.Properties.push_back(std::move(p));
    }
    for (;;) {
      Need(1, "a child component");
      if (p_[pos_] == 0) {
        ++pos_;
        break;
      }
      o.Children.push_back(Object(depth + 1));
    }
    return o;
  }

  TFormValue Value(std::uint8_t type, int depth, const std::string& prop) {
    TFormValue v;
    switch (type) {
      case 1: {
        if (depth >= kFormMaxDepth)
          throw EReadError("Invalid stream format: lists nested more than %d deep in %s",
                           {kFormMaxDepth, prop});
        v.Type = TValueType::vaList;
        for (;;) {
          std::uint8_t t = Byte("a list item");
          if (t == 0) break;
          v.List.push_back(Value(t, depth + 1, prop));
        }
        return v;
      }
      case 2:
        v.Type = TValueType::vaInt8;
        v.Integer = static_cast<std::int8_t>(U(1, "an integer"));
        return v;
      case 3:
        v.Type = TValueType::vaInt16;
        v.Integer = static_cast<std::int16_t>(U(2, "an integer"));
        return v;
      case 4:
        v.Type = TValueType::vaInt32;
        v.Integer = static_cast<std::int32_t>(U(4, "an integer"));
        return v;
      case 6:
        v.Type = TValueType::vaString;
        v.Text = Short("a string");
        return v;
      case 7:
        v.Type = TValueType::vaIdent;
        v.Text = Short("an identifier");
        if (v.Text.empty())
          throw EReadError("Invalid stream format: empty identifier for property %s", {prop});
        return v;
      case 8: v.Type = TValueType::vaFalse; return v;
      case 9: v.Type = TValueType::vaTrue; return v;
      case 10: {
        std::uint32_t len = U(4, "a binary length");
        Need(len, "binary data");
        v.Type = TValueType::vaBinary;
        v.Text.assign(reinterpret_cast<const char*>(p_ + pos_), len);
        pos_ += len;
        return v;
      }
      case 11:
        v.Type = TValueType::vaSet;
        for (;;) {
          std::string e = Short("a set element");
          if (e.empty()) break;
          v.Set.push_back(std::move(e));
        }
        return v;
      default:
        throw EReadError("Invalid stream format: unknown value type %d for property %s at offset %d",
                         {static_cast<int>(type), prop, static_cast<long long>(pos_ - 1)});
    }
  }

  const unsigned char* p_;
  std::size_t n_;
  std::size_t pos_ = 0;
};

void PutShort(std::string& out, const std::string& s, const char* what) {
  if (s.size() > 255) throw EFilerError("%s is longer than 255 characters: %s", {what, s.substr(0, 40)});
  out += static_cast<char>(s.size());
  out += s;
}
void PutU(std::string& out, std::uint32_t v, int bytes) {
  std::uint8_t b[4];
  PutLE(b, v, bytes);
  out.append(reinterpret_cast<const char*>(b), static_cast<std::size_t>(bytes));
}

void PutValue(std::string& out, const TFormValue& v) {
  switch (v.Type) {
    case TValueType::vaList:
      out += '\1';
      for (const auto& e : v.List) PutValue(out, e);
      out += '\0';
      break;
    case TValueType::vaInt8:
    case TValueType::vaInt16:
    case TValueType::vaInt32: {
      TFormValue m = TFormValue::Int(v.Integer);
      out += static_cast<char>(m.Type);
      PutU(out, static_cast<std::uint32_t>(v.Integer),
           m.Type == TValueType::vaInt8 ? 1 : m.Type == TValueType::vaInt16 ? 2 : 4);
      break;
    }
    case TValueType::vaString:
    case TValueType::vaIdent:
      out += static_cast<char>(v.Type);
      PutShort(out, v.Text, v.Type == TValueType::vaString ? "A string" : "An identifier");
      break;
    case TValueType::vaFalse:
    case TValueType::vaTrue: out += static_cast<char>(v.Type); break;
    case TValueType::vaBinary:
      out += '\12';
      PutU(out, static_cast<std::uint32_t>(v.Text.size()), 4);
      out += v.Text;
      break;
    case TValueType::vaSet:
      out += '\13';
      for (const auto& e : v.Set) {
        if (e.empty()) throw EFilerError("A set element is empty");
        PutShort(out, e, "A set element");
      }
      out += '\0';
      break;
    case TValueType::vaNull: throw EFilerError("A property has no value");
  }
}

void PutObject(std::string& out, const TFormObject& o) {
  PutShort(out, o.ClassName, "A class name");
  PutShort(out, o.Name, "A component name");
  for (const auto& p : o.Properties) {
    if (p.Name.empty()) throw EFilerError("A property of %s has no name", {o.Name});
    PutShort(out, p.Name, "A property name");
    PutValue(out, p.Value);
  }
  out += '\0';
  for (const auto& c : o.Children) PutObject(out, c);
  out += '\0';
}

}  // namespace

TFormObject ParseFormStream(const void* data, std::size_t size) {
  if (!data && size) throw EReadError("Invalid stream format: no data");
  TBinaryReader r(static_cast<const unsigned char*>(data), data ? size : 0);
  return r.Root();
}

std::string WriteFormStream(const TFormObject& root) {
  std::string out = "TPF0";
  PutObject(out, root);
  return out;
}

// ---------------------------------------------------------------- text

namespace {

bool IdentStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IdentChar(char c) { return IdentStart(c) || (c >= '0' && c <= '9'); }

std::string QuoteString(const std::string& s) {
  if (s.empty()) return "''";
  std::string out;
  bool inQuote = false;
  for (unsigned char c : s) {
    if (c >= 32 && c < 127) {
      if (!inQuote) out += '\'', inQuote = true;
      if (c == '\'') out += '\'';
      out += static_cast<char>(c);
    } else {
      if (inQuote) out += '\'', inQuote = false;
      out += '#' + std::to_string(c);
    }
  }
  if (inQuote) out += '\'';
  return out;
}

void TextValue(std::string& out, const TFormValue& v, int indent) {
  const std::string pad(static_cast<std::size_t>(indent), ' ');
  switch (v.Type) {
    case TValueType::vaList:
      out += '(';
      for (std::size_t i = 0; i < v.List.size(); ++i) {
        out += '\n' + pad + "  ";
        TextValue(out, v.List[i], indent + 2);
      }
      out += ')';
      break;
    case TValueType::vaInt8:
    case TValueType::vaInt16:
    case TValueType::vaInt32: out += std::to_string(v.Integer); break;
    case TValueType::vaString: out += QuoteString(v.Text); break;
    case TValueType::vaIdent: out += v.Text; break;
    case TValueType::vaFalse: out += "False"; break;
    case TValueType::vaTrue: out += "True"; break;
    case TValueType::vaBinary: {
      static const char hex[] = "0123456789ABCDEF";
      out += '{';
      for (std::size_t i = 0; i < v.Text.size(); ++i) {
        if (i % 32 == 0 && v.Text.size() > 32) out += '\n' + pad + "  ";
        unsigned char c = static_cast<unsigned char>(v.Text[i]);
        out += hex[c >> 4];
        out += hex[c & 15];
      }
      out += '}';
      break;
    }
    case TValueType::vaSet:
      out += '[';
      for (std::size_t i = 0; i < v.Set.size(); ++i) {
        if (i) out += ", ";
        out += v.Set[i];
      }
      out += ']';
      break;
    case TValueType::vaNull: throw EFilerError("A property has no value");
  }
}

void TextObject(std::string& out, const TFormObject& o, int indent) {
  const std::string pad(static_cast<std::size_t>(indent), ' ');
  out += pad + "object " + o.Name + ": " + o.ClassName + "\n";
  for (const auto& p : o.Properties) {
    out += pad + "  " + p.Name + " = ";
    TextValue(out, p.Value, indent + 2);
    out += '\n';
  }
  for (const auto& c : o.Children) TextObject(out, c, indent + 2);
  out += pad + "end\n";
}

class TTextParser {
public:
  explicit TTextParser(const std::string& s) : s_(s) {}

  TFormObject Root() {
    TFormObject o = Object(0);
    Skip();
    if (pos_ < s_.size()) Fail("text after the final 'end'");
    return o;
  }

private:
  [[noreturn]] void Fail(const std::string& what) const {
    std::size_t lineStart = std::min(pos_, s_.size());
    while (lineStart > 0 && s_[lineStart - 1] != '\n') --lineStart;
    const int column = static_cast<int>(std::min(pos_, s_.size()) - lineStart) + 1;
    throw EReadError("Form text, line %d, column %d: %s", {LineAt(pos_), column, what});
  }
  // Counts on from the last position asked for: the parser only moves forward.
  int LineAt(std::size_t at) const {
    if (at < linePos_) linePos_ = 0, line_ = 1;
    for (; linePos_ < at && linePos_ < s_.size(); ++linePos_)
      if (s_[linePos_] == '\n') ++line_;
    return line_;
  }
  void Skip() {
    while (pos_ < s_.size()) {
      char c = s_[pos_];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
        ++pos_;
      } else if (c == '/' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '/') {
        while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
      } else {
        break;
      }
    }
  }
  bool Peek(char c) {
    Skip();
    return pos_ < s_.size() && s_[pos_] == c;
  }
  void Expect(char c) {
    if (!Peek(c)) Fail(std::string("'") + c + "' expected");
    ++pos_;
  }
  std::string Ident(bool dotted) {
    Skip();
    if (pos_ >= s_.size() || !IdentStart(s_[pos_])) Fail("identifier expected");
    std::size_t b = pos_;
    while (pos_ < s_.size() &&
           (IdentChar(s_[pos_]) ||
            (dotted && s_[pos_] == '.' && pos_ + 1 < s_.size() && IdentStart(s_[pos_ + 1]))))
      ++pos_;
    return s_.substr(b, pos_ - b);
  }

  TFormObject Object(int depth) {
    if (depth > kFormMaxDepth) Fail("objects nested too deeply");
    if (Ident(false) != "object") Fail("'object' expected");
    TFormObject o;
    o.Line = LineAt(pos_);
    o.Name = Ident(false);
    Expect(':');
    o.ClassName = Ident(false);
    for (;;) {
      std::size_t save = pos_;
      std::string word = Ident(true);
      if (word == "end") break;
      if (word == "object") {
        pos_ = save;
        o.Children.push_back(Object(depth + 1));
        continue;
      }
      Expect('=');
      TFormProperty p;
      p.Name = word;
      p.Line = LineAt(pos_);
      p.Value = Value(0);
      o.Properties.push_back(std::move(p));
    }
    return o;
  }

  TFormValue Value(int depth) {
    Skip();
    if (pos_ >= s_.size()) Fail("value expected");
    char c = s_[pos_];
    if (c == '(') {
      if (depth >= kFormMaxDepth) Fail("lists nested too deeply");
      ++pos_;
      TFormValue v;
      v.Type = TValueType::vaList;
      while (!Peek(')')) v.List.push_back(Value(depth + 1));
      ++pos_;
      return v;
    }
    if (c == '[') {
      ++pos_;
      TFormValue v;
      v.Type = TValueType::vaSet;
      if (Peek(']')) {
        ++pos_;
        return v;
      }
      for (;;) {
        v.Set.push_back(Ident(false));
        if (Peek(']')) {
          ++pos_;
          return v;
        }
        Expect(',');
      }
    }
    if (c == '{') {
      ++pos_;
      std::string bytes;
      int half = -1;
      for (;;) {
        Skip();
        if (pos_ >= s_.size()) Fail("'}' expected");
        char h = s_[pos_++];
        if (h == '}') break;
        int d = (h >= '0' && h <= '9')   ? h - '0'
                : (h >= 'A' && h <= 'F') ? h - 'A' + 10
                : (h >= 'a' && h <= 'f') ? h - 'a' + 10
                                         : -1;
        if (d < 0) Fail("hexadecimal digit expected in binary data");
        if (half < 0) {
          half = d;
        } else {
          bytes += static_cast<char>(half * 16 + d);
          half = -1;
        }
      }
      if (half >= 0) Fail("odd number of hexadecimal digits in binary data");
      return TFormValue::Binary(std::move(bytes));
    }
    if (c == '\'' || c == '#') return TFormValue::Str(StringLit());
    if (c == '-' || c == '+' || (c >= '0' && c <= '9')) {
      std::size_t b = pos_;
      if (c == '-' || c == '+') ++pos_;
      long long v = 0;
      bool any = false;
      while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') {
        v = v * 10 + (s_[pos_++] - '0');
        any = true;
        if (v > 4294967296LL) Fail("integer out of range");
      }
      if (!any) Fail("digit expected");
      if (c == '-') v = -v;
      if (v < INT32_MIN || v > INT32_MAX) {
        pos_ = b;
        Fail("integer out of range");
      }
      return TFormValue::Int(static_cast<std::int32_t>(v));
    }
    std::string id = Ident(false);
    if (id == "True") return TFormValue::Bool(true);
    if (id == "False") return TFormValue::Bool(false);
    return TFormValue::Ident(id);
  }

  std::string StringLit() {
    std::string out;
    for (;;) {
      if (pos_ >= s_.size()) break;
      char c = s_[pos_];
      if (c == '\'') {
        const std::size_t opening = pos_++;
        for (;;) {
          if (pos_ >= s_.size() || s_[pos_] == '\n') {
            pos_ = opening;  // the message points at the string's start
            Fail("unterminated string");
          }
          char d = s_[pos_++];
          if (d == '\'') {
            if (pos_ < s_.size() && s_[pos_] == '\'') {
              out += '\'';
              ++pos_;
            } else {
              break;
            }
          } else {
            out += d;
          }
        }
      } else if (c == '#') {
        ++pos_;
        int v = 0;
        bool any = false;
        while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9' && v < 1000) {
          v = v * 10 + (s_[pos_++] - '0');
          any = true;
        }
        if (!any || v > 255) Fail("character code 0 to 255 expected after '#'");
        out += static_cast<char>(v);
      } else {
        break;
      }
    }
    return out;
  }

  const std::string& s_;
  std::size_t pos_ = 0;
  mutable std::size_t linePos_ = 0;
  mutable int line_ = 1;
};

}  // namespace

std::string FormToText(const TFormObject& root) {
  std::string out;
  TextObject(out, root, 0);
  return out;
}

TFormObject ParseFormText(const std::string& text) {
  TTextParser p(text);
  return p.Root();
}
