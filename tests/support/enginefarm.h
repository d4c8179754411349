#pragma once

#include "support/lighttpdfixture.h"

#include <QByteArray>
#include <QList>

namespace qctest {

// One engine of an automatic engine list, written in the ten-key layout.
struct FarmEngine
{
    QByteArray action;
    QByteArray method = "post";
    QByteArray postData = "url=$URL";
    QByteArray encode = "no";
    int sleep = 0;
    QByteArray searchAction = "NONE";
    QByteArray searchPostData = "q=$URL";
    QByteArray searchNone = "nothing";
    int maxSubmit = 100;
    QByteArray column; // "E1" ... "E30"
};

// "[name]" and the ten key lines, CR LF ended.
QByteArray engineSection(const QByteArray &name, const FarmEngine &engine);

// One engine of a run test's engine list, and whether the project chose it.
struct RunEngine
{
    QByteArray name;
    FarmEngine engine;
    bool chosen = true;
};

// What one of the farm's scripts received.
struct FarmRequest
{
    QByteArray script;         // "accept.cgi", "query", ...
    QByteArray requestLine;    // method, target and protocol as the server saw them
    QList<QByteArray> headers; // "Name: value", sorted, as the server passes them to scripts
    QByteArray body;
};

// A local engine farm: a real lighttpd on a free loopback port whose perl
// scripts play search engines, each recording what it received before it
// answers:
//   /cgi-bin/accept.cgi      200 with a thank-you page
//   /cgi-bin/redirect.cgi    302 with a Location header
//   /cgi-bin/fail.cgi        500 with an error page
//   /cgi-bin/slow.cgi        no answer until the farm stops (at most 30 s)
//   /cgi-bin/search.cgi      search form (field q): a URL containing "unknown"
//                            gets "Sorry, no documents matched your query."
//   /cgi-bin/post-query.cgi  and /cgi-bin/query: the form-echo endpoints of test mode
//   /cgi-bin/indexnow.cgi    an IndexNow endpoint answering the status its query
//                            names (?status=429), 200 without one
// The destructor releases waiting scripts and stops the server.
class EngineFarm
{
public:
    EngineFarm();
    ~EngineFarm();

    bool start();
    QString lastError() const { return m_web.lastError(); }
    // "http://127.0.0.1:<port>" + path.
    QByteArray url(const QByteArray &path) const { return m_web.url(path); }
    QByteArray script(const QByteArray &name) const { return url("/cgi-bin/" + name); }
    // The requests received so far, in order.
    QList<FarmRequest> received() const;
    LighttpdFixture &server() { return m_web; }

private:
    QString farmDir() const;

    LighttpdFixture m_web;
};

} // namespace qctest
