# The form-echo endpoint for posts in test mode.
require "$ENV{DOCUMENT_ROOT}/farmlib/farm.pl";
my $body = farm_record('post-query.cgi');
farm_answer('200 OK', 'text/html', "<html><body>Posted form: $body</body></html>\n");
