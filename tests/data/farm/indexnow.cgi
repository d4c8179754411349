# An IndexNow endpoint: records the JSON it was sent and answers with the status
# its query names (?status=202, ?status=429, ...), 200 when it names none.
require "$ENV{DOCUMENT_ROOT}/farmlib/farm.pl";
farm_record('indexnow.cgi');
my ($status) = ($ENV{QUERY_STRING} || '') =~ /status=(\d{3})/;
$status ||= 200;
my %reason = (200 => 'OK', 202 => 'Accepted', 400 => 'Bad Request', 403 => 'Forbidden',
              422 => 'Unprocessable Entity', 429 => 'Too Many Requests');
farm_answer("$status " . ($reason{$status} || 'Status'), 'text/plain', "IndexNow says $status\n");
