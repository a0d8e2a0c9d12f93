// The outcome of an operation: 0 when it changed or wrote something, 1
// otherwise, plus the kind of failure and a short human reason, so that a
// front end can say why something did not happen.
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

  Result() = default;

  static Result Done() { return Result(); }
  static Result NothingToDo(std::string why) { return Result(Kind::kNothingToDo, std::move(why)); }
  static Result Cancelled() { return Result(Kind::kCancelled, "cancelled"); }
  static Result Refused(std::string why) { return Result(Kind::kRefused, std::move(why)); }
  static Result IoError(std::string why) { return Result(Kind::kIoError, std::move(why)); }

  // 0 done, 1 not done.
  int code() const { return kind_ == Kind::kDone ? 0 : 1; }
  bool ok() const { return kind_ == Kind::kDone; }
  Kind kind() const { return kind_; }
  const std::string& reason() const { return reason_; }

  // Puts a context in front of the reason ("header: " + reason).
  Result WithContext(const std::string& context) && {
    if (!ok() && !context.empty()) reason_ = context + ": " + reason_;
    return std::move(*this);
  }

 private:
  Result(Kind kind, std::string reason) : kind_(kind), reason_(std::move(reason)) {}

  Kind kind_ = Kind::kDone;
  std::string reason_;
};

}  // namespace pixmill
