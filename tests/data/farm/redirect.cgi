# An engine that answers with a redirection to its thank-you page.
require "$ENV{DOCUMENT_ROOT}/farmlib/farm.pl";
farm_record('redirect.cgi');
farm_answer('302 Found', 'text/html', "<html><body>Moved</body></html>\n", 'Location: http://127.0.0.1/thanks.html');
