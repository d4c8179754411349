# A search form: field q names a URL; URLs containing "unknown" are not listed.
require "$ENV{DOCUMENT_ROOT}/farmlib/farm.pl";
my $body = farm_record('search.cgi');
my $data = $ENV{REQUEST_METHOD} eq 'POST' ? $body : ($ENV{QUERY_STRING} || '');
my $url = farm_field($data, 'q');
if ($url =~ /unknown/) {
    farm_answer('200 OK', 'text/html', "<html><body>Sorry, no documents matched your query.</body></html>\n");
} else {
    farm_answer('200 OK', 'text/html', "<html><body>1 document matched: $url</body></html>\n");
}
