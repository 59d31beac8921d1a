// Interprets a program with CNCjs's gcode-toolpath (stream API) and prints how many motions
// it produced.
const Toolpath = require('gcode-toolpath').default || require('gcode-toolpath');
let motions = 0;
const toolpath = new Toolpath({
    addLine() { motions++; },
    addArcCurve() { motions++; },
});
toolpath.loadFromFile(process.argv[2], (err) => {
    if (err) {
        console.error(err);
        process.exit(1);
    }
    console.log(motions + ' motions');
});
