#include "support/webmasterbingfake.h"

#include "support/tempdir.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>

namespace qctest {

namespace {

// The API in perl: reads the settings the test wrote, records each request,
// keeps the quota used in a file, all under one lock.
const QByteArray bingScript = R"PERL(
use strict;
use warnings;
use Fcntl qw(:flock);
use JSON::PP;

my $state = $ENV{SCRIPT_FILENAME};
$state =~ s{/htdocs/cgi-bin/[^/]*$}{/bing};
my $json = JSON::PP->new->utf8->canonical;

sub slurp {
    my ($file) = @_;
    open(my $in, '<:raw', $file) or return '';
    local $/;
    my $text = <$in>;
    close $in;
    return $text;
}
sub spit {
    my ($file, $mode, $text) = @_;
    open(my $out, $mode . ':raw', $file) or die "$file: $!";
    print $out $text;
    close $out;
}
sub answer {
    my ($status, $data) = @_;
    binmode STDOUT;
    print "Status: $status\r\nContent-Type: application/json; charset=utf-8\r\n\r\n", $json->encode($data);
    exit 0;
}
sub fail {
    my ($code, $message) = @_;
    answer('400 Bad Request', {ErrorCode => $code, Message => $message});
}
sub date {
    my ($ms) = @_;
    return "/Date($ms-0700)/";
}

open(my $lock, '>>', "$state/lock") or die "lock: $!";
flock($lock, LOCK_EX) or die "flock: $!";
my $config = $json->decode(slurp("$state/config.json"));

my $method = $ENV{REQUEST_METHOD} // '';
my $call = $ENV{PATH_INFO} // '';
$call =~ s{^/}{};
my $queryString = $ENV{QUERY_STRING} // '';
my %query;
for my $pair (split /&/, $queryString) {
    my ($name, $value) = split /=/, $pair, 2;
    $value //= '';
    $value =~ tr/+/ /;
    $value =~ s/%([0-9A-Fa-f]{2})/chr(hex($1))/ge;
    utf8::decode($value);
    $query{$name} = $value;
}
my $body = '';
my $length = $ENV{CONTENT_LENGTH} || 0;
while (length($body) < $length) {
    my $got = read(STDIN, $body, $length - length($body), length($body));
    last unless $got;
}
my $bodyText = $body;
utf8::decode($bodyText);
spit("$state/requests.jsonl", '>>', $json->encode({
    method => $method, call => $call, query => $queryString,
    contentType => $ENV{CONTENT_TYPE} // '', body => $bodyText}) . "\n");

if ($config->{serverFailure}) {
    print "Status: 503 Service Unavailable\r\nContent-Type: text/html\r\n\r\n<html><body>Service Unavailable</body></html>";
    exit 0;
}
fail(3, 'ERROR!!! InvalidApiKey') unless ($query{apikey} // '') eq $config->{apiKey};
fail(4, 'ERROR!!! ThrottleUser') if $config->{throttled};

my $used = slurp("$state/used") || 0;
my $daily = $config->{daily} - $used;
my $monthly = $config->{monthly} - $used;

if ($call eq 'GetUrlSubmissionQuota' && $method eq 'GET') {
    fail(14, 'ERROR!!! NotAuthorized') unless ($query{siteUrl} // '') eq $config->{site};
    answer('200 OK', {d => {__type => 'UrlSubmissionQuota:#Microsoft.Bing.Webmaster.Api',
                            DailyQuota => $daily, MonthlyQuota => $monthly}});
}
if ($call eq 'SubmitUrlbatch' && $method eq 'POST') {
    my $request = eval { $json->decode($body) };
    fail(8, 'ERROR!!! InvalidParameter') unless ref $request eq 'HASH' && ref $request->{urlList} eq 'ARRAY';
    fail(14, 'ERROR!!! NotAuthorized') unless ($request->{siteUrl} // '') eq $config->{site};
    my $count = scalar @{$request->{urlList}};
    fail(8, 'ERROR!!! InvalidParameter: more than 500 URLs') if $count > 500;
    my $left = $daily < $monthly ? $daily : $monthly;
    fail(2, "ERROR!!! Quota remaining for today: $left, Submitted: $count") if $count > $left;
    spit("$state/used", '>', $used + $count);
    spit("$state/batches.jsonl", '>>', $json->encode($request) . "\n");
    answer('200 OK', {d => undef});
}
if ($call eq 'GetUrlInfo' && $method eq 'GET') {
    fail(14, 'ERROR!!! NotAuthorized') unless ($query{siteUrl} // '') eq $config->{site};
    my $url = $query{url} // '';
    my $known = $config->{urlInfo}{$url};
    my $never = date(-62135596800000);
    answer('200 OK', {d => {__type => 'UrlInfo:#Microsoft.Bing.Webmaster.Api', AnchorCount => 0,
                            DiscoveryDate => $known ? date($known->{crawled} - 86400000) : $never,
                            DocumentSize => $known ? 5120 : 0, HttpStatus => $known ? $known->{status} : 0,
                            IsPage => JSON::PP::true, LastCrawledDate => $known ? date($known->{crawled}) : $never,
                            TotalChildUrlCount => 0, Url => $url}});
}
print "Status: 404 Not Found\r\nContent-Type: text/plain\r\n\r\nno such call";
)PERL";

QList<QJsonObject> jsonLines(const QString &path)
{
    QList<QJsonObject> objects;
    for (const QByteArray &line : readFile(path).split('\n'))
        if (!line.isEmpty())
            objects.append(QJsonDocument::fromJson(line).object());
    return objects;
}

} // namespace

WebmasterBingFake::WebmasterBingFake(const QString &pemFile)
{
    m_web.addCgiScript(QStringLiteral("bing.cgi"), bingScript);
    if (!pemFile.isEmpty())
        m_web.useTls(pemFile);
    QDir().mkpath(stateDir());
    m_config = {{QLatin1String("apiKey"), QStringLiteral("0123456789abcdef0123456789abcdef")},
                {QLatin1String("site"), QStringLiteral("https://site.example/")},
                {QLatin1String("daily"), 10},
                {QLatin1String("monthly"), 100},
                {QLatin1String("throttled"), false},
                {QLatin1String("serverFailure"), false},
                {QLatin1String("urlInfo"), QJsonObject()}};
    writeConfig();
}

bool WebmasterBingFake::start()
{
    return m_web.start();
}

QString WebmasterBingFake::stateDir() const
{
    return QDir(m_web.documentRoot() + QStringLiteral("/../bing")).absolutePath();
}

void WebmasterBingFake::set(const QString &key, const QJsonValue &value)
{
    m_config.insert(key, value);
    writeConfig();
}

void WebmasterBingFake::writeConfig()
{
    writeFile(stateDir() + QStringLiteral("/config.json"), QJsonDocument(m_config).toJson());
}

void WebmasterBingFake::setApiKey(const QByteArray &key)
{
    set(QStringLiteral("apiKey"), QString::fromUtf8(key));
}

void WebmasterBingFake::setSite(const QString &siteUrl)
{
    set(QStringLiteral("site"), siteUrl);
}

void WebmasterBingFake::setQuota(int daily, int monthly)
{
    m_config.insert(QStringLiteral("daily"), daily);
    set(QStringLiteral("monthly"), monthly);
}

void WebmasterBingFake::setThrottled(bool throttled)
{
    set(QStringLiteral("throttled"), throttled);
}

void WebmasterBingFake::setServerFailure(bool failing)
{
    set(QStringLiteral("serverFailure"), failing);
}

void WebmasterBingFake::setUrlInfo(const QString &url, const QDateTime &lastCrawled, int httpStatus)
{
    QJsonObject known = m_config.value(QLatin1String("urlInfo")).toObject();
    known.insert(url, QJsonObject{{QLatin1String("crawled"), double(lastCrawled.toMSecsSinceEpoch())},
                                  {QLatin1String("status"), httpStatus}});
    set(QStringLiteral("urlInfo"), known);
}

QList<BingFakeBatch> WebmasterBingFake::batches() const
{
    QList<BingFakeBatch> batches;
    for (const QJsonObject &object : jsonLines(stateDir() + QStringLiteral("/batches.jsonl"))) {
        BingFakeBatch batch;
        batch.siteUrl = object.value(QLatin1String("siteUrl")).toString();
        for (const QJsonValue &url : object.value(QLatin1String("urlList")).toArray())
            batch.urls.append(url.toString());
        batches.append(batch);
    }
    return batches;
}

QList<BingFakeRequest> WebmasterBingFake::requests() const
{
    QList<BingFakeRequest> requests;
    for (const QJsonObject &object : jsonLines(stateDir() + QStringLiteral("/requests.jsonl"))) {
        const auto field = [&](const char *name) { return object.value(QLatin1String(name)).toString().toUtf8(); };
        requests.append({field("method"), field("call"), field("query"), field("contentType"), field("body")});
    }
    return requests;
}

} // namespace qctest
