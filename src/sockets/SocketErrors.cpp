#include "sockets/SocketErrors.h"

#include "platform/ErrorRecord.h"
#include "sockets/MSocketSupport.h"

void RaiseSocketError(int32_t code, const std::string& source) {
    Raise(code, MSocketSupport::GetErrorDescription(code), source);
}
