#pragma once
// The error numbers of the Windows sockets library, as the socket layer
// reports them.
#include <cstdint>

namespace ostrak {

// Windows sockets error numbers used by the layer.
namespace WsError {
constexpr int32_t Intr = 10004, Acces = 10013, Fault = 10014, Inval = 10022, MFile = 10024,
                  WouldBlock = 10035, InProgress = 10036, Already = 10037, NotSock = 10038,
                  DestAddrReq = 10039, MsgSize = 10040, ProtoType = 10041, NoProtoOpt = 10042,
                  ProtoNoSupport = 10043, SocktNoSupport = 10044, OpNotSupp = 10045,
                  AfNoSupport = 10047, AddrInUse = 10048, AddrNotAvail = 10049, NetDown = 10050,
                  NetUnreach = 10051, NetReset = 10052, ConnAborted = 10053, ConnReset = 10054,
                  NoBufs = 10055, IsConn = 10056, NotConn = 10057, Shutdown = 10058,
                  TimedOut = 10060, ConnRefused = 10061, HostDown = 10064, HostUnreach = 10065,
                  SysNotReady = 10091, VerNotSupported = 10092, NotInitialised = 10093,
                  HostNotFound = 11001, TryAgain = 11002, NoRecovery = 11003, NoData = 11004;
}

} // namespace ostrak
