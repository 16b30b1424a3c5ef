// Validates glTF files with the Khronos validator: one line per file with its counts, the
// errors and warnings each on a line of their own; exit status 1 when any file has an
// error or cannot be read.
import fs from 'node:fs';
import path from 'node:path';
import validator from 'gltf-validator';

let failed = false;
for (const file of process.argv.slice(2)) {
    let report;
    try {
        report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {
            uri: path.basename(file),
            maxIssues: 100,
            externalResourceFunction: (uri) =>
                new Promise((resolve, reject) => {
                    fs.readFile(path.join(path.dirname(file), decodeURIComponent(uri)), (error, data) =>
                        error ? reject(error.toString()) : resolve(new Uint8Array(data)));
                }),
        });
    } catch (error) {
        console.log(`${file}: not validated: ${error}`);
        failed = true;
        continue;
    }
    const issues = report.issues;
    console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ${issues.numInfos} infos`);
    for (const message of issues.messages)
        if (message.severity <= 1)
            console.log(`  ${message.severity === 0 ? 'error' : 'warning'} ${message.code} at ${message.pointer}: ${message.message}`);
    if (issues.numErrors > 0)
        failed = true;
}
process.exit(failed ? 1 : 0);
