#include "net/socketerrors.h"

#include <cerrno>
#include <netdb.h>

namespace net {

namespace {

struct ErrnoCode
{
    int err;
    Error code;
};

using enum Error;

constexpr ErrnoCode errnoCodes[] = {
    {EINTR, SocketInterruptedCall},
    {EBADF, SocketBadFileNumber},
    {EACCES, SocketAccessDenied},
    {EPERM, SocketAccessDenied},
    {EFAULT, SocketBadAddress},
    {EINVAL, SocketInvalidArgument},
    {EMFILE, SocketTooManyOpenFiles},
    {ENFILE, SocketTooManyOpenFiles},
    {EAGAIN, SocketWouldBlock},
    {EWOULDBLOCK, SocketWouldBlock},
    {EINPROGRESS, SocketInProgress},
    {EALREADY, SocketAlreadyInProgress},
    {ENOTSOCK, SocketNotSocket},
    {EDESTADDRREQ, SocketDestinationRequired},
    {EMSGSIZE, SocketMessageTooLong},
    {EPROTOTYPE, SocketWrongProtocolType},
    {ENOPROTOOPT, SocketBadProtocolOption},
    {EPROTONOSUPPORT, SocketProtocolNotSupported},
    {ESOCKTNOSUPPORT, SocketTypeNotSupported},
    {EOPNOTSUPP, SocketOperationNotSupported},
    {EPFNOSUPPORT, SocketProtocolFamilyNotSupported},
    {EAFNOSUPPORT, SocketAddressFamilyNotSupported},
    {EADDRINUSE, SocketAddressInUse},
    {EADDRNOTAVAIL, SocketAddressNotAvailable},
    {ENETDOWN, SocketNetworkDown},
    {ENETUNREACH, SocketNetworkUnreachable},
    {ENETRESET, SocketNetworkReset},
    {ECONNABORTED, SocketConnectionAborted},
    {ECONNRESET, SocketConnectionReset},
    {ENOBUFS, SocketNoBufferSpace},
    {ENOMEM, SocketNoBufferSpace},
    {EISCONN, SocketAlreadyConnected},
    {ENOTCONN, SocketNotConnected},
    {ESHUTDOWN, SocketShutDown},
    {EPIPE, SocketShutDown},
    {ETOOMANYREFS, SocketTooManyReferences},
    {ETIMEDOUT, SocketTimedOut},
    {ECONNREFUSED, SocketConnectionRefused},
    {ELOOP, SocketSymbolicLinkLoop},
    {ENAMETOOLONG, SocketNameTooLong},
    {EHOSTDOWN, SocketHostDown},
    {EHOSTUNREACH, SocketNoRoute},
    {ENOTEMPTY, SocketDirectoryNotEmpty},
    {EUSERS, SocketTooManyUsers},
    {EDQUOT, SocketDiskQuotaExceeded},
    {ESTALE, SocketStaleHandle},
    {EREMOTE, SocketRemotePath},
};

} // namespace

Error socketErrorFromErrno(int err)
{
    for (const ErrnoCode &entry : errnoCodes) {
        if (entry.err == err)
            return entry.code;
    }
    return SocketUnmapped;
}

Error lookupErrorFromGai(int gaiResult, int err)
{
    switch (gaiResult) {
    case EAI_NONAME:
        return HostNotFound;
    case EAI_AGAIN:
        return HostNotFoundTryAgain;
#ifdef EAI_NODATA
    case EAI_NODATA:
        return HostWithoutAddress;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
        return HostWithoutAddress;
#endif
    case EAI_MEMORY:
        return SocketNoBufferSpace;
    case EAI_SYSTEM:
        return err != 0 ? socketErrorFromErrno(err) : LookupFailed;
    default:
        return LookupFailed;
    }
}

} // namespace net

QString SocketErrorText(int code)
{
    if (code >= static_cast<int>(net::Error::SocketUnmapped) && code <= 0xFFFF)
        return net::errorText(static_cast<net::Error>(code));
    return QStringLiteral("[%1] (no description available)").arg(code);
}
