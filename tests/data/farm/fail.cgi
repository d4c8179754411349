# An engine that is down: 500 with an error page.
require "$ENV{DOCUMENT_ROOT}/farmlib/farm.pl";
farm_record('fail.cgi');
farm_answer('500 Internal Server Error', 'text/html', "<html><body>Engine down</body></html>\n");
