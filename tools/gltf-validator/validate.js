// Validates one glTF or GLB file with the Khronos validator and prints its report's
// counts and messages as one JSON object: {"errors":N,"warnings":N,"messages":[...]}.
// Exit code 0 when the file could be validated at all.
'use strict';
const fs = require('fs');
const path = require('path');
const validator = require('gltf-validator');

const file = process.argv[2];
const bytes = new Uint8Array(fs.readFileSync(file));
validator.validateBytes(bytes, {
    uri: path.basename(file),
    maxIssues: 100,
    externalResourceFunction: (uri) => new Promise((resolve, reject) => {
        fs.readFile(path.join(path.dirname(file), decodeURIComponent(uri)),
                    (err, data) => err ? reject(err.toString()) : resolve(new Uint8Array(data)));
    }),
}).then((report) => {
    const messages = report.issues.messages
        .filter((m) => m.severity <= 1)
        .map((m) => `${m.severity === 0 ? 'error' : 'warning'} ${m.code} ${m.pointer || ''}: ${m.message}`);
    console.log(JSON.stringify({errors: report.issues.numErrors, warnings: report.issues.numWarnings, messages}));
}).catch((error) => {
    console.error(String(error));
    process.exit(1);
});
