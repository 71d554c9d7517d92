// Runs the Khronos glTF validator on one file and prints its error count,
// then one line per issue: node validate_gltf.js MODULE_DIR FILE
const fs = require('fs');
const path = require('path');
const validator = require(path.join(process.argv[2], 'node_modules', 'gltf-validator'));

validator.validateBytes(new Uint8Array(fs.readFileSync(process.argv[3])), {maxIssues: 100}).then(
    (report) => {
        console.log(`errors ${report.issues.numErrors} warnings ${report.issues.numWarnings}`);
        for (const issue of report.issues.messages) {
            console.log(`${issue.severity} ${issue.code} ${issue.pointer || ''} ${issue.message}`);
        }
    },
    (failure) => {
        console.log(`refused ${failure}`);
        process.exit(2);
    });
