# Shared by the engine farm's scripts: records what one request carried and
# writes answers. Every script records before it answers, so a test can read
# the record as soon as the answer has come.
use strict;
use warnings;

sub farm_dir { return "$ENV{DOCUMENT_ROOT}/.."; }

# Reads the body, writes records/NNNN.txt (script name, request line, the
# headers the server passes on, sorted, a blank line, the body) and returns the body.
sub farm_record {
    my ($script) = @_;
    binmode STDIN;
    my $body = '';
    my $left = $ENV{CONTENT_LENGTH} || 0;
    while ($left > 0) {
        my $got = read(STDIN, my $chunk, $left);
        last unless $got;
        $body .= $chunk;
        $left -= $got;
    }
    my @headers;
    push @headers, "Content-Length: $ENV{CONTENT_LENGTH}" if defined $ENV{CONTENT_LENGTH};
    push @headers, "Content-Type: $ENV{CONTENT_TYPE}" if defined $ENV{CONTENT_TYPE};
    for my $key (sort keys %ENV) {
        next unless $key =~ /^HTTP_(.+)$/;
        next if $1 eq 'CONTENT_LENGTH' || $1 eq 'CONTENT_TYPE'; # passed on as CONTENT_* already
        my $name = join('-', map { ucfirst(lc($_)) } split(/_/, $1));
        push @headers, "$name: $ENV{$key}";
    }
    @headers = sort @headers;
    my $dir = farm_dir() . "/records";
    mkdir $dir;
    opendir(my $list, $dir) or die "records: $!";
    my $count = grep { /^\d+\.txt$/ } readdir($list);
    closedir($list);
    my $file = sprintf("%s/%04d.txt", $dir, $count);
    open(my $out, '>', "$file.part") or die "record: $!";
    binmode $out;
    print $out "$script\n$ENV{REQUEST_METHOD} $ENV{REQUEST_URI} $ENV{SERVER_PROTOCOL}\n";
    print $out "$_\n" for @headers;
    print $out "\n$body";
    close($out);
    rename("$file.part", $file) or die "record: $!";
    return $body;
}

sub farm_answer {
    my ($status, $type, $body, @extra) = @_;
    binmode STDOUT;
    print "Status: $status\r\n";
    print "$_\r\n" for @extra;
    print "Content-Type: $type\r\n\r\n$body";
}

# The value of one form field of a query string or form body, decoded.
sub farm_field {
    my ($data, $name) = @_;
    for my $pair (split(/&/, $data)) {
        my ($key, $value) = split(/=/, $pair, 2);
        next unless defined $key && $key eq $name;
        $value = '' unless defined $value;
        $value =~ tr/+/ /;
        $value =~ s/%([0-9A-Fa-f]{2})/chr(hex($1))/ge;
        return $value;
    }
    return '';
}

1;
