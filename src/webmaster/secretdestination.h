#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace webmaster {

// Whose credential a request carries: it decides where the request may go.
enum class CredentialService { Google, Bing };

// What a run knows of the engine list that gives a credentialed engine its address.
struct CredentialSource
{
    QString listName;        // the engine list's file name, named in messages
    bool downloaded = false; // a download wrote the list (isDownloadedEngineList()): its addresses are not the owner's
    QString testServer;      // test mode: the server the application's ini names; "" otherwise
};

// The hosts the service documents for its API, built into the program: Google's
// token and Search Console hosts, Bing's webmaster API host.
QStringList documentedHosts(CredentialService service);

// "" when a credential of the service may be sent to address: an https://
// address on one of the service's documented hosts (on the default port), or
// any https:// address when the list is the owner's (kept locally, not
// downloaded) or on the test mode server's host. Otherwise why nothing may be
// sent, naming the list and the host. Nothing else decides where a key or a
// token goes.
QString credentialRefusal(const QByteArray &address, CredentialService service, const CredentialSource &source);

} // namespace webmaster
