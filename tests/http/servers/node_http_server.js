// Reference server for the HTTP client tests, on Node's http module. Every answer is written
// in three pieces without a length, so Node sends it chunked on a kept-alive connection;
// GET /trailers also announces and sends a trailer. Prints its port, then serves until killed.
const http = require('http');

const size = process.argv[2] ? Number(process.argv[2]) : 100000;
const body = Buffer.alloc(size);
for (let i = 0; i < size; ++i) {
    body[i] = (i * 7 + Math.floor(i / 251)) % 256;
}

const server = http.createServer((request, response) => {
    const headers = {'Content-Type': 'application/octet-stream'};
    if (request.url === '/trailers') {
        headers['Trailer'] = 'X-Checked';
    }
    response.writeHead(200, headers);
    response.write(body.subarray(0, 1000));
    response.write(body.subarray(1000, 50000));
    if (request.url === '/trailers') {
        response.addTrailers({'X-Checked': 'yes'});
    }
    response.end(body.subarray(50000));
});
server.listen(0, '127.0.0.1', () => console.log(server.address().port));
