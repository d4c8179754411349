// Any text assigned as the component's URL, then written as a request.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "net/httprequest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray url(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    HttpRequestFields fields;
    fields.assignUrl("http://earlier.example/");
    fields.assignUser("u");
    fields.assignPassword("p");
    fields.assignUrl(url);

    if (fields.URL != url || fields.URLPath.isEmpty())
        std::abort();
    if (fields.URLServer != "earlier.example" && !fields.Authorization.isEmpty())
        std::abort();
    const qsizetype colon = url.indexOf(':');
    if (colon >= 0 && fields.URLScheme != url.left(colon))
        std::abort();

    QByteArray request;
    http::writeRequestHead(request, "GET", fields);
    if (!request.startsWith("GET " + fields.URLPath + " HTTP/1.0\r\n") || !request.endsWith("\r\n\r\n"))
        std::abort();
    fields.ProxyServer = "proxy";
    const QByteArray target = fields.requestTarget();
    // Through a proxy an http request names the whole address; an https one goes
    // through a tunnel and names just its path.
    if (fields.tunnelled() ? target != fields.URLPath
                           : !target.startsWith(fields.URLScheme + "://" + fields.URLServer) ||
                                 !target.endsWith(fields.URLPath))
        std::abort();
    return 0;
}
