# An engine that takes every URL (200 with a page), except that a form naming a
# URL with "broken" in it gets a 500.
require "$ENV{DOCUMENT_ROOT}/farmlib/farm.pl";
my $body = farm_record('accept.cgi');
if (($body . ($ENV{QUERY_STRING} || '')) =~ /broken/) {
    farm_answer('500 Internal Server Error', 'text/html', "<html><body>Engine down</body></html>\n");
} else {
    farm_answer('200 OK', 'text/html', "<html><body>Thank you, your URL was added.</body></html>\n");
}
