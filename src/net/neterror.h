#pragma once

#include <QString>
#include <exception>
#include <string>

namespace net {

// Every code the network component reports, thrown in ENetCore or fired
// through OnError. The numbers are part of the texts users and logs have
// always seen ("10061: [10061] Connection refused"), so they never change.
enum class Error : quint16 {
    // The local file; fired through OnError, never thrown. 0 is also what the
    // connection events carry for success, but never as an Error.
    LocalFileNotCreated = 0,
    LocalFileWriteFailed = 7,

    RemoteHostBusy = 101,
    AddressInvalid = 102,
    PortZero = 116,

    // The exchange.
    StatusFailed = 151, // thrown with the status text as its message
    NoServer = 152,
    BadScheme = 153,
    UnsafeTarget = 154,
    UnsafeHeader = 155,
    // The proxy. A thrown message adds the detail after ": " (the socket
    // error, the proxy's status line, the variable that names the proxy).
    ProxyUnreachable = 156,
    ProxyAuthentication = 157,
    ProxyRefused = 158,
    ProxyInvalid = 159,
    // The encrypted stream (160-169). A thrown message adds the detail after
    // ": " (OpenSSL's verify error or reason, the host name).
    TlsHandshakeFailed = 160,
    TlsCertificateUntrusted = 161,
    TlsHostMismatch = 162,
    TlsConnectionFailed = 163,
    TlsUnavailable = 164,
    // A kept connection's answer (KeepAlive): its body's framing broke (the
    // detail says how), or the connection closed before the body's end.
    ChunkMalformed = 170,
    BodyIncomplete = 171,

    OutOfMemory = 200,
    Interrupted = 301,
    AttachedFileUnreadable = 302,

    // The socket codes, in the numbering of the Windows Sockets 1.1 table;
    // their texts read "[code] description". Platform errors are mapped onto
    // them (socketerrors.h); one without a counterpart becomes SocketUnmapped.
    SocketUnmapped = 10000,
    SocketInterruptedCall = 10004,
    SocketBadFileNumber = 10009,
    SocketAccessDenied = 10013,
    SocketBadAddress = 10014,
    SocketInvalidArgument = 10022,
    SocketTooManyOpenFiles = 10024,
    SocketWouldBlock = 10035,
    SocketInProgress = 10036,
    SocketAlreadyInProgress = 10037,
    SocketNotSocket = 10038,
    SocketDestinationRequired = 10039,
    SocketMessageTooLong = 10040,
    SocketWrongProtocolType = 10041,
    SocketBadProtocolOption = 10042,
    SocketProtocolNotSupported = 10043,
    SocketTypeNotSupported = 10044,
    SocketOperationNotSupported = 10045,
    SocketProtocolFamilyNotSupported = 10046,
    SocketAddressFamilyNotSupported = 10047,
    SocketAddressInUse = 10048,
    SocketAddressNotAvailable = 10049,
    SocketNetworkDown = 10050,
    SocketNetworkUnreachable = 10051,
    SocketNetworkReset = 10052,
    SocketConnectionAborted = 10053,
    SocketConnectionReset = 10054,
    SocketNoBufferSpace = 10055,
    SocketAlreadyConnected = 10056,
    SocketNotConnected = 10057,
    SocketShutDown = 10058,
    SocketTooManyReferences = 10059,
    SocketTimedOut = 10060,
    SocketConnectionRefused = 10061,
    SocketSymbolicLinkLoop = 10062,
    SocketNameTooLong = 10063,
    SocketHostDown = 10064,
    SocketNoRoute = 10065,
    SocketDirectoryNotEmpty = 10066,
    SocketTooManyProcesses = 10067,
    SocketTooManyUsers = 10068,
    SocketDiskQuotaExceeded = 10069,
    SocketStaleHandle = 10070,
    SocketRemotePath = 10071,
    SocketSubsystemUnavailable = 10091,
    SocketVersionOutOfRange = 10092,
    SocketLayerNotLoaded = 10093,
    HostNotFound = 11001,
    HostNotFoundTryAgain = 11002,
    LookupFailed = 11003,
    HostWithoutAddress = 11004,
};

// The one text of a code: a socket code reads "[code] description" (or
// "[code] (no description available)"), every other code its plain message.
QString errorText(Error code);
// The code's text, then ": " and the detail when there is one.
QString errorText(Error code, const QString &detail);

} // namespace net

// The exception a failed exchange throws out of the Action assignment. Its
// text is the decimal code, ": ", then the message.
class ENetCore : public std::exception
{
public:
    // The message is the code's text.
    explicit ENetCore(net::Error code);
    // A message of the failing step's own, even when empty (a status line
    // without a status text gives "151: ").
    ENetCore(net::Error code, const QString &message);

    quint16 Code() const { return static_cast<quint16>(m_code); }
    net::Error error() const { return m_code; }
    // The text after "code: ".
    QString Message() const { return m_message; }
    // The whole text, "code: message", UTF-8.
    const char *what() const noexcept override { return m_what.c_str(); }

private:
    net::Error m_code;
    QString m_message;
    std::string m_what;
};
