#include "sockets/SocketErrors.h"

#include "runtime/ErrorRecord.h"
#include "sockets/MSocketSupport.h"

namespace ostrak {

void RaiseSocketError(int32_t code, const std::string& source) {
    Raise(code, MSocketSupport::GetErrorDescription(code), source);
}

} // namespace ostrak
