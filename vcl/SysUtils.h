// Base exceptions, message formatting and text comparison shared by every
// part of the program.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

// One argument of Format: a string or an integer.
class TFormatArg {
public:
  TFormatArg(const char* s) : isText_(true), text_(s ? s : "") {}
  TFormatArg(const std::string& s) : isText_(true), text_(s) {}
  TFormatArg(int v) : number_(v) {}
  TFormatArg(long v) : number_(v) {}
  TFormatArg(long long v) : number_(v) {}
  TFormatArg(unsigned v) : number_(v) {}
  TFormatArg(unsigned long v) : number_(static_cast<long long>(v)) {}
  TFormatArg(unsigned long long v) : number_(static_cast<long long>(v)) {}
  bool IsText() const { return isText_; }
  const std::string& Text() const { return text_; }
  long long Number() const { return number_; }
  std::string AsText() const { return isText_ ? text_ : std::to_string(number_); }

private:
  bool isText_ = false;
  std::string text_;
  long long number_ = 0;
};

// Formats %s, %d, %u, %x and %% (with an optional width such as %5d).
// Never fails: a placeholder without an argument stays as written, a
// string given for %d is inserted as text, a number for %s in decimal,
// and surplus arguments are ignored.
std::string Format(const std::string& format, std::initializer_list<TFormatArg> args);
std::string Format(const std::string& format, const std::vector<TFormatArg>& args);

class Exception : public std::exception {
public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  Exception(const std::string& format, std::initializer_list<TFormatArg> args)
      : message_(Format(format, args)) {}
  const std::string& Message() const { return message_; }
  void SetMessage(std::string m) { message_ = std::move(m); }
  const char* what() const noexcept override { return message_.c_str(); }
  virtual const char* ClassName() const { return "Exception"; }

private:
  std::string message_;
};

// A silent exception: ends the current step without a message.
class EAbort : public Exception {
public:
  EAbort() : Exception("Operation aborted") {}
  explicit EAbort(std::string m) : Exception(std::move(m)) {}
  const char* ClassName() const override { return "EAbort"; }
};

// Raises EAbort.
[[noreturn]] void Abort();

// a and b equal but for the case of ASCII letters, as names and file names
// compare (other bytes must match exactly).
bool SameText(const std::string& a, const std::string& b);

// The whole contents of a file, as bytes; false when it cannot be opened or
// read completely.
bool ReadFileBytes(const std::string& path, std::string& bytes);

// Declares an exception class with the constructors of its base.
#define TW_EXCEPTION(Name, Base)                                  \
  class Name : public Base {                                      \
  public:                                                         \
    using Base::Base;                                             \
    const char* ClassName() const override { return #Name; }      \
  }

// Stream failures, shared by the form streams and the archive streams.
TW_EXCEPTION(EStreamError, Exception);
TW_EXCEPTION(EFilerError, EStreamError);
TW_EXCEPTION(EReadError, EFilerError);
TW_EXCEPTION(EWriteError, EFilerError);
