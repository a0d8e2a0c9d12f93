// The outcome of an operation: 0 when it changed or wrote something, 1
// otherwise, plus the kind of failure, its cause where one is known, and a
// short human reason, so that a front end can say why something did not
// happen.
#pragma once

#include <string>
#include <utility>

namespace pixmill {

class [[nodiscard]] Result {
 public:
  enum class Kind {
    kDone,         // the operation changed or wrote something
    kNothingToDo,  // refused because there was nothing to do (same size, same depth)
    kCancelled,    // the user cancelled a prompt
    kRefused,      // the input or request is not acceptable
    kIoError,      // a file could not be read or written
  };

  // What lies behind a failure, for a front end to explain it in its own
  // words; the reason gives the details.
  enum class Cause {
    kUnknown,
    kNotFound,      // the file, or the folder to write into, does not exist
    kNoPermission,  // reading or writing is not allowed
    kIsFolder,      // a folder where a file is wanted
    kNoSpace,       // the disk is full
    kNotAPicture,   // no kind of file this program reads
    kDamaged,       // a file of a kind it reads, but broken
    kTooLarge,      // more than the program or the file format can hold
    kNoMemory,
    kCharacters,  // a character export, which is read back with its map
  };

  Result() = default;

  static Result Done() { return Result(); }
  static Result NothingToDo(std::string why) { return Result(Kind::kNothingToDo, std::move(why)); }
  static Result Cancelled() { return Result(Kind::kCancelled, "cancelled"); }
  static Result Refused(std::string why, Cause cause = Cause::kUnknown) {
    return Result(Kind::kRefused, std::move(why), cause);
  }
  static Result IoError(std::string why, Cause cause = Cause::kUnknown) {
    return Result(Kind::kIoError, std::move(why), cause);
  }

  // 0 done, 1 not done.
  int code() const { return m_kind == Kind::kDone ? 0 : 1; }
  bool ok() const { return m_kind == Kind::kDone; }
  Kind kind() const { return m_kind; }
  Cause cause() const { return m_cause; }
  const std::string& reason() const { return m_reason; }

  // Puts a context in front of the reason ("header: " + reason).
  Result WithContext(const std::string& context) && {
    if (!ok() && !context.empty()) m_reason = context + ": " + m_reason;
    return std::move(*this);
  }
  // Gives a failure whose cause is not known yet this one.
  Result WithCause(Cause cause) && {
    if (!ok() && m_cause == Cause::kUnknown) m_cause = cause;
    return std::move(*this);
  }

 private:
  Result(Kind kind, std::string reason, Cause cause = Cause::kUnknown)
      : m_kind(kind), m_cause(cause), m_reason(std::move(reason)) {}

  Kind m_kind = Kind::kDone;
  Cause m_cause = Cause::kUnknown;
  std::string m_reason;
};

}  // namespace pixmill
