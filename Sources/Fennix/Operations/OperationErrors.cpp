#include "Fennix/Operations/OperationErrors.h"

#include <memory>

using Fennix::ErrorRef;

namespace {

std::string describe(const ErrorRef& error) { return error ? error->description() : std::string("<nil>"); }

template <typename... Cases>
struct Overloaded : Cases... {
  using Cases::operator()...;
};
template <typename... Cases>
Overloaded(Cases...) -> Overloaded<Cases...>;

}  // namespace

ErrorRef QvOperationError::compound(ErrorRef first, std::vector<ErrorRef> followUp) {
  return std::make_shared<QvOperationError>(Compound{std::move(first), std::move(followUp)});
}
ErrorRef QvOperationError::other(ErrorRef error) { return std::make_shared<QvOperationError>(Other{std::move(error)}); }
ErrorRef QvOperationError::cancelled() { return std::make_shared<QvOperationError>(Cancelled{}); }
ErrorRef QvOperationError::lostWeak() { return std::make_shared<QvOperationError>(LostWeak{}); }
ErrorRef QvOperationError::notImplemented() { return std::make_shared<QvOperationError>(NotImplemented{}); }

ErrorRef QvOperationError::first() const {
  if (auto* compound = std::get_if<Compound>(&value_)) return compound->first;
  return std::make_shared<QvOperationError>(*this);
}

void QvOperationError::add(ErrorRef error) {
  if (auto* compound = std::get_if<Compound>(&value_)) {
    compound->followUp.push_back(std::move(error));
    return;
  }
  ErrorRef previous = std::make_shared<QvOperationError>(*this);
  value_ = Compound{std::move(previous), {std::move(error)}};
}

std::string QvOperationError::description() const {
  return std::visit(Overloaded{
                        [](const Compound& compound) {
                          std::string text = "compound(first: " + describe(compound.first) + ", followUp: [";
                          for (std::size_t i = 0; i < compound.followUp.size(); ++i) {
                            if (i > 0) text += ", ";
                            text += describe(compound.followUp[i]);
                          }
                          return text + "])";
                        },
                        [](const Other& other) { return "other(" + describe(other.error) + ")"; },
                        [](const Cancelled&) { return std::string("cancelled"); },
                        [](const LostWeak&) { return std::string("lostWeak"); },
                        [](const NotImplemented&) { return std::string("notImplemented"); },
                    },
                    value_);
}

ErrorRef QvAdapterOperationError::inputTypeDoesNotMatchOutputType(std::string from, std::string to) {
  return std::make_shared<QvAdapterOperationError>(InputTypeDoesNotMatchOutputType{std::move(from), std::move(to)});
}
ErrorRef QvAdapterOperationError::operationHandleLost() {
  return std::make_shared<QvAdapterOperationError>(OperationHandleLost{});
}
ErrorRef QvAdapterOperationError::missingInputValueWithoutError() {
  return std::make_shared<QvAdapterOperationError>(MissingInputValueWithoutError{});
}
ErrorRef QvAdapterOperationError::cancelled() { return std::make_shared<QvAdapterOperationError>(Cancelled{}); }
ErrorRef QvAdapterOperationError::executionRace() {
  return std::make_shared<QvAdapterOperationError>(ExecutionRace{});
}

std::string QvAdapterOperationError::description() const {
  return std::visit(Overloaded{
                        [](const InputTypeDoesNotMatchOutputType& mismatch) {
                          return "inputTypeDoesNotMatchOutputType(from: " + mismatch.from + ", to: " + mismatch.to + ")";
                        },
                        [](const OperationHandleLost&) { return std::string("operationHandleLost"); },
                        [](const MissingInputValueWithoutError&) { return std::string("missingInputValueWithoutError"); },
                        [](const Cancelled&) { return std::string("cancelled"); },
                        [](const ExecutionRace&) { return std::string("executionRace"); },
                    },
                    value_);
}
