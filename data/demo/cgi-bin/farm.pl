#!/usr/bin/perl
# The demo's engine farm: one script, many engines, told apart by the script
# name lighttpd ran (accept.cgi, redirect.cgi, fail.cgi, slow.cgi, search.cgi,
# indexnow.cgi).
# Every request is appended to requests.log beside the document root.
use strict;
use warnings;

my $script = $ENV{SCRIPT_NAME} // '';
my ($kind) = $script =~ m{/([a-z]+)\.cgi$};
$kind //= 'unknown';
my $method = $ENV{REQUEST_METHOD} // 'GET';
my $body = '';
if ($method eq 'POST' && ($ENV{CONTENT_LENGTH} // 0) > 0) {
    read(STDIN, $body, $ENV{CONTENT_LENGTH});
}
my $query = $method eq 'POST' ? $body : ($ENV{QUERY_STRING} // '');

my %form;
for my $pair (split /&/, $query) {
    my ($name, $value) = split /=/, $pair, 2;
    next unless defined $name;
    $value //= '';
    $value =~ tr/+/ /;
    $value =~ s/%([0-9A-Fa-f]{2})/chr(hex($1))/ge;
    $form{$name} = $value;
}

my $root = $ENV{DOCUMENT_ROOT} // '.';
if (open(my $log, '>>', "$root/../requests.log")) {
    print $log join("\t", $kind, $method, $query), "\n";
    close $log;
}

sub page {
    my ($status, $title, $text) = @_;
    print "Status: $status\r\nContent-Type: text/html\r\n\r\n";
    print "<html><head><title>$title</title></head><body><h1>$title</h1><p>$text</p></body></html>\n";
}

if ($kind eq 'accept') {
    my $url = $form{url} // '(none)';
    page('200 OK', 'Thank you', "Your URL $url will be visited within two weeks.");
} elsif ($kind eq 'redirect') {
    print "Status: 302 Found\r\nLocation: http://$ENV{SERVER_ADDR}:$ENV{SERVER_PORT}/thanks.htm\r\nContent-Type: text/html\r\n\r\n";
    print "<html><body>Moved to <a href=\"/thanks.htm\">the thank-you page</a>.</body></html>\n";
} elsif ($kind eq 'fail') {
    page('500 Internal Server Error', 'Server error', 'The submission service is down for maintenance.');
} elsif ($kind eq 'slow') {
    sleep 8;
    page('200 OK', 'Thank you', 'Sorry for the wait.');
} elsif ($kind eq 'search') {
    my $url = $form{q} // '';
    my $listed = 0;
    if (open(my $known, '<', "$root/listed.txt")) {
        while (my $line = <$known>) {
            chomp $line;
            $listed = 1 if $line eq $url;
        }
        close $known;
    }
    if ($listed) {
        page('200 OK', 'Search results', "1 document matches: <a href=\"$url\">$url</a>");
    } else {
        page('200 OK', 'Search results', 'No documents match your query.');
    }
} elsif ($kind eq 'indexnow') {
    # An IndexNow endpoint takes the JSON list of a host's URLs and says 202.
    print "Status: 202 Accepted\r\nContent-Type: text/plain\r\n\r\nAccepted\n";
} else {
    page('404 Not Found', 'Not found', 'No such engine.');
}
