#!/bin/sh
# system_ca.sh install DIR | remove DIR   (as root)
#
# install: makes a throw-away test CA in DIR and adds it to the system trust
# store the way an administrator adds a local CA (a file in
# /usr/local/share/ca-certificates, then update-ca-certificates), so a
# client with a default TLS configuration trusts it through /etc/ssl/certs.
# Each DIR has its own CA, installed as quorvamel-test-ca-TAG.crt (TAG: the
# first 8 hex digits of the SHA-256 of DIR's absolute path), so test runs
# of several build trees on one machine never remove each other's CA.
# Also writes the server certificates the tests present, each NAME.crt with
# its key NAME.key:
#   trusted     signed by the test CA: localhost, 127.0.0.1, 127.0.0.2
#   expired     the same names, validity wholly in the past
#   wronghost   signed by the test CA, only wrong.localhost
#   selfsigned  self-signed: localhost, 127.0.0.1
#   untrusted   signed by a second CA that is installed nowhere
# The CAs may only vouch for localhost and 127.0.0.0/8 (critical name
# constraints), so a leaked key cannot impersonate a real host.
#
# remove: takes the CA out of the system trust store again and deletes the
# CA keys. Both may be run any number of times.
set -eu

certs=/etc/ssl/certs

fail() {
    echo "system_ca.sh: $*" >&2
    exit 1
}

[ $# -eq 2 ] || {
    echo "usage: system_ca.sh install|remove DIR" >&2
    exit 2
}
action=$1
dir=$2
case $action in
install | remove) ;;
*) fail "unknown action '$action' (install or remove)" ;;
esac
[ -n "$dir" ] || fail "DIR must not be empty"
[ "$(id -u)" -eq 0 ] ||
    fail "must run as root: it changes the system trust store (/usr/local/share/ca-certificates, $certs)"
PATH=$PATH:/usr/sbin:/sbin
command -v openssl >/dev/null || fail "openssl is not installed (apt-get install openssl)"
command -v update-ca-certificates >/dev/null ||
    fail "update-ca-certificates is not installed (apt-get install ca-certificates)"

[ "$action" = remove ] || mkdir -p "$dir"
if [ -d "$dir" ]; then
    dir=$(cd "$dir" && pwd -P)
fi
tag=$(printf '%s' "$dir" | sha256sum | cut -c1-8)
name=quorvamel-test-ca-$tag
anchor=/usr/local/share/ca-certificates/$name.crt
pem=$certs/$name.pem

# Two runs must not rewrite the store at the same time: update-ca-certificates
# builds its bundle in one fixed temporary file.
lock_store() {
    exec 9>/run/lock/quorvamel-test-ca.lock || fail "cannot open /run/lock/quorvamel-test-ca.lock"
    flock 9 || fail "cannot lock /run/lock/quorvamel-test-ca.lock"
}

# The hooks would queue the CA for the Java keystore through dpkg triggers,
# which take the dpkg lock and would keep the CA there after remove.
update_store() {
    out=$(update-ca-certificates --hooksdir "$dir/no-hooks" 2>&1) ||
        fail "update-ca-certificates failed: $out"
}

# update-ca-certificates rehashes only when it adds a link, so it never drops
# the links of a deleted local certificate by itself: drop ours here.
drop_links() {
    for link in "$certs"/*; do
        if [ -L "$link" ] && [ "$(readlink "$link")" = "$name.pem" ]; then
            rm -f "$link"
        fi
    done
    rm -f "$pem"
}

remove() {
    lock_store
    rm -f "$anchor"
    drop_links
    update_store
    # A hash shared with another CA leaves a gap in its numbering (.0, .1).
    openssl rehash "$certs" >/dev/null 2>&1 || fail "openssl rehash $certs failed"
    rm -f "$dir/ca.key" "$dir/other-ca.key"
}

new_key() {
    openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:prime256v1 -out "$1" 2>/dev/null ||
        fail "cannot make the key $1"
    chmod 600 "$1"
}

write_config() {
    cat >"$dir/openssl.cnf" <<EOF
[req]
distinguished_name = req_dn
prompt = no
[req_dn]
CN = unused

[test_ca]
database = $dir/db/test_ca.index
new_certs_dir = $dir/db
certificate = $dir/ca.crt
private_key = $dir/ca.key
default_md = sha256
policy = any_name
rand_serial = yes
unique_subject = no
copy_extensions = none
[other_ca]
database = $dir/db/other_ca.index
new_certs_dir = $dir/db
certificate = $dir/other-ca.crt
private_key = $dir/other-ca.key
default_md = sha256
policy = any_name
rand_serial = yes
unique_subject = no
copy_extensions = none
[any_name]
commonName = supplied

[ca_ext]
basicConstraints = critical, CA:TRUE, pathlen:0
keyUsage = critical, keyCertSign, cRLSign
nameConstraints = critical, permitted;DNS:localhost, permitted;IP:127.0.0.0/255.0.0.0
subjectKeyIdentifier = hash

[localhost_ext]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost, IP:127.0.0.1, IP:127.0.0.2
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always
[wronghost_ext]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = serverAuth
subjectAltName = DNS:wrong.localhost
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid:always
# No key usage: with one lacking keyCertSign, OpenSSL would not see the
# certificate as its own issuer and report a missing issuer instead.
[selfsigned_ext]
basicConstraints = critical, CA:FALSE
subjectAltName = DNS:localhost, IP:127.0.0.1
subjectKeyIdentifier = hash
EOF
}

new_ca() { # NAME SUBJECT
    new_key "$dir/$1.key"
    openssl req -new -x509 -config "$dir/openssl.cnf" -extensions ca_ext -key "$dir/$1.key" \
        -subj "$2" -days 3650 -out "$dir/$1.crt" 2>/dev/null || fail "cannot make the CA $1"
}

# NAME CA-SECTION EXTENSIONS CN [openssl ca validity options]
new_leaf() {
    leaf=$1 ca=$2 ext=$3 cn=$4
    shift 4
    new_key "$dir/$leaf.key"
    openssl req -new -config "$dir/openssl.cnf" -key "$dir/$leaf.key" -subj "/CN=$cn" \
        -out "$dir/db/$leaf.csr" 2>/dev/null || fail "cannot make the request for $leaf"
    openssl ca -batch -notext -config "$dir/openssl.cnf" -name "$ca" -extensions "$ext" \
        -in "$dir/db/$leaf.csr" -out "$dir/$leaf.crt" "$@" >"$dir/db/$leaf.log" 2>&1 ||
        fail "cannot sign $leaf: $(cat "$dir/db/$leaf.log")"
}

install() {
    umask 077
    rm -rf "$dir/db"
    mkdir "$dir/db"
    : >"$dir/db/test_ca.index"
    : >"$dir/db/other_ca.index"
    write_config
    # A subject fixed per DIR keeps the hash link's name from one install to
    # the next, and apart from the CA of another DIR.
    new_ca ca "/O=Quorvamel tests/OU=$tag/CN=Quorvamel throw-away test CA"
    new_ca other-ca "/O=Quorvamel tests/CN=Quorvamel CA installed nowhere"
    new_leaf trusted test_ca localhost_ext localhost -days 3650
    new_leaf expired test_ca localhost_ext localhost -startdate 200101000000Z \
        -enddate 210101000000Z
    new_leaf wronghost test_ca wronghost_ext wrong.localhost -days 3650
    new_leaf untrusted other_ca localhost_ext localhost -days 3650
    new_key "$dir/selfsigned.key"
    openssl req -new -x509 -config "$dir/openssl.cnf" -extensions selfsigned_ext \
        -key "$dir/selfsigned.key" -subj /CN=localhost -days 3650 -out "$dir/selfsigned.crt" \
        2>/dev/null || fail "cannot make the self-signed certificate"
    # The servers in the tests read these; only the keys stay owner-only.
    chmod 755 "$dir"
    chmod 644 "$dir"/*.crt

    lock_store
    mkdir -p "$(dirname "$anchor")"
    cp "$dir/ca.crt" "$anchor.new"
    chmod 644 "$anchor.new"
    mv -f "$anchor.new" "$anchor"
    # Without a new link update-ca-certificates would skip the rehash.
    drop_links
    update_store
    [ -e "$pem" ] || fail "update-ca-certificates did not link $anchor into $certs"
}

case $action in
install) install ;;
remove) remove ;;
esac
