// The TLS servers the engine tests talk to, all on 127.0.0.1 with ephemeral ports, run on the
// host by tls_engine_windows.sh: node tls_test_servers.js <certificate folder>
// The folder holds <name>.pem and <name>.key for each identity, as
// server/make-test-certificates.sh makes them. Prints one
// "<server> <port>" line per server, then "ready", and serves until it is ended or ten minutes
// have passed.
//   echo         good certificate; sends back every byte it receives
//   greeting     good certificate; sends greetingParts, then close_notify, then closes
//   wrong-name, untrusted, expired, self-signed: those certificates, echoing
//   tls11        good certificate, TLS 1.1 and nothing else
'use strict';
const fs = require('fs');
const path = require('path');
const tls = require('tls');

const folder = process.argv[2];
const identity = (name) => ({
  key: fs.readFileSync(path.join(folder, `${name}.key`)),
  cert: fs.readFileSync(path.join(folder, `${name}.pem`)),
});

// The greeting's bytes: "hello", 20000 bytes of pattern (two records), "!". The test makes
// the same bytes (GreetingBytes in tls_engine_test_win32.cpp).
function greetingParts() {
  const pattern = Buffer.alloc(20000);
  for (let i = 0; i < pattern.length; ++i) pattern[i] = (i * 7 + 3) & 0xff;
  return [Buffer.from('hello'), pattern, Buffer.from('!')];
}

function echo(socket) {
  socket.on('data', (data) => socket.write(data));
  socket.on('end', () => socket.end());
}

function greet(socket) {
  for (const part of greetingParts()) socket.write(part);
  socket.end();
}

const servers = [
  ['echo', 'server', {}, echo],
  ['greeting', 'server', {}, greet],
  ['wrong-name', 'other-name', {}, echo],
  ['untrusted', 'untrusted', {}, echo],
  ['expired', 'expired', {}, echo],
  ['self-signed', 'self-signed', {}, echo],
  ['tls11', 'server',
   {minVersion: 'TLSv1.1', maxVersion: 'TLSv1.1', ciphers: 'DEFAULT:@SECLEVEL=0'}, echo],
];

let listening = 0;
for (const [name, certificate, options, handler] of servers) {
  const server = tls.createServer({...identity(certificate), ...options}, (socket) => {
    socket.on('error', () => socket.destroy());
    handler(socket);
  });
  server.on('tlsClientError', () => {});
  server.listen(0, '127.0.0.1', () => {
    console.log(`${name} ${server.address().port}`);
    if (++listening === servers.length) console.log('ready');
  });
}

setTimeout(() => process.exit(0), 10 * 60 * 1000);
