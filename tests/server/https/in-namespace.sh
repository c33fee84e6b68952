# tests/server/https/in-namespace.sh (sh): the HTTPS checks, run by ./run inside a network namespace of its own.
lumresults=$1
ip link set lo up
work=$(mktemp -d /tmp/lumresults-https.XXXXXX)
server=
trap '[ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null; rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAILED: $*" >&2; echo "--- the server's log:" >&2; cat log >&2; exit 1; }
step() { echo "  $*"; }

# A lab CA and a server certificate for 127.0.0.1 and the results server's name, as a real one would be:
# a year long, for server authentication, naming where its revocation list would be.
certificate() {
  openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout "$1.key" -out "$1.csr" \
    -subj "/CN=results.lumora.example" 2>/dev/null
  openssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days 365 -extfile ext.cnf \
    -out "$1.crt" 2>/dev/null
  cat "$1.crt" ca.pem > "$1.pem"
}
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout ca.key -out ca.pem -days 3650 \
  -subj "/CN=Lumora lab CA" 2>/dev/null
cat > ext.cnf <<'EOC'
subjectAltName=DNS:results.lumora.example,IP:127.0.0.1
crlDistributionPoints=URI:http://crl.lumora.example/lab-ca.crl
extendedKeyUsage=serverAuth
keyUsage=digitalSignature
EOC
certificate first
certificate renewed
cp first.pem live.pem
cp first.key live.key
serial() { openssl x509 -noout -serial -in "$1"; }

mkdir data
cat > lumresults.conf <<'EOC'
# the test's settings
listen = 127.0.0.1:8080
data = data
staff-from = 10.0.0.0/8
tls-listen = 127.0.0.1:8443
tls-cert = live.pem
tls-key = live.key
EOC
"$lumresults" serve --config lumresults.conf 2>log &
server=$!
tries=0
until grep -q "HTTPS on 127.0.0.1:8443" log; do
  tries=$((tries + 1))
  [ $tries -lt 100 ] || fail "the server did not start"
  sleep 0.1
done

echo "== HTTPS for staff, plain HTTP for the program"
code() { curl -s -o /dev/null -w '%{http_code}' "$@"; }
[ "$(code http://127.0.0.1:8080/ip/)" = 200 ] || fail "/ip/ over plain HTTP"
step "the program's /ip/ answers over plain HTTP"
[ "$(code --cacert ca.pem https://127.0.0.1:8443/support/sign-in)" = 403 ] || fail "staff-from was not applied"
sed -i 's|staff-from = 10.0.0.0/8|staff-from = 127.0.0.0/8|' lumresults.conf
kill -HUP "$server"
sleep 0.5
redirect=$(curl -s -o /dev/null -w '%{http_code} %{redirect_url}' -H 'Host: results.lumora.example:8080' \
  'http://127.0.0.1:8080/support/?ip=100.102.3.4&match=prefix')
[ "$redirect" = "308 https://results.lumora.example:8443/support/?ip=100.102.3.4&match=prefix" ] ||
  fail "GET over plain HTTP: $redirect"
step "a staff GET over plain HTTP is sent to HTTPS: $redirect"
[ "$(code -X POST -d name=a -d password=b http://127.0.0.1:8080/support/sign-in)" = 403 ] ||
  fail "a POST over plain HTTP was not refused"
[ "$(code -H 'Host: 127.0.0.1' http://127.0.0.1:8080/api/v1/reports)" = 308 ] ||
  fail "an API GET over plain HTTP was not sent to HTTPS"
[ "$(code -H 'Host: evil.example/x' http://127.0.0.1:8080/support/)" = 403 ] ||
  fail "a Host line that is no host name made a redirect"
step "a staff POST, and a GET with no usable Host line, over plain HTTP are refused"
headers=$(curl -s -D - -o /dev/null --cacert ca.pem https://127.0.0.1:8443/support/sign-in)
echo "$headers" | grep -qi '^Strict-Transport-Security: max-age=31536000' || fail "no HSTS over TLS: $headers"
echo "$headers" | grep -i '^Set-Cookie:' | grep -q '; Secure' || fail "a cookie without Secure over TLS: $headers"
step "over TLS: HSTS, and the sign-in cookie is Secure"
[ "$(code --tlsv1.2 --tls-max 1.2 --cacert ca.pem https://127.0.0.1:8443/ip/)" = 000 ] || fail "TLS 1.2 was accepted"
step "TLS 1.2 and older are refused"

echo "== A renewed certificate, taken on reload"
[ "$(openssl s_client -connect 127.0.0.1:8443 </dev/null 2>/dev/null | serial /dev/stdin)" = "$(serial first.crt)" ] ||
  fail "the first certificate is not served"
# A download begun before the reload, slow enough to be in flight through it.
curl -s -o /dev/null --cacert ca.pem --limit-rate 4M -w '%{http_code} %{size_download}' \
  https://127.0.0.1:8443/10mb.bin >download &
download=$!
sleep 0.5
cp renewed.pem live.pem
cp renewed.key live.key
sed -i 's|listen = 127.0.0.1:8080|listen = 127.0.0.1:8081|' lumresults.conf
kill -HUP "$server"
sleep 0.5
[ "$(openssl s_client -connect 127.0.0.1:8443 </dev/null 2>/dev/null | serial /dev/stdin)" = "$(serial renewed.crt)" ] ||
  fail "the renewed certificate is not served after the reload"
step "new connections get the renewed certificate"
wait "$download"
[ "$(cat download)" = "200 10485760" ] || fail "the download in flight through the reload: $(cat download)"
step "the download begun before the reload finished whole: $(cat download)"
grep -q "reload: listen changed, which only a restart takes" log || fail "the listen change was not named"
step "the log names what only a restart takes"
echo "not a key" >live.key
kill -HUP "$server"
sleep 0.5
grep -q "reload: the certificate and key were not taken" log || fail "an unusable key was not reported"
[ "$(code --cacert ca.pem https://127.0.0.1:8443/ip/)" = 200 ] || fail "HTTPS stopped after an unusable key"
step "an unusable key is reported and the renewed certificate is still served"

echo "== testssl.sh (fails on any finding rated HIGH or CRITICAL)"
cp renewed.key live.key
testssl --quiet --color 0 --warnings off --severity HIGH --add-ca "$work/ca.pem" --nodns none \
  --protocols --std --fs --server-defaults --server-preference --headers --vulnerable \
  --jsonfile "$work/testssl.json" https://127.0.0.1:8443/ >testssl.out 2>&1 || true
python3 - "$work/testssl.json" <<'EOP'
import json, sys
findings = json.load(open(sys.argv[1]))
bad = [f for f in findings if f["severity"] in ("HIGH", "CRITICAL")]
for f in bad:
    print(f"  {f['severity']} {f['id']}: {f['finding']}", file=sys.stderr)
print(f"  {len(findings)} lines of findings at HIGH and above, or notes; {len(bad)} rated HIGH or CRITICAL")
sys.exit(1 if bad else 0)
EOP
grep -E '^ TLS 1(\.[0-3])? ' testssl.out | sed 's/^/  /'
kill "$server"
wait "$server" || fail "the server did not stop cleanly"
server=
echo "HTTPS checks passed"
