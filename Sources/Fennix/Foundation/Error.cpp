#include "Fennix/Foundation/Error.h"


namespace Fennix {

ThrownError::ThrownError(ErrorRef error)
    : error_(std::move(error)), text_(error_ ? error_->description() : std::string("<nil>")) {}

void throwError(ErrorRef error) { throw ThrownError(std::move(error)); }

ErrorRef errorFromException(const std::exception_ptr& exception) {
  if (!exception) return nullptr;
  try {
    std::rethrow_exception(exception);
  } catch (const ThrownError& thrown) {
    if (thrown.error()) return thrown.error();
    return std::make_shared<MessageError>("unknown error");
  } catch (const std::exception& other) {
    return std::make_shared<MessageError>(other.what());
  } catch (...) {
    return std::make_shared<MessageError>("unknown error");
  }
}


}  // namespace Fennix
