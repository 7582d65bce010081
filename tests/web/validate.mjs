// Validates glTF files with the Khronos glTF validator and prints one JSON line per file: the
// counts of errors, warnings, infos and hints and the first messages of each kind.
//   node validate.mjs NODE_MODULES FILE...
import { readFile } from 'node:fs/promises';
import { createRequire } from 'node:module';
import path from 'node:path';

const [modules, ...files] = process.argv.slice(2);
const validator = createRequire(path.join(modules, 'x.js'))('gltf-validator');

for (const file of files) {
  const bytes = new Uint8Array(await readFile(file));
  const report = await validator.validateBytes(bytes, {
    uri: path.basename(file),
    maxIssues: 0,
    externalResourceFunction: (uri) =>
      readFile(path.join(path.dirname(file), decodeURIComponent(uri))).then((b) => new Uint8Array(b)),
  });
  const issues = report.issues;
  const first = issues.messages.slice(0, 20).map((m) => `${m.severity} ${m.code} ${m.pointer ?? ''}: ${m.message}`);
  console.log(JSON.stringify({
    file, errors: issues.numErrors, warnings: issues.numWarnings, infos: issues.numInfos,
    hints: issues.numHints, messages: first, info: report.info,
  }));
}
