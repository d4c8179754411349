# An engine that never answers in time when the form names a URL with "slow" in
# it: it records, then waits until the farm is shut down (the release file), its
# server is gone, or 30 seconds passed. Other URLs get 200 at once.
require "$ENV{DOCUMENT_ROOT}/farmlib/farm.pl";
my $body = farm_record('slow.cgi');
if (($body . ($ENV{QUERY_STRING} || '')) =~ /slow/) {
    my $release = farm_dir() . "/release";
    for (my $i = 0; $i < 300; ++$i) {
        last if -e $release || getppid() == 1;
        select(undef, undef, undef, 0.1);
    }
}
farm_answer('200 OK', 'text/html', "<html><body>Done</body></html>\n");
