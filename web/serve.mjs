// A static folder over HTTP on 127.0.0.1, for make web and the page's test:
//     node web/serve.mjs build-wasm/web 8000
// serve(folder, 0) lets the system pick a free port (server.address().port).
import { createServer } from 'node:http';
import { readFile } from 'node:fs/promises';
import { extname, join, normalize } from 'node:path';
import { fileURLToPath } from 'node:url';

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript',
  '.css': 'text/css',
  '.json': 'application/json',
};

export function serve(folder, port) {
  const server = createServer(async (request, response) => {
    const path = normalize(decodeURIComponent(new URL(request.url, 'http://localhost').pathname));
    try {
      const body = await readFile(join(folder, path.endsWith('/') ? `${path}index.html` : path));
      response.writeHead(200, { 'Content-Type': TYPES[extname(path) || '.html'] ?? 'application/octet-stream' });
      response.end(body);
    } catch {
      response.writeHead(404).end();
    }
  });
  return new Promise((resolve) => server.listen(port, '127.0.0.1', () => resolve(server)));
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const [folder, port = '8000'] = process.argv.slice(2);
  const server = await serve(folder, Number(port));
  console.log(`Glyphrun's page: http://127.0.0.1:${server.address().port}/ (Ctrl-C stops it)`);
}
