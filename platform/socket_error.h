// The thread's socket error and the Windows Sockets error numbers the transport reports on every
// platform. The resolver stores its result here, 0 included, as the Windows resolver does.
#pragma once

#include <cstdint>

std::int32_t GetSocketError() noexcept;
void SetSocketError(std::int32_t code) noexcept;

constexpr std::int32_t kWsaNotEnoughMemory = 8;
constexpr std::int32_t kWsaInterrupted = 10004;
constexpr std::int32_t kWsaBadHandle = 10009;
constexpr std::int32_t kWsaAccessDenied = 10013;
constexpr std::int32_t kWsaFault = 10014;
constexpr std::int32_t kWsaInvalidArgument = 10022;
constexpr std::int32_t kWsaTooManyOpenSockets = 10024;
constexpr std::int32_t kWsaWouldBlock = 10035;
constexpr std::int32_t kWsaInProgress = 10036;
constexpr std::int32_t kWsaAlready = 10037;
constexpr std::int32_t kWsaNotSocket = 10038;
constexpr std::int32_t kWsaDestinationRequired = 10039;
constexpr std::int32_t kWsaMessageSize = 10040;
constexpr std::int32_t kWsaProtocolType = 10041;
constexpr std::int32_t kWsaNoProtocolOption = 10042;
constexpr std::int32_t kWsaProtocolNotSupported = 10043;
constexpr std::int32_t kWsaSocketTypeNotSupported = 10044;
constexpr std::int32_t kWsaOperationNotSupported = 10045;
constexpr std::int32_t kWsaProtocolFamilyNotSupported = 10046;
constexpr std::int32_t kWsaAddressFamilyNotSupported = 10047;
constexpr std::int32_t kWsaAddressInUse = 10048;
constexpr std::int32_t kWsaAddressNotAvailable = 10049;
constexpr std::int32_t kWsaNetworkDown = 10050;
constexpr std::int32_t kWsaNetworkUnreachable = 10051;
constexpr std::int32_t kWsaNetworkReset = 10052;
constexpr std::int32_t kWsaConnectionAborted = 10053;
constexpr std::int32_t kWsaConnectionReset = 10054;
constexpr std::int32_t kWsaNoBufferSpace = 10055;
constexpr std::int32_t kWsaIsConnected = 10056;
constexpr std::int32_t kWsaNotConnected = 10057;
constexpr std::int32_t kWsaShutdown = 10058;
constexpr std::int32_t kWsaTimedOut = 10060;
constexpr std::int32_t kWsaConnectionRefused = 10061;
constexpr std::int32_t kWsaNameTooLong = 10063;
constexpr std::int32_t kWsaHostDown = 10064;
constexpr std::int32_t kWsaHostUnreachable = 10065;
constexpr std::int32_t kWsaSystemCallFailure = 10107;
constexpr std::int32_t kWsaTypeNotFound = 10109;
constexpr std::int32_t kWsaHostNotFound = 11001;
constexpr std::int32_t kWsaTryAgain = 11002;
constexpr std::int32_t kWsaNoRecovery = 11003;
constexpr std::int32_t kWsaNoData = 11004;
